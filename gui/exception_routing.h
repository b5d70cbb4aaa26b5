#pragma once
// Event handlers of the wizard run through Guard, so an exception never unwinds through Qt code: it
// goes to the program's exception manager (the error dialog) with the sender for its context.

#include <functional>

class QObject;

namespace zbpv {

// Runs `work`; an exception goes to the exception manager (EAbort silently), or to standard error
// when the program has none.
void GuardHandler(QObject* sender, const std::function<void()>& work);

} // namespace zbpv

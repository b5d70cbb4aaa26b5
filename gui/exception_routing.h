#pragma once
// The application's exception handler: every exception that reaches the event loop (or a guarded
// handler) gets the wizard's context appended and is shown in one place.

#include <QApplication>

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace zbpv {

class ExceptionRouting {
public:
    // Adds context to a message (the wizard's AppendExceptionContext).
    using ContextHook = std::function<std::string(std::string_view message)>;
    // Shows an exception with its message (context already appended).
    using Reporter = std::function<void(const std::exception& e, const std::string& message)>;

    static void SetContextHook(ContextHook hook);
    static void SetReporter(Reporter reporter);
    // Handles the exception in flight; a deliberate abort is dropped silently.
    static void HandleCurrentException();
    // Runs `work`, handing any exception to HandleCurrentException.
    static void Guard(const std::function<void()>& work);
};

// Catches what event handlers let escape, so no exception unwinds through the event loop.
class WizardApplication : public QApplication {
public:
    WizardApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace zbpv

#pragma once
// Questions and messages as message boxes: the Windows icons, German buttons, the default answer and,
// where asked for, the first paragraph as a bold headline.

#include "app/user_prompts.h"

#include <QString>

class QMessageBox;
class QWidget;

namespace zbpv {

class QtUserPrompts : public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* parent);
    PromptAnswer Ask(const Prompt& prompt) override;

private:
    QWidget* parent_;
};

// The message box for a prompt, ready to run (tests look at it without running it).
QMessageBox* CreateMessageBox(QWidget* parent, const Prompt& prompt);

} // namespace zbpv

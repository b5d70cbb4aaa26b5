#include "app/user_prompts.h"

namespace zbpv {

namespace {

Prompt Make(std::string_view name, std::string_view text, PromptIcon icon, PromptButtons buttons,
            PromptAnswer def, bool bold) {
    Prompt p;
    p.name = std::string(name);
    p.text = std::string(text);
    p.icon = icon;
    p.buttons = buttons;
    p.defaultAnswer = def;
    p.boldHeadline = bold;
    return p;
}

} // namespace

PromptAnswer UserPrompts::AskYesNo(std::string_view name, std::string_view text, bool defaultYes, bool bold) {
    return Ask(Make(name, text, PromptIcon::Question, PromptButtons::YesNo,
                    defaultYes ? PromptAnswer::Yes : PromptAnswer::No, bold));
}

PromptAnswer UserPrompts::AskYesNoCancel(std::string_view name, std::string_view text, PromptAnswer def,
                                         bool bold) {
    return Ask(Make(name, text, PromptIcon::Question, PromptButtons::YesNoCancel, def, bold));
}

void UserPrompts::ShowInformation(std::string_view text, bool bold) {
    Ask(Make("", text, PromptIcon::Information, PromptButtons::Ok, PromptAnswer::Ok, bold));
}

void UserPrompts::ShowWarning(std::string_view text, bool bold) {
    Ask(Make("", text, PromptIcon::Warning, PromptButtons::Ok, PromptAnswer::Ok, bold));
}

void UserPrompts::ShowError(std::string_view text, bool bold) {
    Ask(Make("", text, PromptIcon::Error, PromptButtons::Ok, PromptAnswer::Ok, bold));
}

} // namespace zbpv

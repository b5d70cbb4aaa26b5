#pragma once
// Every question and message of the wizard and its run goes through here: the desktop answers with
// message boxes, the command line from its flags, a terminal or the safe default.

#include <string>
#include <string_view>

namespace zbpv {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

struct Prompt {
    // A stable name for answers given in advance ("overwrite-orders"); empty for plain messages.
    std::string name;
    std::string text; // UTF-8; paragraphs separated by an empty line
    PromptIcon icon = PromptIcon::Information;
    PromptButtons buttons = PromptButtons::Ok;
    PromptAnswer defaultAnswer = PromptAnswer::Ok;
    // The first paragraph is shown as a bold headline.
    bool boldHeadline = false;
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual PromptAnswer Ask(const Prompt& prompt) = 0;

    // Yes/no question; `defaultYes` picks the default button.
    PromptAnswer AskYesNo(std::string_view name, std::string_view text, bool defaultYes = false,
                          bool boldHeadline = false);
    PromptAnswer AskYesNoCancel(std::string_view name, std::string_view text,
                                PromptAnswer defaultAnswer = PromptAnswer::Yes, bool boldHeadline = false);
    void ShowInformation(std::string_view text, bool boldHeadline = false);
    void ShowWarning(std::string_view text, bool boldHeadline = false);
    void ShowError(std::string_view text, bool boldHeadline = false);
};

} // namespace zbpv

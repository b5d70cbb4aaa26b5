#include "app/cli_prompts.h"

#include "support/ansi.h"

#include <istream>
#include <ostream>

namespace zbpv {

std::span<const char* const> KnownQuestionNames() {
    static const char* const names[] = {"overwrite-orders", "archive-mails", "empty-addresses",
                                        "empty-addresses-confirm", "continue-forms"};
    return names;
}

CliPrompts::CliPrompts(std::istream& in, std::ostream& out, std::ostream& err, bool interactive)
    : in_(in), out_(out), err_(err), interactive_(interactive) {}

PromptAnswer CliPrompts::Ask(const Prompt& prompt) {
    if (prompt.buttons == PromptButtons::Ok) {
        std::ostream& os =
            prompt.icon == PromptIcon::Error || prompt.icon == PromptIcon::Warning ? err_ : out_;
        os << prompt.text << "\n";
        return PromptAnswer::Ok;
    }
    auto given = answers.find(prompt.name);
    if (given != answers.end()) {
        return given->second ? PromptAnswer::Yes : PromptAnswer::No;
    }
    if (yesToAll) {
        return PromptAnswer::Yes;
    }
    if (!interactive_) {
        // Nobody can be asked: the safe answer.
        err_ << prompt.text << "\n-> Nein (keine Antwort vorgegeben: --answer " << prompt.name << "=yes)\n";
        return PromptAnswer::No;
    }
    bool cancel = prompt.buttons == PromptButtons::YesNoCancel;
    for (;;) {
        err_ << prompt.text << (cancel ? " [j/n/a] " : " [j/n] ") << std::flush;
        std::string line;
        if (!std::getline(in_, line)) {
            err_ << "\n";
            return PromptAnswer::No;
        }
        std::string a = AnsiLowerCase(Trim(line));
        if (a == "j" || a == "ja" || a == "y" || a == "yes") {
            return PromptAnswer::Yes;
        }
        if (a == "n" || a == "nein" || a == "no") {
            return PromptAnswer::No;
        }
        if (cancel && (a == "a" || a == "abbrechen")) {
            return PromptAnswer::Cancel;
        }
        if (a.empty()) {
            return prompt.defaultAnswer;
        }
    }
}

} // namespace zbpv

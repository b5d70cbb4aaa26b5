#pragma once
// Questions on the command line: answered from --answer/--yes, asked on a terminal, or No.

#include "app/user_prompts.h"

#include <iosfwd>
#include <map>
#include <span>
#include <string>

namespace zbpv {

// The names of the run's questions that --answer accepts.
std::span<const char* const> KnownQuestionNames();

class CliPrompts : public UserPrompts {
public:
    CliPrompts(std::istream& in, std::ostream& out, std::ostream& err, bool interactive);

    std::map<std::string, bool> answers; // --answer NAME=yes|no
    bool yesToAll = false;               // --yes

    PromptAnswer Ask(const Prompt& prompt) override;

private:
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool interactive_;
};

} // namespace zbpv

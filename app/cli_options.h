#pragma once
// The wizard on the command line (zbpv-import): the choices of pages 1 and 2 as options, the same
// discovery and validation, answers to the run's questions given in advance.

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

class Platform;
class RunController;
struct AppFolders;

struct CliWizardOptions {
    std::optional<int> selection; // ImportSelection value
    std::optional<std::string> dataPath, mailDataPath, userPath, formPath, server, database;
    bool embedded = false;
    bool noCache = false;
    bool yesToAll = false;
    bool printSettings = false;
    bool verbose = false; // the key display
    std::map<std::string, bool> answers;
};

// Exit codes of the wizard command.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2; // bad options or a failed validation of the paths page

// Whether an argument is one of the wizard's options (so the command line hands over to it).
bool IsWizardOption(std::string_view arg);
// Parses the wizard's options; a bad one raises Exception with a German message.
CliWizardOptions ParseWizardOptions(const std::vector<std::string>& args);
// The lines for the command's help.
const char* WizardOptionsHelp();

struct CliStreams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive;         // standard input and error are a terminal: questions can be asked
    bool terminalOut = false; // standard output is a terminal: progress lines update in place
    int terminalWidth = 80;   // its columns
};

// The whole wizard: parse, discover, print or validate, then hand over to `run`. Returns the exit code.
int RunWizardCommand(const std::vector<std::string>& args, Platform& platform, const AppFolders& folders,
                     RunController& run, CliStreams streams);
// The same with this process's platform, folders and standard streams.
int RunWizardCommand(const std::vector<std::string>& args, RunController& run);

} // namespace zbpv

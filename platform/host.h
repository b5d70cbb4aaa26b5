#pragma once
// What the wizard asks of the machine it runs on.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// The local host name as gethostname() reports it.
std::string LocalHostName();

// The computer name as Windows programs see it: the host name up to its first ".", in upper case,
// at most 15 characters.
std::string WindowsComputerName(std::string_view hostName);

// The first IPv4 address found for `hostName`, written "a.b.c.d"; nothing when there is none.
std::optional<std::string> LookupIPv4Address(std::string_view hostName);

// Opens the file with the program the desktop associates with it (xdg-open), without waiting for
// that program. False when no opener could be started.
bool OpenWithAssociatedProgram(const std::filesystem::path& file);

// A new random GUID in registry form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string NewGuid();

// The user's documents folder: $XDG_DOCUMENTS_DIR, else ~/Documents, else the home folder.
std::filesystem::path UserDocumentsFolder();

// The full path of the first folder in `folders` that holds a file of that name (case ignored);
// nothing when none does.
std::optional<std::filesystem::path> FindOnSearchPath(std::string_view fileName,
                                                      const std::vector<std::filesystem::path>& folders);

// The folders of $PATH.
std::vector<std::filesystem::path> ExecutableSearchPath();

} // namespace zbpv

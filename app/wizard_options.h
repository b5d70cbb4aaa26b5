#pragma once
// The wizard's options file: debug switches, the cache option and the history of the six boxes.

#include "app/app_folders.h"
#include "app/wizard_boxes.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zbpv {

struct LoadedOptions {
    std::string pvLogfileName;                     // set when "Main"/"DebugPvImport" is on
    std::optional<std::filesystem::path> debugLog; // set when "Main"/"Debug" is on
    bool useCache = true;
    std::string dbUser;     // "Main"/"DBUser": the target login of this installation, if any
    std::string dbPassword; // "Main"/"DBPassword"
};

class WizardOptionsFile {
public:
    static constexpr int MaxHistory = 15;

    // The options file of a program: "<program>.ini" in the home folder.
    WizardOptionsFile(const AppFolders& folders, std::string_view programName);

    const std::filesystem::path& FileName() const { return file_; }

    // Fills the histories (the first 15 keys "00".."0E", stopping at the first gap; "localhost"
    // first in the server list) and reads the switches. `useCache` is the check box's current state.
    LoadedOptions LoadOptions(WizardBoxes& boxes, bool useCache) const;

    // Moves each non-empty text to the top of its list and rewrites the box's section with at most
    // 15 entries; writes "Main"/"UseCache". A file that cannot be written raises EFileError with
    // "Nach <file> kann nicht geschrieben werden".
    void SaveOptions(WizardBoxes& boxes, bool useCache) const;

private:
    std::filesystem::path file_;
    AppFolders folders_;
    std::string program_;
};

} // namespace zbpv

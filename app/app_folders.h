#pragma once
// Where the wizard reads and writes its own files.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace zbpv {

struct AppFolders {
    // The folder of the running executable (files shipped with the program).
    std::filesystem::path programDir;
    // The per-user folder for everything the program writes: $ZBPV_HOME, else ~/.local/share/zbpv.
    std::filesystem::path homeDir;

    // The folders of this process; the home folder is created when missing.
    static AppFolders FromProcess();

    // A file "of the program's own folder": looked up beside the executable, then in the home folder.
    std::optional<std::filesystem::path> FindOwnFile(std::string_view name) const;
    // Where the program writes a file of that name.
    std::filesystem::path WritableFile(std::string_view name) const { return homeDir / std::string(name); }
};

} // namespace zbpv

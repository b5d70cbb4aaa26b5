#include "app/app_folders.h"

#include "platform/file_lookup.h"

#include <cstdlib>
#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

AppFolders AppFolders::FromProcess() {
    AppFolders folders;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    folders.programDir = ec ? fs::current_path(ec) : exe.parent_path();
    if (const char* home = std::getenv("ZBPV_HOME"); home && *home) {
        folders.homeDir = home;
    } else {
        const char* user = std::getenv("HOME");
        folders.homeDir = fs::path(user && *user ? user : ".") / ".local" / "share" / "zbpv";
    }
    fs::create_directories(folders.homeDir, ec);
    return folders;
}

std::optional<fs::path> AppFolders::FindOwnFile(std::string_view name) const {
    std::error_code ec;
    for (const fs::path& dir : {homeDir, programDir}) {
        if (dir.empty()) {
            continue;
        }
        if (auto hit = FindIgnoringCase(dir, name); hit && fs::is_regular_file(*hit, ec)) {
            return hit;
        }
    }
    return std::nullopt;
}

} // namespace zbpv

#include "app/app_folders.h"

#include "platform/file_lookup.h"
#include "support/program_folder.h"

#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

AppFolders AppFolders::FromProcess() {
    AppFolders folders;
    folders.programDir = ExecutableFolder();
    folders.homeDir = ProgramFolder();
    return folders;
}

std::optional<fs::path> AppFolders::FindOwnFile(std::string_view name) const {
    std::error_code ec;
    for (const fs::path& dir : {programDir, homeDir}) {
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

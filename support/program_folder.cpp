#include "support/program_folder.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace zbpv {

namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    // Services and cron jobs may run without HOME.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
        return result->pw_dir;
    }
    return std::filesystem::temp_directory_path();
}

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

} // namespace

std::filesystem::path ProgramFolder() {
    std::filesystem::path folder;
    if (const char* home = std::getenv("ZBPV_HOME"); home && *home) {
        folder = home;
    } else {
        folder = HomeFolder() / ".local" / "share" / "zbpv";
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::filesystem::path ExecutableFolder() {
    return ExecutablePath().parent_path();
}

std::string ProgramName() {
    std::filesystem::path exe = ExecutablePath();
    return exe.empty() ? std::string("zbpv") : exe.stem().string();
}

std::optional<std::filesystem::path> FindProgramFile(std::string_view name) {
    for (const std::filesystem::path& folder : {ExecutableFolder(), ProgramFolder()}) {
        if (folder.empty()) {
            continue;
        }
        std::filesystem::path candidate = folder / std::string(name);
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace zbpv

#include "platform/wine_prefix.h"

#include "platform/file_lookup.h"

#include <cstdlib>
#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

WinePrefix::WinePrefix(fs::path root) : root_(std::move(root)) {}

WinePrefix WinePrefix::FromEnvironment() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) {
        return WinePrefix(prefix);
    }
    const char* home = std::getenv("HOME");
    return WinePrefix(fs::path(home && *home ? home : ".") / ".wine");
}

bool IsWindowsPath(std::string_view text) {
    if (text.size() >= 2 && ((text[0] | 0x20) >= 'a' && (text[0] | 0x20) <= 'z') && text[1] == ':') {
        return text.size() == 2 || text[2] == '\\' || text[2] == '/';
    }
    return text.starts_with("\\\\");
}

std::optional<fs::path> WinePrefix::DriveRoot(char letter) const {
    char lower = static_cast<char>(letter | 0x20);
    std::error_code ec;
    fs::path device = root_ / "dosdevices" / (std::string(1, lower) + ":");
    if (fs::is_directory(device, ec)) {
        fs::path resolved = fs::weakly_canonical(device, ec);
        return ec ? device : resolved;
    }
    // A prefix without dosdevices (copied by hand) still has its C: drive in drive_c.
    if (lower == 'c' && fs::is_directory(root_ / "drive_c", ec)) {
        return root_ / "drive_c";
    }
    return std::nullopt;
}

std::optional<fs::path> WinePrefix::ToHostPath(std::string_view windowsPath) const {
    if (!IsWindowsPath(windowsPath)) {
        return std::nullopt;
    }
    fs::path base;
    std::string_view rest;
    if (windowsPath.starts_with("\\\\")) {
        std::error_code ec;
        fs::path unc = root_ / "dosdevices" / "unc";
        if (!fs::is_directory(unc, ec)) {
            return std::nullopt;
        }
        base = unc;
        rest = windowsPath.substr(2);
    } else {
        auto drive = DriveRoot(windowsPath[0]);
        if (!drive) {
            return std::nullopt;
        }
        base = *drive;
        rest = windowsPath.substr(2);
    }
    fs::path result = base;
    bool found = true;
    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t sep = rest.find_first_of("\\/", pos);
        std::string_view part =
            rest.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos);
        pos = sep == std::string_view::npos ? rest.size() + 1 : sep + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (result != base) { // Windows stops at the drive's root
                result = result.parent_path();
            }
            continue;
        }
        std::optional<fs::path> hit = found ? FindIgnoringCase(result, part) : std::nullopt;
        if (hit) {
            result = *hit;
        } else {
            found = false;
            result /= std::string(part);
        }
    }
    return result;
}

} // namespace zbpv

#include "platform/file_lookup.h"

#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::optional<fs::path> FindIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / fs::path(std::string(name));
    if (fs::exists(exact, ec)) {
        return exact;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameTextAscii(it->path().filename().string(), name)) {
            return it->path();
        }
    }
    return std::nullopt;
}

fs::path ResolveIgnoringCase(const fs::path& path) {
    fs::path result = path.root_path();
    bool found = true;
    for (const fs::path& part : path.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == "." || name == "..") {
            result /= part;
            continue;
        }
        std::optional<fs::path> hit;
        if (found) {
            hit = FindIgnoringCase(result.empty() ? fs::path(".") : result, name);
        }
        if (hit) {
            result = result.empty() ? hit->filename() : *hit;
        } else {
            found = false;
            result /= part;
        }
    }
    return result;
}

bool FileExistsIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    auto hit = FindIgnoringCase(folder, name);
    return hit && fs::is_regular_file(*hit, ec);
}

bool FolderHasFileWithExtension(const fs::path& folder, std::string_view ext) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && SameTextAscii(std::string_view(name).substr(dot + 1), ext) &&
            it->is_regular_file(ec)) {
            return true;
        }
    }
    return false;
}

} // namespace zbpv

#include "app/installations.h"

#include "app/ini_file.h"
#include "platform/file_lookup.h"
#include "platform/platform.h"
#include "support/ansi.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

namespace {

// The installation folder of an old product, when its registry key names an existing folder.
std::optional<fs::path> InstallFolder(const Platform& platform, const char* key) {
    auto reg = platform.LocalMachine().OpenKeyReadOnly(key);
    if (!reg) {
        return std::nullopt;
    }
    std::string folder = Trim(reg->ReadString("Pfad").value_or(""));
    if (folder.empty()) {
        return std::nullopt;
    }
    std::error_code ec;
    fs::path host = platform.HostPath(folder);
    if (!fs::is_directory(host, ec)) {
        return std::nullopt;
    }
    return host;
}

// A folder value of an old ini file, as a host path.
std::string IniFolder(const Platform& platform, const TosIniFile& ini, const char* section, const char* key) {
    std::string value = Trim(AnsiToUtf8(ini.ReadString(section, key, "")));
    return value.empty() ? value : platform.HostPath(value);
}

} // namespace

InstallationPaths FindInstallationPaths(const Platform& platform, int importSelection) {
    InstallationPaths paths;
    if (importSelection == 1) {
        if (auto folder = InstallFolder(platform, "Software\\Velkaro\\ZarvoBillora\\7.0")) {
            TosIniFile ini(FindIgnoringCase(*folder, "Zarvobil.ini").value_or(*folder / "Zarvobil.ini"));
            paths.dataPath = IniFolder(platform, ini, "Pfade", "PfadDaten");
            paths.formPath = IniFolder(platform, ini, "Pfade", "PfadFormulare");
        }
    } else if (importSelection == 16 || importSelection == 17) {
        if (auto folder = InstallFolder(platform, "Software\\Velkaro\\Postiverso\\2.0")) {
            TosIniFile ini(FindIgnoringCase(*folder, "Postiverso.ini").value_or(*folder / "Postiverso.ini"));
            paths.dataPath = IniFolder(platform, ini, "Path", "Data");
            paths.mailDataPath = IniFolder(platform, ini, "QRZPath", "Data");
            paths.formPath = IniFolder(platform, ini, "Path", "Forms");
        }
    }
    return paths;
}

} // namespace zbpv

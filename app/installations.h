#pragma once
// The folders of the old installations, found through the registry and the old programs' ini files.

#include <string>

namespace zbpv {

class Platform;

struct InstallationPaths {
    // Host paths (UTF-8), empty when not found.
    std::string dataPath;
    std::string mailDataPath;
    std::string formPath;
};

// Selection 1: the old invoicing program's "Zarvobil.ini"; 16 and 17: the old mail office's
// "Postiverso.ini" (so with both the paths come from the mail office). Anything missing stays empty.
InstallationPaths FindInstallationPaths(const Platform& platform, int importSelection);

} // namespace zbpv

#pragma once
// A generated old installation: the data folder shared by both old products, the mail-data folder,
// the products' ini files and the registry of a Wine prefix that names them, with German sample data
// and the awkward cases real data has.

#include <filesystem>
#include <string>
#include <vector>

namespace zbpv {

struct TSampleOptions {
    int Scale = 1; // 20 customers per unit, with contact persons, contacts and more in proportion
    // Also two customers whose numbers differ only by blanks (the target refuses the second).
    bool WithDuplicateNumbers = false;
    unsigned Seed = 4711;
};

struct TSampleInstallation {
    std::filesystem::path WinePrefix;                      // DIR/wine
    std::filesystem::path DataFolder;                      // host path of C:\ZB7\Daten
    std::filesystem::path MailFolder;                      // host path of C:\PV2\MailDaten
    std::vector<std::pair<std::string, long long>> Tables; // file name, records
};

// Writes the installation below `dir` (created; existing sample files are replaced).
TSampleInstallation WriteSampleInstallation(const std::filesystem::path& dir, const TSampleOptions& options);

} // namespace zbpv

#pragma once
// The settings of the new product: where its database is, read from the registry, the product ini and
// "Data.ini". One per process (TPrgData::Instance()); tests make their own.

#include "app/app_folders.h"

#include <filesystem>
#include <string>

namespace zbpv {

class Platform;

class TPrgData {
public:
    // Product numbers: 1 invoicing ("Billora"), 2 mail office ("Postiverso"); 3 and 4 use the
    // mail-office word too.
    static constexpr int ProductInvoicing = 1;
    static constexpr int ProductMailOffice = 2;

    TPrgData(Platform& platform, AppFolders folders);
    static TPrgData& Instance();

    // Takes effect only when the product differs from the one selected before, whatever the version.
    void SelectProduct(int product, int major, int minor);
    void LoadSettings();

    int Product() const { return product_; }
    int Major() const { return major_; }
    int Minor() const { return minor_; }
    const std::string& RegistryKeyBase() const { return keyBase_; } // "Software\\Velkaro\\Billora\\"
    const std::string& ProductIniName() const { return iniName_; }  // "Billora.ini"

    // All texts UTF-8; folders as the product wrote them (Windows paths), each with a trailing backslash.
    std::string InstallationFolder;
    std::string DBServer;
    std::string DBName;
    std::string Client; // "Mandant" without a leading "MD-"
    std::string ServerDataFolder;
    std::string DBXLibraryName;
    std::string DBXGetDriverFunc;
    // The product ini that was read, empty when none was found.
    std::filesystem::path ProductIniFile;

    // The maker's data folder: the common documents folder + "Velkaro-Data", created when missing;
    // the user's documents folder when it cannot be created.
    std::filesystem::path DataFolder() const;

private:
    void ReadProductIni();
    void ReadDataIni(const std::filesystem::path& file);

    Platform& platform_;
    AppFolders folders_;
    int product_ = 0;
    int major_ = 0;
    int minor_ = 0;
    std::string keyBase_;
    std::string iniName_;
};

std::string ProductWord(int product);
std::string WithTrailingBackslash(std::string_view folder);

} // namespace zbpv

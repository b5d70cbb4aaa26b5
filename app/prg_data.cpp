#include "app/prg_data.h"

#include "app/ini_file.h"
#include "platform/file_lookup.h"
#include "platform/platform.h"
#include "support/ansi.h"
#include "support/errors.h"

#include <system_error>
#include <unistd.h>

namespace zbpv {

namespace fs = std::filesystem;

std::string ProductWord(int product) {
    return product == TPrgData::ProductInvoicing ? "Billora" : "Postiverso";
}

std::string WithTrailingBackslash(std::string_view folder) {
    std::string f(folder);
    if (!f.empty() && f.back() != '\\' && f.back() != '/') {
        f += '\\';
    }
    return f;
}

TPrgData::TPrgData(Platform& platform, AppFolders folders)
    : platform_(platform), folders_(std::move(folders)) {}

TPrgData& TPrgData::Instance() {
    static TPrgData instance(CurrentPlatform(), AppFolders::FromProcess());
    return instance;
}

void TPrgData::SelectProduct(int product, int major, int minor) {
    if (product == product_) {
        return;
    }
    product_ = product;
    major_ = major;
    minor_ = minor;
    keyBase_ = "Software\\Velkaro\\" + ProductWord(product) + "\\";
    iniName_ = ProductWord(product) + ".ini";
}

fs::path TPrgData::DataFolder() const {
    std::error_code ec;
    fs::path folder = platform_.CommonDocumentsFolder() / "Velkaro-Data";
    // Only inside an existing documents folder: a missing prefix is not made up here.
    if (fs::is_directory(folder, ec) || fs::create_directory(folder, ec)) {
        return folder;
    }
    return platform_.UserDocumentsFolder();
}

namespace {

// A folder from a setting: a Windows path of the prefix or a host path.
fs::path HostFolder(const Platform& platform, std::string_view folder) {
    std::string f(folder);
    while (!f.empty() && (f.back() == '\\' || f.back() == '/')) {
        f.pop_back();
    }
    return f.empty() ? fs::path() : fs::path(platform.HostPath(f));
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

} // namespace

void TPrgData::LoadSettings() {
    DBServer.clear();
    DBName.clear();
    if (auto key = platform_.LocalMachine().OpenKeyReadOnly(keyBase_ + std::to_string(major_) + "." +
                                                            std::to_string(minor_))) {
        InstallationFolder = WithTrailingBackslash(key->ReadString("Pfad").value_or(""));
        DBServer = key->ReadString("DBServer").value_or("");
        DBName = key->ReadString("DBName").value_or("");
        // "DBUser", "DBPassword" and "DBAdminPassword" are kept scrambled there; this program logs in
        // with its own settings and leaves them alone.
    }
    ReadProductIni();
    if (!ServerDataFolder.empty()) {
        if (auto file = FindIgnoringCase(HostFolder(platform_, ServerDataFolder), "Data.ini");
            file && IsFile(*file)) {
            ReadDataIni(*file);
        }
    }
    if (auto file = folders_.FindOwnFile("Data.ini")) {
        ReadDataIni(*file);
    }
    DBServer = Trim(DBServer);
}

void TPrgData::ReadProductIni() {
    ProductIniFile.clear();
    if (iniName_.empty()) {
        return;
    }
    fs::path dataFolder = DataFolder();
    std::optional<fs::path> dataCopy = FindIgnoringCase(dataFolder, iniName_);
    if (dataCopy && !IsFile(*dataCopy)) {
        dataCopy.reset();
    }
    std::optional<fs::path> found = folders_.FindOwnFile(iniName_);
    if (!found && !InstallationFolder.empty()) {
        found = FindIgnoringCase(HostFolder(platform_, InstallationFolder), iniName_);
        if (found && !IsFile(*found)) {
            found.reset();
        }
    }
    if (!found) {
        found = dataCopy;
    }
    if (!found) {
        return;
    }
    if (::access(found->c_str(), W_OK) != 0 && dataCopy) {
        found = dataCopy; // a write-protected copy gives way to the data-folder one
    }
    ProductIniFile = *found;
    TosIniFile ini(*found);
    std::string section = Utf8ToAnsi(platform_.ComputerName());
    auto read = [&](const char* key, std::string& field) {
        if (ini.ValueExists(section, key)) {
            field = AnsiToUtf8(ini.ReadString(section, key, ""));
        }
    };
    read("Mandant", Client);
    if (Client.size() >= 3 && AnsiSameText(std::string_view(Client).substr(0, 3), "MD-")) {
        Client.erase(0, 3);
    }
    if (ini.ValueExists(section, "PfadzurServerDB")) {
        ServerDataFolder = WithTrailingBackslash(AnsiToUtf8(ini.ReadString(section, "PfadzurServerDB", "")));
    }
    read("DBXLibraryName", DBXLibraryName);
    read("DBXGetDriverFunc", DBXGetDriverFunc);
    if (AnsiSameText(ini.ReadString(section, "ErsterStart", ""), "ja")) {
        try {
            ini.WriteString(section, "ErsterStart", "Nein");
        } catch (const EFileError&) {
            // Only a marker for the product itself; a protected file must not stop the wizard.
        }
    }
}

void TPrgData::ReadDataIni(const fs::path& file) {
    TosIniFile ini(file);
    auto readSection = [&](const std::string& section) {
        if (ini.ValueExists(section, "DBServer")) {
            DBServer = AnsiToUtf8(ini.ReadString(section, "DBServer", ""));
        }
        if (ini.ValueExists(section, "DBName")) {
            DBName = AnsiToUtf8(ini.ReadString(section, "DBName", ""));
        }
    };
    readSection("Net");
    if (!Client.empty()) {
        readSection("MD-" + Utf8ToAnsi(Client));
    }
}

} // namespace zbpv

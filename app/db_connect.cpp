#include "app/db_connect.h"

#include "app/prg_data.h"
#include "dbaccess/connection.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "support/ansi.h"

#include <filesystem>

namespace zbpv {

std::string TargetSettings::Target() const {
    return embedded || server.empty() ? database : server + ":" + database;
}

TDBConnect::TDBConnect(Platform& platform, TPrgData& prgData) : platform_(platform), prgData_(prgData) {}

void TDBConnect::ReadInstalledVersions() {
    InvoicingVersion = InstalledVersionOrDefault(platform_.LocalMachine(), "Billora");
    MailProductVersion = InstalledVersionOrDefault(platform_.LocalMachine(), "Postiverso");
}

void TDBConnect::LoadTargetSettings() {
    if (ImportSelection == 1) {
        prgData_.SelectProduct(TPrgData::ProductInvoicing, InvoicingVersion.Major, InvoicingVersion.Minor);
    } else if (ImportSelection == 16 || ImportSelection == 17) {
        prgData_.SelectProduct(TPrgData::ProductMailOffice, MailProductVersion.Major,
                               MailProductVersion.Minor);
    }
    prgData_.LoadSettings();
    SetServer(prgData_.DBServer);
    DBName = prgData_.DBName;
    DBXLibraryName = prgData_.DBXLibraryName;
    DBXGetDriverFunc = prgData_.DBXGetDriverFunc;
    if (!DBXLibraryName.empty()) {
        std::vector<std::filesystem::path> search = ExecutableSearchPath();
        std::string install = prgData_.InstallationFolder;
        while (!install.empty() && (install.back() == '\\' || install.back() == '/')) {
            install.pop_back();
        }
        if (!install.empty()) {
            search.emplace_back(platform_.HostPath(install));
        }
        auto found = FindOnSearchPath(DBXLibraryName, search);
        DBXLibraryName = found ? found->string() : std::string();
    }
    if (DBXLibraryName.empty()) {
        DBXLibraryName = "dbexpint.dll";
        DBXGetDriverFunc = "getSQLDriverINTERBASE";
    }
    DBUser = ConfiguredUser.empty() ? std::string(DefaultUser) : ConfiguredUser;
    DBPassword = ConfiguredPassword;
}

void TDBConnect::SetServer(std::string_view name) {
    DBServer = std::string(name);
    if (DBServer.empty() || AnsiSameText(DBServer, "localhost")) {
        if (auto address = platform_.OwnIPv4Address()) {
            DBServer = *address;
        }
    }
}

std::string TDBConnect::ConnectionString() const {
    return DBServer + ":" + DBName;
}

TargetSettings TDBConnect::Target() const {
    TargetSettings t;
    t.embedded = Embedded;
    t.server = Embedded ? std::string() : DBServer;
    t.database = DBName;
    if (Embedded) {
        t.user = ConfiguredUser; // empty: the client library's default user
    } else {
        t.user = DBUser.empty() ? std::string(DefaultUser) : DBUser;
    }
    t.password = DBPassword.empty() ? ConfiguredPassword : DBPassword;
    return t;
}

} // namespace zbpv

namespace zbpv {

namespace {

void Configure(const TargetSettings& t, TKVDBConnection& connection) {
    connection.Close();
    TConnectionParams& p = connection.Params;
    p.ServerName = t.server;
    p.DatabaseName = t.database;
    p.UserName = t.user;
    p.Password = t.password;
    p.RoleName.clear();
    p.CharSet = t.charSet;
    p.SQLDialect = t.sqlDialect;
}

} // namespace

void TDBConnect::ConfigureDbxConnection(TKVDBConnection& connection) const {
    Configure(Target(), connection);
}

void TDBConnect::ConfigureIboConnection(TKVDBConnection& connection) const {
    Configure(Target(), connection);
}

} // namespace zbpv

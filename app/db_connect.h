#pragma once
// Where the target database is and how to log in.

#include "app/product_version.h"

#include <string>
#include <string_view>

namespace zbpv {

class Platform;
class TPrgData;
class TKVDBConnection;

// What the wizard hands to the database layer for the target connection.
struct TargetSettings {
    std::string server;   // host name or IPv4 address; empty with `embedded`
    std::string database; // file path as the server sees it (never mapped)
    std::string user;
    std::string password;  // empty: the client library's own default (ZBPV_DB_PASSWORD, ISC_PASSWORD)
    bool embedded = false; // open `database` in this process, no server
    std::string charSet = "ISO8859_1";
    int sqlDialect = 3;

    // "server:path", or the path alone for the embedded engine.
    std::string Target() const;
};

class TDBConnect {
public:
    static constexpr const char* DefaultUser = "Velkaro03";

    TDBConnect(Platform& platform, TPrgData& prgData);

    int ImportSelection = 0;
    std::string DBUser;
    std::string DBPassword;
    std::string DBName;
    std::string DBServer;
    std::string DBXLibraryName;
    std::string DBXGetDriverFunc;
    ProductVersion InvoicingVersion{8, 0, 0, 0};
    ProductVersion MailProductVersion{3, 0, 0, 0};
    // Login of the program's own configuration ("Main"/"DBUser", "Main"/"DBPassword" of the options
    // file, else ZBPV_DB_USER): DBUser is this user or "Velkaro03"; DBPassword is this password, and an
    // empty one leaves it to the client library (ZBPV_DB_PASSWORD, ISC_PASSWORD).
    std::string ConfiguredUser;
    std::string ConfiguredPassword;
    // Open DBName with the embedded engine instead of a server.
    bool Embedded = false;

    // Both installed versions, with their defaults when nothing is found.
    void ReadInstalledVersions();
    // Reloads server, database and driver from the product settings for the current ImportSelection.
    void LoadTargetSettings();
    // Empty or "localhost" (any case) becomes the machine's own IPv4 address; without one the name stays.
    void SetServer(std::string_view name);
    std::string ConnectionString() const; // DBServer ":" DBName
    TargetSettings Target() const;
    // Writes the settings into a client connection (closed first; nothing connects here). Both
    // connections of the wizard get the same settings; the embedded engine logs in as the client
    // library's default user, since an embedded attachment has no server login.
    void ConfigureDbxConnection(TKVDBConnection& connection) const;
    void ConfigureIboConnection(TKVDBConnection& connection) const;

private:
    Platform& platform_;
    TPrgData& prgData_;
};

} // namespace zbpv

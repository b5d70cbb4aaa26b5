// A fresh embedded Firebird database in a temporary folder, removed again at the end of the test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/provider.h"

namespace zbpv::test {

// A temporary folder removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class FbTempDb {
public:
    enum class Schema { None, Target };
    // Schema::Target runs the schema/ scripts of the source tree. Forced writes are off unless asked
    // for: tests need no durability.
    explicit FbTempDb(Schema schema = Schema::None, bool forcedWrites = false);
    ~FbTempDb();

    const std::string& Path() const { return path_; }
    const std::filesystem::path& Folder() const { return dir_.Path(); }
    TConnectionParams Params() const;

    // Factories and a provider on them, connected to this database.
    std::unique_ptr<TKVDBDBXProviderFactory> NewDbxFactory() const;
    std::unique_ptr<TKVDBIBOProviderFactory> NewIboFactory() const;

    // Checks through a connection of their own.
    void Exec(const std::string& sql);
    std::int64_t QueryInt(const std::string& sql);
    std::string QueryText(const std::string& sql);

private:
    TKVDBConnection& Checker();

    TempDir dir_;
    std::string path_;
    std::unique_ptr<TKVDBConnection> checker_;
};

// The schema/ folder of the source tree.
std::filesystem::path SourceSchemaFolder();
// True when the source tree has schema scripts (until they exist, tests that need them skip).
bool HaveSchema();

} // namespace zbpv::test

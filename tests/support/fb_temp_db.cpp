#include "tests/support/fb_temp_db.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "dbaccess/fb_statement.h"
#include "dbaccess/sql_script.h"

namespace zbpv::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zbpv-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path SourceSchemaFolder() { return std::filesystem::path(ZBPV_SOURCE_ROOT) / "schema"; }

bool HaveSchema() { return !SchemaScripts(SourceSchemaFolder()).empty(); }

FbTempDb::FbTempDb(Schema schema, bool forcedWrites) : path_((dir_.Path() / "target.fdb").string()) {
    TConnectionParams p = Params();
    p.ForcedWrites = forcedWrites;
    if (schema == Schema::Target) {
        CreateTargetDatabase(p, SourceSchemaFolder());
    } else {
        TKVDBConnection c;
        c.Params = p;
        c.CreateDatabase();
        c.Close();
    }
}

FbTempDb::~FbTempDb() { checker_.reset(); }

TConnectionParams FbTempDb::Params() const {
    TConnectionParams p;
    p.DatabaseName = path_;
    p.UserName = "SYSDBA";
    return p;
}

std::unique_ptr<TKVDBDBXProviderFactory> FbTempDb::NewDbxFactory() const {
    auto f = std::make_unique<TKVDBDBXProviderFactory>();
    f->Connection().Params = Params();
    return f;
}

std::unique_ptr<TKVDBIBOProviderFactory> FbTempDb::NewIboFactory() const {
    auto f = std::make_unique<TKVDBIBOProviderFactory>();
    f->Connection().Params = Params();
    return f;
}

TKVDBConnection& FbTempDb::Checker() {
    if (!checker_) {
        checker_ = std::make_unique<TKVDBConnection>();
        checker_->Params = Params();
        checker_->CommitInterval = std::chrono::milliseconds(0);
    }
    return *checker_;
}

void FbTempDb::Exec(const std::string& sql) {
    Checker().ExecuteOwnTransaction(sql, TTransIsolationLevel::xilREADCOMMITTED);
}

std::int64_t FbTempDb::QueryInt(const std::string& sql) {
    std::string t = QueryText(sql);
    return t.empty() ? 0 : std::stoll(t);
}

std::string FbTempDb::QueryText(const std::string& sql) {
    TKVDBConnection& c = Checker();
    // A fresh transaction each time, so that the check sees what others committed just now.
    c.CommitWork();
    FbStatement q(c);
    q.Prepare(sql);
    std::vector<TDbValue> row;
    q.OpenCursor({});
    std::string out;
    if (q.Fetch(row) && !row.empty())
        out = DbToText(row[0]);
    q.CloseCursor();
    c.CommitWork();
    return out;
}

} // namespace zbpv::test

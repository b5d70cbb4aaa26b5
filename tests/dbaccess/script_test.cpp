#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "dbaccess/sql_script.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

TEST(SqlScript, SplitsAtTheCurrentTerminator) {
    const std::string script = "SET SQL DIALECT 3;\n"
                               "SET NAMES ISO8859_1;\n"
                               "-- a comment; with a semicolon\n"
                               "create table A (X varchar(10) default 'a;b');\n"
                               "/* block; comment */ create table \"B;\" (Y integer);\n"
                               "SET TERM ^ ;\n"
                               "create procedure P returns (R integer) as begin R = 1; suspend; end^\n"
                               "SET TERM ; ^\n"
                               "set generator G to 5;\n"
                               "COMMIT WORK;\n"
                               "insert into A values ('it''s; here')";
    auto s = SplitSqlScript(script);
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0], "create table A (X varchar(10) default 'a;b')");
    EXPECT_EQ(s[1], "create table \"B;\" (Y integer)");
    EXPECT_EQ(s[2], "create procedure P returns (R integer) as begin R = 1; suspend; end");
    EXPECT_EQ(s[3], "set generator G to 5");
    EXPECT_EQ(s[4], "COMMIT WORK");
    EXPECT_EQ(s[5], "insert into A values ('it''s; here')");
}

namespace {
// Runs the command-line program; its exit code.
int RunCli(const std::string& args, const std::string& env = {}, const std::string& out = "/dev/null") {
    std::string cmd = env + " " ZBPV_BINARY_DIR "/bin/zbpv-import " + args + " >" + out + " 2>/dev/null";
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
} // namespace

TEST(Cli, CreatesAndListsATargetAndRefusesToOverwrite) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.Path() / "schema");
    std::ofstream(dir.Path() / "schema" / "01_tables.sql")
        << "create table ADRESSEN (LFDNR integer not null primary key, NAME1 varchar(40));\n"
           "insert into ADRESSEN values (1, 'Müller');\n"
           "SET TERM ^ ;\ncreate procedure P (A integer) returns (B integer) as begin B = :A; end^\nSET TERM ; ^\n";
    std::ofstream(dir.Path() / "schema" / "02_gen.sql") << "create generator GEN_LFDNR;\n";
    const std::string env = "ZBPV_SCHEMA_DIR=" + (dir.Path() / "schema").string();
    const std::string target = (dir.Path() / "ziel.fdb").string();

    EXPECT_EQ(RunCli("--create-target " + target, env), 0);
    ASSERT_TRUE(std::filesystem::exists(target));
    auto size = std::filesystem::file_size(target);
    EXPECT_EQ(RunCli("--create-target " + target, env), 1);
    EXPECT_EQ(std::filesystem::file_size(target), size);

    std::string out = (dir.Path() / "out.txt").string();
    EXPECT_EQ(RunCli("--list-target " + target, "", out), 0);
    std::ifstream in(out);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(all.find("ADRESSEN  1"), std::string::npos) << all;

    TKVDBConnection c;
    c.Params.DatabaseName = target;
    EXPECT_EQ(c.Attachment() != nullptr, true);
}

TEST(Cli, ExitCodes) {
    test::TempDir dir;
    struct Case {
        std::string args;
        int rc;
    } cases[] = {{"--help", 0},
                 {"--version", 0},
                 {"", 2},
                 {"--bogus", 2},
                 {"--create-target", 2},
                 {"--list-target a b", 2},
                 {"--list-target " + (dir.Path() / "fehlt.fdb").string(), 1}};
    for (const Case& c : cases)
        EXPECT_EQ(RunCli(c.args), c.rc) << c.args;
    // A broken script leaves no half-made database behind.
    std::filesystem::create_directory(dir.Path() / "schema");
    std::ofstream(dir.Path() / "schema" / "01.sql") << "create table A (X integer);\ncreate tabel B;\n";
    std::string target = (dir.Path() / "kaputt.fdb").string();
    EXPECT_EQ(RunCli("--create-target " + target, "ZBPV_SCHEMA_DIR=" + (dir.Path() / "schema").string()), 1);
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(TargetSchema, CreatesFromTheSourceTree) {
    if (!test::HaveSchema())
        GTEST_SKIP() << "schema/ has no scripts yet";
    test::FbTempDb db(test::FbTempDb::Schema::Target);
    EXPECT_GT(db.QueryInt("select count(*) from RDB$RELATIONS where coalesce(RDB$SYSTEM_FLAG, 0) = 0"), 0);
}

// Against a real Firebird server on 127.0.0.1 (started by fbserver.sh as a ctest fixture).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "dbaccess/fb_api.h"
#include "dbaccess/sql_generator.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

namespace {

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("ZBPV_TEST_FBSERVER_DIR");
        if (!dir)
            GTEST_SKIP() << "no test server (run through ctest)";
        std::ifstream(std::string(dir) + "/port") >> port;
        std::ifstream(std::string(dir) + "/password") >> password;
        ASSERT_FALSE(port.empty());
        static int counter = 0;
        path = std::string(dir) + "/db/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
               std::to_string(++counter) + ".fdb";
        TKVDBConnection c;
        c.Params = Params();
        c.CreateDatabase();
        c.ExecuteOwnTransaction("create table T (LFDNR integer not null primary key, NAME varchar(20))",
                                TTransIsolationLevel::xilREADCOMMITTED);
    }
    TConnectionParams Params() const {
        TConnectionParams p;
        p.ServerName = "127.0.0.1/" + port;
        p.DatabaseName = path;
        p.UserName = "Velkaro03";
        p.Password = password;
        return p;
    }
    std::unique_ptr<TKVDBProviderFactory> Factory(bool ibo = false) const {
        std::unique_ptr<TKVDBProviderFactory> f;
        if (ibo)
            f = std::make_unique<TKVDBIBOProviderFactory>();
        else
            f = std::make_unique<TKVDBDBXProviderFactory>();
        f->Connection().Params = Params();
        return f;
    }
    std::int64_t Count(const std::string& table) {
        auto f = Factory();
        TKVDBProvider p(f.get());
        auto q = p.CreateQuery("select count(*) from " + table, false);
        q->DataSet().Open();
        return q->DataSet().Fields(0).AsInteger();
    }
    std::string port, password, path;
};

} // namespace

TEST_F(ServerTest, QueriesDatasetsAndGeneratorsOverTcp) {
    auto f = Factory();
    EXPECT_EQ(f->ConnectionTarget(), "127.0.0.1/" + port + ":" + path);
    TKVDBProvider prov(f.get());
    TSQLGenerator gen(&prov, "GEN_LFDNR");
    auto q = prov.CreateQuery("select * from T", true);
    q->DataSet().FetchRows = false;
    q->DataSet().EmptyAfterApply = true;
    q->DataSet().Open();
    for (int i = 0; i < 250; ++i) {
        q->DataSet().Append();
        q->DataSet().FieldByName("LFDNR").SetAsInteger(gen.NextValue());
        q->DataSet().FieldByName("NAME").SetAsString("Zeile \xe4");
        q->DataSet().Post();
        if (i % 100 == 99)
            q->ApplyUpdates();
    }
    q->ApplyUpdates();
    prov.CommitWork();
    EXPECT_EQ(Count("T"), 250);
    auto mail = Factory(true);
    TKVDBProvider provMail(mail.get());
    TSQLGenerator other(&provMail, "GEN_LFDNR");
    EXPECT_EQ(other.NextValue(), 251);
}

TEST_F(ServerTest, ExecSQLSurvivesADroppedConnection) {
    auto f = Factory();
    TKVDBProvider prov(f.get());
    prov.ExecSQL("insert into T values (1, 'vorher')");
    {
        // The owner may end its own attachments.
        auto killer = Factory();
        killer->Connection().ExecuteOwnTransaction(
            "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION",
            TTransIsolationLevel::xilREADCOMMITTED);
    }
    prov.ExecSQL("insert into T values (2, 'nachher')");
    EXPECT_EQ(Count("T"), 2);
}

TEST_F(ServerTest, WrongPasswordAndUnreachableServerRaiseFirebirdsError) {
    auto f = Factory();
    f->SetPassword(password + "x");
    try {
        f->Connect();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.SqlState(), "28000") << e.what();
        EXPECT_NE(std::string(e.what()).find("password"), std::string::npos) << e.what();
    }
    // Nobody listens on port 1: the client gives up at once, not after a hang.
    f->SetPassword(password);
    f->SetServerName("127.0.0.1/1");
    auto start = std::chrono::steady_clock::now();
    try {
        f->Connect();
        FAIL() << "no error";
    } catch (const EFirebirdError& e) {
        EXPECT_TRUE(e.IsConnectionLost()) << e.what() << " " << e.SqlState();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

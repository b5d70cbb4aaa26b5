#include <gtest/gtest.h>

#include "dbaccess/fb_api.h"
#include "dbaccess/provider.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

namespace {

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.Exec("create table T (LFDNR integer not null primary key, NAME varchar(20))");
        db.Exec("insert into T values (1, 'eins')");
        db.Exec("insert into T values (2, 'zwei')");
        dbx = db.NewDbxFactory();
        ibo = db.NewIboFactory();
        prov.SetActiveFactory(dbx.get());
    }
    test::FbTempDb db;
    std::unique_ptr<TKVDBDBXProviderFactory> dbx;
    std::unique_ptr<TKVDBIBOProviderFactory> ibo;
    TKVDBProvider prov;
};

// Cuts the factory's attachment from the server side, as a network failure would.
void KillAttachments(test::FbTempDb& db) {
    db.Exec("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
}

} // namespace

TEST(ConnectionTarget, ServerAndPathWhicheverWasSetLast) {
    TKVDBDBXProviderFactory f;
    f.SetDatabaseName("/data/target.fdb");
    EXPECT_EQ(f.ConnectionTarget(), "/data/target.fdb");
    f.SetServerName("192.168.1.5");
    EXPECT_EQ(f.ConnectionTarget(), "192.168.1.5:/data/target.fdb");
    f.SetDatabaseName("/x.fdb");
    EXPECT_EQ(f.ConnectionTarget(), "192.168.1.5:/x.fdb");

    struct Case {
        const char* text;
        const char* server;
        const char* path;
    } cases[] = {{"/tmp/a.fdb", "", "/tmp/a.fdb"},
                 {"srv:/tmp/a.fdb", "srv", "/tmp/a.fdb"},
                 {"127.0.0.1/3051:/tmp/a.fdb", "127.0.0.1/3051", "/tmp/a.fdb"},
                 {"C:\\Daten\\a.fdb", "", "C:\\Daten\\a.fdb"},
                 {"/tmp/odd:name.fdb", "", "/tmp/odd:name.fdb"}};
    for (const Case& c : cases) {
        TConnectionParams p = ParseConnectionTarget(c.text);
        EXPECT_EQ(p.ServerName, c.server) << c.text;
        EXPECT_EQ(p.DatabaseName, c.path) << c.text;
    }
}

TEST_F(ProviderTest, NonLiveQueryIsForwardOnlyAndReadOnlyLiveQueryBuffersEdits) {
    auto q = prov.CreateQuery("select * from T order by LFDNR", false);
    q->DataSet().Open();
    EXPECT_EQ(q->DataSet().FieldByName("name").AsString(), "eins");
    EXPECT_THROW(q->DataSet().Edit(), EDatabaseError);
    q->DataSet().Next();
    EXPECT_THROW(q->DataSet().Prior(), EDatabaseError);
    q->DataSet().Next();
    EXPECT_TRUE(q->DataSet().Eof());

    auto live = prov.CreateQuery("select * from T where LFDNR = :LFDNR", true);
    live->Params()[0].SetAsInteger(2);
    live->DataSet().Open();
    live->DataSet().Edit();
    live->DataSet().FieldByName("NAME").SetAsString("ZWEI");
    live->DataSet().Post();
    prov.CommitWork();
    EXPECT_EQ(db.QueryText("select NAME from T where LFDNR = 2"), "zwei");
    live->ApplyUpdates();
    prov.CommitWork();
    EXPECT_EQ(db.QueryText("select NAME from T where LFDNR = 2"), "ZWEI");
    EXPECT_EQ(db.QueryText("select NAME from T where LFDNR = 1"), "eins");
}

TEST_F(ProviderTest, IboQueriesAreEditableWhateverLiveSays) {
    prov.SetActiveFactory(ibo.get());
    auto q = prov.CreateQuery("select * from T order by LFDNR", false);
    q->DataSet().Open();
    q->DataSet().Last();
    q->DataSet().Prior();
    EXPECT_EQ(q->DataSet().Fields(0).AsInteger(), 1);
    q->DataSet().Edit();
    q->DataSet().Fields(1).SetAsString("one");
    q->DataSet().Post();
    q->ApplyUpdates();
    prov.CommitWork();
    EXPECT_EQ(db.QueryText("select NAME from T where LFDNR = 1"), "one");
}

TEST_F(ProviderTest, ExecuteReturnValuesDifferByFactoryKind) {
    struct Case {
        TKVDBProviderFactory* factory;
        const char* sql;
        int expected;
    } cases[] = {{dbx.get(), "update T set NAME = 'x' where LFDNR = 99", 0},
                 {dbx.get(), "update T set NAME = 'x'", 2},
                 {ibo.get(), "update T set NAME = 'x' where LFDNR = 99", 1},
                 {ibo.get(), "update T set NAME = 'x'", 1}};
    for (const Case& c : cases) {
        prov.SetActiveFactory(c.factory);
        EXPECT_EQ(prov.CreateQuery(c.sql, false)->Execute(), c.expected) << c.factory->FactoryType() << ": " << c.sql;
    }
}

TEST_F(ProviderTest, ParametersInTextOrderAndLateSql) {
    auto q = prov.CreateQuery("", false);
    EXPECT_EQ(q->Params().Count(), 0u);
    q->SetSQL("select count(*) from T where NAME <> ':NOPE' /* :NOR */ and LFDNR >= :LOW -- :NEITHER\n"
              " and LFDNR <= :HIGH and \"NAME\" <> :low");
    ASSERT_EQ(q->Params().Count(), 3u);
    EXPECT_EQ(q->Params()[0].Name(), "LOW");
    EXPECT_EQ(q->Params()[1].Name(), "HIGH");
    q->Params()[0].SetAsInteger(2);
    q->Params()[1].SetAsInteger(5);
    q->Params()[2].SetAsString("zzz");
    q->DataSet().Open();
    EXPECT_EQ(q->DataSet().Fields(0).AsInteger(), 1);
    q->DataSet().Close();

    // With parameter checking off, colons belong to the statement (PSQL variables here).
    q->SetParamCheck(false);
    q->SetSQL("execute block returns (A integer) as declare X integer = 41; begin A = :X + 1; suspend; end");
    EXPECT_EQ(q->Params().Count(), 0u);
    q->DataSet().Open();
    EXPECT_EQ(q->DataSet().Fields(0).AsInteger(), 42);
}

TEST_F(ProviderTest, LookupQueryPreparedOnceAndReopened) {
    auto q = prov.CreateQuery("select NAME from T where LFDNR = :NR", false);
    q->SetPrepared(true);
    for (auto [nr, name] : {std::pair{1, "eins"}, {2, "zwei"}, {3, ""}}) {
        q->DataSet().Close();
        q->Params()[0].SetAsInteger(nr);
        q->DataSet().Open();
        if (*name) {
            EXPECT_EQ(q->DataSet().Fields(0).AsString(), name);
        } else {
            EXPECT_TRUE(q->DataSet().Bof() && q->DataSet().Eof());
        }
    }
}

TEST_F(ProviderTest, ExecSQLHandlerMayChangeOrVetoTheStatement) {
    int calls = 0;
    prov.OnSQLExec = [&](TKVDBProvider&, std::string& text, bool& allowed) {
        ++calls;
        if (text.find("VETO") != std::string::npos)
            allowed = false;
        else
            text = "insert into T values (3, 'geändert')";
    };
    prov.ExecSQL("insert into T values (9, 'VETO')");
    EXPECT_FALSE(dbx->Connected()) << "a vetoed statement must not even connect";
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 2);
    prov.ExecSQL("insert into T values (4, 'original')");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(db.QueryInt("select count(*) from T where LFDNR = 3"), 1);
    EXPECT_FALSE(prov.InTransaction());
}

TEST_F(ProviderTest, ExecSQLSurvivesADroppedConnection) {
    prov.ExecSQL("insert into T values (3, 'vorher')");
    auto q = prov.CreateQuery("select NAME from T where LFDNR = :NR", false);
    q->SetPrepared(true);
    KillAttachments(db);
    prov.ExecSQL("insert into T values (4, 'nachher')");
    EXPECT_EQ(db.QueryText("select NAME from T where LFDNR = 4"), "nachher");
    // Statements made before the reconnect prepare themselves again.
    q->Params()[0].SetAsInteger(4);
    q->DataSet().Open();
    EXPECT_EQ(q->DataSet().Fields(0).AsString(), "nachher");
}

TEST_F(ProviderTest, ExecSQLReportsFirebirdsErrorWhenTheRetryFailsToo) {
    try {
        prov.ExecSQL("insert into T values (1, 'doppelt')");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("PRIMARY or UNIQUE KEY"), std::string::npos) << e.what();
        EXPECT_EQ(e.SqlState(), "23000");
    }
    try {
        prov.ExecSQL("selec nonsense");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Token unknown"), std::string::npos) << e.what();
        EXPECT_EQ(e.SqlState(), "42000");
    }
    EXPECT_FALSE(prov.InTransaction());
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 2);
}

TEST_F(ProviderTest, ExecInTransactionLeavesTheCallersTransactionToTheCaller) {
    std::vector<std::string> events;
    prov.OnStartTransaction = [&](TKVDBProvider& p) { events.push_back(p.InTransaction() ? "start(in)" : "start"); };
    prov.OnCommit = [&](TKVDBProvider&) { events.push_back("commit"); };
    prov.OnRollback = [&](TKVDBProvider&) { events.push_back("rollback"); };

    prov.StartTransaction();
    prov.ExecInTransaction("insert into T values (3, 'drei')");
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 2) << "nothing committed yet";
    EXPECT_THROW(prov.ExecInTransaction("insert into T values (3, 'nochmal')"), EDatabaseError);
    EXPECT_TRUE(prov.InTransaction());
    prov.Commit();
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 3);

    prov.StartTransaction();
    prov.ExecInTransaction("delete from T");
    prov.Rollback();
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 3);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "commit", "start", "rollback"}));

    // Without a transaction of the caller: nothing half-written after a failure.
    EXPECT_THROW(prov.ExecInTransaction("insert into T select LFDNR + 10, NAME from T union all select 11, 'x' "
                                        "from RDB$DATABASE"),
                 EDatabaseError);
    prov.ExecInTransaction("insert into T values (5, 'fünf')");
    prov.CommitWork();
    EXPECT_EQ(db.QueryInt("select count(*) from T"), 4);
}

TEST_F(ProviderTest, TransactionIdsCountUpAndCloneCopiesSettings) {
    TKVDBDBXProviderFactory a;
    TKVDBIBOProviderFactory b;
    EXPECT_EQ(b.TransactionID(), a.TransactionID() + 1);
    EXPECT_EQ(a.FactoryType(), "DBExpress");
    EXPECT_EQ(b.FactoryType(), "IBObjects");

    dbx->IsolationLevel = TTransIsolationLevel::xilREPEATABLEREAD;
    dbx->SetPassword("geheim");
    dbx->Connect();
    auto clone = dbx->Clone();
    EXPECT_FALSE(clone->Connected());
    EXPECT_EQ(clone->FactoryType(), "DBExpress");
    EXPECT_EQ(clone->IsolationLevel, TTransIsolationLevel::xilREPEATABLEREAD);
    EXPECT_EQ(clone->DatabaseName(), dbx->DatabaseName());
    EXPECT_EQ(clone->Password(), "geheim");
    EXPECT_GT(clone->TransactionID(), dbx->TransactionID());
}

TEST_F(ProviderTest, StoredProcedureParamsInputsFirstThenOutputs) {
    db.Exec("create procedure ADDIERE (A integer, B integer) returns (SUMME integer, TEXT varchar(10)) as "
            "begin SUMME = A + B; TEXT = 'ok'; end");
    for (TKVDBProviderFactory* f : std::initializer_list<TKVDBProviderFactory*>{dbx.get(), ibo.get()}) {
        prov.SetActiveFactory(f);
        auto sp = prov.CreateStoredProc("addiere");
        sp->SetPrepared(true);
        ASSERT_EQ(sp->Params().Count(), 4u);
        EXPECT_EQ(sp->Params()[2].Name(), "SUMME");
        sp->Params()[0].SetAsInteger(40);
        sp->Params()[1].SetAsInteger(2);
        EXPECT_EQ(sp->Execute(), f == ibo.get() ? -1 : 0);
        EXPECT_EQ(sp->Params()[2].AsInteger(), 42);
        EXPECT_EQ(sp->Params()[3].AsString(), "ok");
    }
}

TEST(FormatSql, PositionalAndSequentialPlaceholders) {
    struct Case {
        const char* format;
        std::vector<Variant> args;
        const char* expected;
    } cases[] = {
        {"select * from %0:s where LFDNR = %1:d", {Variant("ADRESSEN"), Variant(7)}, "select * from ADRESSEN where LFDNR = 7"},
        {"%2:d-%0:s-%1:s", {Variant("a"), Variant("b"), Variant(3)}, "3-a-b"},
        {"%s/%s/%0:s/%s", {Variant("x"), Variant("y")}, "x/y/x/y"},
        {"100%% %5d|%-4s|", {Variant(42), Variant("ab")}, "100%    42|ab  |"},
        {"%.2f", {Variant(2.5)}, "2.50"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatSql(c.format, c.args), c.expected) << c.format;
    EXPECT_THROW(FormatSql("%3:s", {Variant("a")}), EConvertError);
    EXPECT_THROW(FormatSql("%d", {Variant(1.5)}), EConvertError);
    EXPECT_THROW(FormatSql("abc %", {}), EConvertError);
}

TEST_F(ProviderTest, CreateQueryFmtFormatsBeforeParsing) {
    auto q = prov.CreateQueryFmt("select NAME from %0:s where LFDNR = %1:d", {Variant("T"), Variant(2)}, false);
    q->DataSet().Open();
    EXPECT_EQ(q->DataSet().Fields(0).AsString(), "zwei");
}

TEST(ProviderFaults, MissingDatabaseAndNoFactory) {
    test::TempDir dir;
    TKVDBDBXProviderFactory f;
    f.SetDatabaseName((dir.Path() / "fehlt.fdb").string());
    TKVDBProvider prov(&f);
    try {
        prov.CreateQuery("select 1 from RDB$DATABASE", false)->DataSet().Open();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("fehlt.fdb"), std::string::npos) << e.what();
        EXPECT_FALSE(e.SqlState().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "fehlt.fdb"));
    TKVDBProvider none;
    EXPECT_THROW(none.CreateQuery("select 1 from RDB$DATABASE", false), EDatabaseError);
}

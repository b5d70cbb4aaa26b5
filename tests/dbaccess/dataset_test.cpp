#include <gtest/gtest.h>

#include "dbaccess/provider.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

namespace {

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.Exec("create table ADR (LFDNR integer not null primary key, NAME1 varchar(40), KURZ char(5), "
                "BETRAG numeric(15,2), NOTIZ blob sub_type text, BILD blob sub_type binary, "
                "ANGELEGTAM timestamp default current_timestamp, ART char(1) default 'K' not null)");
        factory = db.NewDbxFactory();
        factory->Connection().CommitInterval = std::chrono::milliseconds(0);
    }
    TKVClientDataSet& OpenTable(bool rows) {
        ds = std::make_unique<TKVClientDataSet>(factory->Connection());
        ds->SetTableName("ADR");
        ds->FetchRows = rows;
        ds->Open();
        return *ds;
    }
    void AppendRow(TKVClientDataSet& d, int nr, const std::string& name) {
        d.Append();
        d.FieldByName("LFDNR").SetAsInteger(nr);
        d.FieldByName("NAME1").SetAsString(name);
        d.Post();
    }
    test::FbTempDb db;
    std::unique_ptr<TKVDBDBXProviderFactory> factory;
    std::unique_ptr<TKVClientDataSet> ds;
};

} // namespace

TEST_F(DataSetTest, MetadataWithoutRowsAndAppendedRowsAllInserted) {
    db.Exec("insert into ADR (LFDNR, NAME1) values (1, 'schon da')");
    TKVClientDataSet& d = OpenTable(false);
    EXPECT_EQ(d.RecordCount(), 0u);
    EXPECT_TRUE(d.IsEmpty());
    EXPECT_EQ(d.FieldByName("name1").Size(), 40);
    EXPECT_EQ(d.FieldByName("KURZ").Size(), 5);
    EXPECT_EQ(d.FieldByName("BETRAG").DataType(), TFieldType::ftFMTBcd);
    EXPECT_EQ(d.FieldByName("BETRAG").Size(), 2);
    EXPECT_EQ(d.FieldByName("NOTIZ").DataType(), TFieldType::ftMemo);
    EXPECT_EQ(d.FieldByName("BILD").DataType(), TFieldType::ftBlob);
    EXPECT_EQ(d.FindField("GIBTSNICHT"), nullptr);
    EXPECT_THROW(d.FieldByName("GIBTSNICHT"), EDatabaseError);

    for (int i = 2; i <= 4; ++i)
        AppendRow(d, i, "neu " + std::to_string(i));
    EXPECT_EQ(d.ChangeCount(), 3u);
    EXPECT_EQ(d.ApplyUpdates(0), 3);
    EXPECT_EQ(d.ChangeCount(), 0u);
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 4);
    // Columns the rows left unassigned get the table's defaults.
    EXPECT_EQ(db.QueryInt("select count(*) from ADR where ART = 'K' and ANGELEGTAM is not null"), 4);
}

TEST_F(DataSetTest, EditCancelDeleteAndApplyKeyedOnLfdnr) {
    for (int i = 1; i <= 3; ++i)
        db.Exec("insert into ADR (LFDNR, NAME1, KURZ) values (" + std::to_string(i) + ", 'n" + std::to_string(i) +
                "', 'ab')");
    TKVClientDataSet& d = OpenTable(true);
    ASSERT_EQ(d.RecordCount(), 3u);
    EXPECT_EQ(d.FieldByName("KURZ").AsString(), "ab") << "CHAR columns read without trailing blanks";
    d.Next();
    d.Edit();
    d.FieldByName("NAME1").SetAsString("geändert");
    d.Post();
    d.Edit();
    d.FieldByName("NAME1").SetAsString("verworfen");
    d.Cancel();
    EXPECT_EQ(d.FieldByName("NAME1").AsString(), "geändert");
    d.Last();
    d.Delete();
    EXPECT_THROW(d.FieldByName("NAME1").SetAsString("x"), EDatabaseError) << "not in edit mode";
    EXPECT_EQ(d.ApplyUpdates(), 2);
    EXPECT_EQ(db.QueryText("select list(NAME1, ',') from (select NAME1 from ADR order by LFDNR)"), "n1,geändert");

    // A row that vanished meanwhile is an error, not a silent no-op.
    d.First();
    db.Exec("delete from ADR where LFDNR = 1");
    d.Edit();
    d.FieldByName("NAME1").SetAsString("weg");
    d.Post();
    EXPECT_THROW(d.ApplyUpdates(), EDatabaseError);
}

TEST_F(DataSetTest, FailedApplyWritesNothingOfTheBatchAndKeepsItPending) {
    db.Exec("insert into ADR (LFDNR, NAME1) values (3, 'belegt')");
    TKVClientDataSet& d = OpenTable(false);
    for (int i : {1, 2, 3, 4})
        AppendRow(d, i, "zeile");
    try {
        d.ApplyUpdates();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("PRIMARY or UNIQUE KEY"), std::string::npos) << e.what();
        EXPECT_EQ(e.SqlState(), "23000");
    }
    factory->CommitWork();
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 1);
    EXPECT_EQ(d.ChangeCount(), 4u);
    db.Exec("delete from ADR");
    EXPECT_EQ(d.ApplyUpdates(), 4);
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 4);
}

TEST_F(DataSetTest, TooLongTextFailsWithTheServersTruncationError) {
    TKVClientDataSet& d = OpenTable(false);
    AppendRow(d, 1, std::string(41, 'x'));
    try {
        d.ApplyUpdates();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.SqlState(), "22001") << e.what();
    }
}

TEST_F(DataSetTest, EmptyAfterApplyKeepsMemoryFlatAndEmptyDataSetDropsRows) {
    TKVClientDataSet& d = OpenTable(false);
    d.EmptyAfterApply = true;
    for (int batch = 0; batch < 3; ++batch) {
        for (int i = 0; i < 10; ++i)
            AppendRow(d, batch * 10 + i + 1, "b");
        d.ApplyUpdates();
        EXPECT_EQ(d.RecordCount(), 0u);
    }
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 30);

    TKVClientDataSet& all = OpenTable(true);
    EXPECT_EQ(all.RecordCount(), 30u);
    all.EmptyDataSet();
    EXPECT_EQ(all.RecordCount(), 0u);
    EXPECT_EQ(all.ApplyUpdates(), 0);
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 30);
}

TEST_F(DataSetTest, TextAndBinaryBlobsAndWindows1252BytesRoundTrip) {
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    binary = binary + binary + std::string(70000, '\x7f');
    const std::string text = "Gr\xfc\xdf" "e \x80 \x84Zitat\x93\r\n" + std::string(40000, 'a');
    const std::string name = "M\xfcller \x80";
    TKVClientDataSet& d = OpenTable(false);
    d.Append();
    d.FieldByName("LFDNR").SetAsInteger(1);
    d.FieldByName("NAME1").SetAsString(name);
    d.FieldByName("NOTIZ").SetAsString(text);
    d.FieldByName("BILD").SetAsBytes(binary);
    d.Post();
    d.ApplyUpdates();
    EXPECT_EQ(db.QueryInt("select octet_length(BILD) from ADR"), static_cast<std::int64_t>(binary.size()));
    EXPECT_EQ(db.QueryInt("select ascii_val(substring(NAME1 from 2 for 1)) from ADR"), 0xfc);

    TKVClientDataSet& r = OpenTable(true);
    EXPECT_EQ(r.FieldByName("NAME1").AsString(), name);
    EXPECT_EQ(r.FieldByName("NOTIZ").AsString(), text);
    EXPECT_EQ(r.FieldByName("BILD").AsBytes(), binary);
    EXPECT_EQ(r.FieldByName("BILD").Value().Kind(), VariantKind::Blob);
}

TEST_F(DataSetTest, AppliedRowsStayInvisibleToOthersUntilTheCommit) {
    factory->Connection().CommitInterval = std::chrono::hours(1);
    TKVClientDataSet& d = OpenTable(false);
    AppendRow(d, 1, "a");
    d.ApplyUpdates();
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 0);
    factory->CommitWork();
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 1);
    // Disconnecting commits what was applied, too.
    AppendRow(d, 2, "b");
    d.ApplyUpdates();
    ds.reset();
    factory->Disconnect();
    EXPECT_EQ(db.QueryInt("select count(*) from ADR"), 2);
}

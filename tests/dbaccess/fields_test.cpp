#include <gtest/gtest.h>

#include "dbaccess/provider.h"
#include "support/datetime.h"
#include "support/format_settings.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

TEST(FmtBcdField, FloatsRoundHalfAwayFromZeroAtTheColumnsScale) {
    test::FbTempDb db;
    db.Exec("create table N (LFDNR integer not null primary key, B2 numeric(15,2), B4 decimal(18,4))");
    auto f = db.NewDbxFactory();
    TKVClientDataSet d(f->Connection());
    d.SetTableName("N");
    d.FetchRows = false;
    d.Open();
    struct Case {
        double value;
        const char* two;  // stored in NUMERIC(15,2)
        const char* four; // stored in DECIMAL(18,4)
    } cases[] = {{0.005, "0.01", "0.0050"},       {2.125, "2.13", "2.1250"},   {-2.125, "-2.13", "-2.1250"},
                 {1.005, "1.00", "1.0050"},       {0.00005, "0.00", "0.0001"}, {-0.004, "0.00", "-0.0040"},
                 {12345.675, "12345.67", "12345.6750"}}; // the last one is held as 12345.67499999...
    int nr = 0;
    for (const Case& c : cases) {
        d.Append();
        d.FieldByName("LFDNR").SetAsInteger(++nr);
        d.FieldByName("B2").SetAsFloat(c.value);
        d.FieldByName("B4").SetValue(Variant(c.value));
        d.Post();
    }
    d.ApplyUpdates();
    f->CommitWork();
    nr = 0;
    for (const Case& c : cases) {
        ++nr;
        EXPECT_EQ(db.QueryText("select B2 from N where LFDNR = " + std::to_string(nr)), c.two) << c.value;
        EXPECT_EQ(db.QueryText("select B4 from N where LFDNR = " + std::to_string(nr)), c.four) << c.value;
    }
    d.Append();
    EXPECT_THROW(d.FieldByName("B2").SetAsString("abc"), EConvertError);
    EXPECT_THROW(d.FieldByName("LFDNR").SetAsString("abc"), EConvertError);
    d.Cancel();
}

TEST(SQLTimeStamp, Validity) {
    struct Case {
        TSQLTimeStamp ts;
        bool valid;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0}, true},        {{2024, 2, 29, 23, 59, 59, 0}, true},
        {{2023, 2, 29, 0, 0, 0, 0}, false},   {{2024, 2, 31, 0, 0, 0, 0}, false},
        {{2024, 13, 1, 0, 0, 0, 0}, false},   {{2024, 0, 1, 0, 0, 0, 0}, false},
        {{0, 1, 1, 0, 0, 0, 0}, false},       {{10000, 1, 1, 0, 0, 0, 0}, false},
        {{9999, 12, 31, 0, 0, 0, 0}, true},   {{2024, 1, 1, 24, 0, 0, 0}, false},
        {{2024, 1, 1, 0, 60, 0, 0}, false},   {{0, 0, 0, 12, 30, 0, 0}, true},
        {{1900, 2, 29, 0, 0, 0, 0}, false},   {{2000, 2, 29, 0, 0, 0, 0}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidSQLTimeStamp(c.ts), c.valid) << c.ts.Year << "-" << c.ts.Month << "-" << c.ts.Day << " "
                                                      << c.ts.Hour << ":" << c.ts.Minute;
}

TEST(SQLTimeStampField, ImpossibleStoredDateReadsAsEmpty) {
    test::FbTempDb db;
    db.Exec("create table Z (LFDNR integer not null primary key, AM timestamp)");
    db.Exec("insert into Z values (1, '2024-03-05 14:30:15')");
    db.Exec("insert into Z values (2, null)");
    auto f = db.NewDbxFactory();
    TKVDBProvider prov(f.get());
    auto q = prov.CreateQuery("select * from Z order by LFDNR", true);
    q->DataSet().Open();
    TField& am = q->DataSet().FieldByName("AM");
    ASSERT_NE(dynamic_cast<TKVSQLTimeStampField*>(&am), nullptr);
    EXPECT_DOUBLE_EQ(am.AsDateTime(), EncodeDateTime(2024, 3, 5, 14, 30, 15, 0));
    EXPECT_EQ(am.AsString(), "05.03.2024 14:30:15");
    am.DisplayFormat = "yyyy-mm-dd";
    EXPECT_EQ(am.DisplayText(), "2024-03-05");

    q->DataSet().Next();
    EXPECT_TRUE(am.Value().IsNull());
    EXPECT_EQ(am.AsString(), "");
    EXPECT_EQ(am.AsDateTime(), 0);

    // 31 February, as a broken old record would hold it.
    q->DataSet().Edit();
    am.SetAsSQLTimeStamp(TSQLTimeStamp{2024, 2, 31, 10, 0, 0, 0});
    EXPECT_TRUE(am.Value().IsNull());
    EXPECT_EQ(am.AsString(), "");
    EXPECT_EQ(am.DisplayText(), "");
    EXPECT_EQ(am.AsDateTime(), 0);
    EXPECT_EQ(am.AsSQLTimeStamp(), TSQLTimeStamp{});
    // A valid date with an impossible time is invalid as a whole.
    am.SetAsSQLTimeStamp(TSQLTimeStamp{2024, 2, 1, 25, 0, 0, 0});
    EXPECT_TRUE(am.Value().IsNull());
    q->DataSet().Cancel();
}

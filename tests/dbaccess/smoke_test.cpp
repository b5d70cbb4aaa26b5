#include <gtest/gtest.h>

#include "dbaccess/provider.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

TEST(Smoke, Roundtrip) {
    test::FbTempDb db;
    db.Exec("create table T (LFDNR integer not null primary key, NAME varchar(20), BETRAG numeric(15,2))");
    auto f = db.NewDbxFactory();
    TKVDBProvider prov(f.get());
    auto q = prov.CreateQuery("select * from T", true);
    q->DataSet().Open();
    q->DataSet().Append();
    q->DataSet().FieldByName("lfdnr").SetAsInteger(1);
    q->DataSet().FieldByName("NAME").SetAsString("abc");
    q->DataSet().FieldByName("BETRAG").SetAsFloat(2.125);
    q->DataSet().Post();
    q->ApplyUpdates();
    prov.CommitWork();
    EXPECT_EQ(db.QueryText("select BETRAG from T"), "2.13");
}

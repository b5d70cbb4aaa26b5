#include "dbaccess/paradox/paradox_query.h"
#include "dbaccess/paradox/paradox_table.h"
#include "tests/paradox/px_test_util.h"
#include "tests/support/paradox_writer.h"

#include <gtest/gtest.h>

#include <set>

namespace zbpv {
namespace {

using T = PxFieldType;

const std::string kMarker = "Neue DS-Nr - Dieser Datensatz darf nicht gel\xF6scht werden!";

struct ParadoxQueryTest : ::testing::Test {
    pxtest::TempFolder dir;
    void SetUp() override {
        TParadoxWriter w("MailEing.db");
        w.AddField("LfdNr", T::Long)
            .AddField("Benutzer", T::Short)
            .AddField("Ordner", T::Alpha, 80)
            .AddField("Groesse", T::Number)
            .AddField("Datum", T::Date)
            .SetKeyFields(1);
        const std::vector<std::string> folders = {"Private Ordner\\Posteingang",
                                                  "Private Ordner\\Gesendet\\Alt", kMarker,
                                                  "Private Ordner\\Entw\xFCrfe", "\\\\hidden"};
        for (int i = 1; i <= 60; ++i)
            w.Append({i, i % 3, folders[static_cast<size_t>(i % 5)], i * 10.0,
                      Variant::FromDateTime(EncodeDate(2020, 1, 1) + i)});
        w.Write(dir.path());
    }
    std::vector<std::vector<std::string>> Run(const std::string& sql) {
        TParadoxQuery q(dir.path());
        q.SetSQL(sql);
        q.Open();
        std::vector<std::vector<std::string>> rows;
        for (q.First(); !q.Eof(); q.Next()) {
            std::vector<std::string> row;
            for (int c = 0; c < q.FieldCount(); ++c)
                row.push_back(q.Fields(c).AsString());
            rows.push_back(row);
        }
        EXPECT_EQ(static_cast<int>(rows.size()), q.RecordCount());
        return rows;
    }
};

// The statement of the mail-folder step, lines joined by CR LF, with its alias, literals and GROUP BY.
TEST_F(ParadoxQueryTest, DistinctFoldersOfOneUser) {
    const std::string sql = "SELECT t.Ordner FROM \"MailEing.db\" t\r\n"
                            "WHERE (t.Benutzer = 2) AND\r\n"
                            "      (t.Ordner <> '" +
                            kMarker +
                            "')\r\n"
                            "GROUP BY t.Ordner;";
    TParadoxQuery q(dir.path());
    q.SetSQL(sql);
    q.Open();
    ASSERT_EQ(q.FieldCount(), 1);
    EXPECT_EQ(q.Fields(0).FieldName(), "Ordner");
    std::set<std::string> got;
    for (q.First(); !q.Eof(); q.Next())
        got.insert(q.FieldByName("ordner").AsString());
    EXPECT_EQ(got, (std::set<std::string>{"Private Ordner\\Posteingang", "Private Ordner\\Gesendet\\Alt",
                                          "Private Ordner\\Entw\xFCrfe", "\\\\hidden"}));
    EXPECT_EQ(q.RecordCount(), 4);
}

TEST_F(ParadoxQueryTest, ComparisonsOrAndTypedValues) {
    struct Case {
        std::string where;
        size_t rows;
    };
    for (const Case& c :
         std::vector<Case>{{"Benutzer = 0 OR Benutzer = 1", 40},
                           {"Benutzer = 1 AND Groesse >= 300", 10},
                           {"Ordner = 'Private Ordner\\Posteingang' AND NOT (Benutzer < 1)", 8},
                           {"LfdNr > 55 OR LfdNr <= 2", 7},
                           {"Ordner = 'gibt es nicht'", 0}}) {
        SCOPED_TRACE(c.where);
        EXPECT_EQ(Run("SELECT * FROM \"maileing\" WHERE " + c.where).size(), c.rows);
    }
    TParadoxQuery q(dir.path());
    q.SetSQL("SELECT LfdNr, Datum, Groesse AS G FROM MailEing WHERE LfdNr = 7");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("LfdNr").AsInteger(), 7);
    EXPECT_EQ(q.FieldByName("Datum").AsDateTime(), EncodeDate(2020, 1, 8));
    EXPECT_EQ(q.FieldByName("G").AsFloat(), 70.0);
    EXPECT_EQ(q.FieldByName("g").AsVariant().Kind(), VariantKind::Float);
    auto rows = Run("SELECT Benutzer, COUNT(*) FROM \"MailEing.db\" GROUP BY Benutzer ORDER BY Benutzer");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"0", "20"}, {"1", "20"}, {"2", "20"}}));
}

TEST_F(ParadoxQueryTest, ErrorsNameTheCause) {
    TParadoxQuery q(dir.path());
    q.SetSQL("SELEKT * FROM \"MailEing.db\"");
    try {
        q.Open();
        FAIL();
    } catch (const EParadoxError& e) {
        EXPECT_NE(std::string(e.what()).find("Fehler in der lokalen SQL-Abfrage"), std::string::npos);
    }
    EXPECT_FALSE(q.Active());
    q.SetSQL("SELECT * FROM \"Fehlt.db\"");
    EXPECT_THROW(q.Open(), EParadoxError);
    q.SetDatabaseName(dir.path() + "/nirgends");
    q.SetSQL("SELECT * FROM \"MailEing.db\"");
    EXPECT_THROW(q.Open(), EParadoxError);

    // A protected table reports its own message.
    TParadoxWriter w("Geheim.db");
    w.AddField("A", T::Alpha, 3).SetPassword("x");
    w.Append({"a"});
    w.Write(dir.path());
    TParadoxQuery g(dir.path());
    g.SetSQL("SELECT * FROM \"Geheim.db\"");
    try {
        g.Open();
        FAIL();
    } catch (const EParadoxError& e) {
        EXPECT_NE(std::string(e.what()).find("Kennwort"), std::string::npos);
    }
}

TEST_F(ParadoxQueryTest, QueryingLeavesTheFolderUnchanged) {
    const auto before = pxtest::Snapshot(dir.path());
    EXPECT_EQ(Run("SELECT COUNT(*) FROM \"MailEing.db\"").at(0).at(0), "60");
    EXPECT_EQ(pxtest::Snapshot(dir.path()), before);
}

} // namespace
} // namespace zbpv

#include "dbaccess/dataset_helpers.h"
#include "fakes.h"
#include "support/datetime.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

using V = Variant;

TEST(CopyFields, SameNamesIgnoringCaseAndFailedConversions) {
    test::TSqliteTarget db;
    test::TMemFolder folder;
    folder.Put("Kunden.db",
               test::MakeTable({"Gruppe", "ZahlungIn", "Fremd"}, 1, {{V("Bau"), V("abc"), V("x")}}));
    auto src = OpenSourceTable(folder, "/alt", "Kunden.db");
    auto ds = OpenTargetTableEmpty(db, "ADRESSEN");
    ds->Append();
    ds->SetByName("ORT", V("bleibt"));
    ds->SetByName("ZAHLUNGIN", V(7));
    src->First();
    EXPECT_FALSE(CopyFields(*src, *ds));
    EXPECT_EQ(ds->FieldByName("GRUPPE").AsString(), "Bau");
    EXPECT_EQ(ds->FieldByName("ORT").AsString(), "bleibt"); // no source field
    EXPECT_EQ(ds->FieldByName("ZAHLUNGIN").AsInteger(), 7); // "abc" does not convert: untouched
}

TEST(CopyFields, DatesIntoATimestampColumn) {
    test::TSqliteTarget db;
    test::TMemFolder folder;
    struct Case {
        V date;
        bool copied;
    } cases[] = {
        {V(), false},
        {V::FromDateTime(EncodeDate(1899, 1, 1)), false},
        {V::FromDateTime(EncodeDate(2600, 1, 1)), false},
        {V::FromDateTime(EncodeDate(2500, 12, 31)), true},
        {V("24.12.2005"), true},
        {V("kein Datum"), false},
    };
    for (const Case& c : cases) {
        folder.Put("Kontakte.db", test::MakeTable({"Name", "Datum:D", "Prioritaet", "Fremd"}, 1,
                                                  {{V("Anruf"), c.date, V("abc"), V("x")}}));
        auto src = OpenSourceTable(folder, "/alt", "Kontakte.db");
        auto ds = OpenTargetTableEmpty(db, "KONTAKTE");
        ds->Append();
        ds->SetByName("PRIORITAET", V(2));
        src->First();
        CopyFields(*src, *ds);
        EXPECT_EQ(ds->FieldByName("NAME").AsString(), "Anruf");
        EXPECT_EQ(ds->FieldByName("PRIORITAET").AsInteger(), 2);
        EXPECT_EQ(!ds->FieldByName("DATUM").IsNull(), c.copied) << c.date.AsString();
    }
}

TEST(OpenSourceTable, MessageNamesThePath) {
    test::TMemFolder folder;
    struct Case {
        const char* folder;
        const char* path;
    } cases[] = {
        {"C:\\ZB7\\Daten ", "C:\\ZB7\\Daten\\ArtGrup.db"},
        {"C:\\ZB7\\Daten\\", "C:\\ZB7\\Daten\\ArtGrup.db"},
        {"\xA0/home/u/Daten/ ", "/home/u/Daten/ArtGrup.db"},
        {"/home/u/Daten", "/home/u/Daten/ArtGrup.db"},
        {"", "ArtGrup.db"},
        {"  ", "ArtGrup.db"},
    };
    for (const Case& c : cases) {
        try {
            OpenSourceTable(folder, c.folder, "ArtGrup.db");
            FAIL();
        } catch (const EFileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("Die Tabelle \"") + c.path +
                          "\" konnte nicht geöffnet werden.\r\n\r\nDie Datei wurde nicht gefunden.");
        }
    }
}

} // namespace
} // namespace zbpv

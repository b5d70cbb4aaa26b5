// The invoicing run's address steps on in-memory old tables and an SQLite stand-in for the target.

#include "fakes.h"
#include "invoicing/import_run.h"
#include "support/datetime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zbpv {
namespace {

using test::MakeTable;
using V = Variant;
const V N; // null

const std::vector<std::string> kAddressFields = {
    "Nr",       "SEIT:D", "ANREDE",     "NAME",       "VORNAME",
    "Name2",    "Name3",  "Gruppe",     "EMAIL",      "TELEFON1",
    "TELEFON2", "FAX",    "MAHNSPERRE", "BANKEINZUG", "ZAHLBEDINGUNGEN:M",
    "ORT"};
std::vector<std::string> CustomerFields() {
    auto f = kAddressFields;
    f.push_back("VertreterNr");
    f.push_back("NrZweitadresse");
    return f;
}

// One old address row in the field order above (customers add VertreterNr and NrZweitadresse).
std::vector<V> Addr(const char* nr, const char* anrede, const char* name, const char* vorname,
                    const char* gruppe = "", const char* vertreter = nullptr, const char* zweit = nullptr) {
    std::vector<V> r = {V(nr),
                        V::FromDateTime(EncodeDate(2001, 2, 3)),
                        V(anrede),
                        V(name),
                        V(vorname),
                        V(""),
                        V(""),
                        V(gruppe),
                        V("Info@Example.DE"),
                        V("(089) 12-34"),
                        V(""),
                        V("089/99"),
                        V("J"),
                        V("j"),
                        V("Zahlbar per Lastschrift"),
                        V("München")};
    if (vertreter) {
        r.push_back(V(vertreter));
        r.push_back(V(zweit ? zweit : ""));
    }
    return r;
}

const std::vector<std::string> kAnsprechFields = {
    "Art",     "Nr",  "Name",  "Vorname",     "Anrede",       "Abteilung",  "Position:I",
    "Telefon", "Fax", "EMail", "Briefanrede", "Geburtstag:D", "FreiFeld01", "Bemerkung:M"};
std::vector<V> Person(const char* art, const char* nr, const char* name, const char* vorname) {
    return {V(art),
            V(nr),
            V(name),
            V(vorname),
            V("Herr"),
            V("Einkauf"),
            V(3),
            V("0761 / 55-1"),
            V(""),
            V("Max@Firma.DE"),
            V("Sehr geehrter Herr"),
            N,
            V("frei"),
            V("")};
}

// A small old installation: two employees, four customers, one supplier, their contact persons,
// groups, stored assignments, contacts and delivery addresses.
test::TMemFolder Installation() {
    test::TMemFolder f;
    f.Put("Mitarbei.db", MakeTable(kAddressFields, 1,
                                   {Addr("1", "Herr", "Berger", "Hans", "Vertrieb"),
                                    Addr("2", "Frau", "Vogt", "Dr. Ina", "Vertrieb;Innendienst")}));
    f.Put("Kunden.db", MakeTable(CustomerFields(), 1,
                                 {Addr("17", "Firma", "Bau GmbH", "", "Stammkunden; Bau; Hochbau", "1", "A5"),
                                  Addr("A5", "Herr Dr.", "Huber", "Karl", "VIP;vip ;Presse", "2", ""),
                                  Addr("20", "Frau", "Klein", "Prof. Dr. Eva", "", "", ""),
                                  Addr("", "Herr", "Ohne Nummer", "", "", "", "")}));
    f.Put("Liefer.db", MakeTable(kAddressFields, 1, {Addr("300", "Fa.", "Holz AG", "Prof. Max", "Bau")}));
    f.Put("Ansprech.db", MakeTable(kAnsprechFields, 2,
                                   {Person("K", "17", "Maier", "Max"), Person("K", "17", "Maier", "Moritz"),
                                    Person("K", "A5", "Huber", "Anna"), Person("L", "300", "Holz", "Ute")}));
    f.Put("Gruppen.DB", MakeTable({"Kurzbez", "Bezeichnung"}, 1, {{V("Presse"), V("Presse und Medien")}}));
    f.Put("GrZuord.DB", MakeTable({"Nr", "Gruppe", "Zuordnungsdatum:D"}, 2,
                                  {{V("17"), V("Bau"), V::FromDateTime(EncodeDate(2005, 1, 1))},
                                   {V("20"), V("Newsletter"), N},
                                   {V("99"), V("Newsletter"), N}}));
    f.Put("Kontakte.db", MakeTable({"Art", "Nr", "Name", "Datum:D", "Zeit:D", "KontaktArt", "ID"}, 2,
                                   {{V("K"), V("17"), V("Anruf Bau"), V::FromDateTime(EncodeDate(2006, 5, 4)),
                                     V::FromDateTime(EncodeTime(10, 30, 0, 0)), V("Telefon"), V("C1")},
                                    {V("K"), V("a5"), V("Besuch"), V::FromDateTime(EncodeDate(2006, 5, 5)), N,
                                     V("Besuch"), V("C2")},
                                    {V("K"), V("999"), V("Unbekannt"),
                                     V::FromDateTime(EncodeDate(2006, 5, 6)), N, V("Brief"), V("")},
                                    {V("L"), V("300"), V("Lieferung"),
                                     V::FromDateTime(EncodeDate(2006, 5, 7)), N, V("Brief"), V("C4")},
                                    {V("X"), V("17"), V("Andere Art"),
                                     V::FromDateTime(EncodeDate(2006, 5, 8)), N, V("Brief"), V("C5")}}));
    f.Put("Kunlief.db",
          MakeTable({"Kundennr", "NrZweitAdresse"}, 1,
                    {{V("17"), V("20")}, {V("17"), V("20")}, {V("A5"), V("404")}, {V("20"), V("")}}));
    return f;
}

struct Fixture {
    test::TMemFolder folder = Installation();
    test::TSqliteTarget db;
    test::TScriptedPrompts prompts;
    test::TRecordingProgress progress;
    TRunSettings settings;
    std::filesystem::path home;

    Fixture() {
        home = std::filesystem::temp_directory_path() /
               ("zbpv_run_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home / "mail");
        settings.ImportSelection = 1;
        settings.DataPath = "/old/ZB7/Daten";
        settings.MailDataPath = (home / "mail").string();
        settings.LogFolder = home / "Log";
        db.ExecuteDirect("INSERT INTO ZAHLWEISE VALUES (9001, 'Bar'), (9002, 'Lastschrift 14 Tage')");
    }
    ~Fixture() { std::filesystem::remove_all(home); }
    std::unique_ptr<TImportRun> Make() {
        return std::make_unique<TImportRun>(settings, db, folder, prompts, progress);
    }
    bool Execute() { return Make()->Execute(); }
    std::string Addr(const std::string& nr, const std::string& art, const std::string& col) {
        return db.Text("SELECT " + col + " FROM ADRESSEN WHERE NR = '" + nr + "' AND ART = '" + art + "'");
    }
    long long Lfdnr(const std::string& nr, const std::string& art) {
        return std::stoll(Addr(nr, art, "LFDNR"));
    }
    // Existing addresses in the target before the run.
    void Existing(int n) {
        for (int i = 0; i < n; ++i)
            db.ExecuteDirect("INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME) VALUES (" +
                             std::to_string(5000 + i) + ", '" +
                             std::string(8 - std::to_string(900 + i).size(), ' ') + std::to_string(900 + i) +
                             "', 'K', 'Alt" + std::to_string(i) + "')");
    }
    std::string Dump(const std::string& table) {
        std::string out;
        for (auto& row : db.Rows("SELECT * FROM " + table + " ORDER BY LFDNR")) {
            for (auto& v : row)
                out += (v.IsNull() ? "<null>" : v.AsString()) + "|";
            out += "\n";
        }
        return out;
    }
};

TEST(InvoicingRun, FreshImportWritesAddressesWithTheirRules) {
    SetClockForTests([] { return EncodeDateTime(2026, 1, 2, 3, 4, 5, 0); });
    Fixture r;
    ASSERT_TRUE(r.Execute());
    SetClockForTests({});

    EXPECT_EQ(r.db.Count("ADRESSEN"), 6); // the record without number is skipped
    // Numeric numbers right-aligned, others trimmed as they are.
    EXPECT_EQ(r.Addr("      17", "K", "NAME"), "Bau GmbH");
    EXPECT_EQ(r.Addr("A5", "K", "NAME"), "Huber");
    EXPECT_EQ(r.Addr("       1", "M", "NAME"), "Berger");
    // Salutation and title.
    EXPECT_EQ(r.Addr("      17", "K", "ANREDE"), "");
    EXPECT_EQ(r.Addr("A5", "K", "ANREDE"), "Herr");
    EXPECT_EQ(r.Addr("A5", "K", "TITEL"), "Dr.");
    EXPECT_EQ(r.Addr("      20", "K", "TITEL"), "Prof. Dr.");
    EXPECT_EQ(r.Addr("      20", "K", "VORNAME"), "Eva");
    EXPECT_EQ(r.Addr("      20", "K", "SUCHBEGRIFF"), "Klein, Eva");
    EXPECT_EQ(r.Addr("      17", "K", "SUCHBEGRIFF"), "Bau GmbH");
    EXPECT_EQ(r.Addr("     300", "L", "ANREDE"), ""); // "Fa." with a title in the first name
    EXPECT_EQ(r.Addr("     300", "L", "TITEL"), "Prof.");
    // Copied and computed columns.
    EXPECT_EQ(r.Addr("      17", "K", "EMAIL"), "info@example.de");
    EXPECT_EQ(r.Addr("      17", "K", "TELEFONMATCHCODE"), ";0891234;;;08999;");
    EXPECT_EQ(r.Addr("      17", "K", "MAHNSPERRE"), "J");
    EXPECT_EQ(r.Addr("      17", "K", "BANKEINZUG"), "N");
    EXPECT_EQ(r.Addr("      17", "K", "AUFTRAGSSPERRE"), "N");
    EXPECT_EQ(r.Addr("      17", "K", "ZAHLWEISE"), "Bankeinzug");
    EXPECT_EQ(r.Addr("      17", "K", "ORT"), "München");
    EXPECT_EQ(r.Addr("      17", "K", "ANGELEGTAM"), std::to_string(EncodeDate(2001, 2, 3)).substr(0, 5));
    // Sales representative and, from the second pass, the delivery address.
    EXPECT_EQ(r.Addr("      17", "K", "VERTRETERLFDNR"), std::to_string(r.Lfdnr("       1", "M")));
    EXPECT_EQ(r.Addr("      17", "K", "LFDNRZWEITADRESSE"), std::to_string(r.Lfdnr("A5", "K")));
    EXPECT_EQ(r.Addr("A5", "K", "LFDNRZWEITADRESSE"), "<null>");

    // Contact persons under their address.
    EXPECT_EQ(r.db.Count("ANSPRECH"), 4);
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM ANSPRECH WHERE ADRESSENLFDNR = " +
                        std::to_string(r.Lfdnr("      17", "K"))),
              "2");
    EXPECT_EQ(
        r.db.Text(
            "SELECT TELEFONMATCHCODE || '/' || POS || '/' || EMAIL FROM ANSPRECH WHERE VORNAME = 'Anna'"),
        ";0761551;;;;/3/max@firma.de");

    // Closing message, counters, the employees' map of representatives.
    EXPECT_EQ(r.prompts.Shown, std::vector<std::string>{"|Import abgeschlossen."});
    EXPECT_EQ(r.progress.Panels["panKun"], 4);
    EXPECT_EQ(r.progress.Panels["panKunAnz"], 4);
    EXPECT_EQ(r.progress.Panels["panAP"], 4);
    EXPECT_EQ(r.progress.Panels["panAPAnz"], 4);
    EXPECT_EQ(r.progress.PassLabels, std::vector<std::string>{"lblKunPass"});
    EXPECT_GE(r.db.Commits, 3); // every step that ran ends with a commit
}

TEST(InvoicingRun, GroupListsAssignEachGroupOnce) {
    Fixture r;
    ASSERT_TRUE(r.Execute());
    auto groupsOf = [&](const std::string& nr, const std::string& art) {
        return r.db.Text(
            "SELECT group_concat(KURZBEZ, ',') FROM (SELECT G.KURZBEZ FROM GRZUORD Z JOIN GRUPPEN G ON "
            "G.LFDNR = Z.GRUPPELFDNR WHERE Z.KUNDENLFDNR = " +
            std::to_string(r.Lfdnr(nr, art)) + " ORDER BY Z.LFDNR)");
    };
    EXPECT_EQ(groupsOf("      17", "K"), "Stammkunden,Bau,Hochbau");
    EXPECT_EQ(groupsOf("A5", "K"), "vip,Presse");
    EXPECT_EQ(groupsOf("       2", "M"), "Vertrieb,Innendienst");
    // "Vertrieb" and "Bau" are shared groups, each created once.
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRUPPEN WHERE UPPER(KURZBEZ) = 'VERTRIEB'"), "1");
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRUPPEN WHERE KURZBEZ = 'Bau'"), "1");
    EXPECT_EQ(r.db.Count("GRUPPEN"), 7);
    EXPECT_EQ(r.progress.Panels["panGrp"], 7);
    EXPECT_EQ(r.progress.Panels["panGrZuord"], 9);
    // Gruppen.DB is read only when the mail office is included.
    EXPECT_EQ(r.db.Text("SELECT BEZEICHNUNG FROM GRUPPEN WHERE KURZBEZ = 'Presse'"), "<null>");
}

TEST(InvoicingRun, StoredAssignmentsAndGroupDetailsWithTheMailOffice) {
    Fixture r;
    r.settings.ImportSelection = 17;
    ASSERT_TRUE(r.Execute());
    EXPECT_EQ(r.db.Text("SELECT BEZEICHNUNG FROM GRUPPEN WHERE KURZBEZ = 'Presse'"), "Presse und Medien");
    // "17;Bau" was already assigned from the group list; "20;Newsletter" is new (with the current
    // date), "99" has no customer.
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRZUORD WHERE KUNDENLFDNR = " +
                        std::to_string(r.Lfdnr("      17", "K"))),
              "3");
    EXPECT_EQ(
        r.db.Text(
            "SELECT COUNT(*) FROM GRZUORD Z JOIN GRUPPEN G ON G.LFDNR = Z.GRUPPELFDNR WHERE G.KURZBEZ = "
            "'Newsletter'"),
        "1");
    EXPECT_EQ(r.db.Text("SELECT ANGELEGTVON FROM GRZUORD WHERE ZUORDNUNGSDATUM IS NOT NULL"), "ADM");
    EXPECT_EQ(r.progress.PassLabels, (std::vector<std::string>{"lblKunPass", "lblGrZuordPass"}));
    // The closing message of a run with the mail office.
    ASSERT_EQ(r.prompts.Shown.size(), 1u);
    EXPECT_EQ(r.prompts.Shown[0].rfind("Import abgeschlossen.|Bitte beachten Sie", 0), 0u);
}

TEST(InvoicingRun, ContactsWithAndWithoutAddress) {
    Fixture r;
    r.settings.ImportSelection = 17;
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    EXPECT_EQ(r.db.Count("KONTAKTE"), 5);
    auto adr = [&](const std::string& name) {
        return r.db.Text("SELECT ADRESSENLFDNR FROM KONTAKTE WHERE NAME = '" + name + "'");
    };
    EXPECT_EQ(adr("Anruf Bau"), std::to_string(r.Lfdnr("      17", "K")));
    EXPECT_EQ(adr("Besuch"), std::to_string(r.Lfdnr("A5", "K"))); // "a5" finds "A5"
    EXPECT_EQ(adr("Unbekannt"), "<null>");
    EXPECT_EQ(adr("Lieferung"), std::to_string(r.Lfdnr("     300", "L")));
    EXPECT_EQ(adr("Andere Art"), "<null>");
    EXPECT_DOUBLE_EQ(r.db.Rows("SELECT DATUM FROM KONTAKTE WHERE NAME = 'Anruf Bau'").at(0).at(0).AsFloat(),
                     EncodeDateTime(2006, 5, 4, 10, 30, 0, 0));
    EXPECT_DOUBLE_EQ(r.db.Rows("SELECT DATUM FROM KONTAKTE WHERE NAME = 'Besuch'").at(0).at(0).AsFloat(),
                     EncodeDate(2006, 5, 5));
}

TEST(InvoicingRun, MailOfficeOnlyTakesCustomers) {
    Fixture r;
    r.settings.ImportSelection = 16;
    ASSERT_TRUE(r.Execute());
    EXPECT_EQ(r.db.Text("SELECT group_concat(DISTINCT ART) FROM ADRESSEN"), "K");
    EXPECT_EQ(r.db.Count("KONTAKTE"), 3); // customer contacts only
    EXPECT_EQ(r.db.Count("KUNLIEF"), 0);  // delivery addresses belong to the invoicing data
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRUPPEN WHERE KURZBEZ = 'Newsletter'"), "1");
}

TEST(InvoicingRun, DeliveryAddresses) {
    Fixture r;
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    // "17;20" twice in the old table is written once; "A5;404" has no second address; "20;" is empty.
    EXPECT_EQ(r.db.Count("KUNLIEF"), 1);
    EXPECT_EQ(r.db.Text("SELECT KUNDENLFDNR || ';' || LFDNRZWEITADRESSE FROM KUNLIEF"),
              std::to_string(r.Lfdnr("      17", "K")) + ";" + std::to_string(r.Lfdnr("      20", "K")));
    EXPECT_EQ(r.progress.Panels["panKunLief"], 4);
    EXPECT_TRUE(run->Report().Refused().empty()); // the repeated pair is not even tried
}

TEST(InvoicingRun, ManyDeliveryAddressesAllArrive) {
    Fixture r;
    std::vector<std::vector<V>> customers, pairs;
    for (int i = 1; i <= 251; ++i)
        customers.push_back(Addr(std::to_string(i).c_str(), "Herr", "Kunde", "", "", "", ""));
    for (int i = 2; i <= 251; ++i)
        pairs.push_back({V("1"), V(std::to_string(i))});
    r.folder.Put("Kunden.db", MakeTable(CustomerFields(), 1, customers));
    r.folder.Put("Kunlief.db", MakeTable({"Kundennr", "NrZweitAdresse"}, 1, pairs));
    ASSERT_TRUE(r.Execute());
    EXPECT_EQ(r.db.Count("KUNLIEF"), 250);
}

TEST(InvoicingRun, AddressQuestionsDecideBetweenEmptyingAndMerging) {
    struct Case {
        int existing;
        const char* first;  // answer, nullptr: not asked
        const char* second; // answer, nullptr: not asked
        bool emptied;
    } cases[] = {
        {6, nullptr, nullptr, true},
        {7, "yes", "yes", true},
        {7, "yes", "no", false},
        {7, "no", nullptr, false},
    };
    for (const Case& c : cases) {
        Fixture r;
        r.Existing(c.existing);
        if (c.first)
            r.prompts.Answers["empty-addresses"] =
                std::string(c.first) == "yes" ? TMsgAnswer::Yes : TMsgAnswer::No;
        if (c.second)
            r.prompts.Answers["empty-addresses-confirm"] =
                std::string(c.second) == "yes" ? TMsgAnswer::Yes : TMsgAnswer::No;
        auto run = r.Make();
        ASSERT_TRUE(run->Execute());
        std::vector<std::string> asked;
        if (c.first)
            asked.push_back("empty-addresses");
        if (c.second)
            asked.push_back("empty-addresses-confirm");
        EXPECT_EQ(r.prompts.Asked, asked) << c.existing << c.first;
        EXPECT_EQ(run->AddressesEmptied(), c.emptied);
        EXPECT_EQ(r.db.Count("ADRESSEN"), 6 + (c.emptied ? 0 : c.existing));
    }
}

TEST(InvoicingRun, MergeAddsOnlyWhatIsMissing) {
    Fixture r;
    r.Existing(7);
    // Customer 17 exists with a padded number and one of its two contact persons; customer 20 exists
    // with its number stored unpadded by an older tool... no: padded as the target stores it.
    r.db.ExecuteDirect(
        "INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME, ORT) VALUES (6000, '      17', 'K', 'Bau alt', 'Alt')");
    r.db.ExecuteDirect(
        "INSERT INTO ANSPRECH (LFDNR, ADRESSENLFDNR, NAME, VORNAME) VALUES (6001, 6000, 'Maier', 'Max')");
    r.db.ExecuteDirect("INSERT INTO GRUPPEN (LFDNR, KURZBEZ) VALUES (6002, 'BAU')");
    r.db.ExecuteDirect("INSERT INTO GRZUORD (LFDNR, KUNDENLFDNR, GRUPPELFDNR) VALUES (6003, 6000, 6002)");
    r.db.ExecuteDirect(
        "INSERT INTO KONTAKTE (LFDNR, ADRESSENLFDNR, NAME, DATUM, KONTAKTART) VALUES (6004, 6000, "
        "'Anruf', " +
        std::to_string(EncodeDateTime(2006, 5, 4, 10, 30, 0, 0)) + ", 'Telefon')");
    r.db.ExecuteDirect("INSERT INTO KONTAKTE (LFDNR, NAME, DATUM, KONTAKTART) VALUES (6005, 'Unbekannt', " +
                       std::to_string(EncodeDate(2006, 5, 6)) + ", 'Brief')");
    r.prompts.Answers["empty-addresses"] = TMsgAnswer::No;
    ASSERT_TRUE(r.Execute());

    // The existing row is not changed, not even by the second pass.
    EXPECT_EQ(r.Addr("      17", "K", "NAME"), "Bau alt");
    EXPECT_EQ(r.Addr("      17", "K", "LFDNRZWEITADRESSE"), "<null>");
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM ADRESSEN WHERE NR = '      17'"), "1");
    // Only the missing contact person is added.
    EXPECT_EQ(
        r.db.Text(
            "SELECT group_concat(VORNAME) FROM (SELECT VORNAME FROM ANSPRECH WHERE ADRESSENLFDNR = 6000 "
            "ORDER BY VORNAME)"),
        "Max,Moritz");
    // "Bau" exists as "BAU" and is not assigned twice; the other two groups are added.
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRZUORD WHERE KUNDENLFDNR = 6000"), "3");
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM GRUPPEN WHERE UPPER(KURZBEZ) = 'BAU'"), "1");
    // Contacts: the known one and the one whose number is not found are not written again.
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM KONTAKTE WHERE NAME = 'Anruf Bau' OR NAME = 'Anruf'"), "1");
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM KONTAKTE WHERE NAME = 'Unbekannt'"), "1");
    EXPECT_EQ(r.db.Count("KONTAKTE"), 2 + 3);
    // New customers got their delivery address.
    EXPECT_EQ(r.db.Count("ADRESSEN"), 8 + 5);
    EXPECT_EQ(r.progress.Panels["panAP"], 3); // skipped contact persons are not counted
}

TEST(InvoicingRun, MergeFindsUnpaddedNumbersAsTheyAreStored) {
    Fixture r;
    r.Existing(7);
    r.db.ExecuteDirect(
        "INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME) VALUES (6000, '      20', 'K', 'Klein alt')");
    r.prompts.Answers["empty-addresses"] = TMsgAnswer::No;
    auto& rows = r.folder.Tables["Kunden.db"].Rows;
    rows[2][0] = V(" 20 "); // blanks around the old number
    ASSERT_TRUE(r.Execute());
    EXPECT_EQ(r.db.Text("SELECT COUNT(*) FROM ADRESSEN WHERE NR = '      20'"), "1");
    EXPECT_EQ(r.Addr("      20", "K", "NAME"), "Klein alt");
}

TEST(InvoicingRun, DuplicateNumbersAreReportedAndTheRestIsWritten) {
    Fixture r;
    auto& rows = r.folder.Tables["Kunden.db"].Rows;
    rows.insert(rows.begin() + 1, Addr("017", "Frau", "Doppelt", "", "Bau", "", ""));
    rows.insert(rows.begin() + 1, Addr("17", "Frau", "Zweite", "", "Bau", "", ""));
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    EXPECT_EQ(r.Addr("      17", "K", "NAME"), "Bau GmbH");
    EXPECT_EQ(r.Addr("     017", "K", "NAME"), "Doppelt");
    EXPECT_EQ(r.db.Count("ADRESSEN"), 7);
    // The refused row takes nothing with it: the first 17 has its two contact persons only.
    EXPECT_EQ(r.db.Count("ANSPRECH"), 4);
    ASSERT_EQ(run->Report().RefusedCount(), 1u);
    EXPECT_EQ(run->Report().Refused()[0].table, "ADRESSEN");
    EXPECT_EQ(run->Report().Refused()[0].oldKey, "17");
    ASSERT_FALSE(run->ReportPath().empty());
    std::ifstream in(run->ReportPath());
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Tabelle: ADRESSEN\tSchlüssel: 17\tMeldung: "), std::string::npos);
    EXPECT_EQ(run->ReportPath().parent_path(), r.home / "Log");
    ASSERT_EQ(r.prompts.Shown.size(), 1u);
    EXPECT_NE(r.prompts.Shown[0].find("1 Datensatz wurde von der Datenbank abgewiesen"), std::string::npos);
    EXPECT_NE(r.prompts.Shown[0].find(run->ReportPath().string()), std::string::npos);
}

TEST(InvoicingRun, LongTextsAreCutToTheColumn) {
    Fixture r;
    auto& rows = r.folder.Tables["Kunden.db"].Rows;
    const std::string phone = "012345678901234567890123456789"; // 30 digits
    rows[2][3] = V("Hochbau- und Tiefbaugesellschaft Sued mb"); // the column's 40 characters
    rows[2][9] = V(phone);
    rows[2][10] = V(phone);
    rows[2][11] = V(phone);
    auto& people = r.folder.Tables["Ansprech.db"].Rows;
    people[0][7] = V(phone);
    people[0][8] = V(phone);
    r.folder.Tables["Ansprech.db"].Fields.push_back(test::MakeTable({"Telefon2"}, 0, {}).Fields[0]);
    for (auto& p : people)
        p.push_back(V(phone));
    ASSERT_TRUE(r.Execute());
    EXPECT_EQ(r.Addr("      20", "K", "SUCHBEGRIFF"), "Hochbau- und Tiefbaugesellschaft Sued mb");
    EXPECT_EQ(r.Addr("      20", "K", "length(TELEFONMATCHCODE)"), "85");
    EXPECT_EQ(r.db.Text("SELECT length(TELEFONMATCHCODE) FROM ANSPRECH WHERE VORNAME = 'Max'"), "64");
    EXPECT_EQ(r.db.Count("ADRESSEN"), 6);
    EXPECT_EQ(r.db.Count("ANSPRECH"), 4);
}

TEST(InvoicingRun, CacheOptionDoesNotChangeTheResult) {
    std::string with, without;
    for (bool cache : {true, false}) {
        Fixture r;
        r.settings.ImportSelection = 17;
        r.settings.Cache = cache;
        // A representative and a delivery address written with other letter case than the number.
        r.folder.Tables["Kunden.db"].Rows[0][16] = V("1");
        r.folder.Tables["Kunden.db"].Rows[0][17] = V("a5");
        SetClockForTests([] { return EncodeDateTime(2026, 1, 2, 3, 4, 5, 0); });
        ASSERT_TRUE(r.Execute());
        SetClockForTests({});
        std::string dump;
        for (const char* t : {"ADRESSEN", "ANSPRECH", "GRUPPEN", "GRZUORD", "KONTAKTE", "KUNLIEF"})
            dump += std::string(t) + "\n" + r.Dump(t);
        (cache ? with : without) = dump;
        EXPECT_EQ(r.Addr("      17", "K", "LFDNRZWEITADRESSE"), std::to_string(r.Lfdnr("A5", "K")));
    }
    EXPECT_EQ(with, without);
}

TEST(InvoicingRun, MissingTableEndsTheRunAndKeepsWhatWasWritten) {
    Fixture r;
    r.folder.Tables.erase("Liefer.db");
    auto run = r.Make();
    try {
        run->Execute();
        FAIL() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Die Tabelle \"/old/ZB7/Daten/Liefer.db\" konnte nicht geöffnet werden.\r\n"
                  "\r\nDie Datei wurde nicht gefunden.");
    }
    // The step and the key last shown, kept although the clean-up cleared the display.
    EXPECT_EQ(run->ExceptionContext(), "\r\nActive Procedure: ImportKunLfrMab\r\nKey to Import: 20");
    EXPECT_EQ(run->ActiveProcedure(), "");
    EXPECT_EQ(r.progress.Keys.back(), "");
    EXPECT_EQ(r.db.Count("ADRESSEN"), 5); // employees and customers stay
    EXPECT_TRUE(r.prompts.Shown.empty());
}

TEST(InvoicingRun, MissingFieldNamesItAndTheKeyStays) {
    Fixture r;
    auto& t = r.folder.Tables["Kunden.db"];
    t.Fields[16].Name = "Vertreter";
    auto run = r.Make();
    try {
        run->Execute();
        FAIL() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "Kunden.db: Feld 'VertreterNr' nicht gefunden.");
    }
    EXPECT_EQ(run->ExceptionContext(), "\r\nActive Procedure: ImportKunLfrMab\r\nKey to Import: 2");
    EXPECT_EQ(r.db.Count("ADRESSEN"), 2);
}

TEST(InvoicingRun, OrderQuestionAndArchiveQuestion) {
    for (int orders : {10, 11}) {
        Fixture r;
        for (int i = 0; i < orders; ++i)
            r.db.ExecuteDirect("INSERT INTO AUFTRAG VALUES (" + std::to_string(7000 + i) + ", '1', 'A')");
        bool went = r.Execute();
        EXPECT_EQ(went, orders == 10);
        EXPECT_EQ(r.prompts.Asked,
                  orders == 10 ? std::vector<std::string>{} : std::vector<std::string>{"overwrite-orders"});
        EXPECT_EQ(r.db.Count("ADRESSEN"), orders == 10 ? 6 : 0);
        EXPECT_TRUE(orders == 10 || r.prompts.Shown.empty());
    }
    {
        Fixture r;
        r.settings.ImportSelection = 16;
        for (int i = 0; i < 11; ++i)
            r.db.ExecuteDirect("INSERT INTO AUFTRAG VALUES (" + std::to_string(7000 + i) + ", '1', 'A')");
        std::ofstream(r.home / "mail" / "mailgesendetarchiv.db").put('x');
        r.prompts.Answers["archive-mails"] = TMsgAnswer::Yes;
        auto run = r.Make();
        ASSERT_TRUE(run->Execute());
        EXPECT_EQ(r.prompts.Asked, std::vector<std::string>{"archive-mails"});
        EXPECT_TRUE(run->ArchiveMails());
    }
    {
        Fixture r;
        r.settings.ImportSelection = 17;
        auto run = r.Make();
        ASSERT_TRUE(run->Execute());
        EXPECT_TRUE(r.prompts.Asked.empty());
        EXPECT_FALSE(run->ArchiveMails());
    }
}

TEST(InvoicingRun, StepsInOrderAndLookupsPreparedOnce) {
    std::vector<std::string> names;
    for (const auto& s : TImportRun::Steps())
        names.push_back(s.Name);
    EXPECT_EQ(names.front(), "ImportKunLfrMab");
    EXPECT_EQ(names[2], "ImportKontakte");
    EXPECT_EQ(names[9], "ImportKunLief");
    EXPECT_EQ(names.size(), 15u);

    // The number of queries prepared does not grow with the number of records.
    auto contacts = [](int n) {
        std::vector<std::vector<V>> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back({V(i % 2 ? "K" : "L"), V(i % 2 ? "17" : "300"), V("Anruf " + std::to_string(i)),
                            V::FromDateTime(EncodeDate(2006, 1, 1) + i), N, V("Telefon"), V("")});
        return MakeTable({"Art", "Nr", "Name", "Datum:D", "Zeit:D", "KontaktArt", "ID"}, 2, rows);
    };
    Fixture small, large;
    small.folder.Put("Kontakte.db", contacts(4));
    large.folder.Put("Kontakte.db", contacts(300));
    for (Fixture* f : {&small, &large}) {
        f->settings.Cache = false;
        f->Existing(7);
        f->prompts.Answers["empty-addresses"] = TMsgAnswer::No;
        ASSERT_TRUE(f->Execute());
    }
    EXPECT_EQ(large.db.Count("KONTAKTE"), 300);
    EXPECT_EQ(small.db.QueriesPrepared, large.db.QueriesPrepared);
}

TEST(InvoicingRun, StepsAndHourglassReachTheFrontEnd) {
    Fixture r;
    r.Existing(7);
    r.prompts.Answers["empty-addresses"] = r.prompts.Answers["empty-addresses-confirm"] = TMsgAnswer::Yes;
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    // Each step once, in order, then the end of the run.
    std::vector<std::string> steps;
    for (const auto& s : TImportRun::Steps())
        steps.push_back(s.Name);
    steps.push_back("");
    EXPECT_EQ(r.progress.Steps, steps);
    EXPECT_EQ(r.progress.BusyUses, 4) << "emptying addresses, contacts, delivery addresses; payment methods";
    EXPECT_EQ(r.progress.BusyDepth, 0);

    // A statement that fails restores the cursor; the statements before it stay done.
    EXPECT_ANY_THROW(
        run->ExecStatements({"DELETE FROM GRUPPEN", "DELETE FROM GIBT_ES_NICHT", "DELETE FROM ADRESSEN"}));
    EXPECT_EQ(r.progress.BusyUses, 5);
    EXPECT_EQ(r.progress.BusyDepth, 0);
    EXPECT_EQ(r.db.Count("GRUPPEN"), 0);
    EXPECT_EQ(r.db.Count("ADRESSEN"), 6);
}

TEST(InvoicingRun, ContactLinksForTheMailOffice) {
    Fixture r;
    r.settings.ImportSelection = 17;
    std::vector<std::pair<std::string, int32_t>> links;
    TRunHooks hooks;
    hooks.StartMailRun = [&](TImportRun& run) {
        ASSERT_NE(run.ContactLinks(), nullptr);
        for (int i = 0; i < run.ContactLinks()->Count(); ++i)
            links.emplace_back(run.ContactLinks()->Key(i), run.ContactLinks()->Value(i));
    };
    TImportRun run(r.settings, r.db, r.folder, r.prompts, r.progress, hooks);
    ASSERT_TRUE(run.Execute());
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0].first, "C1");
    EXPECT_EQ(std::to_string(links[0].second),
              r.db.Text("SELECT LFDNR FROM KONTAKTE WHERE NAME = 'Anruf Bau'"));
    EXPECT_EQ(run.ContactLinks(), nullptr); // freed after the run
}

} // namespace
} // namespace zbpv

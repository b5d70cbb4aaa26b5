// The address steps end to end: old tables written with the Paradox test writer, read through the
// Paradox reader, imported through the provider into a fresh embedded target made from schema/.

#include "dbaccess/provider.h"
#include "dbaccess/sql_generator.h"
#include "invoicing/import_run.h"
#include "invoicing/paradox_source.h"
#include "support/datetime.h"
#include "tests/support/fb_temp_db.h"
#include "tests/support/paradox_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace zbpv {
namespace {

using V = Variant;
const V N;

class TAnswers : public IRunPrompts {
public:
    std::map<std::string, TMsgAnswer> Answers;
    std::vector<std::string> Asked, Shown;
    TMsgAnswer Ask(const TQuestion& q) override {
        Asked.push_back(q.Name);
        auto it = Answers.find(q.Name);
        return it == Answers.end() ? q.Default : it->second;
    }
    void ShowInformation(const std::string& title, const std::string& text) override {
        Shown.push_back(title + "|" + text);
    }
};

class TNoProgress : public IRunProgress {
public:
    void StartCounter(const std::string&, const std::string&, long long) override {}
    void StepCounter(const std::string&) override {}
    void ShowTotal(const std::string&, long long) override {}
    void ShowPassLabel(const std::string&) override {}
    void ImportKeyProgress(const std::string&) override {}
    void ProcessMessages() override {}
};

// Writes one old table: fields "Name:A40", "Datum:D", "Zeit:T", "Bemerkung:M", "Pos:I".
void WriteTable(const std::filesystem::path& folder, const std::string& file,
                const std::vector<std::string>& fields, int keyFields,
                const std::vector<std::vector<V>>& rows) {
    TParadoxWriter w(file);
    for (const std::string& f : fields) {
        auto colon = f.find(':');
        std::string name = f.substr(0, colon), t = f.substr(colon + 1);
        switch (t[0]) {
        case 'D':
            w.AddField(name, PxFieldType::Date);
            break;
        case 'T':
            w.AddField(name, PxFieldType::Time);
            break;
        case 'M':
            w.AddField(name, PxFieldType::Memo, 10);
            break;
        case 'I':
            w.AddField(name, PxFieldType::Long);
            break;
        default:
            w.AddField(name, PxFieldType::Alpha, std::stoi(t.substr(1)));
        }
    }
    w.SetKeyFields(keyFields);
    for (const auto& r : rows)
        w.Append(r);
    w.Write(folder.string());
}

const std::vector<std::string> kAddress = {
    "Nr:A8",       "SEIT:D",        "ANREDE:A25",    "NAME:A40",          "VORNAME:A30",
    "Name2:A50",   "Name3:A50",     "Gruppe:A80",    "EMAIL:A70",         "TELEFON1:A30",
    "FAX:A30",     "MAHNSPERRE:A1", "BANKEINZUG:A1", "ZAHLBEDINGUNGEN:M", "ORT:A40",
    "GEBURTSTAG:D"};

std::vector<V> Addr(const char* nr, const char* anrede, const char* name, const char* vorname,
                    const char* gruppe, const char* cond = "", const char* vertreter = nullptr,
                    const char* zweit = nullptr) {
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
                        V("089/99"),
                        V("J"),
                        V("j"),
                        V(cond),
                        V("M\xFCnchen"),
                        V::FromDateTime(EncodeDate(1850, 1, 1))};
    if (vertreter) {
        r.push_back(V(vertreter));
        r.push_back(V(zweit ? zweit : ""));
    }
    return r;
}

struct Installation {
    test::TempDir dir;
    std::filesystem::path Data() const { return dir.Path() / "Daten"; }

    Installation() {
        std::filesystem::create_directories(Data());
        std::filesystem::create_directories(dir.Path() / "home");
        auto customer = kAddress;
        customer.push_back("VertreterNr:A8");
        customer.push_back("NrZweitadresse:A8");
        WriteTable(Data(), "Mitarbei.db", kAddress, 1,
                   {Addr("1", "Herr", "Berger", "Hans", "Vertrieb"),
                    Addr("2", "Frau", "Vogt", "Dr. Ina", "Vertrieb")});
        WriteTable(
            Data(), "Kunden.db", customer, 1,
            {Addr("17", "Firma", "Bau GmbH", "", "Stammkunden; Bau; Hochbau", "per Lastschrift", "1", "A5"),
             Addr("20", "Frau", "Klein", "Prof. Dr. Eva", "", "Barzahlung", "", ""),
             Addr("A5", "Herr Dr.", "Huber", "Karl", "VIP;vip ;Presse", "", "2", "")});
        WriteTable(Data(), "Liefer.db", kAddress, 1, {Addr("300", "Fa.", "Holz AG", "Prof. Max", "Bau")});
        WriteTable(Data(), "Ansprech.db",
                   {"Art:A1", "Nr:A8", "Name:A40", "Vorname:A30", "Anrede:A25", "Abteilung:A40",
                    "Position:A30", "Telefon:A30", "Telefon2:A30", "Fax:A30", "EMail:A60", "Briefanrede:A45",
                    "Geburtstag:D", "FreiFeld01:A30", "Bemerkung:M"},
                   4,
                   {{V("K"), V("17"), V("Maier"), V("Max"), V("Herr"), V(""), V("Chef"), V("0761/1"), V(""),
                     V(""), V("Max@Bau.DE"), V(""), V::FromDateTime(EncodeDate(1970, 4, 5)), V("x"), V("")},
                    {V("K"), V("17"), V("Maier"), V("Moritz"), V(""), V(""), V(""), V(""), V(""), V(""),
                     V(""), V(""), N, V(""), V("")},
                    {V("L"), V("300"), V("Holz"), V("Ute"), V(""), V(""), V(""), V(""), V(""), V(""), V(""),
                     V(""), N, V(""), V("")}});
        WriteTable(Data(), "Gruppen.DB", {"Kurzbez:A25", "Bezeichnung:A60"}, 1,
                   {{V("Presse"), V("Presse und Medien")}});
        WriteTable(
            Data(), "GrZuord.DB", {"Nr:A8", "Gruppe:A25", "Zuordnungsdatum:D"}, 2,
            {{V("17"), V("Bau"), V::FromDateTime(EncodeDate(2005, 1, 1))}, {V("20"), V("Newsletter"), N}});
        WriteTable(Data(), "Kontakte.db",
                   {"Art:A1", "Nr:A8", "Lfd:I", "Name:A60", "Datum:D", "Zeit:T", "KontaktArt:A20", "ID:A10"},
                   3,
                   {{V("K"), V("17"), V(1), V("Anruf"), V::FromDateTime(EncodeDate(2006, 5, 4)),
                     V::FromDateTime(EncodeTime(10, 30, 0, 0)), V("Telefon"), V("C1")},
                    {V("K"), V("999"), V(2), V("Unbekannt"), V::FromDateTime(EncodeDate(2006, 5, 6)), N,
                     V("Brief"), V("")},
                    {V("K"), V(""), V(3), V("Ohne"), N, N, V(""), V("C3")},
                    {V("K"), V("a5"), V(5), V("Besuch"), V::FromDateTime(EncodeDate(2006, 5, 8)), N,
                     V("Besuch"), V("")},
                    {V("L"), V("300"), V(4), V("Lieferung"), V::FromDateTime(EncodeDate(2006, 5, 7)), N,
                     V("Brief"), V("C4")}});
        WriteTable(Data(), "Kunlief.db", {"Kundennr:A8", "NrZweitAdresse:A8"}, 2,
                   {{V("17"), V("20")}, {V("A5"), V("404")}});
    }
};

struct Target {
    test::FbTempDb db{test::FbTempDb::Schema::Target};
    std::unique_ptr<TKVDBDBXProviderFactory> factory = db.NewDbxFactory();
    TKVDBProvider provider{factory.get()};
    TSQLGenerator lfdnr{&provider, "GEN_LFDNR", true};
    TProviderTarget target{provider, lfdnr};
    Target() { db.Exec("INSERT INTO ZAHLWEISE (LFDNR, ZAHLWEISE) VALUES (90001, 'Bar')"); }
    std::string Text(const std::string& sql) { return db.QueryText(sql); }
    long long Count(const std::string& table) { return db.QueryInt("SELECT COUNT(*) FROM " + table); }
    std::string Addr(const std::string& nr, const std::string& col) {
        return Text("SELECT " + col + " FROM ADRESSEN WHERE NR = '" + nr + "'");
    }
};

struct Runner {
    Installation& inst;
    Target& t;
    TAnswers prompts;
    TNoProgress progress;
    TParadoxOpener opener;
    TRunSettings settings;
    Runner(Installation& i, Target& target, int selection = 1, bool cache = true) : inst(i), t(target) {
        settings.ImportSelection = selection;
        settings.DataPath = inst.Data().string();
        settings.MailDataPath = (inst.dir.Path() / "mail").string();
        settings.LogFolder = inst.dir.Path() / "home" / "Log";
        settings.Cache = cache;
    }
    std::unique_ptr<TImportRun> Make() {
        return std::make_unique<TImportRun>(settings, t.target, opener, prompts, progress);
    }
};

class InvoicingIt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveSchema())
            GTEST_SKIP() << "no schema";
    }
};

TEST_F(InvoicingIt, FreshImportIntoAnEmptyTarget) {
    Installation inst;
    Target t;
    Runner r(inst, t, 17);
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());

    EXPECT_EQ(t.Count("ADRESSEN"), 6);
    EXPECT_EQ(t.Addr("      17", "NAME"), "Bau GmbH");
    EXPECT_EQ(t.Addr("      17", "ANREDE"), "");
    EXPECT_EQ(t.Addr("      17", "ZAHLWEISE"), "Bankeinzug");
    EXPECT_EQ(t.Addr("      20", "ZAHLWEISE"), "Bar");
    EXPECT_EQ(t.Addr("      17", "TELEFONMATCHCODE"), ";0891234;;;08999;");
    EXPECT_EQ(t.Addr("      17", "MAHNSPERRE || BANKEINZUG || AUFTRAGSSPERRE"), "JNN");
    EXPECT_EQ(t.Addr("      17", "EMAIL"), "info@example.de");
    EXPECT_EQ(t.Addr("      17", "ORT"), "M\xFCnchen");
    EXPECT_EQ(t.Addr("      17", "ANGELEGTAM"), "2001-02-03 00:00:00");
    EXPECT_EQ(t.Addr("      17", "COALESCE(CAST(GEBURTSTAG AS VARCHAR(30)), 'leer')"), "leer"); // 1850
    EXPECT_EQ(t.Addr("      20", "TITEL || '|' || VORNAME || '|' || SUCHBEGRIFF"),
              "Prof. Dr.|Eva|Klein, Eva");
    EXPECT_EQ(t.Addr("A5", "ANREDE || '|' || TITEL"), "Herr|Dr.");
    EXPECT_EQ(t.Addr("     300", "COALESCE(ANREDE, '') || '|' || TITEL"), "|Prof.");
    EXPECT_EQ(t.Addr("      17", "VERTRETERLFDNR"), t.Addr("       1", "LFDNR"));
    EXPECT_EQ(t.Addr("      17", "LFDNRZWEITADRESSE"), t.Addr("A5", "LFDNR"));

    EXPECT_EQ(t.Count("ANSPRECH"), 3);
    EXPECT_EQ(
        t.Text("SELECT EMAIL || '|' || TELEFONMATCHCODE || '|' || POS FROM ANSPRECH WHERE VORNAME = 'Max'"),
        "max@bau.de|;07611;;;;|Chef");
    // Groups: each once, details from Gruppen.DB, assignments from lists and the stored ones.
    EXPECT_EQ(t.Text("SELECT COUNT(*) FROM GRUPPEN WHERE UPPER(KURZBEZ) = 'VIP'"), "1");
    EXPECT_EQ(t.Text("SELECT BEZEICHNUNG FROM GRUPPEN WHERE KURZBEZ = 'Presse'"), "Presse und Medien");
    EXPECT_EQ(t.Text("SELECT COUNT(*) FROM GRZUORD WHERE KUNDENLFDNR = (SELECT LFDNR FROM ADRESSEN WHERE NR "
                     "= '      17')"),
              "3");
    EXPECT_EQ(
        t.Text(
            "SELECT COUNT(*) FROM GRZUORD WHERE KUNDENLFDNR = (SELECT LFDNR FROM ADRESSEN WHERE NR = 'A5')"),
        "2");
    EXPECT_EQ(t.Count("GRZUORD"),
              3 + 2 + 1 + 1 + 1 + 1); // 17, A5, two employees, supplier, stored "20;Newsletter"
    // Contacts with and without address; delivery addresses.
    EXPECT_EQ(t.Count("KONTAKTE"), 5);
    // "a5" finds the customer "A5", as the key map would.
    EXPECT_EQ(t.Text("SELECT ADRESSENLFDNR FROM KONTAKTE WHERE NAME = 'Besuch'"), t.Addr("A5", "LFDNR"));
    EXPECT_EQ(t.Text("SELECT DATUM FROM KONTAKTE WHERE NAME = 'Anruf'"), "2006-05-04 10:30:00");
    EXPECT_EQ(t.Text("SELECT COALESCE(ADRESSENLFDNR, 0) FROM KONTAKTE WHERE NAME = 'Unbekannt'"), "0");
    EXPECT_EQ(t.Count("KUNLIEF"), 1);
    EXPECT_EQ(run->ContactLinks(), nullptr); // handed over and freed at the end of the run
    ASSERT_EQ(r.prompts.Shown.size(), 1u);
    EXPECT_EQ(r.prompts.Shown[0].find("abgewiesen"), std::string::npos);
}

TEST_F(InvoicingIt, SecondRunMergesWithoutWritingAnythingTwice) {
    Installation inst;
    Target t;
    {
        Runner r(inst, t, 17);
        ASSERT_TRUE(r.Make()->Execute());
    }
    std::map<std::string, long long> before;
    for (const char* table : {"ADRESSEN", "ANSPRECH", "GRUPPEN", "GRZUORD", "KONTAKTE", "KUNLIEF"})
        before[table] = t.Count(table);
    // 6 addresses are emptied without a question; the fixture has 6, so add one to be asked.
    t.db.Exec("INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME) VALUES (80000, '     999', 'L', 'Fremd')");
    Runner r(inst, t, 17);
    r.prompts.Answers["empty-addresses"] = TMsgAnswer::Yes;
    r.prompts.Answers["empty-addresses-confirm"] = TMsgAnswer::No;
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    EXPECT_FALSE(run->AddressesEmptied());
    EXPECT_EQ(r.prompts.Asked, (std::vector<std::string>{"empty-addresses", "empty-addresses-confirm"}));
    for (auto& [table, n] : before)
        EXPECT_EQ(t.Count(table), n + (table == "ADRESSEN" ? 1 : 0)) << table;
    EXPECT_EQ(t.Addr("     999", "NAME"), "Fremd");
}

TEST_F(InvoicingIt, EmptyingOnYesYes) {
    Installation inst;
    Target t;
    for (int i = 0; i < 7; ++i)
        t.db.Exec("INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME) VALUES (" + std::to_string(80000 + i) +
                  ", 'X" + std::to_string(i) + "', 'K', 'Alt')");
    Runner r(inst, t, 1);
    r.prompts.Answers["empty-addresses"] = TMsgAnswer::Yes;
    r.prompts.Answers["empty-addresses-confirm"] = TMsgAnswer::Yes;
    ASSERT_TRUE(r.Make()->Execute());
    EXPECT_EQ(t.Count("ADRESSEN"), 6);
    EXPECT_EQ(t.Text("SELECT COUNT(*) FROM ADRESSEN WHERE NAME = 'Alt'"), "0");
}

TEST_F(InvoicingIt, RefusedAddressIsReportedAndEverythingElseWritten) {
    Installation inst;
    auto customer = kAddress;
    customer.push_back("VertreterNr:A8");
    customer.push_back("NrZweitadresse:A8");
    // " 17" and "17" are different old keys but the same target number.
    WriteTable(inst.Data(), "Kunden.db", customer, 1,
               {Addr(" 17", "Frau", "Doppelt", "", "Bau", "", "", ""),
                Addr("17", "Firma", "Bau GmbH", "", "", "", "", ""),
                Addr("20", "Frau", "Klein", "", "", "", "", "")});
    Target t;
    Runner r(inst, t, 1);
    auto run = r.Make();
    ASSERT_TRUE(run->Execute());
    EXPECT_EQ(t.Text("SELECT COUNT(*) FROM ADRESSEN WHERE ART = 'K'"), "2");
    ASSERT_EQ(run->Report().RefusedCount(), 1u);
    EXPECT_EQ(run->Report().Refused()[0].table, "ADRESSEN");
    EXPECT_NE(run->Report().Refused()[0].message.find("ADRESSEN_UK"), std::string::npos)
        << run->Report().Refused()[0].message;
    ASSERT_TRUE(std::filesystem::exists(run->ReportPath()));
    EXPECT_NE(r.prompts.Shown.at(0).find("1 Datensatz wurde von der Datenbank abgewiesen"),
              std::string::npos);
}

TEST_F(InvoicingIt, CacheOnAndOffGiveTheSameRows) {
    Installation inst;
    std::string dumps[2];
    for (int cache = 0; cache < 2; ++cache) {
        Target t;
        Runner r(inst, t, 17, cache == 1);
        SetClockForTests([] { return EncodeDateTime(2026, 1, 2, 3, 4, 5, 0); });
        ASSERT_TRUE(r.Make()->Execute());
        SetClockForTests({});
        for (const char* sql : {"SELECT LIST(NR || ART || COALESCE(LFDNRZWEITADRESSE, 0) || "
                                "COALESCE(VERTRETERLFDNR, 0) || LFDNR, ',') "
                                "FROM (SELECT * FROM ADRESSEN ORDER BY LFDNR)",
                                "SELECT LIST(KUNDENLFDNR || '-' || GRUPPELFDNR, ',') FROM (SELECT * FROM "
                                "GRZUORD ORDER BY LFDNR)",
                                "SELECT LIST(COALESCE(ADRESSENLFDNR, 0) || NAME, ',') FROM (SELECT * FROM "
                                "KONTAKTE ORDER BY LFDNR)",
                                "SELECT LIST(KUNDENLFDNR || '-' || LFDNRZWEITADRESSE, ',') FROM KUNLIEF"})
            dumps[cache] += t.Text(sql) + "\n";
    }
    EXPECT_EQ(dumps[0], dumps[1]);
}

TEST_F(InvoicingIt, MissingTableStopsTheRunAndKeepsWhatWasWritten) {
    Installation inst;
    std::filesystem::remove(inst.Data() / "Liefer.db");
    Target t;
    Runner r(inst, t, 1);
    auto run = r.Make();
    try {
        run->Execute();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("Die Tabelle \"" + inst.Data().string() +
                              "/Liefer.db\" konnte nicht ge\xC3\xB6"
                              "ffnet werden.\r\n\r\n",
                          0),
                  0u)
            << m;
    }
    EXPECT_EQ(run->ExceptionContext().rfind("\r\nActive Procedure: ImportKunLfrMab", 0), 0u);
    EXPECT_EQ(t.Count("ADRESSEN"), 5);
    EXPECT_TRUE(r.prompts.Shown.empty());
}

TEST_F(InvoicingIt, MailOfficeOnlyImportsCustomers) {
    Installation inst;
    Target t;
    Runner r(inst, t, 16);
    ASSERT_TRUE(r.Make()->Execute());
    EXPECT_EQ(t.Text("SELECT LIST(DISTINCT ART) FROM ADRESSEN"), "K");
    EXPECT_EQ(t.Count("KONTAKTE"), 4);
    EXPECT_EQ(t.Count("KUNLIEF"), 0);
}

TEST_F(InvoicingIt, TextsLongerThanTheirColumnFindNothing) {
    Installation inst;
    // Numbers and names longer than the target columns: looked up they find nothing (the database is
    // not asked with a parameter it would refuse); a contact name that does not fit is refused.
    WriteTable(
        inst.Data(), "Kontakte.db",
        {"Art:A1", "Nr:A20", "Lfd:I", "Name:A80", "Datum:D", "Zeit:T", "KontaktArt:A30", "ID:A10"}, 3,
        {{V("K"), V("123456789012"), V(1), V("Lange Nummer"), V::FromDateTime(EncodeDate(2006, 5, 4)), N,
          V("Telefon"), V("")},
         {V("K"), V("17"), V(2), V(std::string(61, 'x')), N, N, V("Telefon mit sehr langer Art"), V("")}});
    WriteTable(inst.Data(), "GrZuord.DB", {"Nr:A20", "Gruppe:A40", "Zuordnungsdatum:D"}, 2,
               {{V("17"), V("Eine Gruppe mit sehr langem Namen"), N}, {V("123456789012"), V("Bau"), N}});
    Target t;
    for (int pass = 0; pass < 2; ++pass) {
        t.db.Exec("INSERT INTO ADRESSEN (LFDNR, NR, ART, NAME) VALUES (" + std::to_string(80000 + pass) +
                  ", 'X" + std::to_string(pass) + "', 'L', 'Fremd')");
        Runner r(inst, t, 17);
        auto run = r.Make();
        ASSERT_TRUE(run->Execute());
        EXPECT_EQ(
            t.Text("SELECT COUNT(*) FROM KONTAKTE WHERE NAME = 'Lange Nummer' AND ADRESSENLFDNR IS NULL"),
            "1");
        EXPECT_EQ(run->Report().RefusedCount(), 2u); // the long contact name and the long group name
    }
}

TEST_F(InvoicingIt, TargetTableWithoutRowsAppendsToTheTable) {
    Target t;
    t.db.Exec("INSERT INTO GRUPPEN (LFDNR, KURZBEZ) VALUES (1, 'Alt')");
    auto ds = OpenTargetTableEmpty(t.target, "GRUPPEN");
    EXPECT_TRUE(DataSetEmpty(*ds));
    EXPECT_EQ(ds->Field(ds->FieldIndex("KURZBEZ")).Size, 25);
    for (int i = 2; i <= 4; ++i) {
        ds->Append();
        ds->SetByName("LFDNR", V(i));
        ds->SetByName("KURZBEZ", V("Neu" + std::to_string(i)));
        ds->Post();
    }
    // A refused row (a key already there) leaves the others written.
    ds->Append();
    ds->SetByName("LFDNR", V(1));
    ds->SetByName("KURZBEZ", V("Doppelt"));
    ds->Post();
    auto errors = ds->ApplyUpdates();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Position, 3u);
    t.target.CommitWork();
    EXPECT_EQ(t.Count("GRUPPEN"), 4);
    EXPECT_EQ(t.Text("SELECT KURZBEZ FROM GRUPPEN WHERE LFDNR = 1"), "Alt");
}

} // namespace
} // namespace zbpv

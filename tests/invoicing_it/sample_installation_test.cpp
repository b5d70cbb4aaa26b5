// The generated sample installation migrates as a whole, with its awkward cases handled.

#include "dbaccess/provider.h"
#include "dbaccess/sql_generator.h"
#include "invoicing/import_run.h"
#include "invoicing/paradox_source.h"
#include "tests/support/fb_temp_db.h"
#include "tools/make-sample-installation/sample_installation.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

class Quiet : public IRunPrompts, public IRunProgress {
public:
    TMsgAnswer Ask(const TQuestion& q) override { return q.Default; }
    void ShowInformation(const std::string&, const std::string& text) override { shown = text; }
    void StartCounter(const std::string&, const std::string&, long long) override {}
    void StepCounter(const std::string&) override {}
    void ShowTotal(const std::string&, long long) override {}
    void ShowPassLabel(const std::string&) override {}
    void ImportKeyProgress(const std::string&) override {}
    void ProcessMessages() override {}
    std::string shown;
};

TEST(SampleInstallation, MigratesWithItsAwkwardCases) {
    if (!test::HaveSchema())
        GTEST_SKIP();
    test::TempDir dir;
    TSampleOptions options;
    options.Scale = 2;
    options.WithDuplicateNumbers = true;
    TSampleInstallation inst = WriteSampleInstallation(dir.Path(), options);

    test::FbTempDb db(test::FbTempDb::Schema::Target);
    auto factory = db.NewDbxFactory();
    TKVDBProvider provider(factory.get());
    TSQLGenerator lfdnr(&provider, "GEN_LFDNR", true);
    TProviderTarget target(provider, lfdnr);
    TParadoxOpener opener;
    Quiet ui;
    TRunSettings settings;
    settings.ImportSelection = 17;
    settings.DataPath = inst.DataFolder.string();
    settings.MailDataPath = inst.MailFolder.string();
    settings.LogFolder = dir.Path() / "Log";
    TImportRun run(settings, target, opener, ui, ui);
    ASSERT_TRUE(run.Execute());

    // 40 generated customers, six special ones (one without number, one refused duplicate).
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM ADRESSEN WHERE ART = 'K'"), 40 + 5);
    ASSERT_EQ(run.Report().RefusedCount(), 1u);
    EXPECT_EQ(run.Report().Refused()[0].oldKey, "1001"); // " 1001" came first in key order
    EXPECT_NE(ui.shown.find("1 Datensatz wurde von der Datenbank abgewiesen"), std::string::npos);
    EXPECT_EQ(db.QueryText("SELECT NAME2 FROM ADRESSEN WHERE NR = 'K-100'"), "Bauunternehmung");
    EXPECT_EQ(db.QueryText("SELECT COALESCE(ANREDE, '') || '|' || TITEL FROM ADRESSEN WHERE NR = '      21'"),
              "|Dr.");
    EXPECT_EQ(db.QueryText("SELECT TITEL || '|' || VORNAME FROM ADRESSEN WHERE NR = '      20'"),
              "Prof. Dr.|Eva");
    EXPECT_EQ(
        db.QueryText("SELECT TELEFONMATCHCODE FROM ADRESSEN WHERE NR = '      20'").rfind(";49761123456;", 0),
        0u);
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM GRUPPEN WHERE UPPER(KURZBEZ) IN ('VIP', 'BAU')"), 2);
    EXPECT_EQ(db.QueryText("SELECT LFDNRZWEITADRESSE FROM ADRESSEN WHERE NR = '      17'"),
              db.QueryText("SELECT LFDNR FROM ADRESSEN WHERE NR = 'A17'"));
    EXPECT_EQ(db.QueryText("SELECT ADRESSENLFDNR FROM KONTAKTE WHERE NAME = 'R\xFC"
                           "ckruf wegen Angebot'"),
              db.QueryText("SELECT LFDNR FROM ADRESSEN WHERE NR = 'A17'"));
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM KONTAKTE"), 5 + 120);
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM KUNLIEF"), 2 + 4);
    long long read = 0, written = 0;
    for (auto& [t, n] : run.Report().Read())
        read += t == "Kunden.db" ? n : 0;
    for (auto& [t, n] : run.Report().Written())
        written += t == "ADRESSEN" ? n : 0;
    EXPECT_EQ(read, 47);
    EXPECT_EQ(written, db.QueryInt("SELECT COUNT(*) FROM ADRESSEN"));
}

} // namespace
} // namespace zbpv

// zbpv-import's migration on a generated installation found through its Wine prefix.

#include "app/app_folders.h"
#include "app/cli_options.h"
#include "app/import_run_controller.h"
#include "dbaccess/sql_script.h"
#include "platform/platform.h"
#include "tests/support/fb_temp_db.h"
#include "tools/make-sample-installation/sample_installation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace zbpv {
namespace {

struct CliRun {
    test::TempDir dir;
    TSampleInstallation inst;
    std::string target;
    std::ostringstream out, err;
    int rc = -1;

    explicit CliRun(bool removeSuppliers) {
        TSampleOptions o;
        o.WithDuplicateNumbers = true;
        inst = WriteSampleInstallation(dir.Path() / "alt", o);
        if (removeSuppliers)
            std::filesystem::remove(inst.DataFolder / "Liefer.db");
        target = (dir.Path() / "target.fdb").string();
        TConnectionParams p;
        p.DatabaseName = target;
        CreateTargetDatabase(p, test::SourceSchemaFolder());
        ::setenv("ZBPV_HOME", (dir.Path() / "home").c_str(), 1);
        WinePlatform platform{WinePrefix(inst.WinePrefix)};
        AppFolders folders{dir.Path() / "bin", dir.Path() / "home"};
        std::filesystem::create_directories(folders.programDir);
        std::filesystem::create_directories(folders.homeDir);
        std::istringstream in;
        ImportRunController run;
        run.Summary = &out;
        rc = RunWizardCommand({"--select", "both", "--embedded", "--database", target}, platform, folders,
                              run, CliStreams{in, out, err, false, false});
        ::unsetenv("ZBPV_HOME");
    }
};

TEST(CliMigration, SampleInstallationWithARefusedRow) {
    if (!test::HaveSchema())
        GTEST_SKIP();
    CliRun r(false);
    EXPECT_EQ(r.rc, 0) << r.err.str();
    const std::string out = r.out.str();
    EXPECT_NE(out.find("1 Datensatz wurde von der Datenbank abgewiesen"), std::string::npos) << out;
    EXPECT_NE(out.find("Abgewiesene Datensätze: 1 ("), std::string::npos) << out;
    EXPECT_NE(out.find("Kunden.db                   27"), std::string::npos) << out;
    EXPECT_NE(out.find(r.dir.Path().string() + "/home/Log/Abgewiesen "), std::string::npos) << out;
    // The address step counts its tables in turns; each is reported once, with its final count.
    std::map<std::string, int> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (std::size_t colon = line.find(": "); colon != std::string::npos)
            ++lines[line.substr(0, colon)];
    for (const char* table : {"Kunden", "Ansprechpartner", "Gruppen", "Gr.-Zuordnungen", "Lieferanten",
                              "Mitarbeiter", "Kontakte", "Lieferadressen"})
        EXPECT_EQ(lines[table], 1) << table << "\n" << out;
    EXPECT_TRUE(out.starts_with("Kunden: 27 von 27\n")) << out;
}

TEST(CliMigration, MissingTableNamesStepAndKey) {
    if (!test::HaveSchema())
        GTEST_SKIP();
    CliRun r(true);
    EXPECT_EQ(r.rc, 1);
    const std::string err = r.err.str();
    EXPECT_NE(err.find("Liefer.db\" konnte nicht geöffnet werden."), std::string::npos) << err;
    EXPECT_NE(err.find("Active Procedure: ImportKunLfrMab"), std::string::npos) << err;
    EXPECT_NE(err.find("Key to Import: "), std::string::npos) << err;
}

} // namespace
} // namespace zbpv

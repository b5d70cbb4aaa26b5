#include "app/cli_options.h"
#include "app/cli_prompts.h"
#include "app/progress.h"
#include "app/run_controller.h"
#include "app/wizard_model.h"
#include "support/errors.h"

#include "fixture.h"

#include <sstream>

namespace zbpv {
namespace {

class RecordingRun : public RunController {
public:
    void RunImport(RunEnvironment& env) override {
        ++runs;
        target = env.wizard.DBConnect().Target().Target();
        cache = env.wizard.UseCache();
        answer = env.prompts.AskYesNo("archive-mails", "Archivierte E-Mails übernehmen?");
        if (count) {
            env.counters.StartCounter("panKun", "panKunAnz", 2);
            env.counters.StepCounter();
            env.counters.ImportKeyProgress("K-17");
            env.counters.StepCounter("panAP");
            env.counters.StepCounter();
        }
        if (fail) {
            env.wizard.ActiveProcedure = "ImportKunLfrMab";
            env.counters.ImportKeyProgress("K-17");
            throw EDatabaseError("Verbindung verweigert");
        }
    }
    void RunBillOfMaterials(RunEnvironment&) override {}
    void CheckPvLog(const std::string&, UserPrompts&) override {}
    int runs = 0;
    bool fail = false;
    bool count = false;
    bool cache = true;
    std::string target;
    PromptAnswer answer = PromptAnswer::Cancel;
};

class CliOptionsTest : public test::PrefixFixture {
protected:
    void SetUp() override {
        PrefixFixture::SetUp();
        WriteRegistry(
            "[Software\\\\Velkaro\\\\ZarvoBillora\\\\7.0] 1\n\"Pfad\"=\"C:\\\\ZB7\"\n"
            "[Software\\\\Velkaro\\\\Billora] 1\n\"Letzte Version\"=\"8.1.0.3\"\n"
            "[Software\\\\Velkaro\\\\Billora\\\\8.1] 1\n\"DBServer\"=\"\"\n\"DBName\"=\"/srv/vb8.fdb\"\n");
        WriteC("ZB7/Zarvobil.ini", "[Pfade]\r\nPfadDaten=C:\\ZB7\\Daten\r\nPfadFormulare=C:\\ZB7\\Forms\r\n");
        WriteC("ZB7/Daten/KUNDEN.DB", "");
        WriteC("ZB7/Forms/a.lbl", "");
    }
    int Run(std::vector<std::string> args, bool terminal = false) {
        out_.str("");
        err_.str("");
        std::istringstream in;
        return RunWizardCommand(args, *platform_, folders_, run_,
                                CliStreams{in, out_, err_, false, terminal});
    }
    std::ostringstream out_, err_;
    RecordingRun run_;
};

TEST_F(CliOptionsTest, PrintSettingsShowsWhatPageTwoWould) {
    EXPECT_EQ(Run({"--select", "invoicing", "--print-settings"}), ExitOk);
    EXPECT_EQ(out_.str(), "DataPath=" + HostC("ZB7/Daten") +
                              "\nMailDataPath=\nUserPath=\nFormPath=" + HostC("ZB7/Forms") +
                              "\nDBServer=192.168.1.5\nDBName=/srv/vb8.fdb\n"
                              "InvoicingVersion=8.1.0.3\nMailProductVersion=3.0.0.0\n");
    EXPECT_EQ(Run({"--select=invoicing", "--data", "C:\\zb7\\daten", "--server=fb", "--print-settings"}),
              ExitOk);
    EXPECT_NE(out_.str().find("DataPath=" + HostC("ZB7/Daten") + "\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("DBServer=fb\n"), std::string::npos);
    EXPECT_EQ(run_.runs, 0);
}

TEST_F(CliOptionsTest, BadOptionsAndFailedValidationExitWithTwo) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--data", "/x"},
         "Bitte wählen Sie mit --select, welche Daten Sie übernehmen möchten (invoicing, mail oder both).\n"},
        {{"--select", "alles"}, "Ungültige Auswahl \"alles\": erlaubt sind invoicing, mail und both.\n"},
        {{"--select", "mail", "--answer", "frage=yes"}, "Unbekannte Frage \"frage\" bei --answer.\n"},
        {{"--select", "mail", "--answer", "archive-mails=vielleicht"},
         "Die Antwort auf \"archive-mails\" muss yes oder no lauten.\n"},
        {{"--select"}, "Zur Option --select fehlt der Wert.\n"},
        {{"--select", "mail", "--frei"}, "Unbekannte Option --frei.\n"},
        {{"--select", "mail", "--embedded=1"}, "Die Option --embedded hat keinen Wert.\n"},
        {{"--select", "invoicing", "--data", "/gibt/es/nicht/"},
         "Das Datenverzeichnis von Zarvo-Billora 7.0 ist nicht vorhanden: \"/gibt/es/nicht\".\n"},
        {{"--select", "both", "--data", "C:\\ZB7\\Daten", "--mail-data", ""},
         "Das Maildatenverzeichnis von Velkaro Postiverso 2.0 ist nicht vorhanden: \"\".\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), ExitUsage) << c.message;
        EXPECT_EQ(err_.str(), c.message);
    }
    EXPECT_EQ(run_.runs, 0);
}

TEST_F(CliOptionsTest, RunGetsTheTargetAndTheAnswers) {
    EXPECT_EQ(Run({"--select", "invoicing", "--server", "", "--no-cache"}), ExitOk) << err_.str();
    EXPECT_EQ(run_.target, "192.168.1.5:/srv/vb8.fdb")
        << "an empty server becomes localhost, then the address";
    EXPECT_FALSE(run_.cache);
    EXPECT_EQ(run_.answer, PromptAnswer::No) << "nobody to ask: No";

    EXPECT_EQ(Run({"--select", "invoicing", "--embedded", "--database", "/tmp/t.fdb", "--yes"}), ExitOk);
    EXPECT_EQ(run_.target, "/tmp/t.fdb");
    EXPECT_EQ(run_.answer, PromptAnswer::Yes);

    EXPECT_EQ(Run({"--select", "invoicing", "--yes", "--answer", "archive-mails=no"}), ExitOk);
    EXPECT_EQ(run_.answer, PromptAnswer::No) << "a given answer beats --yes";
}

TEST_F(CliOptionsTest, ProgressLinesAndTheKeyWithVerbose) {
    run_.count = true;
    struct Case {
        std::vector<std::string> args;
        bool terminal, keyShown;
    } cases[] = {
        {{"--select", "invoicing"}, false, false},
        {{"--select", "invoicing", "-v"}, false, false}, // a plain output gets no line per record
        {{"--select", "invoicing"}, true, false},
        {{"--select", "invoicing", "--verbose"}, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args, c.terminal), ExitOk) << err_.str();
        const std::string out = out_.str();
        EXPECT_EQ(out.find("Eingelesener Datensatz: K-17") != std::string::npos, c.keyShown) << out;
        if (c.terminal)
            EXPECT_TRUE(out.ends_with("\rKunden: 2 von 2\033[K\nAnsprechpartner: 1\n")) << out;
        else
            EXPECT_EQ(out, "Kunden: 2 von 2\nAnsprechpartner: 1\n");
    }
}

TEST_F(CliOptionsTest, FailureShowsTheContextAndSavesTheReport) {
    setenv("ZBPV_HOME", folders_.homeDir.c_str(), 1); // where the report file goes
    run_.fail = true;
    EXPECT_EQ(Run({"--select", "invoicing"}), ExitFailure);
    unsetenv("ZBPV_HOME");
    std::string err = err_.str();
    EXPECT_NE(err.find("\nVerbindung verweigert\nActive Procedure: ImportKunLfrMab\nKey to Import: K-17.\n"),
              std::string::npos)
        << err;
    const std::string saved = "Die Fehlermeldung wurde gespeichert unter:\n\"";
    std::size_t quote = err.find(saved);
    ASSERT_NE(quote, std::string::npos) << err;
    std::string path = err.substr(quote + saved.size());
    path = path.substr(0, path.find('"'));
    EXPECT_EQ(fs::path(path).parent_path(), folders_.homeDir / "Log");
    std::string report = ReadFile(path);
    EXPECT_EQ(report.find("Verbindung verweigert\r\nActive Procedure: ImportKunLfrMab"), 0u);
    EXPECT_NE(report.find("EDatabaseError"), std::string::npos);
}

TEST(CliPrompts, AsksOnATerminal) {
    std::istringstream in("vielleicht\nj\n\n");
    std::ostringstream out, err;
    CliPrompts prompts(in, out, err, true);
    EXPECT_EQ(prompts.AskYesNo("empty-addresses", "Adressen leeren?"), PromptAnswer::Yes);
    EXPECT_EQ(prompts.AskYesNoCancel("continue-forms", "Weiter?", PromptAnswer::Cancel), PromptAnswer::Cancel)
        << "an empty line takes the default";
    EXPECT_EQ(prompts.AskYesNo("x", "Noch?"), PromptAnswer::No) << "end of input";
    prompts.ShowInformation("Import abgeschlossen");
    EXPECT_EQ(out.str(), "Import abgeschlossen\n");
}

} // namespace
} // namespace zbpv

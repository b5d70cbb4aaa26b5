#include "app/prg_data.h"
#include "app/run_controller.h"
#include "app/user_prompts.h"
#include "gui/error_dialog.h"
#include "gui/import_form.h"
#include "gui/message_boxes.h"

#include "tests/app/fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>

#include <cstdlib>

namespace zbpv {
namespace {

// One application for the whole test program, on the offscreen platform unless told otherwise.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class RecordingPrompts : public UserPrompts {
public:
    PromptAnswer Ask(const Prompt& p) override {
        asked.push_back(p);
        return p.buttons == PromptButtons::Ok ? PromptAnswer::Ok : answer;
    }
    std::vector<Prompt> asked;
    PromptAnswer answer = PromptAnswer::No;
};

class RecordingRun : public RunController {
public:
    void RunImport(RunEnvironment& env) override {
        ++imports;
        env.wizard.DisableRunControls();
        env.counters.StartCounter("panKun", "panKunAnz", 2500);
        env.counters.StepCounter();
        env.counters.ImportKeyProgress("  4711");
        env.counters.ShowPassLabel("lblKunPass");
        env.counters.ImportProgress(TImportCounter::imcEMail2, 1234);
    }
    void RunBillOfMaterials(RunEnvironment&) override { ++billOfMaterials; }
    void CheckPvLog(const std::string&, UserPrompts&) override { ++logChecks; }
    int imports = 0, billOfMaterials = 0, logChecks = 0;
};

void Screenshot(QWidget& w, const char* name) {
    const char* folder = std::getenv("ZBPV_SCREENSHOTS");
    if (folder && *folder) {
        QApplication::processEvents(); // pending layout requests first
        fs::create_directories(folder);
        ASSERT_TRUE(w.grab().save(QString::fromUtf8(folder) + "/" + name + ".png"));
    }
}

template <class T> T* Find(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class ImportFormTest : public test::PrefixFixture {
protected:
    void SetUp() override {
        PrefixFixture::SetUp();
        WriteRegistry("[Software\\\\Velkaro\\\\ZarvoBillora\\\\7.0] 1\n\"Pfad\"=\"C:\\\\ZB7\"\n"
                      "[Software\\\\Velkaro\\\\Billora\\\\8.0] 1\n\"DBServer\"=\"fbserver\"\n"
                      "\"DBName\"=\"/srv/firebird/vb8.fdb\"\n");
        WriteC("ZB7/Zarvobil.ini",
               "[Pfade]\r\nPfadDaten=C:\\ZB7\\Daten\r\nPfadFormulare=C:\\ZB7\\Formulare\r\n");
        WriteC("ZB7/Daten/KUNDEN.DB", "");
        WriteC("ZB7/Formulare/Rechnung.LST", "");
        WriteFile(folders_.homeDir / "zbpv-wizard.ini", "[DataPath]\r\n00=/alt/daten\r\n01=/noch/aelter\r\n");
        prg_ = std::make_unique<TPrgData>(*platform_, folders_);
        model_ = std::make_unique<WizardModel>(*platform_, *prg_, folders_, "zbpv-wizard");
        form_ = std::make_unique<TfrmImport>(*model_, run_, &prompts_);
        form_->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        form_.reset();
        PrefixFixture::TearDown();
    }
    QWidget* Page() { return Find<QStackedWidget>(*form_, "pctMain")->currentWidget(); }
    QString Text(const char* label) { return Find<QLabel>(*form_, label)->text(); }

    RecordingPrompts prompts_;
    RecordingRun run_;
    std::unique_ptr<TPrgData> prg_;
    std::unique_ptr<WizardModel> model_;
    std::unique_ptr<TfrmImport> form_;
};

TEST_F(ImportFormTest, WalksTheThreePages) {
    TfrmImport& f = *form_;
    // Page 1
    EXPECT_EQ(f.windowTitle(),
              "Datenübernahme von Zarvo-Billora 7.0 und Velkaro-Postiverso 2.0 vom 25.02.2008");
    EXPECT_GE(f.minimumWidth(), 578);
    EXPECT_GE(f.minimumHeight(), 444);
    EXPECT_EQ(f.size(), f.minimumSize());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Page()->objectName(), "tshVBPVImportStart");
    EXPECT_EQ(Find<QGroupBox>(f, "gbxImport")->title(),
              "Bitte wählen Sie, welche Daten Sie übernehmen möchten:");
    EXPECT_EQ(Find<QCheckBox>(f, "cbxPvImport")->text(),
              "Übernahme von Velkaro-&Postiverso 2.0-Daten nach Velkaro-Postiverso 3.0");
    EXPECT_EQ(Find<QCheckBox>(f, "cbxVBImport")->text(),
              "Übernahme von Zarvo-&Billora 7.0-Daten nach Velkaro-Billora 8.0");
    EXPECT_TRUE(Text("lblTopInfo").contains(">Velkaro-Postiverso 3.0</b> und <b>"));
    EXPECT_TRUE(Text("lblTopInfo").contains("<span style=\"color:#800000\">Legen"));
    EXPECT_EQ(Text("lblZBImportinfo").split('\n').size(), 3);
    auto* next01 = Find<QPushButton>(f, "btnNext01");
    EXPECT_EQ(next01->text(), "&Weiter");
    EXPECT_FALSE(next01->isEnabled()) << "nothing chosen yet";
    EXPECT_EQ(Find<QPushButton>(f, "btnClose01")->text(), "S&chließen");
    EXPECT_FALSE(Find<QWidget>(f, "panFirstHint")->isVisible());
    Screenshot(f, "page1");

    Find<QCheckBox>(f, "cbxVBImport")->click();
    EXPECT_TRUE(next01->isEnabled());
    EXPECT_TRUE(Find<QWidget>(f, "panFirstHint")->isVisible());
    EXPECT_TRUE(Text("lblFirstHint").contains("<b>Velkaro Billora 8.0</b> eingelesen"));
    Screenshot(f, "page1-hint");
    Find<QCheckBox>(f, "cbxPvImport")->click();
    EXPECT_FALSE(Find<QWidget>(f, "panFirstHint")->isVisible()) << "both chosen: no hint";
    Find<QCheckBox>(f, "cbxPvImport")->click();
    next01->click();

    // Page 2
    EXPECT_EQ(Page()->objectName(), "tshAuswahl");
    EXPECT_EQ(Find<QGroupBox>(f, "gbxPaths")->title(), "Quelle: Zarvo-Billora 7.0");
    EXPECT_EQ(Find<QGroupBox>(f, "gbxZiel")->title(), "Ziel");
    auto* data = Find<QComboBox>(f, "edtDataPath");
    EXPECT_TRUE(data->isEditable());
    EXPECT_EQ(data->currentText().toStdString(), HostC("ZB7/Daten"));
    EXPECT_EQ(data->count(), 2) << "the history";
    EXPECT_EQ(data->itemText(0), "/alt/daten");
    EXPECT_FALSE(Find<QComboBox>(f, "edtMailDataPath")->isVisible());
    EXPECT_FALSE(Find<QComboBox>(f, "edtUserPath")->isVisible());
    EXPECT_TRUE(Find<QComboBox>(f, "edtFormPath")->isVisible());
    EXPECT_EQ(Find<QComboBox>(f, "edtDBServer")->itemText(0), "localhost");
    EXPECT_EQ(Find<QComboBox>(f, "edtDBServer")->currentText(), "fbserver");
    EXPECT_EQ(Find<QComboBox>(f, "edtDBName")->currentText(), "/srv/firebird/vb8.fdb");
    for (const char* b : {"btnDataPath", "btnMailDataPath", "btnUserPath", "btnFormPath", "btnDBName"}) {
        EXPECT_NE(Find<QToolButton>(f, b)->defaultAction(), nullptr) << b;
    }
    EXPECT_EQ(Find<QLabel>(f, "lblDataPath")->text(), "&Daten-Pfad");
    EXPECT_EQ(Find<QLabel>(f, "lblDataPath")->buddy(), data);
    EXPECT_TRUE(Text("lblImportHint").contains("in <b>Zarvo-Billora 7.0</b><br>eine"));
    EXPECT_TRUE(Find<QLabel>(f, "lblDirChoice")->font().bold());
    std::unique_ptr<QFileDialog> dialog(f.CreateDBNameDialog());
    EXPECT_EQ(dialog->windowTitle(), "Datenbankauswahl");
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Firebird Datenbanken (*.fdb)"});
    EXPECT_EQ(dialog->defaultSuffix(), "fdb");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    Screenshot(f, "page2");

    Find<QComboBox>(f, "edtDBName")->setEditText("");
    Find<QPushButton>(f, "btnNext02")->click();
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "Der Datenbankname von Velkaro Billora 8.0 ist nicht vorhanden.");
    EXPECT_EQ(prompts_.asked[0].icon, PromptIcon::Error);
    EXPECT_EQ(Page()->objectName(), "tshAuswahl");
    Find<QComboBox>(f, "edtDBName")->setEditText("FBSERVER:/srv/firebird/vb8.fdb");
    data->setEditText(data->currentText() + "\\");
    Find<QPushButton>(f, "btnNext02")->click();

    // Page 3
    ASSERT_EQ(Page()->objectName(), "tshImportBillora");
    EXPECT_EQ(data->currentText().toStdString(), HostC("ZB7/Daten")) << "shown without the backslash";
    EXPECT_EQ(Find<QComboBox>(f, "edtDBName")->currentText(), "/srv/firebird/vb8.fdb");
    EXPECT_TRUE(Text("lblHeader1").contains(">Datenübernahme von:  <br>nach:  </span>"))
        << Text("lblHeader1").toStdString();
    EXPECT_TRUE(Text("lblHeader2")
                    .contains("<br><span style=\"color:#000080\">fbserver:/srv/firebird/vb8.fdb</span>."));
    for (const char* p : {"panKun", "panKunAnz", "panGrp", "panArtGrpAnz", "panKunliefAnz", "panUserTotal",
                          "panUserRights", "panMailFolder", "panEMailsTotal", "panSalutTotal"}) {
        Find<QLabel>(f, p);
    }
    EXPECT_EQ(f.findChild<QLabel*>("panGrpAnz"), nullptr);
    for (const char* l : {"lblKunPass", "lblGrZuordPass", "lblArtPass", "lblAtrPass", "lblBstPass"}) {
        EXPECT_EQ(Text(l), "2. Lauf");
        EXPECT_FALSE(Find<QLabel>(f, l)->isVisible());
    }
    EXPECT_EQ(Text("lblEMail2ndRun"), "2.Lauf");
    EXPECT_EQ(Text("lblSchluesselwert"), " Eingelesener Datensatz: ");
    auto* cache = Find<QCheckBox>(f, "cbxCache");
    EXPECT_EQ(cache->text(), "&Beschleunigung durch Speichercache");
    EXPECT_TRUE(cache->isChecked());
    auto* log = Find<QAction>(f, "actCheckPVLog");
    EXPECT_EQ(log->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L));
    EXPECT_EQ(log->toolTip(), "Postiverso-Import: Logfile prüfen");
    EXPECT_EQ(Find<QToolButton>(f, "btnCheckPVLog")->defaultAction(), log);
    EXPECT_FALSE(Find<QTextEdit>(f, "RichEdit")->isVisible());
    EXPECT_EQ(Find<QPushButton>(f, "btnImport")->text(), "&Import starten");
    Screenshot(f, "page3");

    Find<QPushButton>(f, "btnImport")->click();
    EXPECT_EQ(run_.imports, 1);
    EXPECT_EQ(Text("panKun"), "1");
    EXPECT_EQ(Text("panKunAnz"), "2.500");
    EXPECT_EQ(Text("panEMails"), "1.234");
    EXPECT_TRUE(Find<QLabel>(f, "lblKunPass")->isVisible());
    EXPECT_TRUE(Find<QLabel>(f, "lblEMail2ndRun")->isVisible());
    EXPECT_EQ(Text("lblKeyValue"), "  4711");
    EXPECT_FALSE(Find<QPushButton>(f, "btnImport")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(f, "btnBack03")->isEnabled());
    EXPECT_FALSE(cache->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(f, "btnClose03")->isEnabled());
    model_->ActiveProcedure = "ImportKunLfrMab";
    EXPECT_EQ(f.AppendExceptionContext("Fehler"),
              "Fehler\r\nActive Procedure: ImportKunLfrMab\r\nKey to Import:   4711");
    Screenshot(f, "page3-run");

    // Ctrl+Alt+Shift+S reaches the form before the focused control.
    prompts_.asked.clear();
    prompts_.answer = PromptAnswer::Yes;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier,
                    "S");
    QApplication::sendEvent(cache, &press);
    ASSERT_EQ(prompts_.asked.size(), 2u);
    EXPECT_EQ(prompts_.asked[0].text, "Soll der Import der Artikelstücklisten jetzt durchgeführt werden?");
    EXPECT_EQ(run_.billOfMaterials, 1);
    model_->EnableLogCheckAfterRun();
    log->trigger();
    EXPECT_EQ(run_.logChecks, 1);
}

TEST_F(ImportFormTest, BackAndNothingChosen) {
    TfrmImport& f = *form_;
    Find<QAction>(f, "actNext01")->trigger(); // even when triggered anyway: only a beep
    EXPECT_EQ(Page()->objectName(), "tshVBPVImportStart");
    Find<QCheckBox>(f, "cbxPvImport")->click();
    Find<QPushButton>(f, "btnNext01")->click();
    EXPECT_TRUE(Find<QComboBox>(f, "edtMailDataPath")->isVisible());
    EXPECT_FALSE(Find<QComboBox>(f, "edtUserPath")->isVisible());
    EXPECT_EQ(Find<QGroupBox>(f, "gbxPaths")->title(), "Quelle: Postiverso 2.0");
    Find<QPushButton>(f, "btnBack02")->click();
    EXPECT_EQ(Page()->objectName(), "tshVBPVImportStart");
    EXPECT_TRUE(Find<QCheckBox>(f, "cbxPvImport")->isChecked());
}

TEST_F(ImportFormTest, HourglassOverridesTheCursorUntilTheLastUseEnds) {
    ImportCounters& c = form_->Counters();
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    c.BeginBusy();
    c.BeginBusy();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    c.EndBusy();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    c.EndBusy();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

class FailingRun : public RecordingRun {
public:
    void RunImport(RunEnvironment& env) override {
        env.wizard.ActiveProcedure = "ImportArtikel";
        env.counters.ImportKeyProgress("A-1");
        throw EDatabaseError("Tabelle ARTIKEL ist gesperrt");
    }
};

class RecordingPresenter : public IExceptionPresenter {
public:
    void ShowErrorDialog(const TExceptionManager&, TErrorReport report) override {
        reports.push_back(report);
    }
    void ShowPlainMessage(const TExceptionManager&, const std::string&) override {}
    std::vector<TErrorReport> reports;
};

TEST_F(ImportFormTest, RunFailureReachesTheReporterWithStepAndKey) {
    form_.reset();
    TExceptionManager manager("Import von ZB7 + PV2");
    RecordingPresenter presenter;
    manager.SetPresenter(&presenter);
    FailingRun failing;
    TfrmImport f(*model_, failing, &prompts_);
    f.show();
    Find<QCheckBox>(f, "cbxVBImport")->click();
    Find<QPushButton>(f, "btnNext01")->click();
    Find<QPushButton>(f, "btnNext02")->click();
    ASSERT_EQ(Find<QStackedWidget>(f, "pctMain")->currentWidget()->objectName(), "tshImportBillora");
    Find<QPushButton>(f, "btnImport")->click();
    ASSERT_EQ(presenter.reports.size(), 1u);
    EXPECT_EQ(presenter.reports[0].Message,
              "Tabelle ARTIKEL ist gesperrt\r\nActive Procedure: ImportArtikel\r\nKey to Import: A-1.");

    manager.CompleteReport(presenter.reports[0]);
    TExceptionDialog dialog(manager, presenter.reports[0]);
    dialog.show();
    Screenshot(dialog, "error-dialog");
}

TEST(MessageBoxes, IconsButtonsDefaultsAndHeadline) {
    Prompt p;
    p.text = "Achtung\n\nAlle Adressen werden gelöscht.";
    p.icon = PromptIcon::Warning;
    p.buttons = PromptButtons::YesNoCancel;
    p.defaultAnswer = PromptAnswer::No;
    p.boldHeadline = true;
    std::unique_ptr<QMessageBox> box(CreateMessageBox(nullptr, p));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->text(), "<b>Achtung</b><br><br>Alle Adressen werden gelöscht.");
    ASSERT_EQ(box->buttons().size(), 3);
    EXPECT_EQ(box->defaultButton()->text(), "&Nein");
    EXPECT_EQ(box->escapeButton()->text(), "Abbrechen");
    Screenshot(*box, "messagebox");

    p.boldHeadline = false;
    p.buttons = PromptButtons::Ok;
    p.icon = PromptIcon::Error;
    box.reset(CreateMessageBox(nullptr, p));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->buttons().size(), 1);
}

} // namespace
} // namespace zbpv

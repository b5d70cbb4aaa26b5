#include "app/prg_data.h"
#include "app/progress.h"
#include "app/user_prompts.h"
#include "app/wizard_model.h"

#include "fixture.h"

namespace zbpv {
namespace {

class RecordingPrompts : public UserPrompts {
public:
    PromptAnswer Ask(const Prompt& p) override {
        asked.push_back(p);
        return p.buttons == PromptButtons::Ok ? PromptAnswer::Ok : answer;
    }
    std::vector<Prompt> asked;
    PromptAnswer answer = PromptAnswer::Yes;
};

class NullView : public ProgressView {
public:
    void SetPanelText(std::string_view, std::string_view) override {}
    std::string PanelText(std::string_view) const override { return {}; }
    void ShowPassLabel(std::string_view) override {}
    void SetKeyText(std::string_view) override {}
    std::string KeyText() const override { return {}; }
    void ProcessMessages() override {}
};

class CountingRun : public RunController {
public:
    void RunImport(RunEnvironment&) override { ++imports; }
    void RunBillOfMaterials(RunEnvironment& env) override {
        ++billOfMaterials;
        env.wizard.DisableRunControls();
    }
    void CheckPvLog(const std::string& name, UserPrompts&) override { checkedLog = name; }
    int imports = 0;
    int billOfMaterials = 0;
    std::string checkedLog = "-";
};

class WizardModelTest : public test::PrefixFixture {
protected:
    void Versions(const char* invoicing, const char* mail) {
        WriteRegistry(std::string("[Software\\\\Velkaro\\\\Billora] 1\n\"Letzte Version\"=\"") + invoicing +
                      "\"\n[Software\\\\Velkaro\\\\Postiverso] 1\n\"Letzte Version\"=\"" + mail + "\"\n");
    }
    std::unique_ptr<WizardModel> Make() {
        prg_ = std::make_unique<TPrgData>(*platform_, folders_);
        auto model = std::make_unique<WizardModel>(*platform_, *prg_, folders_, "zbpv-wizard");
        model->Create();
        return model;
    }
    std::unique_ptr<TPrgData> prg_;
};

TEST_F(WizardModelTest, CaptionsFollowTheInstalledVersions) {
    Versions("8.0.0.0", "3.0");
    auto m = Make();
    EXPECT_EQ(m->VbImportCaption(), wizard_texts::VbImport);
    EXPECT_EQ(m->TopInfo(), wizard_texts::TopInfo);
    EXPECT_EQ(m->WindowCaption(),
              "Datenübernahme von Zarvo-Billora 7.0 und Velkaro-Postiverso 2.0 vom 25.02.2008");

    Versions("8.1.3.7", "3.0");
    m = Make();
    EXPECT_EQ(m->VbImportCaption(), "Übernahme von Zarvo-&Billora 7.0-Daten nach Velkaro-Billora 8.1");
    EXPECT_EQ(m->PvImportCaption(), wizard_texts::PvImport);
    EXPECT_EQ(m->ZbImportInfo(), "Wenn Sie bereits mit Velkaro-Billora 8.1 arbeiten und dort Daten\n"
                                 "importiert oder eingegeben haben, sollten Sie den Import von \n"
                                 "Zarvo-Billora 7.0 nicht durchführen!");
    EXPECT_NE(m->TopInfo().find("Versionen 3.0 bzw. 8.1"), std::string::npos);
    EXPECT_NE(m->DirChoice().find("Velkaro Billora 8.1 bzw. \nVelkaro Postiverso 3.0"), std::string::npos);

    // A mail-office version that itself contains "8.0" is not rewritten a second time.
    EXPECT_EQ(RewriteCaptionForVersions("PV 3.0 / VB 8.0", {8, 1, 0, 0}, {18, 0, 0, 0}), "PV 18.0 / VB 8.1");
}

TEST_F(WizardModelTest, SelectionAndHintPanel) {
    Versions("8.2", "3.1");
    auto m = Make();
    EXPECT_EQ(m->Selection(), 0);
    EXPECT_FALSE(m->Next01Enabled());
    EXPECT_FALSE(m->Next01()) << "nothing chosen: only a beep";
    EXPECT_EQ(m->Page(), WizardPage::Start);

    m->SetSelection(false, true);
    EXPECT_EQ(m->Selection(), 1);
    EXPECT_TRUE(m->FirstHintVisible());
    EXPECT_EQ(m->FirstHintText(), "Es werden nur diejenigen Adressen übernommen, die noch nicht in\n"
                                  "<B>Velkaro Billora 8.2</B> eingelesen wurden.");
    m->SetSelection(true, false);
    EXPECT_EQ(m->Selection(), 16);
    EXPECT_NE(m->FirstHintText().find("<B>Velkaro Postiverso 3.1</B>"), std::string::npos);
    m->SetSelection(true, true);
    EXPECT_EQ(m->Selection(), 17);
    EXPECT_FALSE(m->FirstHintVisible());
    EXPECT_TRUE(m->Next01Enabled());
    m->SetSelection(false, false);
    EXPECT_FALSE(m->FirstHintVisible());
    EXPECT_FALSE(m->Next01Enabled());
}

TEST_F(WizardModelTest, PagesLayoutHeaderAndRun) {
    WriteRegistry("[Software\\\\Velkaro\\\\ZarvoBillora\\\\7.0] 1\n\"Pfad\"=\"C:\\\\ZB7\"\n"
                  "[Software\\\\Velkaro\\\\Billora\\\\8.0] "
                  "1\n\"DBServer\"=\"localhost\"\n\"DBName\"=\"/srv/vb8.fdb\"\n");
    WriteC("ZB7/Zarvobil.ini", "[Pfade]\r\nPfadDaten=C:\\ZB7\\Daten\\\r\n");
    WriteC("ZB7/Daten/Kunden.DB", "");
    auto m = Make();
    m->SetSelection(false, true);
    ASSERT_TRUE(m->Next01());
    EXPECT_EQ(m->Page(), WizardPage::Paths);
    EXPECT_EQ(m->PathsGroupCaption(), "Quelle: Zarvo-Billora 7.0");
    EXPECT_FALSE(m->MailDataRowVisible());
    EXPECT_EQ(m->ImportHintText(),
              "Wenn beim Import Fehler auftreten, führen Sie bitte in <B>Zarvo-Billora 7.0</B>\n"
              "eine Datenreorganisation durch (sofern Sie diese nicht schon direkt vor dem\n"
              "Import gemacht haben).");
    EXPECT_EQ(m->Boxes()[WizardBox::DataPath].text, HostC("ZB7/Daten"));
    EXPECT_EQ(m->Boxes()[WizardBox::DBServer].text, "192.168.1.5") << "localhost becomes the own address";
    EXPECT_EQ(m->Boxes()[WizardBox::DBName].text, "/srv/vb8.fdb");

    RecordingPrompts prompts;
    m->Boxes()[WizardBox::DBName].text = "";
    ASSERT_TRUE(m->Next02(prompts));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].icon, PromptIcon::Error);
    EXPECT_EQ(prompts.asked[0].text, "Der Datenbankname von Velkaro Billora 8.0 ist nicht vorhanden.");
    EXPECT_EQ(m->Page(), WizardPage::Paths);

    m->Boxes()[WizardBox::DBName].text = "/srv/vb8.fdb";
    EXPECT_FALSE(m->Next02(prompts));
    EXPECT_EQ(m->Page(), WizardPage::Import);
    EXPECT_EQ(m->Header1(), "Datenübernahme von:  \nnach:  ");
    EXPECT_EQ(m->Header2(),
              "<C:clMaroon>" + HostC("ZB7/Daten") + "</C>\n<C:clNavy>192.168.1.5:/srv/vb8.fdb</C>.");
    EXPECT_EQ(m->DBConnect().Target().Target(), "192.168.1.5:/srv/vb8.fdb");
    for (TKVDBProviderFactory* f : {static_cast<TKVDBProviderFactory*>(&m->DBXProviderFactory),
                                    static_cast<TKVDBProviderFactory*>(&m->IBOProviderFactory)}) {
        EXPECT_EQ(f->ConnectionTarget(), "192.168.1.5:/srv/vb8.fdb");
        EXPECT_EQ(f->UserName(), "Velkaro03");
        EXPECT_EQ(f->Connection().Params.CharSet, "ISO8859_1");
        EXPECT_FALSE(f->Connected());
    }
    EXPECT_EQ(m->ndpMain.ActiveFactory(), &m->DBXProviderFactory);

    NullView view;
    ImportCounters counters(view, '.');
    CountingRun run;
    m->StartImport(run, counters, prompts);
    EXPECT_EQ(run.imports, 1);

    // Ctrl+Alt+Shift+S: asks (yes/no/cancel), runs only the bills of materials, then reports.
    prompts.asked.clear();
    EXPECT_FALSE(m->HandleKey('S', true, true, false, run, counters, prompts));
    prompts.answer = PromptAnswer::No;
    EXPECT_TRUE(m->HandleKey('S', true, true, true, run, counters, prompts));
    EXPECT_EQ(run.billOfMaterials, 0);
    prompts.answer = PromptAnswer::Yes;
    EXPECT_TRUE(m->HandleKey('S', true, true, true, run, counters, prompts));
    EXPECT_EQ(run.billOfMaterials, 1);
    ASSERT_EQ(prompts.asked.size(), 3u);
    EXPECT_EQ(prompts.asked[0].text, "Soll der Import der Artikelstücklisten jetzt durchgeführt werden?");
    EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(prompts.asked[2].text, "Import abgeschlossen");
    EXPECT_EQ(prompts.asked[2].icon, PromptIcon::Information);
    EXPECT_FALSE(m->Actions().import);
    m->StartImport(run, counters, prompts);
    EXPECT_EQ(run.imports, 1) << "no second run while the action is off";

    m->CheckPvLog(run, prompts);
    EXPECT_EQ(run.checkedLog, "");

    m->Back();
    EXPECT_EQ(m->Page(), WizardPage::Paths);
    EXPECT_FALSE(m->HandleKey('S', true, true, true, run, counters, prompts)) << "only on page 3";
    m->Back();
    EXPECT_EQ(m->Page(), WizardPage::Start);
}

TEST_F(WizardModelTest, MailOfficeHeaderAndLayout) {
    WriteC("alt/daten/Kunden.DB", "");
    WriteC("alt/mail/MailEingang.DB", "");
    auto m = Make();
    m->SetSelection(true, true);
    ASSERT_TRUE(m->Next01());
    EXPECT_EQ(m->PathsGroupCaption(), "Quelle: Zarvo-Billora 7.0 und Velkaro Postiverso 2.0");
    EXPECT_EQ(m->ProductText(), "<B>Zarvo-Billora 7.0</B> bzw. <B>Velkaro Postiverso 2.0</B>");
    EXPECT_TRUE(m->MailDataRowVisible());
    EXPECT_FALSE(m->UserRowVisible());
    m->Boxes()[WizardBox::DataPath].text = HostC("alt/daten");
    m->Boxes()[WizardBox::MailDataPath].text = HostC("alt/mail") + "\\";
    m->Boxes()[WizardBox::DBServer].text = "fb";
    m->Boxes()[WizardBox::DBName].text = "FB:/x.fdb";
    ASSERT_FALSE(m->Next02());
    EXPECT_EQ(m->Header1(), "Datenübernahme von:  \n\nnach:  ");
    EXPECT_EQ(m->Header2(), "<C:clMaroon>" + HostC("alt/daten") + "</C>\n<C:clMaroon>" + HostC("alt/mail") +
                                "</C>\n<C:clNavy>fb:/x.fdb</C>.");
    EXPECT_EQ(m->Paths().mailDataPath, HostC("alt/mail"));
}

TEST_F(WizardModelTest, ExceptionContext) {
    auto m = Make();
    EXPECT_EQ(m->AppendExceptionContext("Fehler", ""), "Fehler");
    m->ActiveProcedure = "ImportArtikel";
    EXPECT_EQ(m->AppendExceptionContext("Fehler", "  4711"),
              "Fehler\r\nActive Procedure: ImportArtikel\r\nKey to Import:   4711");
    m->ActiveProcedure.clear();
    EXPECT_EQ(m->AppendExceptionContext("Fehler", "K1"), "Fehler\r\nKey to Import: K1");
}

} // namespace
} // namespace zbpv

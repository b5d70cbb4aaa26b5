#include "app/wizard_model.h"

#include "app/installations.h"
#include "app/progress.h"
#include "app/user_prompts.h"
#include "platform/platform.h"
#include "support/datetime.h"
#include "support/format_settings.h"

#include <cstdlib>

namespace zbpv {

namespace wizard_texts {
const char* const TopInfo =
    "<B>Velkaro-Postiverso 3.0</B> und <B>Velkaro-Billora 8.0</B> verwenden eine gemeinsame Datenbank,\n"
    "so dass in beiden Programmen z. B. mit derselben Adressdatenbank gearbeitet wird.\n"
    "\n"
    "Wenn Sie bislang sowohl mit <B>Velkaro-Postiverso 2.0</B> als auch mit <B>Zarvo-Billora 7.0</B> \n"
    "gearbeitet haben, können Sie über dieses Importprogramm die Daten aus beiden \n"
    "Programmen in die neuen Versionen 3.0 bzw. 8.0 übernehmen.\n"
    "\n"
    "<B><C:clMaroon>Legen Sie vor dem Import unbedingt eine Datensicherung an!</C></B>";
const char* const PvImport = "Übernahme von Velkaro-&Postiverso 2.0-Daten nach Velkaro-Postiverso 3.0";
const char* const VbImport = "Übernahme von Zarvo-&Billora 7.0-Daten nach Velkaro-Billora 8.0";
const char* const ZbImportInfo = "Wenn Sie bereits mit Velkaro-Billora 8.0 arbeiten und dort Daten\n"
                                 "importiert oder eingegeben haben, sollten Sie den Import von \n"
                                 "Zarvo-Billora 7.0 nicht durchführen!";
const char* const DirChoice =
    "Bitte geben Sie die Verzeichnispfade Ihrer Zarvo-Billora 7.0-, bzw. Velkaro Postiverso 2.0-\n"
    "Installation, sowie Servername und Datenbankdateiname von Velkaro Billora 8.0 bzw. \n"
    "Velkaro Postiverso 3.0 ein.";
const char* const FirstHint = "Es werden nur diejenigen Adressen übernommen, die noch nicht in\n"
                              "<B>Velkaro %0:s</B> eingelesen wurden.";
const char* const ImportHint = "Wenn beim Import Fehler auftreten, führen Sie bitte in %0:s\n"
                               "eine Datenreorganisation durch (sofern Sie diese nicht schon direkt vor dem\n"
                               "Import gemacht haben).";
const char* const BillOfMaterialsQuestion =
    "Soll der Import der Artikelstücklisten jetzt durchgeführt werden?";
const char* const ImportFinished = "Import abgeschlossen";
} // namespace wizard_texts

namespace {

std::string Replace0(std::string_view pattern, std::string_view value) {
    std::string s(pattern);
    std::size_t pos = s.find("%0:s");
    if (pos != std::string::npos) {
        s.replace(pos, 4, value);
    }
    return s;
}

} // namespace

std::string RewriteCaptionForVersions(std::string_view caption, const ProductVersion& invoicing,
                                      const ProductVersion& mail) {
    std::string mailText = mail.MajorMinor();
    std::string invText = invoicing.MajorMinor();
    std::string out;
    std::size_t i = 0;
    while (i < caption.size()) {
        std::string_view rest = caption.substr(i);
        if (rest.starts_with("3.0")) {
            out += mailText;
            i += 3;
        } else if (rest.starts_with("8.0")) {
            out += invText;
            i += 3;
        } else {
            out += caption[i++];
        }
    }
    return out;
}

WizardModel::WizardModel(Platform& platform, TPrgData& prgData, AppFolders folders, std::string programName)
    : platform_(platform), folders_(folders), dbConnect_(platform, prgData), options_(folders, programName) {
    topInfo_ = wizard_texts::TopInfo;
    pvCaption_ = wizard_texts::PvImport;
    vbCaption_ = wizard_texts::VbImport;
    zbInfo_ = wizard_texts::ZbImportInfo;
    dirChoice_ = wizard_texts::DirChoice;
    windowCaption_ = BaseCaption;
}

void WizardModel::Create(bool cacheDefault) {
    DebugLogFile.reset();
    windowCaption_ = std::string(BaseCaption) + " vom " + DateToStr(EncodeDate(2008, 2, 25));
    dbConnect_.ReadInstalledVersions();
    UpdateCaptionsForVersions();
    selection_ = 0;
    pvImport_ = vbImport_ = false;
    firstHintVisible_ = false;
    page_ = WizardPage::Start;
    AddressesEmptied = false;
    LoadedOptions loaded = options_.LoadOptions(boxes_, cacheDefault);
    if (!loaded.pvLogfileName.empty()) {
        PvLogfileName = loaded.pvLogfileName;
    }
    DebugLogFile = loaded.debugLog;
    useCache_ = loaded.useCache;
    dbConnect_.ConfiguredUser = loaded.dbUser;
    if (const char* user = std::getenv("ZBPV_DB_USER"); dbConnect_.ConfiguredUser.empty() && user) {
        dbConnect_.ConfiguredUser = user;
    }
    dbConnect_.ConfiguredPassword = loaded.dbPassword;
}

void WizardModel::UpdateCaptionsForVersions() {
    const ProductVersion& inv = dbConnect_.InvoicingVersion;
    const ProductVersion& mail = dbConnect_.MailProductVersion;
    if (inv == ProductVersion{8, 0, 0, 0} && mail == ProductVersion{3, 0, 0, 0}) {
        return;
    }
    for (std::string* caption : {&topInfo_, &pvCaption_, &vbCaption_, &zbInfo_, &dirChoice_}) {
        *caption = RewriteCaptionForVersions(*caption, inv, mail);
    }
}

void WizardModel::SetSelection(bool pvImport, bool vbImport) {
    pvImport_ = pvImport;
    vbImport_ = vbImport;
    selection_ = (vbImport ? ImportSelection::Invoicing : 0) + (pvImport ? ImportSelection::MailOffice : 0);
    if (selection_ == ImportSelection::Invoicing || selection_ == ImportSelection::MailOffice) {
        std::string product = selection_ == ImportSelection::Invoicing
                                  ? "Billora " + dbConnect_.InvoicingVersion.MajorMinor()
                                  : "Postiverso " + dbConnect_.MailProductVersion.MajorMinor();
        firstHintText_ = Replace0(wizard_texts::FirstHint, product);
        firstHintVisible_ = true;
    } else {
        firstHintVisible_ = false;
    }
}

bool WizardModel::Next01() {
    if (selection_ == 0) {
        return false;
    }
    page_ = WizardPage::Paths;
    LayoutPathsPage();
    FillPathsFromInstallations();
    return true;
}

void WizardModel::LayoutPathsPage() {
    switch (selection_) {
    case ImportSelection::Invoicing:
        pathsGroupCaption_ = "Quelle: Zarvo-Billora 7.0";
        productText_ = "<B>Zarvo-Billora 7.0</B>";
        mailRowVisible_ = false;
        break;
    case ImportSelection::MailOffice:
        pathsGroupCaption_ = "Quelle: Postiverso 2.0";
        productText_ = "<B>Velkaro Postiverso 2.0</B>";
        mailRowVisible_ = true;
        break;
    case ImportSelection::Both:
        pathsGroupCaption_ = "Quelle: Zarvo-Billora 7.0 und Velkaro Postiverso 2.0";
        productText_ = "<B>Zarvo-Billora 7.0</B> bzw. <B>Velkaro Postiverso 2.0</B>";
        mailRowVisible_ = true;
        break;
    default:
        break;
    }
    importHintText_ = Replace0(wizard_texts::ImportHint, productText_);
}

void WizardModel::FillPathsFromInstallations() {
    for (WizardBox box :
         {WizardBox::DataPath, WizardBox::MailDataPath, WizardBox::UserPath, WizardBox::FormPath}) {
        boxes_[box].text.clear();
    }
    InstallationPaths found = FindInstallationPaths(platform_, selection_);
    boxes_[WizardBox::DataPath].text = found.dataPath;
    boxes_[WizardBox::MailDataPath].text = found.mailDataPath;
    boxes_[WizardBox::FormPath].text = found.formPath;
    dbConnect_.ImportSelection = selection_;
    dbConnect_.LoadTargetSettings();
    boxes_[WizardBox::DBServer].text = dbConnect_.DBServer;
    boxes_[WizardBox::DBName].text = dbConnect_.DBName;
}

std::optional<ValidationFailure> WizardModel::Next02() {
    auto failure = ValidatePathsPage(selection_, boxes_, dbConnect_.InvoicingVersion,
                                     dbConnect_.MailProductVersion, platform_);
    if (failure) {
        return failure;
    }
    dbConnect_.SetServer(boxes_[WizardBox::DBServer].text);
    dbConnect_.DBName = boxes_[WizardBox::DBName].text;
    dbConnect_.ConfigureDbxConnection(DBXProviderFactory.Connection());
    dbConnect_.ConfigureIboConnection(IBOProviderFactory.Connection());
    const std::string& data = boxes_[WizardBox::DataPath].text;
    if (selection_ == ImportSelection::Invoicing) {
        header1_ = "Datenübernahme von:  \nnach:  ";
        header2_ = "<C:clMaroon>" + data + "</C>\n<C:clNavy>" + dbConnect_.ConnectionString() + "</C>.";
    } else {
        header1_ = "Datenübernahme von:  \n\nnach:  ";
        header2_ = "<C:clMaroon>" + data + "</C>\n<C:clMaroon>" + boxes_[WizardBox::MailDataPath].text +
                   "</C>\n<C:clNavy>" + dbConnect_.ConnectionString() + "</C>.";
    }
    page_ = WizardPage::Import;
    return std::nullopt;
}

std::optional<ValidationFailure> WizardModel::Next02(UserPrompts& prompts) {
    auto failure = Next02();
    if (failure) {
        prompts.ShowError(failure->message);
    }
    return failure;
}

void WizardModel::Back() {
    if (page_ == WizardPage::Import) {
        page_ = WizardPage::Paths;
    } else if (page_ == WizardPage::Paths) {
        page_ = WizardPage::Start;
    }
}

void WizardModel::DisableRunControls() {
    actions_.cache = false;
    actions_.back = false;
    actions_.import = false;
    actions_.checkPvLog = false;
    Changed();
}

void WizardModel::EnableLogCheckAfterRun() {
    actions_.checkPvLog = true;
    Changed();
}

void WizardModel::StartImport(RunController& run, ImportCounters& counters, UserPrompts& prompts) {
    if (page_ != WizardPage::Import || !actions_.import) {
        return;
    }
    RunEnvironment env{*this, counters, prompts};
    run.RunImport(env);
}

bool WizardModel::HandleKey(char key, bool shift, bool alt, bool ctrl, RunController& run,
                            ImportCounters& counters, UserPrompts& prompts) {
    if (page_ != WizardPage::Import || !(shift && alt && ctrl) || (key != 'S' && key != 's')) {
        return false;
    }
    if (prompts.AskYesNoCancel("import-bill-of-materials", wizard_texts::BillOfMaterialsQuestion) ==
        PromptAnswer::Yes) {
        RunEnvironment env{*this, counters, prompts};
        run.RunBillOfMaterials(env);
        prompts.ShowInformation(wizard_texts::ImportFinished);
    }
    return true;
}

void WizardModel::CheckPvLog(RunController& run, UserPrompts& prompts) const {
    run.CheckPvLog(PvLogfileName, prompts);
}

ImportPaths WizardModel::Paths() const {
    auto host = [&](WizardBox box) {
        const std::string& text = boxes_[box].text;
        return text.empty() ? text : platform_.HostPath(text);
    };
    return {host(WizardBox::DataPath), host(WizardBox::MailDataPath), host(WizardBox::UserPath),
            host(WizardBox::FormPath)};
}

void WizardModel::SaveOptions() {
    options_.SaveOptions(boxes_, useCache_);
}

std::string WizardModel::AppendExceptionContext(std::string_view message, std::string_view keyText) const {
    std::string result(message);
    if (!ActiveProcedure.empty()) {
        result += "\r\nActive Procedure: " + ActiveProcedure;
    }
    if (!keyText.empty()) {
        result += "\r\nKey to Import: " + std::string(keyText);
    }
    return result;
}

} // namespace zbpv

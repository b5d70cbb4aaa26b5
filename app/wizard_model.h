#pragma once
// The import wizard without widgets: the three pages, their texts, enabling rules, the selection, the
// validation of the paths page and the hand-over to the run. The desktop form and the command line
// both drive this object.

#include "app/app_folders.h"
#include "app/db_connect.h"
#include "app/paths_validation.h"
#include "app/run_controller.h"
#include "app/wizard_boxes.h"
#include "app/wizard_options.h"
#include "dbaccess/provider.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zbpv {

class Platform;
class TPrgData;
class UserPrompts;
class ImportCounters;

// The wizard's choice: the sum of the values of the two check boxes.
struct ImportSelection {
    static constexpr int None = 0;
    static constexpr int Invoicing = 1;   // cbxVBImport
    static constexpr int MailOffice = 16; // cbxPvImport
    static constexpr int Both = 17;

    static bool IncludesInvoicing(int s) { return s == Invoicing || s == Both; }
    static bool IncludesMailOffice(int s) { return s == MailOffice || s == Both; }
};

enum class WizardPage { Start = 0, Paths = 1, Import = 2 };

// Actions whose enabled state the run changes.
struct WizardActions {
    bool back = true;
    bool import = true;
    bool checkPvLog = true;
    bool cache = true; // cbxCache
};

// The source folders of a run, as host paths.
struct ImportPaths {
    std::string dataPath;
    std::string mailDataPath;
    std::string userPath;
    std::string formPath;
};

class WizardModel {
public:
    static constexpr const char* BaseCaption =
        "Datenübernahme von Zarvo-Billora 7.0 und Velkaro-Postiverso 2.0";
    static constexpr const char* ApplicationTitle = "Import von ZB7 + PV2";
    static constexpr int ClientPadding = 15; // client size = bottom-right of btnClose01 + this

    WizardModel(Platform& platform, TPrgData& prgData, AppFolders folders, std::string programName);

    // FormCreate without widgets: caption, installed versions, caption rewriting, page 1, the options
    // file. `cacheDefault` is the check box's design state.
    void Create(bool cacheDefault = true);

    // --- page 1
    // cbxPvImportClick with the states of both check boxes.
    void SetSelection(bool pvImport, bool vbImport);
    int Selection() const { return selection_; }
    bool PvImportChecked() const { return pvImport_; }
    bool VbImportChecked() const { return vbImport_; }
    bool Next01Enabled() const { return selection_ > 0; }
    bool FirstHintVisible() const { return firstHintVisible_; }
    const std::string& FirstHintText() const { return firstHintText_; }
    // btnNext01Click: false (only a beep) with nothing chosen; otherwise page 2, laid out and filled.
    bool Next01();

    // --- page 2
    // LayoutPathsPage.
    void LayoutPathsPage();
    const std::string& PathsGroupCaption() const { return pathsGroupCaption_; }
    const std::string& ProductText() const { return productText_; }
    bool MailDataRowVisible() const { return mailRowVisible_; }
    bool UserRowVisible() const { return false; } // never shown; its value still counts
    const std::string& ImportHintText() const { return importHintText_; }
    // FillPathsFromInstallations (also reloads the target settings).
    void FillPathsFromInstallations();
    WizardBoxes& Boxes() { return boxes_; }
    const WizardBoxes& Boxes() const { return boxes_; }
    // btnNext02Click: the validation; on success the target is handed to DBConnect, the page-3 header
    // is set and page 3 shown. A failure is returned (and the page stays).
    std::optional<ValidationFailure> Next02();
    // Next02 that shows a failure as an error message (stop icon, OK).
    std::optional<ValidationFailure> Next02(UserPrompts& prompts);

    // --- page 3
    const std::string& Header1() const { return header1_; }
    const std::string& Header2() const { return header2_; }
    bool UseCache() const { return useCache_; }
    void SetUseCache(bool on) { useCache_ = on; }
    const WizardActions& Actions() const { return actions_; }
    // PrepareRun: cache box and the actions Back, Import, CheckPVLog off; FinishRun after a completed
    // run: only CheckPVLog on again.
    void DisableRunControls();
    void EnableLogCheckAfterRun();
    // btnImportClick: hands over to the run controller.
    void StartImport(RunController& run, ImportCounters& counters, UserPrompts& prompts);
    // FormKeyDown: Shift+Alt+Ctrl+S on page 3 asks, then runs the bill-of-materials step. True when
    // the key was taken.
    bool HandleKey(char key, bool shift, bool alt, bool ctrl, RunController& run, ImportCounters& counters,
                   UserPrompts& prompts);
    // actCheckPVLogExecute.
    void CheckPvLog(RunController& run, UserPrompts& prompts) const;

    // --- navigation
    WizardPage Page() const { return page_; }
    // btnBack03Click.
    void Back();

    // --- texts rewritten for the installed versions
    const std::string& WindowCaption() const { return windowCaption_; }
    const std::string& TopInfo() const { return topInfo_; }           // lblTopInfo (mark-up)
    const std::string& PvImportCaption() const { return pvCaption_; } // cbxPvImport
    const std::string& VbImportCaption() const { return vbCaption_; } // cbxVBImport
    const std::string& ZbImportInfo() const { return zbInfo_; }       // lblZBImportinfo
    const std::string& DirChoice() const { return dirChoice_; }       // lblDirChoice

    // --- the run's state
    // The target provider of the run and its two factories; leaving page 2 configures both factories'
    // connections, nothing connects before the run uses the provider.
    TKVDBDBXProviderFactory DBXProviderFactory;
    TKVDBIBOProviderFactory IBOProviderFactory;
    TKVDBProvider ndpMain{&DBXProviderFactory};

    TDBConnect& DBConnect() { return dbConnect_; }
    const TDBConnect& DBConnect() const { return dbConnect_; }
    ImportPaths Paths() const; // host paths of the four boxes
    std::string ActiveProcedure;
    bool AddressesEmptied = false;
    bool ArchiveMails = false;
    std::string PvLogfileName;
    std::optional<std::filesystem::path> DebugLogFile; // set when the options ask for the diagnostic log
    // SaveOptions at run start (raises EFileError when the options file cannot be written).
    void SaveOptions();
    const WizardOptionsFile& OptionsFile() const { return options_; }

    // Appends "Active Procedure: ..." and "Key to Import: ..." lines to an error message.
    std::string AppendExceptionContext(std::string_view message, std::string_view keyText) const;

    // Called whenever a state the form shows changes outside a direct call (actions during a run).
    std::function<void()> OnStateChanged;

    Platform& GetPlatform() { return platform_; }

private:
    void UpdateCaptionsForVersions();
    void Changed() {
        if (OnStateChanged) {
            OnStateChanged();
        }
    }

    Platform& platform_;
    AppFolders folders_;
    TDBConnect dbConnect_;
    WizardOptionsFile options_;
    WizardBoxes boxes_;

    int selection_ = 0;
    bool pvImport_ = false;
    bool vbImport_ = false;
    bool firstHintVisible_ = false;
    std::string firstHintText_;
    WizardPage page_ = WizardPage::Start;

    std::string pathsGroupCaption_ = "Quelle";
    std::string productText_;
    bool mailRowVisible_ = true;
    std::string importHintText_;

    std::string header1_;
    std::string header2_;
    bool useCache_ = true;
    WizardActions actions_;

    std::string windowCaption_;
    std::string topInfo_;
    std::string pvCaption_;
    std::string vbCaption_;
    std::string zbInfo_;
    std::string dirChoice_;
};

// The version-dependent rewrite of a caption: every "3.0" becomes the mail-office version and every
// "8.0" the invoicing version (major.minor), in one pass so a replacement is never replaced again.
std::string RewriteCaptionForVersions(std::string_view caption, const ProductVersion& invoicing,
                                      const ProductVersion& mail);

// The fixed texts of page 1 before any rewriting (UTF-8, lines joined by "\n").
namespace wizard_texts {
extern const char* const TopInfo;
extern const char* const PvImport;
extern const char* const VbImport;
extern const char* const ZbImportInfo;
extern const char* const DirChoice;
extern const char* const FirstHint;  // "%0:s" = product text
extern const char* const ImportHint; // "%0:s" = product text
extern const char* const BillOfMaterialsQuestion;
extern const char* const ImportFinished;
} // namespace wizard_texts

} // namespace zbpv

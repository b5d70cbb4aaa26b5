#pragma once
// The invoicing import run behind "Import starten": preparation and its questions, the steps in their
// fixed order, the shared lookups and key maps, counters, and the closing message.

#include "dbaccess/dataset_helpers.h"
#include "invoicing/keys.h"
#include "invoicing/run_report.h"
#include "invoicing/run_ui.h"
#include "support/link_list.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zbpv {

struct TRunSettings {
    int ImportSelection = 0; // 1 invoicing, 16 mail office, 17 both
    std::string DataPath, MailDataPath, UserPath, FormPath;
    bool Cache = true; // "Beschleunigung durch Speichercache"
    // Where the report of refused rows goes (the "Log" folder of the program's folder).
    std::filesystem::path LogFolder;

    bool InvoicingIncluded() const { return ImportSelection == 1 || ImportSelection == 17; }
    bool MailIncluded() const { return ImportSelection == 16 || ImportSelection == 17; }
};

class TImportRun;

// What the front end does around a run; every hook may be left empty.
struct TRunHooks {
    std::function<void()> SaveOptions;
    // The cache option, "Zurück", "Import starten" and the log check, disabled while a run is active.
    std::function<void()> DisableRunControls;
    // The log check, enabled again after the invoicing steps.
    std::function<void()> EnableLogCheck;
    // Step 16, the mail-office run (when the mail office is included).
    std::function<void(TImportRun&)> StartMailRun;
};

// A target dataset with the old keys of its pending rows, so that refused rows can be reported.
class TTargetTable {
public:
    // countsRows: applied rows count as rows written (not for edits of rows written before).
    TTargetTable(std::unique_ptr<ITargetDataSet> ds, std::string table, TRunReport& report,
                 bool countsRows = true)
        : ds_(std::move(ds)), table_(std::move(table)), report_(&report), countsRows_(countsRows) {}
    ITargetDataSet& operator*() { return *ds_; }
    ITargetDataSet* operator->() { return ds_.get(); }
    const std::string& Table() const { return table_; }

    // Posts the current row, remembering the old record's key for the report.
    void Post(std::string oldKey);
    // Writes the pending rows; refused ones go into the run report. Returns their positions among the
    // rows posted since the last apply.
    std::vector<std::size_t> Apply();
    // Apply, then drop the local rows.
    std::vector<std::size_t> ApplyAndEmpty();

private:
    std::unique_ptr<ITargetDataSet> ds_;
    std::string table_;
    TRunReport* report_;
    bool countsRows_;
    std::vector<std::string> pendingKeys_;
};

// A prepared lookup query reused for the whole run.
class TLookup {
public:
    TLookup(ITargetDatabase& db, std::string sql);
    // Widths of the text columns the parameters are compared with (0: any). A longer text cannot be
    // in the column, so the lookup answers "no row" without asking the database (which would refuse
    // the parameter).
    std::vector<int> ParamWidths;
    // First column of the first row as integer, 0 when there is no row.
    int32_t Integer(const std::vector<Variant>& params);
    bool Exists(const std::vector<Variant>& params);

private:
    std::unique_ptr<ITargetQuery> q_;
};

// A key lookup by old number that, like the key maps, ignores letter case: the exact match through
// the index first, and only when that finds nothing and the key has letters, the case-insensitive one
// (the lowest LFDNR of several).
class TKeyLookup {
public:
    TKeyLookup(ITargetDatabase& db, const std::string& exactSql, const std::string& foldedSql);
    int32_t Find(const std::string& key);
    int Width = 0; // of the number column; a longer key is never found

private:
    TLookup exact_;
    std::unique_ptr<TLookup> folded_;
    ITargetDatabase* db_;
    std::string foldedSql_;
};

class TImportRun {
public:
    TImportRun(TRunSettings settings, ITargetDatabase& db, ISourceOpener& sources, IRunPrompts& prompts,
               IRunProgress& progress, TRunHooks hooks = {});
    ~TImportRun();
    TImportRun(const TImportRun&) = delete;
    TImportRun& operator=(const TImportRun&) = delete;

    // "Import starten": prepare, the steps, finish, the mail run, the closing message. False when the
    // preparation was declined. Exceptions end the run (after the clean-up) and pass on.
    bool Execute();
    // Saves the options, asks the questions, disables the controls, prepares the lookups. False when
    // the user declined (nothing was changed then).
    bool PrepareRun();
    void RunInvoicingSteps();
    void FinishInvoicingRun();

    // --- run state
    const TRunSettings& Settings() const { return settings_; }
    const std::string& ActiveProcedure() const { return activeProcedure_; }
    const std::string& KeyValue() const { return keyValue_; }
    // The lines the error report adds to a failure's message ("Active Procedure: …", "Key to
    // Import: …"), kept from the moment the failure happened although the clean-up clears the display.
    std::string ExceptionContext() const;
    // The step and key at the moment of the last failure (empty after a run that went through).
    const std::string& FailedProcedure() const { return failedProcedure_; }
    const std::string& FailedKey() const { return failedKey_; }
    bool AddressesEmptied() const { return addressesEmptied_; }
    bool ArchiveMails() const { return archiveMails_; }
    TRunReport& Report() { return report_; }
    const std::filesystem::path& ReportPath() const { return reportPath_; }
    // Old contact ID -> new KONTAKTE.LFDNR, for the mail-office run; none unless the contacts step built
    // it (mail office included and an "ID" field), freed at the end of the run.
    const TLinkList* ContactLinks() const { return contactLinks_.get(); }
    // The closing message that Execute showed (UTF-8).
    const std::string& ClosingText() const { return closingText_; }

    // --- the steps
    struct TStep {
        const char* Name;
        std::function<bool(const TRunSettings&)> RunsWhen;
        void (TImportRun::*Body)(); // nullptr: not part of this build
    };
    static const std::vector<TStep>& Steps();

    void ImportKunLfrMab();
    void ImportKunGrZuord();
    void ImportKontakte();
    void ImportKunLief();
    bool AskEmptyAddresses();

    // --- shared machinery
    void PrepareLookups();
    void ReleaseLookups();
    int32_t FindArtikel(const std::string& nr);
    int32_t FindAuftragA(const std::string& nr);
    int32_t FindAuftragB(const std::string& nr);
    int32_t FindKunde(const std::string& nr);
    int32_t FindLieferant(const std::string& nr);
    int32_t FindMitarbeiter(const std::string& nr);
    int32_t FindGruppe(const std::string& name);
    bool GrZuordExists(int32_t customer, int32_t group);
    bool KunLiefExists(int32_t customer, int32_t secondAddress);
    long long CountRows(const std::string& table);
    void ExecStatements(std::initializer_list<const char*> statements);
    // Appends a row: LFDNR from GEN_LFDNR, creation and change columns (where present) now and "ADM".
    int32_t NewRowDefaults(ITargetDataSet& ds);
    // Applies the pending rows of each target table, then frees everything.
    void ReleaseDatasets(std::initializer_list<TTargetTable*> targets,
                         std::initializer_list<std::unique_ptr<ISourceTable>*> sources);
    // The run's text widths, read once.
    int AdressNrSize() const { return adressNrSize_; }
    int ArtikelNrSize() const { return artikelNrSize_; }
    int AuftragNrSize() const { return auftragNrSize_; }
    bool HasKeyMaps() const { return customerMap_ != nullptr; }

    // Counters and key display (also remembered for the failure context).
    void SetActiveProcedure(const std::string& name);
    void ShowKey(const std::string& key);
    IRunProgress& Progress() { return progress_; }

    std::unique_ptr<ISourceTable> OpenSource(const std::string& fileName);
    std::unique_ptr<TTargetTable> OpenTarget(const std::string& table, bool fetchRows);
    ITargetDatabase& Db() { return db_; }

private:
    struct TAddressKind;
    void ImportAddressTable(const TAddressKind& kind, ISourceTable& ansprech, ISourceTable* gruppen);
    void ImportContactPersons(ISourceTable& ansprech, const std::string& art, const std::string& nr,
                              int32_t addressKey, bool checkExisting);
    void ImportGroupList(const std::string& list, bool checkExisting, int32_t addressKey,
                         ISourceTable* gruppen);
    std::pair<int32_t, bool> FindOrCreateGroup(const std::string& name, ISourceTable* gruppen);
    int32_t CreateGroup(const std::string& name, ISourceTable* gruppen);
    void LoadPaymentMethods();
    bool MailFileExists(const std::string& name) const;
    void CleanUpAfterRun();

    TRunSettings settings_;
    ITargetDatabase& db_;
    ISourceOpener& sources_;
    IRunPrompts& prompts_;
    IRunProgress& progress_;
    TRunHooks hooks_;
    TRunReport report_;
    std::filesystem::path reportPath_;

    std::string activeProcedure_, keyValue_;
    std::string failedProcedure_, failedKey_;
    bool addressesEmptied_ = false;
    bool archiveMails_ = false;
    bool lookupsPrepared_ = false;
    std::string closingText_;

    // Lookups of the run.
    std::unique_ptr<TKeyLookup> artikel_, auftragA_, auftragB_, kunde_, mitarbeiter_, lieferant_;
    std::unique_ptr<TLookup> gruppe_, gruppeFolded_, grZuordTest_, kunLiefTest_;
    int adressNrSize_ = 0, artikelNrSize_ = 0, auftragNrSize_ = 0, groupNameSize_ = 0;
    // The seven key maps of the cache option.
    std::unique_ptr<TKeyMap> artikelMap_, auftragMap_, bestellMap_, customerMap_, employeeMap_, supplierMap_,
        groupMap_;

    // Address step state.
    std::vector<std::string> paymentMethods_;
    std::unique_ptr<TTargetTable> adressen_, gruppen_, grzuord_, ansprech_;
    std::unique_ptr<TLookup> contactTest_;
    int suchbegriffWidth_ = 0, telMatchWidth_ = 0, apTelMatchWidth_ = 0;
    // Delivery pairs written in this run.
    std::unique_ptr<TLinkList> contactLinks_;
};

} // namespace zbpv

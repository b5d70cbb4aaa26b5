#include "invoicing/import_run.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "support/errors.h"

#include <system_error>

namespace zbpv {

// --- TTargetTable

void TTargetTable::Post(std::string oldKey) {
    ds_->Post();
    pendingKeys_.push_back(std::move(oldKey));
}

std::vector<std::size_t> TTargetTable::Apply() {
    std::vector<std::size_t> refused;
    std::size_t pending = ds_->PendingCount();
    if (pending > 0) {
        std::vector<TApplyError> errors = ds_->ApplyUpdates();
        for (const TApplyError& e : errors) {
            std::string key = e.Position < pendingKeys_.size() ? pendingKeys_[e.Position] : std::string();
            report_->AddRefused({table_, key, e.Message});
            refused.push_back(e.Position);
        }
        if (countsRows_)
            report_->AddWritten(table_, static_cast<long long>(pending - errors.size()));
    }
    pendingKeys_.clear();
    return refused;
}

std::vector<std::size_t> TTargetTable::ApplyAndEmpty() {
    auto refused = Apply();
    ds_->EmptyBuffer();
    return refused;
}

// --- lookups

TLookup::TLookup(ITargetDatabase& db, std::string sql) : q_(PrepareTargetQuery(db, sql)) {}

namespace {
bool ParamsFit(const std::vector<Variant>& params, const std::vector<int>& widths) {
    for (size_t i = 0; i < params.size() && i < widths.size(); ++i)
        if (widths[i] > 0 && params[i].Kind() == VariantKind::Text &&
            static_cast<int>(TrimRight(params[i].Bytes()).size()) > widths[i])
            return false;
    return true;
}
} // namespace

int32_t TLookup::Integer(const std::vector<Variant>& params) {
    if (!ParamsFit(params, ParamWidths))
        return 0;
    std::optional<Variant> v = q_->FirstValue(params);
    if (!v || v->IsNull())
        return 0;
    return static_cast<int32_t>(v->AsInteger());
}

bool TLookup::Exists(const std::vector<Variant>& params) {
    return ParamsFit(params, ParamWidths) && q_->FirstValue(params).has_value();
}

TKeyLookup::TKeyLookup(ITargetDatabase& db, const std::string& exactSql, const std::string& foldedSql)
    : exact_(db, exactSql), db_(&db), foldedSql_(foldedSql) {}

int32_t TKeyLookup::Find(const std::string& key) {
    if (Width > 0 && static_cast<int>(key.size()) > Width)
        return 0;
    int32_t k = exact_.Integer({Variant(key)});
    if (k != 0 || HasNoLetterCase(key))
        return k;
    if (!folded_)
        folded_ = std::make_unique<TLookup>(*db_, foldedSql_);
    return folded_->Integer({Variant(AnsiUpperCase(key))});
}

// --- the run

namespace {

const char* const kOrderQuestion = "<B>In der Zieldatenbank sind bereits Aufträge angelegt worden.</B>\r\n"
                                   "\r\n"
                                   "Vor dem Importlauf werden alle vorhandenen Buchungen gelöscht.\r\n"
                                   "\r\n"
                                   "Möchten Sie jetzt den Import starten?";

const char* const kMailNotice = "Bitte beachten Sie, dass Sie sich erst über das Menü\r\n"
                                "\r\n"
                                "    <b>\"Stammdaten | ... abmelden\"<b>\r\n"
                                "\r\n"
                                "unter Ihrem importierten Benutzer anmelden müssen,\r\n"
                                "um auf Ihre E-Mails zugreifen zu können.";

bool Invoicing(const TRunSettings& s) {
    return s.InvoicingIncluded();
}
bool Mail(const TRunSettings& s) {
    return s.MailIncluded();
}
bool Always(const TRunSettings&) {
    return true;
}
bool FormPathGiven(const TRunSettings& s) {
    return !s.FormPath.empty();
}

// The key of a row by its number: the exact, indexed match first, the match ignoring letter case only
// when that finds nothing (the key maps ignore case too).
std::unique_ptr<TKeyLookup> NumberLookup(ITargetDatabase& db, const std::string& table,
                                         const std::string& column, const std::string& param,
                                         const std::string& condition) {
    const std::string select = "SELECT LFDNR FROM " + table + " WHERE ";
    return std::make_unique<TKeyLookup>(db, select + column + " = :" + param + condition,
                                        select + "UPPER(" + column + ") = :" + param + condition +
                                            " ORDER BY LFDNR");
}

// Text width of a column of a row reader opened with key 0.
int ColumnWidth(ITargetDatabase& db, const std::string& table, const std::string& column) {
    auto ds = OpenTargetQuery(db, "SELECT * FROM " + table + " WHERE LFDNR = :LFDNR", {Variant(0)});
    return ds->Field(ds->FieldIndex(column)).Size;
}

} // namespace

TImportRun::TImportRun(TRunSettings settings, ITargetDatabase& db, ISourceOpener& sources,
                       IRunPrompts& prompts, IRunProgress& progress, TRunHooks hooks)
    : settings_(std::move(settings)), db_(db), sources_(sources), prompts_(prompts), progress_(progress),
      hooks_(std::move(hooks)) {}

TImportRun::~TImportRun() = default;

const std::vector<TImportRun::TStep>& TImportRun::Steps() {
    static const std::vector<TStep> steps = {
        {"ImportKunLfrMab", Always, &TImportRun::ImportKunLfrMab},
        {"ImportKunGrZuord", Mail, &TImportRun::ImportKunGrZuord},
        {"ImportKontakte", Always, &TImportRun::ImportKontakte},
        {"ImportArtikelGruppe", Invoicing, nullptr},
        {"ImportArtikel", Invoicing, nullptr},
        {"ImportArtstlst", Invoicing, nullptr},
        {"ImportAuftraege", Invoicing, nullptr},
        {"ImportArtikelBestellung", Invoicing, nullptr},
        {"ImportOP", Invoicing, nullptr},
        {"ImportKunLief", Invoicing, &TImportRun::ImportKunLief},
        {"ImportUmsatz", Invoicing, nullptr},
        {"ImportFibu", Invoicing, nullptr},
        {"ImportStSatz", Invoicing, nullptr},
        {"ImportFormulare", FormPathGiven, nullptr},
        {"ImportSetup", Invoicing, nullptr},
    };
    return steps;
}

void TImportRun::SetActiveProcedure(const std::string& name) {
    if (name != activeProcedure_)
        progress_.StepStarted(name);
    activeProcedure_ = name;
    ShowKey("");
}

void TImportRun::ShowKey(const std::string& key) {
    keyValue_ = key;
    progress_.ImportKeyProgress(key);
}

std::string TImportRun::ExceptionContext() const {
    const std::string& proc = failedProcedure_.empty() ? activeProcedure_ : failedProcedure_;
    const std::string& key = failedProcedure_.empty() ? keyValue_ : failedKey_;
    std::string text;
    if (!proc.empty())
        text += "\r\nActive Procedure: " + proc;
    if (!key.empty())
        text += "\r\nKey to Import: " + AnsiToUtf8(key);
    return text;
}

bool TImportRun::Execute() {
    activeProcedure_.clear();
    failedProcedure_.clear();
    failedKey_.clear();
    closingText_.clear();
    if (!PrepareRun())
        return false;
    try {
        RunInvoicingSteps();
        FinishInvoicingRun();
        if (settings_.MailIncluded() && hooks_.StartMailRun) {
            SetActiveProcedure("ImportPostiverso");
            hooks_.StartMailRun(*this);
        }
    } catch (...) {
        failedProcedure_ = activeProcedure_;
        failedKey_ = keyValue_;
        // What was applied stays: it is committed, and the refused rows so far are reported.
        try {
            db_.CommitWork();
        } catch (...) {
        }
        try {
            reportPath_ = report_.Write(settings_.LogFolder);
        } catch (...) {
        }
        CleanUpAfterRun();
        throw;
    }
    CleanUpAfterRun();

    reportPath_ = report_.Write(settings_.LogFolder);
    std::string notice = RefusedRowsNotice(report_.RefusedCount(), reportPath_);
    if (!settings_.MailIncluded()) {
        closingText_ = "Import abgeschlossen.";
        if (!notice.empty())
            closingText_ += "\r\n\r\n" + notice;
        prompts_.ShowInformation("", closingText_);
    } else {
        closingText_ = kMailNotice;
        if (!notice.empty())
            closingText_ += "\r\n\r\n" + notice;
        prompts_.ShowInformation("Import abgeschlossen.", closingText_);
    }
    return true;
}

void TImportRun::CleanUpAfterRun() {
    SetActiveProcedure("");
    contactLinks_.reset();
    adressen_.reset();
    gruppen_.reset();
    grzuord_.reset();
    ansprech_.reset();
    contactTest_.reset();
}

bool TImportRun::MailFileExists(const std::string& name) const {
    std::error_code ec;
    std::filesystem::path dir(settings_.MailDataPath);
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (AnsiSameText(entry.path().filename().string(), name))
            return true;
    return false;
}

bool TImportRun::PrepareRun() {
    if (hooks_.SaveOptions)
        hooks_.SaveOptions();
    if (settings_.ImportSelection != 16 && CountRows("AUFTRAG") >= 11) {
        TQuestion q{"overwrite-orders", kOrderQuestion, TMsgIcon::Warning, false, TMsgAnswer::No};
        if (prompts_.Ask(q) != TMsgAnswer::Yes)
            return false;
    }
    archiveMails_ = false;
    if (settings_.MailIncluded() &&
        (MailFileExists("MailEingangArchiv.DB") || MailFileExists("MailGesendetArchiv.DB"))) {
        TQuestion q{"archive-mails", "Möchten Sie archivierte E-Mails ebenfalls importieren?",
                    TMsgIcon::Question, false, TMsgAnswer::No};
        archiveMails_ = prompts_.Ask(q) == TMsgAnswer::Yes;
    }
    if (hooks_.DisableRunControls)
        hooks_.DisableRunControls();
    PrepareLookups();
    return true;
}

void TImportRun::RunInvoicingSteps() {
    for (const TStep& step : Steps()) {
        SetActiveProcedure(step.Name);
        if (!step.Body || !step.RunsWhen(settings_))
            continue;
        (this->*step.Body)();
        // Each step ends with its rows committed.
        db_.CommitWork();
    }
}

void TImportRun::FinishInvoicingRun() {
    ReleaseLookups();
    if (hooks_.EnableLogCheck)
        hooks_.EnableLogCheck();
}

void TImportRun::PrepareLookups() {
    ReleaseLookups();
    artikel_ = NumberLookup(db_, "ARTIKEL", "ARTIKELNR", "NR", "");
    auftragA_ = NumberLookup(db_, "AUFTRAG", "AUFTRAGNR", "AUFTRAGNR", " AND ART = 'A'");
    auftragB_ = NumberLookup(db_, "AUFTRAG", "AUFTRAGNR", "AUFTRAGNR", " AND ART = 'B'");
    kunde_ = NumberLookup(db_, "ADRESSEN", "Nr", "NR", " AND ART = 'K'");
    mitarbeiter_ = NumberLookup(db_, "ADRESSEN", "Nr", "NR", " AND ART = 'M'");
    lieferant_ = NumberLookup(db_, "ADRESSEN", "Nr", "NR", " AND ART = 'L'");
    adressNrSize_ = ColumnWidth(db_, "ADRESSEN", "NR");
    artikelNrSize_ = ColumnWidth(db_, "ARTIKEL", "ARTIKELNR");
    auftragNrSize_ = ColumnWidth(db_, "AUFTRAG", "AUFTRAGNR");
    groupNameSize_ = ColumnWidth(db_, "GRUPPEN", "KURZBEZ");
    artikel_->Width = artikelNrSize_;
    auftragA_->Width = auftragB_->Width = auftragNrSize_;
    kunde_->Width = mitarbeiter_->Width = lieferant_->Width = adressNrSize_;
    if (settings_.Cache) {
        artikelMap_ = std::make_unique<TKeyMap>();
        auftragMap_ = std::make_unique<TKeyMap>();
        bestellMap_ = std::make_unique<TKeyMap>();
        customerMap_ = std::make_unique<TKeyMap>();
        employeeMap_ = std::make_unique<TKeyMap>();
        supplierMap_ = std::make_unique<TKeyMap>();
        groupMap_ = std::make_unique<TKeyMap>();
    }
    lookupsPrepared_ = true;
}

void TImportRun::ReleaseLookups() {
    artikel_.reset();
    auftragA_.reset();
    auftragB_.reset();
    kunde_.reset();
    mitarbeiter_.reset();
    lieferant_.reset();
    gruppe_.reset();
    gruppeFolded_.reset();
    grZuordTest_.reset();
    kunLiefTest_.reset();
    artikelMap_.reset();
    auftragMap_.reset();
    bestellMap_.reset();
    customerMap_.reset();
    employeeMap_.reset();
    supplierMap_.reset();
    groupMap_.reset();
    lookupsPrepared_ = false;
}

namespace {
int32_t LookupKey(const std::string& key, TKeyLookup& lookup, TKeyMap* map) {
    if (map) {
        if (int32_t k = map->Find(key))
            return k;
    }
    return lookup.Find(key);
}
} // namespace

int32_t TImportRun::FindArtikel(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, artikelNrSize_), *artikel_, artikelMap_.get());
}
int32_t TImportRun::FindAuftragA(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, auftragNrSize_), *auftragA_, auftragMap_.get());
}
int32_t TImportRun::FindAuftragB(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, auftragNrSize_), *auftragB_, bestellMap_.get());
}
int32_t TImportRun::FindKunde(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, adressNrSize_), *kunde_, customerMap_.get());
}
int32_t TImportRun::FindLieferant(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, adressNrSize_), *lieferant_, supplierMap_.get());
}
int32_t TImportRun::FindMitarbeiter(const std::string& nr) {
    return LookupKey(NormalizeKey(nr, adressNrSize_), *mitarbeiter_, employeeMap_.get());
}

int32_t TImportRun::FindGruppe(const std::string& name) {
    if (groupMap_) {
        if (int32_t g = groupMap_->Find(name))
            return g;
    }
    if (!gruppe_) {
        gruppe_ = std::make_unique<TLookup>(
            db_, "SELECT LFDNR\r\n\tFROM GRUPPEN\r\n\tWHERE UPPER(KURZBEZ) = :KURZBEZ");
        gruppe_->ParamWidths = {groupNameSize_};
    }
    return gruppe_->Integer({Variant(AnsiUpperCase(name))});
}

bool TImportRun::GrZuordExists(int32_t customer, int32_t group) {
    if (!grZuordTest_)
        grZuordTest_ = std::make_unique<TLookup>(db_, "SELECT LFDNR\r\n\tFROM GRZUORD\r\n\tWHERE KUNDENLFDNR "
                                                      "= :KUNDENLFDNR AND\r\n\tGRUPPELFDNR = :GRUPPELFDNR");
    return grZuordTest_->Exists({Variant(customer), Variant(group)});
}

bool TImportRun::KunLiefExists(int32_t customer, int32_t secondAddress) {
    if (!kunLiefTest_)
        kunLiefTest_ = std::make_unique<TLookup>(db_, "SELECT LFDNR\r\n\tFROM KUNLIEF\r\n"
                                                      "WHERE KUNDENLFDNR       = :KUNDENLFDNR AND\r\n"
                                                      "      LFDNRZWEITADRESSE = :LFDNRZWEITADRESSE");
    return kunLiefTest_->Exists({Variant(customer), Variant(secondAddress)});
}

long long TImportRun::CountRows(const std::string& table) {
    TLookup q(db_, "SELECT COUNT(*) FROM " + table);
    return q.Integer({});
}

void TImportRun::ExecStatements(std::initializer_list<const char*> statements) {
    THourglass busy(progress_);
    for (const char* sql : statements)
        db_.ExecuteDirect(sql);
}

int32_t TImportRun::NewRowDefaults(ITargetDataSet& ds) {
    ds.Append();
    int32_t lfdnr = db_.NextLfdnr();
    ds.SetByName("LFDNR", Variant(lfdnr));
    Variant now = Variant::FromDateTime(Now());
    for (const char* col : {"ANGELEGTAM", "GEAENDERTAM"})
        if (int i = ds.FindField(col); i >= 0)
            ds.SetValue(i, now);
    for (const char* col : {"ANGELEGTVON", "GEAENDERTVON"})
        if (int i = ds.FindField(col); i >= 0)
            ds.SetValue(i, Variant("ADM"));
    return lfdnr;
}

void TImportRun::ReleaseDatasets(std::initializer_list<TTargetTable*> targets,
                                 std::initializer_list<std::unique_ptr<ISourceTable>*> sources) {
    for (TTargetTable* t : targets)
        if (t)
            t->Apply();
    for (std::unique_ptr<ISourceTable>* s : sources)
        if (s)
            FreeDataSet(*s);
}

std::unique_ptr<ISourceTable> TImportRun::OpenSource(const std::string& fileName) {
    return OpenSourceTable(sources_, settings_.DataPath, fileName);
}

std::unique_ptr<TTargetTable> TImportRun::OpenTarget(const std::string& table, bool fetchRows) {
    auto ds = fetchRows ? OpenTargetTable(db_, table) : OpenTargetTableEmpty(db_, table);
    return std::make_unique<TTargetTable>(std::move(ds), table, report_);
}

} // namespace zbpv

#include "dbaccess/dataset_helpers.h"

#include "dbaccess/client_dataset.h"
#include "dbaccess/provider.h"
#include "dbaccess/sql_generator.h"

#include "dbaccess/client_dataset.h"
#include "dbaccess/provider.h"
#include "dbaccess/sql_generator.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "support/format_settings.h"

#include <functional>
#include <map>

#include <functional>
#include <map>

namespace zbpv {

int IFieldList::FindField(std::string_view name) const {
    int n = FieldCount();
    for (int i = 0; i < n; ++i)
        if (AnsiSameText(Field(i).Name, name))
            return i;
    return -1;
}

int IFieldList::FieldIndex(std::string_view name) const {
    int i = FindField(name);
    if (i < 0)
        throw EDatabaseError(DataSetName() + ": Feld '" + std::string(name) + "' nicht gefunden.");
    return i;
}

std::string ISourceTable::Text(std::string_view name) const {
    Variant v = FieldByName(name);
    return v.IsNull() ? std::string() : v.AsString();
}

namespace {

bool IsPathBlank(char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= 32 || u == 160;
}

// Rethrows `e` with a new message, keeping its class for the classes the lower layers raise.
[[noreturn]] void RethrowWithMessage(const std::exception& e, const std::string& message) {
    if (auto* db = dynamic_cast<const EDatabaseError*>(&e))
        throw EDatabaseError(message, db->SqlState(), db->ErrorCode());
    if (dynamic_cast<const EFileError*>(&e))
        throw EFileError(message);
    if (dynamic_cast<const EConvertError*>(&e))
        throw EConvertError(message);
    throw Exception(message);
}

} // namespace

std::string SourceTableMessage(std::string_view folder, std::string_view fileName, std::string_view cause) {
    size_t b = 0, e = folder.size();
    while (b < e && IsPathBlank(folder[b]))
        ++b;
    while (e > b && IsPathBlank(folder[e - 1]))
        --e;
    std::string path(folder.substr(b, e - b));
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        // Windows paths keep their backslash; host paths get the host's separator.
        path += (path.find('\\') != std::string::npos || path.find('/') == std::string::npos) ? '\\' : '/';
    path += fileName;
    return "Die Tabelle \"" + path + "\" konnte nicht geöffnet werden.\r\n\r\n" + std::string(cause);
}

std::unique_ptr<ISourceTable> OpenSourceTable(ISourceOpener& opener, const std::string& folder,
                                              const std::string& fileName) {
    try {
        return opener.Open(folder, fileName);
    } catch (const std::exception& e) {
        RethrowWithMessage(e, SourceTableMessage(folder, fileName, e.what()));
    }
}

std::unique_ptr<ITargetDataSet> OpenTargetTable(ITargetDatabase& db, const std::string& table) {
    return db.OpenTable(table, true);
}

std::unique_ptr<ITargetDataSet> OpenTargetTableEmpty(ITargetDatabase& db, const std::string& table) {
    return db.OpenTable(table, false);
}

std::unique_ptr<ITargetQuery> PrepareTargetQuery(ITargetDatabase& db, const std::string& sql) {
    return db.PrepareQuery(sql);
}

std::unique_ptr<ITargetDataSet> OpenTargetQuery(ITargetDatabase& db, const std::string& sql,
                                                const std::vector<Variant>& params) {
    return db.OpenQuery(sql, params);
}

namespace {

// The date rule: the source's value as a date within the years 1900 to 2500, else nothing.
std::optional<TDateTime> CopyableDate(const Variant& v) {
    TDateTime dt = 0;
    switch (v.Kind()) {
    case VariantKind::Null:
        return std::nullopt;
    case VariantKind::DateTime:
        dt = v.AsDateTime();
        break;
    case VariantKind::Text:
        if (!TryStrToDateTime(Trim(v.Bytes()), dt, GlobalFormatSettings()))
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    int year = DecodeDate(dt).year;
    if (year < 1900 || year > 2500)
        return std::nullopt;
    return dt;
}

} // namespace

bool CopyFields(const ISourceTable& source, ITargetDataSet& destination) {
    bool lookupFailed = false;
    int n = 0;
    try {
        n = source.FieldCount();
    } catch (...) {
        return true;
    }
    for (int i = 0; i < n; ++i) {
        int d = -1;
        Variant value;
        try {
            d = destination.FindField(source.Field(i).Name);
            if (d < 0)
                continue;
            value = source.Value(i);
        } catch (...) {
            lookupFailed = true;
            continue;
        }
        try {
            TDataKind kind = destination.Field(d).Kind;
            if (kind == TDataKind::Date || kind == TDataKind::DateTime) {
                if (auto dt = CopyableDate(value))
                    destination.SetValue(d, Variant::FromDateTime(*dt));
            } else {
                destination.SetValue(d, value);
            }
        } catch (...) {
            // A value that does not fit the column leaves it as it is.
        }
    }
    return lookupFailed;
}

bool DataSetEmpty(const ITargetDataSet& ds) {
    return ds.RecordCount() == 0;
}

// --- The target through the provider

namespace {

TDataKind KindOf(TFieldType t) {
    switch (t) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
        return TDataKind::Text;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
        return TDataKind::Integer;
    case TFieldType::ftFloat:
        return TDataKind::Float;
    case TFieldType::ftFMTBcd:
        return TDataKind::Decimal;
    case TFieldType::ftDate:
        return TDataKind::Date;
    case TFieldType::ftTime:
        return TDataKind::Time;
    case TFieldType::ftTimeStamp:
        return TDataKind::DateTime;
    case TFieldType::ftMemo:
        return TDataKind::Memo;
    case TFieldType::ftBlob:
        return TDataKind::Blob;
    case TFieldType::ftBoolean:
        return TDataKind::Boolean;
    default:
        return TDataKind::Other;
    }
}

using TReleaseFn = std::function<void(std::unique_ptr<TKVClientDataSet>)>;

class TClientDataSetAdapter : public ITargetDataSet {
public:
    TClientDataSetAdapter(std::unique_ptr<TKVClientDataSet> ds, std::string name, TReleaseFn release = {})
        : ds_(std::move(ds)), name_(std::move(name)), release_(std::move(release)) {
        for (const TFieldDef& d : ds_->FieldDefs())
            fields_.push_back(
                {d.Name, KindOf(d.DataType),
                 d.DataType == TFieldType::ftString || d.DataType == TFieldType::ftFixedChar ? d.Size : 0});
    }
    ~TClientDataSetAdapter() override {
        if (release_)
            release_(std::move(ds_));
    }
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const TDataField& Field(int i) const override { return fields_.at(static_cast<size_t>(i)); }
    std::string DataSetName() const override { return name_; }
    int RecordCount() const override { return static_cast<int>(ds_->RecordCount()); }
    void First() override { ds_->First(); }
    void Next() override { ds_->Next(); }
    bool Eof() const override { return ds_->Eof(); }
    void Append() override {
        if (pendingFrom_ < 0)
            pendingFrom_ = static_cast<int>(ds_->RecordCount());
        ds_->Append();
    }
    void Edit() override {
        ds_->Edit();
        edited_ = true;
    }
    void Post() override { ds_->Post(); }
    void Cancel() override { ds_->Cancel(); }
    Variant Value(int i) const override { return ds_->Fields(static_cast<size_t>(i)).Value(); }
    void SetValue(int i, const Variant& v) override { ds_->Fields(static_cast<size_t>(i)).SetValue(v); }
    std::size_t PendingCount() const override { return ds_->ChangeCount(); }
    void EmptyBuffer() override {
        ds_->EmptyDataSet();
        pendingFrom_ = -1;
        edited_ = false;
    }

    std::vector<TApplyError> ApplyUpdates() override {
        std::vector<TApplyError> errors;
        const std::size_t pending = ds_->ChangeCount();
        try {
            ds_->ApplyUpdates(0);
            pendingFrom_ = -1;
            edited_ = false;
            return errors;
        } catch (const Exception& e) {
            if (edited_ || pendingFrom_ < 0) {
                // An edited row cannot be told apart from the others: the batch is refused whole.
                for (std::size_t i = 0; i < pending; ++i)
                    errors.push_back({i, e.what()});
                EmptyBuffer();
                return errors;
            }
        }
        // Nothing of the batch was written: write its rows one at a time, leaving out the refused ones.
        std::vector<std::vector<Variant>> rows;
        std::size_t index = 0;
        for (ds_->First(); !ds_->Eof(); ds_->Next(), ++index) {
            if (static_cast<int>(index) < pendingFrom_)
                continue;
            std::vector<Variant> row;
            for (size_t c = 0; c < fields_.size(); ++c)
                row.push_back(ds_->Fields(c).Value());
            rows.push_back(std::move(row));
        }
        EmptyBuffer();
        for (std::size_t pos = 0; pos < rows.size(); ++pos) {
            ds_->Append();
            for (size_t c = 0; c < fields_.size(); ++c)
                if (!rows[pos][c].IsNull())
                    ds_->Fields(c).SetValue(rows[pos][c]);
            ds_->Post();
            try {
                ds_->ApplyUpdates(0);
            } catch (const Exception& e) {
                errors.push_back({pos, e.what()});
                ds_->EmptyDataSet();
            }
        }
        EmptyBuffer();
        return errors;
    }

private:
    std::unique_ptr<TKVClientDataSet> ds_;
    std::string name_;
    TReleaseFn release_;
    std::vector<TDataField> fields_;
    int pendingFrom_ = -1; // first appended row not yet applied
    bool edited_ = false;
};

class TClientQuery : public ITargetQuery {
public:
    TClientQuery(TKVDBConnection& conn, const std::string& sql) : ds_(conn) {
        ds_.ForwardOnly = true;
        ds_.ReadOnly = true;
        ds_.SetCommandText(sql);
        ds_.Prepare();
    }
    std::optional<Variant> FirstValue(const std::vector<Variant>& params) override {
        ds_.Close();
        for (size_t i = 0; i < params.size() && i < ds_.Params().Count(); ++i)
            ds_.Params()[i].SetValue(params[i]);
        ds_.Open();
        std::optional<Variant> v;
        if (!ds_.Eof())
            v = ds_.Fields(0).Value();
        ds_.Close();
        return v;
    }

private:
    TKVClientDataSet ds_;
};

std::string TableAfterFrom(const std::string& sql) {
    std::string up = AnsiUpperCase(sql);
    size_t p = up.find("FROM");
    if (p == std::string::npos)
        return sql;
    p += 4;
    while (p < up.size() && static_cast<unsigned char>(up[p]) <= ' ')
        ++p;
    size_t e = p;
    while (e < up.size() && static_cast<unsigned char>(up[e]) > ' ')
        ++e;
    return up.substr(p, e - p);
}

} // namespace

struct TProviderTarget::Pool {
    std::map<std::string, std::vector<std::unique_ptr<TKVClientDataSet>>> free;
};

TProviderTarget::TProviderTarget(TKVDBProvider& provider, TSQLGenerator& lfdnr)
    : provider_(provider), lfdnr_(lfdnr), pool_(std::make_shared<Pool>()) {}

TProviderTarget::~TProviderTarget() = default;

static TKVDBConnection& ConnectionOf(TKVDBProvider& p) {
    if (!p.ActiveFactory())
        throw EDatabaseError("Keine Verbindung zur Zieldatenbank eingestellt.");
    return p.ActiveFactory()->Connection();
}

std::unique_ptr<ITargetDataSet> TProviderTarget::OpenTable(const std::string& table, bool fetchRows) {
    auto ds = std::make_unique<TKVClientDataSet>(ConnectionOf(provider_));
    ds->SetTableName(table);
    ds->FetchRows = fetchRows;
    ds->Open();
    return std::make_unique<TClientDataSetAdapter>(std::move(ds), table);
}

std::unique_ptr<ITargetDataSet> TProviderTarget::OpenQuery(const std::string& sql,
                                                           const std::vector<Variant>& params) {
    std::unique_ptr<TKVClientDataSet> ds;
    auto& list = pool_->free[sql];
    if (!list.empty()) {
        ds = std::move(list.back());
        list.pop_back();
    } else {
        ds = std::make_unique<TKVClientDataSet>(ConnectionOf(provider_));
        ds->SetCommandText(sql);
        ds->Prepare();
    }
    for (size_t i = 0; i < params.size() && i < ds->Params().Count(); ++i)
        ds->Params()[i].SetValue(params[i]);
    ds->Open();
    std::weak_ptr<Pool> pool = pool_;
    return std::make_unique<TClientDataSetAdapter>(std::move(ds), TableAfterFrom(sql),
                                                   [pool, sql](std::unique_ptr<TKVClientDataSet> d) {
                                                       if (auto p = pool.lock()) {
                                                           try {
                                                               d->Close();
                                                           } catch (...) {
                                                               return;
                                                           }
                                                           p->free[sql].push_back(std::move(d));
                                                       }
                                                   });
}

std::unique_ptr<ITargetQuery> TProviderTarget::PrepareQuery(const std::string& sql) {
    return std::make_unique<TClientQuery>(ConnectionOf(provider_), sql);
}

void TProviderTarget::ExecuteDirect(const std::string& sql) {
    TKVDBConnection& conn = ConnectionOf(provider_);
    conn.ExecuteDirect(sql);
    conn.CommitWork();
}

int32_t TProviderTarget::NextLfdnr() {
    return lfdnr_.NextValue();
}

void TProviderTarget::CommitWork() {
    ConnectionOf(provider_).CommitWork();
}

} // namespace zbpv

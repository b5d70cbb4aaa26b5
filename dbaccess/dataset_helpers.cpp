#include "dbaccess/dataset_helpers.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "support/format_settings.h"

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

} // namespace zbpv

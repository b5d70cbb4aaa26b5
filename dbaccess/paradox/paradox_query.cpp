#include "dbaccess/paradox/paradox_query.h"

#include "dbaccess/paradox/paradox_table.h"
#include "dbaccess/paradox/px_files.h"
#include "support/ansi.h"

#include <sqlite3.h>

#include <cstring>

namespace zbpv {

namespace {

// ---- the virtual table: one Paradox table, read-only, full scans --------------------------------

struct Source {
    std::string folder;
    std::string table;
};

struct VTab {
    sqlite3_vtab base{};
    Source src;
};

struct VCursor {
    sqlite3_vtab_cursor base{};
    std::unique_ptr<TParadoxTable> table;
};

std::string SqlType(PxFieldType t) {
    switch (t) {
    case PxFieldType::Alpha:
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        return "TEXT";
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
    case PxFieldType::Logical:
        return "INTEGER";
    case PxFieldType::Number:
    case PxFieldType::Currency:
    case PxFieldType::BCD:
        return "REAL";
    case PxFieldType::Date:
        return "DATE";
    case PxFieldType::Time:
        return "TIME";
    case PxFieldType::Timestamp:
        return "TIMESTAMP";
    default:
        return "BLOB";
    }
}

std::string QuoteIdent(std::string_view s) {
    std::string q = "\"";
    for (char c : s) {
        q.push_back(c);
        if (c == '"')
            q.push_back('"');
    }
    q.push_back('"');
    return q;
}

void SetError(sqlite3_vtab* vt, char** err, const std::string& msg) {
    if (err) {
        *err = sqlite3_mprintf("%s", msg.c_str());
    } else if (vt) {
        sqlite3_free(vt->zErrMsg);
        vt->zErrMsg = sqlite3_mprintf("%s", msg.c_str());
    }
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
    auto* sources = static_cast<std::vector<Source>*>(aux);
    if (argc < 4) {
        *err = sqlite3_mprintf("paradox: table number missing");
        return SQLITE_ERROR;
    }
    const size_t index = std::strtoul(argv[3], nullptr, 10);
    if (index >= sources->size()) {
        *err = sqlite3_mprintf("paradox: unknown table");
        return SQLITE_ERROR;
    }
    auto vt = std::make_unique<VTab>();
    vt->src = (*sources)[index];
    try {
        TParadoxTable t(vt->src.folder, vt->src.table);
        t.Open();
        std::string ddl = "CREATE TABLE x(";
        for (int i = 0; i < t.FieldCount(); ++i) {
            if (i)
                ddl += ", ";
            ddl += QuoteIdent(AnsiToUtf8(t.Fields(i).FieldName())) + " " + SqlType(t.Fields(i).DataType());
        }
        ddl += ")";
        if (sqlite3_declare_vtab(db, ddl.c_str()) != SQLITE_OK) {
            *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
            return SQLITE_ERROR;
        }
    } catch (const std::exception& e) {
        SetError(nullptr, err, e.what());
        return SQLITE_ERROR;
    }
    *out = &vt.release()->base;
    return SQLITE_OK;
}

int BestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vt) {
    delete reinterpret_cast<VTab*>(vt);
    return SQLITE_OK;
}

int OpenCursor(sqlite3_vtab* vt, sqlite3_vtab_cursor** out) {
    auto* tab = reinterpret_cast<VTab*>(vt);
    auto cur = std::make_unique<VCursor>();
    try {
        cur->table = std::make_unique<TParadoxTable>(tab->src.folder, tab->src.table);
        cur->table->Open();
    } catch (const std::exception& e) {
        SetError(vt, nullptr, e.what());
        return SQLITE_ERROR;
    }
    *out = &cur.release()->base;
    return SQLITE_OK;
}

int CloseCursor(sqlite3_vtab_cursor* c) {
    delete reinterpret_cast<VCursor*>(c);
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
    reinterpret_cast<VCursor*>(c)->table->First();
    return SQLITE_OK;
}

int NextRow(sqlite3_vtab_cursor* c) {
    reinterpret_cast<VCursor*>(c)->table->Next();
    return SQLITE_OK;
}

int AtEof(sqlite3_vtab_cursor* c) {
    return reinterpret_cast<VCursor*>(c)->table->Eof() ? 1 : 0;
}

int Column(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int col) {
    auto* cur = reinterpret_cast<VCursor*>(c);
    try {
        TParadoxField& f = cur->table->Fields(col);
        if (f.IsNull()) {
            sqlite3_result_null(ctx);
            return SQLITE_OK;
        }
        switch (f.DataType()) {
        case PxFieldType::Alpha:
        case PxFieldType::Memo:
        case PxFieldType::FmtMemo: {
            const std::string s = AnsiToUtf8(f.AsString());
            sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            break;
        }
        case PxFieldType::Short:
        case PxFieldType::Long:
        case PxFieldType::AutoInc:
            sqlite3_result_int64(ctx, f.AsInteger());
            break;
        case PxFieldType::Logical:
            sqlite3_result_int(ctx, f.AsBoolean() ? 1 : 0);
            break;
        case PxFieldType::Number:
        case PxFieldType::Currency:
        case PxFieldType::BCD:
            sqlite3_result_double(ctx, f.AsFloat());
            break;
        case PxFieldType::Date:
        case PxFieldType::Time:
        case PxFieldType::Timestamp:
            sqlite3_result_double(ctx, f.AsDateTime());
            break;
        default: {
            const std::string b = f.AsBytes();
            sqlite3_result_blob(ctx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        }
        }
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
    return SQLITE_OK;
}

int RowId(sqlite3_vtab_cursor* c, sqlite3_int64* id) {
    *id = reinterpret_cast<VCursor*>(c)->table->RecNo();
    return SQLITE_OK;
}

sqlite3_module MakeModule() {
    sqlite3_module m{};
    m.iVersion = 1;
    m.xCreate = Connect;
    m.xConnect = Connect;
    m.xBestIndex = BestIndex;
    m.xDisconnect = Disconnect;
    m.xDestroy = Disconnect;
    m.xOpen = OpenCursor;
    m.xClose = CloseCursor;
    m.xFilter = Filter;
    m.xNext = NextRow;
    m.xEof = AtEof;
    m.xColumn = Column;
    m.xRowid = RowId;
    return m;
}

const sqlite3_module kModule = MakeModule();

// Identifiers written in double quotes, outside text literals.
std::vector<std::string> QuotedNames(std::string_view sql) {
    std::vector<std::string> names;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char q = sql[i];
        if (q != '"' && q != '\'')
            continue;
        std::string text;
        size_t j = i + 1;
        for (; j < sql.size(); ++j) {
            if (sql[j] == q) {
                if (j + 1 < sql.size() && sql[j + 1] == q) {
                    text.push_back(q);
                    ++j;
                    continue;
                }
                break;
            }
            text.push_back(sql[j]);
        }
        if (q == '"')
            names.push_back(text);
        i = j;
    }
    return names;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

struct TParadoxQuery::Impl {
    std::string folder, sql;
    bool active = false;
    std::vector<TParadoxQueryField> fields;
    std::vector<std::vector<Variant>> rows;
    size_t pos = 0;
};

const Variant& TParadoxQueryField::Value() const {
    static const Variant null;
    const auto& d = *query_->d_;
    if (d.pos >= d.rows.size())
        return null;
    return d.rows[d.pos][index_];
}

TParadoxQuery::TParadoxQuery() : d_(std::make_unique<Impl>()) {}
TParadoxQuery::TParadoxQuery(std::string databaseName) : TParadoxQuery() {
    d_->folder = std::move(databaseName);
}
TParadoxQuery::~TParadoxQuery() = default;

void TParadoxQuery::SetDatabaseName(std::string folder) {
    Close();
    d_->folder = std::move(folder);
}
const std::string& TParadoxQuery::DatabaseName() const {
    return d_->folder;
}
void TParadoxQuery::SetSQL(std::string sql) {
    Close();
    d_->sql = std::move(sql);
}
const std::string& TParadoxQuery::SQL() const {
    return d_->sql;
}
bool TParadoxQuery::Active() const {
    return d_->active;
}

void TParadoxQuery::Close() {
    d_->active = false;
    d_->fields.clear();
    d_->rows.clear();
    d_->pos = 0;
}

void TParadoxQuery::Open() {
    if (d_->active)
        return;
    Close();
    Impl& q = *d_;
    const std::vector<std::string> files = PxListFolder(q.folder);
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) != SQLITE_OK) {
        sqlite3_close(raw);
        throw EParadoxError("Die lokale SQL-Abfrage kann nicht ausgeführt werden.");
    }
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    std::vector<Source> sources;
    if (sqlite3_create_module(db.get(), "paradox", &kModule, &sources) != SQLITE_OK)
        throw EParadoxError("Die lokale SQL-Abfrage kann nicht ausgeführt werden.");

    // Every double-quoted name that is a table file of the folder becomes a virtual table of that name.
    auto attach = [&](const std::string& name) {
        std::string file = name;
        if (PxMatchName(files, file).empty() && PxMatchName(files, file + ".DB").empty())
            return false;
        for (const auto& s : sources)
            if (AnsiSameText(s.table, name))
                return true;
        sources.push_back({q.folder, name});
        const std::string ddl = "CREATE VIRTUAL TABLE temp." + QuoteIdent(AnsiToUtf8(name)) +
                                " USING paradox(" + std::to_string(sources.size() - 1) + ")";
        char* err = nullptr;
        if (sqlite3_exec(db.get(), ddl.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string msg = err ? err : sqlite3_errmsg(db.get());
            sqlite3_free(err);
            throw EParadoxError(msg);
        }
        return true;
    };
    for (const auto& n : QuotedNames(q.sql))
        attach(n);

    const std::string text = AnsiToUtf8(q.sql);
    sqlite3_stmt* st = nullptr;
    for (int attempt = 0;; ++attempt) {
        if (sqlite3_prepare_v2(db.get(), text.c_str(), static_cast<int>(text.size()), &st, nullptr) ==
            SQLITE_OK)
            break;
        // A table named without quotes is attached when it is a file of the folder.
        const std::string msg = sqlite3_errmsg(db.get());
        const std::string prefix = "no such table: ";
        if (attempt < 16 && msg.rfind(prefix, 0) == 0) {
            std::string name = msg.substr(prefix.size());
            if (name.rfind("main.", 0) == 0)
                name = name.substr(5);
            if (attach(Utf8ToAnsi(name)))
                continue;
        }
        throw EParadoxError("Fehler in der lokalen SQL-Abfrage: " + msg);
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(st, sqlite3_finalize);
    const int cols = sqlite3_column_count(st);
    std::vector<std::string> decl(static_cast<size_t>(cols));
    for (int c = 0; c < cols; ++c) {
        q.fields.push_back(
            TParadoxQueryField(this, static_cast<size_t>(c), Utf8ToAnsi(sqlite3_column_name(st, c))));
        const char* dt = sqlite3_column_decltype(st, c);
        decl[static_cast<size_t>(c)] = dt ? dt : "";
    }
    for (;;) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            const std::string msg = sqlite3_errmsg(db.get());
            q.fields.clear();
            q.rows.clear();
            throw EParadoxError("Fehler in der lokalen SQL-Abfrage: " + msg);
        }
        std::vector<Variant> row;
        row.reserve(static_cast<size_t>(cols));
        for (int c = 0; c < cols; ++c) {
            const std::string& dt = decl[static_cast<size_t>(c)];
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                row.emplace_back();
                break;
            case SQLITE_INTEGER:
                row.emplace_back(static_cast<int64_t>(sqlite3_column_int64(st, c)));
                break;
            case SQLITE_FLOAT: {
                const double v = sqlite3_column_double(st, c);
                if (dt == "DATE" || dt == "TIME" || dt == "TIMESTAMP")
                    row.push_back(Variant::FromDateTime(v));
                else
                    row.emplace_back(v);
                break;
            }
            case SQLITE_TEXT: {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                row.emplace_back(
                    Utf8ToAnsi(std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st, c)))));
                break;
            }
            default: {
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st, c));
                row.push_back(Variant::FromBlob(
                    std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, c)))));
            }
            }
        }
        q.rows.push_back(std::move(row));
    }
    q.active = true;
    q.pos = 0;
}

void TParadoxQuery::First() {
    d_->pos = 0;
}
void TParadoxQuery::Next() {
    if (d_->pos < d_->rows.size())
        ++d_->pos;
}
bool TParadoxQuery::Eof() const {
    return d_->pos >= d_->rows.size();
}
int TParadoxQuery::RecordCount() const {
    return static_cast<int>(d_->rows.size());
}
int TParadoxQuery::RecNo() const {
    return d_->pos < d_->rows.size() ? static_cast<int>(d_->pos + 1) : 0;
}
int TParadoxQuery::FieldCount() const {
    return static_cast<int>(d_->fields.size());
}

TParadoxQueryField& TParadoxQuery::Fields(int index) {
    if (index < 0 || index >= FieldCount())
        throw EParadoxError("Feldindex " + std::to_string(index) + " außerhalb des gültigen Bereichs.");
    return d_->fields[static_cast<size_t>(index)];
}

TParadoxQueryField* TParadoxQuery::FindField(std::string_view name) {
    for (auto& f : d_->fields)
        if (AnsiSameText(f.FieldName(), name))
            return &f;
    return nullptr;
}

TParadoxQueryField& TParadoxQuery::FieldByName(std::string_view name) {
    if (auto* f = FindField(name))
        return *f;
    throw EParadoxError("Feld \"" + AnsiToUtf8(name) + "\" nicht gefunden (Abfrage).");
}

} // namespace zbpv

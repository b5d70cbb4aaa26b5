#include "dbaccess/client_dataset.h"

#include "dbaccess/sql_params.h"
#include "support/ansi.h"
#include "support/errors.h"

namespace zbpv {

namespace {

std::string Quote(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// Unquoted names are stored in upper case; a quoted one ("Name") stands as written.
std::string TableIdentifier(const std::string& name) {
    if (!name.empty() && name.front() == '"')
        return name;
    return Quote(AnsiUpperCase(name));
}

const TDbValue kNullCell{};

} // namespace

TKVClientDataSet::TKVClientDataSet(TKVDBConnection& connection) : conn_(connection), stmt_(connection) {}

TKVClientDataSet::~TKVClientDataSet() {
    Dispose();
}

void TKVClientDataSet::Dispose() {
    state_ = TDataSetState::dsInactive;
    applyStatements_.clear();
    stmt_.Unprepare();
}

void TKVClientDataSet::SetCommandText(const std::string& sql) {
    Close();
    stmt_.Unprepare();
    applyStatements_.clear();
    sql_ = sql;
    params_.Rebuild(paramCheck_ ? ParseSqlParams(sql).Names : std::vector<std::string>{});
}

void TKVClientDataSet::SetTableName(const std::string& table) {
    SetCommandText("SELECT * FROM " + TableIdentifier(table));
    UpdateTableName = table;
}

void TKVClientDataSet::SetParamCheck(bool on) {
    if (on == paramCheck_)
        return;
    paramCheck_ = on;
    SetCommandText(std::string(sql_));
}

void TKVClientDataSet::EnsureStatement() {
    if (!stmt_.IsPrepared()) {
        if (sql_.empty())
            throw EDatabaseError("Keine SQL-Anweisung angegeben.");
        stmt_.Prepare(paramCheck_ ? ParseSqlParams(sql_).Text : sql_);
    }
    stmt_.EnsurePrepared();
}

void TKVClientDataSet::Prepare() {
    EnsureStatement();
}

void TKVClientDataSet::Unprepare() {
    Close();
    stmt_.Unprepare();
}

void TKVClientDataSet::BuildFields() {
    std::vector<TFieldDef> defs;
    for (const FbColumn& c : stmt_.Outputs())
        defs.push_back(c.Def);
    bool same = defs.size() == defs_.size() && fields_.size() == defs.size();
    for (size_t i = 0; same && i < defs.size(); ++i)
        same = defs[i].Name == defs_[i].Name && defs[i].DataType == defs_[i].DataType &&
               defs[i].Size == defs_[i].Size;
    defs_ = std::move(defs);
    if (same)
        return;
    fields_.clear();
    for (size_t i = 0; i < defs_.size(); ++i)
        fields_.push_back(CreateField(*this, i, defs_[i]));
}

int TKVClientDataSet::KeyIndex() const {
    for (size_t i = 0; i < defs_.size(); ++i)
        if (AnsiSameText(defs_[i].Name, KeyFieldName))
            return static_cast<int>(i);
    return -1;
}

void TKVClientDataSet::Open() {
    if (Active())
        return;
    EnsureStatement();
    BuildFields();
    rows_.clear();
    deleted_.clear();
    cur_ = 0;
    fetched_ = 0;
    cursorDone_ = true;
    if (FetchRows) {
        stmt_.OpenCursor(params_.Values());
        cursorDone_ = false;
        state_ = TDataSetState::dsBrowse;
        try {
            if (ForwardOnly) {
                FetchOne();
            } else {
                FetchAll();
            }
        } catch (...) {
            state_ = TDataSetState::dsInactive;
            stmt_.CloseCursor();
            rows_.clear();
            throw;
        }
    }
    state_ = TDataSetState::dsBrowse;
    bof_ = true;
    eof_ = rows_.empty();
}

void TKVClientDataSet::FetchAll() {
    int key = KeyIndex();
    Row row;
    while (stmt_.Fetch(row.values)) {
        if (key >= 0)
            row.key = row.values[key];
        row.touched.assign(defs_.size(), false);
        rows_.push_back(row);
        ++fetched_;
    }
    stmt_.CloseCursor();
    cursorDone_ = true;
    if (!conn_.InTransaction())
        conn_.MaybeCommitWork();
}

bool TKVClientDataSet::FetchOne() {
    if (cursorDone_)
        return false;
    Row row;
    if (!stmt_.Fetch(row.values)) {
        stmt_.CloseCursor();
        cursorDone_ = true;
        return false;
    }
    rows_.clear();
    rows_.push_back(std::move(row));
    ++fetched_;
    return true;
}

void TKVClientDataSet::Close() {
    if (!Active())
        return;
    stmt_.CloseCursor();
    cursorDone_ = true;
    rows_.clear();
    deleted_.clear();
    state_ = TDataSetState::dsInactive;
    bof_ = eof_ = true;
    cur_ = 0;
}

unsigned TKVClientDataSet::ExecSQL() {
    Close();
    EnsureStatement();
    std::vector<TDbValue> out;
    unsigned n = stmt_.Execute(params_.Values(), &out);
    // A single statement outside a transaction is committed at once, as callers of Execute expect
    // (another connection may need the rows it changed right away).
    if (!conn_.InTransaction())
        conn_.CommitWork();
    return n;
}

void TKVClientDataSet::CheckBrowse(const char* what) const {
    if (!Active())
        throw EDatabaseError(std::string("Operation nicht zulässig: Datenmenge ist geschlossen (") + what +
                             ").");
}

bool TKVClientDataSet::IsEmpty() const {
    return !Active() || (rows_.empty() && state_ != TDataSetState::dsInsert);
}

void TKVClientDataSet::First() {
    CheckBrowse("First");
    if (state_ != TDataSetState::dsBrowse)
        Post();
    if (ForwardOnly) {
        if (fetched_ > 1)
            throw EDatabaseError("Operation bei unidirektionaler Datenmenge nicht zulässig.");
        bof_ = true;
        eof_ = rows_.empty();
        return;
    }
    cur_ = 0;
    bof_ = true;
    eof_ = rows_.empty();
}

void TKVClientDataSet::Next() {
    CheckBrowse("Next");
    if (state_ != TDataSetState::dsBrowse)
        Post();
    if (eof_)
        return;
    if (ForwardOnly) {
        if (FetchOne())
            bof_ = false;
        else
            eof_ = true;
        return;
    }
    if (cur_ + 1 < rows_.size()) {
        ++cur_;
        bof_ = false;
    } else {
        eof_ = true;
    }
}

void TKVClientDataSet::Prior() {
    CheckBrowse("Prior");
    if (ForwardOnly)
        throw EDatabaseError("Operation bei unidirektionaler Datenmenge nicht zulässig.");
    if (state_ != TDataSetState::dsBrowse)
        Post();
    if (cur_ > 0) {
        --cur_;
        eof_ = false;
    } else {
        bof_ = true;
    }
}

void TKVClientDataSet::Last() {
    CheckBrowse("Last");
    if (ForwardOnly)
        throw EDatabaseError("Operation bei unidirektionaler Datenmenge nicht zulässig.");
    if (state_ != TDataSetState::dsBrowse)
        Post();
    if (!rows_.empty()) {
        cur_ = rows_.size() - 1;
        bof_ = rows_.size() == 1;
    }
    eof_ = true;
}

size_t TKVClientDataSet::RecordCount() const {
    return ForwardOnly ? fetched_ : rows_.size();
}

TField& TKVClientDataSet::Fields(size_t index) {
    if (index >= fields_.size())
        throw EDatabaseError("Feldindex " + std::to_string(index) + " außerhalb des gültigen Bereichs.");
    return *fields_[index];
}

TField* TKVClientDataSet::FindField(const std::string& name) {
    for (auto& f : fields_)
        if (AnsiSameText(f->FieldName(), name))
            return f.get();
    return nullptr;
}

TField& TKVClientDataSet::FieldByName(const std::string& name) {
    if (TField* f = FindField(name))
        return *f;
    throw EDatabaseError("Feld '" + name + "' nicht gefunden.");
}

void TKVClientDataSet::CheckEditable() const {
    CheckBrowse("Bearbeiten");
    if (ReadOnly || ForwardOnly)
        throw EDatabaseError("Schreibgeschützte Datenmenge kann nicht geändert werden.");
}

const TKVClientDataSet::Row& TKVClientDataSet::CurrentRow() const {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
        return edit_;
    return rows_[cur_];
}

const TDbValue& TKVClientDataSet::CellAt(size_t index) const {
    if (!Active() || (state_ == TDataSetState::dsBrowse && rows_.empty()))
        return kNullCell;
    return CurrentRow().values[index];
}

void TKVClientDataSet::StoreCell(size_t index, TDbValue v) {
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        throw EDatabaseError("Datenmenge nicht im Bearbeitungs- oder Einfügemodus.");
    edit_.values[index] = std::move(v);
    edit_.touched[index] = true;
}

void TKVClientDataSet::Append() {
    CheckEditable();
    if (state_ != TDataSetState::dsBrowse)
        Post();
    edit_ = Row{};
    edit_.values.assign(defs_.size(), TDbValue{});
    edit_.touched.assign(defs_.size(), false);
    edit_.status = RowStatus::Inserted;
    state_ = TDataSetState::dsInsert;
}

void TKVClientDataSet::Edit() {
    CheckEditable();
    if (state_ != TDataSetState::dsBrowse)
        return;
    if (rows_.empty()) {
        Append();
        return;
    }
    edit_ = rows_[cur_];
    state_ = TDataSetState::dsEdit;
}

void TKVClientDataSet::Post() {
    if (state_ == TDataSetState::dsInsert) {
        rows_.push_back(std::move(edit_));
        cur_ = rows_.size() - 1;
    } else if (state_ == TDataSetState::dsEdit) {
        if (edit_.status == RowStatus::Unchanged) {
            bool any = false;
            for (bool t : edit_.touched)
                any = any || t;
            if (any)
                edit_.status = RowStatus::Modified;
        }
        rows_[cur_] = std::move(edit_);
    } else {
        return;
    }
    edit_ = Row{};
    state_ = TDataSetState::dsBrowse;
    bof_ = false;
    eof_ = false;
}

void TKVClientDataSet::Cancel() {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        edit_ = Row{};
        state_ = TDataSetState::dsBrowse;
        eof_ = bof_ = rows_.empty() ? true : bof_;
    }
}

void TKVClientDataSet::Delete() {
    CheckEditable();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    if (rows_.empty())
        throw EDatabaseError("Operation bei leerer Datenmenge nicht zulässig.");
    Row row = std::move(rows_[cur_]);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(cur_));
    if (row.status != RowStatus::Inserted) {
        row.status = RowStatus::Deleted;
        deleted_.push_back(std::move(row));
    }
    if (cur_ >= rows_.size() && cur_ > 0)
        --cur_;
    eof_ = rows_.empty();
    bof_ = rows_.empty() || cur_ == 0;
}

size_t TKVClientDataSet::ChangeCount() const {
    size_t n = deleted_.size();
    for (const Row& r : rows_)
        n += r.status != RowStatus::Unchanged;
    return n + (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsEdit ? 1 : 0);
}

void TKVClientDataSet::EmptyDataSet() {
    Cancel();
    rows_.clear();
    deleted_.clear();
    cur_ = 0;
    bof_ = eof_ = true;
}

std::string TKVClientDataSet::UpdateTable() const {
    if (!UpdateTableName.empty())
        return UpdateTableName;
    std::string table;
    for (const TFieldDef& d : defs_) {
        if (d.Relation.empty())
            continue;
        if (table.empty())
            table = d.Relation;
        else if (table != d.Relation)
            throw EDatabaseError(
                "Die Änderungen können nicht gespeichert werden: die Abfrage liest aus mehreren "
                "Tabellen.");
    }
    if (table.empty())
        throw EDatabaseError(
            "Die Änderungen können nicht gespeichert werden: keine Tabelle zum Aktualisieren.");
    return "\"" + table + "\"";
}

FbStatement& TKVClientDataSet::CachedStatement(const std::string& sql) {
    auto it = applyStatements_.find(sql);
    if (it == applyStatements_.end()) {
        auto stmt = std::make_unique<FbStatement>(conn_);
        stmt->Prepare(sql);
        it = applyStatements_.emplace(sql, std::move(stmt)).first;
    }
    return *it->second;
}

int TKVClientDataSet::ApplyUpdates(int /*maxErrors*/) {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
        Post();
    if (ChangeCount() == 0)
        return 0;
    const std::string tableText = UpdateTable();
    const std::string table = TableIdentifier(tableText);
    // Relation names from the server are bare upper-case names; compare against the unquoted form.
    std::string bare = table.substr(1, table.size() - 2);
    const int key = KeyIndex();
    std::vector<bool> writable(defs_.size());
    for (size_t i = 0; i < defs_.size(); ++i)
        writable[i] = !defs_[i].Origin.empty() && (defs_[i].Relation.empty() || defs_[i].Relation == bare);

    auto keyError = [&]() {
        return EDatabaseError("Die Tabelle " + tableText + " hat keine Schlüsselspalte " + KeyFieldName +
                              "; Änderungen können nicht gespeichert werden.");
    };

    // The prepared INSERT or UPDATE for rows of this mask; nullptr for an update that sets nothing.
    auto statementFor = [&](const Row& r, const std::string& mask) -> FbStatement* {
        if (auto it = applyStatements_.find(mask); it != applyStatements_.end())
            return it->second.get();
        std::string sql;
        if (r.status == RowStatus::Inserted) {
            std::string cols, marks;
            for (size_t i = 0; i < defs_.size(); ++i) {
                if (mask[i + 1] != '1')
                    continue;
                cols += (cols.empty() ? "" : ", ") + Quote(defs_[i].Origin);
                marks += marks.empty() ? "?" : ", ?";
            }
            sql = cols.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                               : "INSERT INTO " + table + " (" + cols + ") VALUES (" + marks + ")";
        } else {
            if (key < 0)
                throw keyError();
            std::string sets;
            for (size_t i = 0; i < defs_.size(); ++i)
                if (mask[i + 1] == '1')
                    sets += (sets.empty() ? "" : ", ") + Quote(defs_[i].Origin) + " = ?";
            if (sets.empty())
                return nullptr;
            sql = "UPDATE " + table + " SET " + sets + " WHERE " + Quote(defs_[key].Origin) + " = ?";
        }
        auto prepared = std::make_unique<FbStatement>(conn_);
        prepared->Prepare(sql);
        return applyStatements_.emplace(mask, std::move(prepared)).first->second.get();
    };

    conn_.WorkTransaction();
    // Prepared once: a batch every few rows would otherwise parse both savepoint statements anew.
    static const std::vector<const TDbValue*> kNoInputs;
    CachedStatement("SAVEPOINT ZBPV_APPLY").Execute(kNoInputs);
    int written = 0;
    try {
        for (const Row& r : deleted_) {
            if (key < 0)
                throw keyError();
            std::string sql = "DELETE FROM " + table + " WHERE " + Quote(defs_[key].Origin) + " = ?";
            applyInputs_.assign(1, &r.key);
            if (CachedStatement(sql).Execute(applyInputs_) == 0)
                throw EDatabaseError(
                    "Der Datensatz wurde nicht gefunden oder von einem anderen Benutzer geändert.");
            ++written;
        }
        // Rows of a batch mostly assign the same columns: the statement of the previous row is
        // taken again without a look-up.
        std::string mask, lastMask;
        FbStatement* stmt = nullptr;
        for (const Row& r : rows_) {
            if (r.status == RowStatus::Unchanged)
                continue;
            mask.assign(1, r.status == RowStatus::Inserted ? 'I' : 'U');
            for (size_t i = 0; i < defs_.size(); ++i)
                mask += (r.touched[i] && writable[i]) ? '1' : '0';
            if (!stmt || mask != lastMask) {
                stmt = statementFor(r, mask);
                if (!stmt)
                    continue; // an update that changes no column
                lastMask = mask;
            }
            applyInputs_.clear();
            for (size_t i = 0; i < defs_.size(); ++i)
                if (mask[i + 1] == '1')
                    applyInputs_.push_back(&r.values[i]);
            if (r.status == RowStatus::Modified)
                applyInputs_.push_back(&r.key);
            unsigned n = stmt->Execute(applyInputs_);
            if (r.status == RowStatus::Modified && n == 0)
                throw EDatabaseError(
                    "Der Datensatz wurde nicht gefunden oder von einem anderen Benutzer geändert.");
            ++written;
        }
        CachedStatement("RELEASE SAVEPOINT ZBPV_APPLY ONLY").Execute(kNoInputs);
    } catch (...) {
        try {
            if (conn_.Alive())
                conn_.ExecuteDirect("ROLLBACK TO SAVEPOINT ZBPV_APPLY", false);
        } catch (...) {
            // The original error tells more than a failed undo.
        }
        throw;
    }
    deleted_.clear();
    if (EmptyAfterApply) {
        rows_.clear();
        cur_ = 0;
        bof_ = eof_ = true;
    } else {
        for (Row& r : rows_) {
            if (r.status == RowStatus::Unchanged)
                continue;
            r.status = RowStatus::Unchanged;
            r.touched.assign(defs_.size(), false);
            if (key >= 0)
                r.key = r.values[key];
        }
    }
    if (!conn_.InTransaction())
        conn_.MaybeCommitWork();
    return written;
}

} // namespace zbpv

#include "fakes.h"

#include "support/ansi.h"
#include "support/errors.h"

#include <sqlite3.h>

#include <algorithm>
#include <sstream>

namespace zbpv::test {

namespace {

TDataField ParseField(const std::string& definition) {
    TDataField f;
    auto colon = definition.find(':');
    f.Name = definition.substr(0, colon);
    std::string t = colon == std::string::npos ? "T" : definition.substr(colon + 1);
    switch (t[0]) {
    case 'I':
        f.Kind = TDataKind::Integer;
        break;
    case 'F':
        f.Kind = TDataKind::Float;
        break;
    case 'N':
        f.Kind = TDataKind::Decimal;
        break;
    case 'D':
        f.Kind = TDataKind::DateTime;
        break;
    case 'M':
        f.Kind = TDataKind::Memo;
        break;
    default:
        f.Kind = TDataKind::Text;
        f.Size = t.size() > 1 ? std::stoi(t.substr(1)) : 0;
    }
    return f;
}

bool KeyEqual(const Variant& a, const Variant& b) {
    return AnsiSameText(a.AsString(), b.AsString());
}

class TMemSource : public ISourceTable {
public:
    TMemSource(std::string name, const TMemTable& t) : name_(std::move(name)), t_(t) { CancelRange(); }
    int FieldCount() const override { return static_cast<int>(t_.Fields.size()); }
    const TDataField& Field(int i) const override { return t_.Fields.at(static_cast<size_t>(i)); }
    std::string DataSetName() const override { return name_; }
    Variant Value(int i) const override {
        if (Eof())
            return Variant();
        const auto& row = t_.Rows[visible_[cur_]];
        return static_cast<size_t>(i) < row.size() ? row[static_cast<size_t>(i)] : Variant();
    }
    void First() override { cur_ = 0; }
    void Next() override {
        if (cur_ < visible_.size())
            ++cur_;
    }
    bool Eof() const override { return cur_ >= visible_.size(); }
    int RecordCount() const override { return static_cast<int>(visible_.size()); }
    bool FindKey(const std::vector<Variant>& key) override {
        for (size_t i = 0; i < visible_.size(); ++i)
            if (Matches(t_.Rows[visible_[i]], key)) {
                cur_ = i;
                return true;
            }
        return false;
    }
    void SetRange(const std::vector<Variant>& low, const std::vector<Variant>&) override {
        visible_.clear();
        for (size_t i = 0; i < t_.Rows.size(); ++i)
            if (Matches(t_.Rows[i], low))
                visible_.push_back(i);
        cur_ = 0;
    }
    void CancelRange() override {
        visible_.clear();
        for (size_t i = 0; i < t_.Rows.size(); ++i)
            visible_.push_back(i);
        cur_ = 0;
    }

private:
    static bool Matches(const std::vector<Variant>& row, const std::vector<Variant>& key) {
        for (size_t k = 0; k < key.size(); ++k)
            if (k >= row.size() || !KeyEqual(row[k], key[k]))
                return false;
        return true;
    }
    std::string name_;
    TMemTable t_;
    std::vector<size_t> visible_;
    size_t cur_ = 0;
};

// --- target schema (the columns the address steps touch, with the target's widths)

const char* const kSchema[] = {
    "ADRESSEN|LFDNR:I NR:T8! ART:T1! LFDNRZWEITADRESSE:I SUCHBEGRIFF:T40 ANREDE:T25 TITEL:T20 VORNAME:T30 "
    "NAME:T40 NAME2:T50 NAME3:T50 STRASSE:T40 PLZ:T9 ORT:T40 TELEFON1:T30 TELEFON2:T30 TELEFON3:T30 FAX:T30 "
    "TELEFONMATCHCODE:T85 EMAIL:T70 BRIEFANREDE:T45 GRUPPE:T80 GEBURTSTAG:D BANKEINZUG:T1 MAHNSPERRE:T1 "
    "AUFTRAGSSPERRE:T1 SERIENBRIEFSPERRE:T1 SERIENEMAILSPERRE:T1 UMSATZ:N VERTRETERLFDNR:I ZAHLWEISE:T25 "
    "ZAHLBEDINGUNGEN:M ZAHLUNGIN:I BEMERKUNG:M GEAENDERTAM:D GEAENDERTVON:T3 ANGELEGTAM:D "
    "ANGELEGTVON:T3|NR,ART",
    "ANSPRECH|LFDNR:I ART:T1 ADRESSENLFDNR:I! NAME:T40 VORNAME:T30 ANREDE:T25 TITEL:T20 ABTEILUNG:T40 "
    "POS:T30 "
    "TELEFON1:T30 TELEFON2:T30 FAX:T30 TELEFONMATCHCODE:T64 EMAIL:T60 BRIEFANREDE:T45 GEBURTSTAG:D "
    "FREIFELD1:T30 "
    "SERIENBRIEFSPERRE:T1 SERIENEMAILSPERRE:T1 BEMERKUNG:M ANGELEGTAM:D ANGELEGTVON:T3 GEAENDERTAM:D "
    "GEAENDERTVON:T3|",
    "GRUPPEN|LFDNR:I KURZBEZ:T25! SORTIERUNG:T25 BEZEICHNUNG:T60 ANZAHL:I BEMERKUNG:M ANGELEGTAM:D "
    "ANGELEGTVON:T3 "
    "GEAENDERTAM:D GEAENDERTVON:T3|",
    "GRZUORD|LFDNR:I KUNDENLFDNR:I! GRUPPELFDNR:I! ZUORDNUNGSDATUM:D ANGELEGTAM:D ANGELEGTVON:T3 "
    "GEAENDERTAM:D "
    "GEAENDERTVON:T3|KUNDENLFDNR,GRUPPELFDNR",
    "KUNLIEF|LFDNR:I KUNDENLFDNR:I! LFDNRZWEITADRESSE:I!|LFDNRZWEITADRESSE,KUNDENLFDNR",
    "KONTAKTE|LFDNR:I ART:T1 ADRESSENLFDNR:I NAME:T60 PRIORITAET:I ERLEDIGT:T1 DATUM:D MITARBEITER:T3 "
    "KONTAKTMIT:T20 KONTAKTART:T20 ANLASS:T40 BEMERKUNG:M ANGELEGTAM:D ANGELEGTVON:T3 GEAENDERTAM:D "
    "GEAENDERTVON:T3|",
    "ZAHLWEISE|LFDNR:I ZAHLWEISE:T25!|ZAHLWEISE",
    "ARTIKEL|LFDNR:I ARTIKELNR:T20!|",
    "AUFTRAG|LFDNR:I AUFTRAGNR:T12 ART:T1|",
};

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw EDatabaseError(what + ": " + sqlite3_errmsg(db));
}

void Bind(sqlite3_stmt* st, int i, const Variant& v) {
    switch (v.Kind()) {
    case VariantKind::Null:
        sqlite3_bind_null(st, i);
        break;
    case VariantKind::Boolean:
    case VariantKind::Integer:
        sqlite3_bind_int64(st, i, v.AsInteger());
        break;
    case VariantKind::Float:
    case VariantKind::Decimal:
    case VariantKind::DateTime:
        sqlite3_bind_double(st, i, v.AsFloat());
        break;
    default:
        sqlite3_bind_text(st, i, v.Bytes().data(), static_cast<int>(v.Bytes().size()), SQLITE_TRANSIENT);
    }
}

Variant Column(sqlite3_stmt* st, int i, TDataKind kind) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
        return Variant();
    case SQLITE_INTEGER:
        if (kind == TDataKind::DateTime)
            return Variant::FromDateTime(static_cast<double>(sqlite3_column_int64(st, i)));
        return Variant(static_cast<int64_t>(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
        if (kind == TDataKind::DateTime)
            return Variant::FromDateTime(sqlite3_column_double(st, i));
        return Variant(sqlite3_column_double(st, i));
    default:
        return Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                   static_cast<size_t>(sqlite3_column_bytes(st, i))));
    }
}

Variant Convert(const Variant& v, TDataKind kind) {
    if (v.IsNull())
        return v;
    switch (kind) {
    case TDataKind::Integer:
        return Variant(v.AsInteger());
    case TDataKind::Float:
    case TDataKind::Decimal:
        return Variant(v.AsFloat());
    case TDataKind::DateTime:
    case TDataKind::Date:
        return Variant::FromDateTime(v.AsDateTime());
    default:
        return Variant(v.AsString());
    }
}

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            Fail(db, sql);
    }
    ~Stmt() { sqlite3_finalize(st); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
};

std::string TableOf(const std::string& sql) {
    std::string up = AnsiUpperCase(sql);
    auto p = up.find("FROM");
    std::istringstream in(up.substr(p + 4));
    std::string t;
    in >> t;
    return t;
}

class TSqliteDataSet : public ITargetDataSet {
public:
    TSqliteDataSet(sqlite3* db, std::string table, std::vector<TDataField> fields)
        : db_(db), table_(std::move(table)), fields_(std::move(fields)) {}
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const TDataField& Field(int i) const override { return fields_.at(static_cast<size_t>(i)); }
    std::string DataSetName() const override { return table_; }
    int RecordCount() const override { return static_cast<int>(rows_.size()); }
    void First() override { cur_ = 0; }
    void Next() override {
        if (cur_ < rows_.size())
            ++cur_;
    }
    bool Eof() const override { return cur_ >= rows_.size(); }
    void Append() override {
        edit_.assign(fields_.size(), Variant());
        state_ = 2;
    }
    void Edit() override {
        if (Eof())
            throw EDatabaseError("Kein Datensatz");
        edit_ = rows_[cur_].values;
        state_ = 1;
    }
    void Post() override {
        if (state_ == 2) {
            rows_.push_back({edit_, 2});
            cur_ = rows_.size() - 1;
        } else if (state_ == 1) {
            rows_[cur_].values = edit_;
            if (rows_[cur_].status == 0)
                rows_[cur_].status = 1;
        }
        if (state_ != 0)
            order_.push_back(cur_);
        state_ = 0;
    }
    void Cancel() override { state_ = 0; }
    Variant Value(int i) const override {
        if (state_ != 0)
            return edit_.at(static_cast<size_t>(i));
        return Eof() ? Variant() : rows_[cur_].values.at(static_cast<size_t>(i));
    }
    void SetValue(int i, const Variant& v) override {
        if (state_ == 0)
            throw EDatabaseError("Datensatz nicht im Bearbeitungsmodus");
        edit_.at(static_cast<size_t>(i)) = Convert(v, fields_[static_cast<size_t>(i)].Kind);
    }
    std::vector<TApplyError> ApplyUpdates() override {
        std::vector<TApplyError> errors;
        std::vector<size_t> order;
        for (size_t r : order_)
            if (std::find(order.begin(), order.end(), r) == order.end())
                order.push_back(r);
        for (size_t pos = 0; pos < order.size(); ++pos) {
            Row& row = rows_[order[pos]];
            std::string sql;
            if (row.status == 2) {
                sql = "INSERT INTO " + table_ + " (";
                for (size_t i = 0; i < fields_.size(); ++i)
                    sql += (i ? "," : "") + fields_[i].Name;
                sql += ") VALUES (";
                for (size_t i = 0; i < fields_.size(); ++i)
                    sql += i ? ",?" : "?";
                sql += ")";
            } else {
                sql = "UPDATE " + table_ + " SET ";
                for (size_t i = 0; i < fields_.size(); ++i)
                    sql += (i ? "," : "") + fields_[i].Name + "=?";
                sql += " WHERE LFDNR=?";
            }
            Stmt st(db_, sql);
            for (size_t i = 0; i < fields_.size(); ++i)
                Bind(st.st, static_cast<int>(i + 1), row.values[i]);
            if (row.status != 2)
                for (size_t i = 0; i < fields_.size(); ++i)
                    if (AnsiSameText(fields_[i].Name, "LFDNR"))
                        Bind(st.st, static_cast<int>(fields_.size() + 1), row.values[i]);
            if (sqlite3_step(st.st) != SQLITE_DONE)
                errors.push_back({pos, sqlite3_errmsg(db_)});
            row.status = 0;
        }
        order_.clear();
        return errors;
    }
    std::size_t PendingCount() const override {
        std::vector<size_t> order;
        for (size_t r : order_)
            if (std::find(order.begin(), order.end(), r) == order.end())
                order.push_back(r);
        return order.size();
    }
    void EmptyBuffer() override {
        rows_.clear();
        order_.clear();
        cur_ = 0;
    }
    void Load(sqlite3_stmt* st) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row row;
            for (size_t i = 0; i < fields_.size(); ++i)
                row.values.push_back(Column(st, static_cast<int>(i), fields_[i].Kind));
            rows_.push_back(std::move(row));
        }
        cur_ = 0;
    }

private:
    struct Row {
        std::vector<Variant> values;
        int status = 0; // 0 unchanged, 1 modified, 2 inserted
    };
    sqlite3* db_;
    std::string table_;
    std::vector<TDataField> fields_;
    std::vector<Row> rows_;
    std::vector<size_t> order_;
    std::vector<Variant> edit_;
    size_t cur_ = 0;
    int state_ = 0; // 0 browse, 1 edit, 2 insert
};

class TSqliteQuery : public ITargetQuery {
public:
    TSqliteQuery(sqlite3* db, const std::string& sql) : st_(db, sql) {}
    std::optional<Variant> FirstValue(const std::vector<Variant>& params) override {
        sqlite3_reset(st_.st);
        sqlite3_clear_bindings(st_.st);
        for (size_t i = 0; i < params.size(); ++i)
            Bind(st_.st, static_cast<int>(i + 1), params[i]);
        if (sqlite3_step(st_.st) != SQLITE_ROW)
            return std::nullopt;
        return Column(st_.st, 0, TDataKind::Other);
    }

private:
    Stmt st_;
};

} // namespace

TMemTable MakeTable(const std::vector<std::string>& fields, int keyFields,
                    std::vector<std::vector<Variant>> rows) {
    TMemTable t;
    for (const std::string& f : fields)
        t.Fields.push_back(ParseField(f));
    t.KeyFields = keyFields;
    t.Rows = std::move(rows);
    return t;
}

std::unique_ptr<ISourceTable> TMemFolder::Open(const std::string&, const std::string& fileName) {
    for (auto& [name, table] : Tables)
        if (AnsiSameText(name, fileName))
            return std::make_unique<TMemSource>(name, table);
    throw EFileError("Die Datei wurde nicht gefunden.");
}

TSqliteTarget::TSqliteTarget() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK)
        throw EDatabaseError("sqlite");
    for (const char* def : kSchema) {
        std::string s = def;
        auto bar1 = s.find('|'), bar2 = s.find('|', bar1 + 1);
        std::string table = s.substr(0, bar1);
        std::istringstream cols(s.substr(bar1 + 1, bar2 - bar1 - 1));
        std::string unique = s.substr(bar2 + 1);
        std::string sql = "CREATE TABLE " + table + " (";
        std::string col;
        bool first = true;
        while (cols >> col) {
            bool notNull = col.back() == '!';
            if (notNull)
                col.pop_back();
            TDataField f = ParseField(col);
            schema_[table].push_back(f);
            sql += (first ? "" : ", ") + f.Name;
            first = false;
            if (f.Name == "LFDNR")
                sql += " INTEGER PRIMARY KEY";
            if (notNull)
                sql += " NOT NULL";
            if (f.Kind == TDataKind::Text && f.Size > 0)
                sql += " CHECK (length(CAST(" + f.Name + " AS BLOB)) <= " + std::to_string(f.Size) + ")";
        }
        if (!unique.empty())
            sql += ", UNIQUE (" + unique + ")";
        sql += ")";
        ExecuteDirect(sql);
    }
}

TSqliteTarget::~TSqliteTarget() {
    sqlite3_close(db_);
}

const std::vector<TDataField>& TSqliteTarget::Columns(const std::string& table) const {
    return schema_.at(AnsiUpperCase(table));
}

std::unique_ptr<ITargetDataSet> TSqliteTarget::OpenTable(const std::string& table, bool fetchRows) {
    auto ds = std::make_unique<TSqliteDataSet>(db_, AnsiUpperCase(table), Columns(table));
    if (fetchRows) {
        Stmt st(db_, "SELECT * FROM " + table + " ORDER BY LFDNR");
        ds->Load(st.st);
    }
    return ds;
}

std::unique_ptr<ITargetDataSet> TSqliteTarget::OpenQuery(const std::string& sql,
                                                         const std::vector<Variant>& params) {
    ++QueriesPrepared;
    PreparedSql.push_back(sql);
    std::string table = TableOf(sql);
    Stmt st(db_, sql);
    for (size_t i = 0; i < params.size(); ++i)
        Bind(st.st, static_cast<int>(i + 1), params[i]);
    std::vector<TDataField> fields;
    for (int i = 0; i < sqlite3_column_count(st.st); ++i) {
        TDataField f;
        f.Name = sqlite3_column_name(st.st, i);
        for (const TDataField& c : Columns(table))
            if (AnsiSameText(c.Name, f.Name))
                f = c;
        fields.push_back(f);
    }
    auto ds = std::make_unique<TSqliteDataSet>(db_, table, fields);
    ds->Load(st.st);
    return ds;
}

std::unique_ptr<ITargetQuery> TSqliteTarget::PrepareQuery(const std::string& sql) {
    ++QueriesPrepared;
    PreparedSql.push_back(sql);
    return std::make_unique<TSqliteQuery>(db_, sql);
}

void TSqliteTarget::ExecuteDirect(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "?";
        sqlite3_free(err);
        throw EDatabaseError(m);
    }
}

std::vector<std::vector<Variant>> TSqliteTarget::Rows(const std::string& sql) {
    Stmt st(db_, sql);
    std::vector<std::vector<Variant>> rows;
    while (sqlite3_step(st.st) == SQLITE_ROW) {
        std::vector<Variant> row;
        for (int i = 0; i < sqlite3_column_count(st.st); ++i)
            row.push_back(Column(st.st, i, TDataKind::Other));
        rows.push_back(std::move(row));
    }
    return rows;
}

long long TSqliteTarget::Count(const std::string& table) {
    return Rows("SELECT COUNT(*) FROM " + table).at(0).at(0).AsInteger();
}

std::string TSqliteTarget::Text(const std::string& sql) {
    auto rows = Rows(sql);
    if (rows.empty())
        return "<none>";
    return rows[0][0].IsNull() ? "<null>" : rows[0][0].AsString();
}

TMsgAnswer TScriptedPrompts::Ask(const TQuestion& q) {
    Asked.push_back(q.Name);
    auto it = Answers.find(q.Name);
    return it == Answers.end() ? q.Default : it->second;
}

void TScriptedPrompts::ShowInformation(const std::string& title, const std::string& text) {
    Shown.push_back(title + "|" + text);
}

void TRecordingProgress::StartCounter(const std::string& counterPanel, const std::string& totalPanel,
                                      long long total) {
    if (!counterPanel.empty()) {
        Current = counterPanel;
        Panels[counterPanel] = 0;
    }
    if (!totalPanel.empty())
        Panels[totalPanel] = total;
}

void TRecordingProgress::StepCounter(const std::string& panel) {
    ++Panels[panel.empty() ? Current : panel];
}

} // namespace zbpv::test

#pragma once
// Local SQL over the Paradox tables of one folder: a SELECT whose tables are named by their file names
// in double quotes ("MailEing.db"), run by SQLite over the read-only table reader. The result rows are
// read at Open and walked like a table.

#include "dbaccess/paradox/px_errors.h"
#include "support/variant.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

class TParadoxQuery;

class TParadoxQueryField {
public:
    const std::string& FieldName() const { return name_; }
    bool IsNull() const { return Value().IsNull(); }
    std::string AsString() const { return Value().AsString(); }
    int64_t AsInteger() const { return Value().AsInteger(); }
    double AsFloat() const { return Value().AsFloat(); }
    bool AsBoolean() const { return Value().AsBoolean(); }
    TDateTime AsDateTime() const { return Value().AsDateTime(); }
    Variant AsVariant() const { return Value(); }

private:
    friend class TParadoxQuery;
    TParadoxQueryField(const TParadoxQuery* q, size_t index, std::string name)
        : query_(q), index_(index), name_(std::move(name)) {}
    const Variant& Value() const;

    const TParadoxQuery* query_;
    size_t index_;
    std::string name_;
};

class TParadoxQuery {
public:
    TParadoxQuery();
    explicit TParadoxQuery(std::string databaseName);
    ~TParadoxQuery();
    TParadoxQuery(const TParadoxQuery&) = delete;
    TParadoxQuery& operator=(const TParadoxQuery&) = delete;

    void SetDatabaseName(std::string folder); // closes
    const std::string& DatabaseName() const;
    // Windows-1252 text; lines may be joined by CR LF. Closes the query.
    void SetSQL(std::string sql);
    const std::string& SQL() const;

    // Runs the statement. Throws EParadoxError: a table that cannot be opened (its message), or an SQL
    // error ("Fehler in der lokalen SQL-Abfrage: …").
    void Open();
    void Close();
    bool Active() const;

    void First();
    void Next();
    bool Eof() const;
    int RecordCount() const;
    int RecNo() const;

    int FieldCount() const;
    TParadoxQueryField& Fields(int index);
    TParadoxQueryField& FieldByName(std::string_view name);
    TParadoxQueryField* FindField(std::string_view name);

    struct Impl;

private:
    friend class TParadoxQueryField;
    std::unique_ptr<Impl> d_;
};

} // namespace zbpv

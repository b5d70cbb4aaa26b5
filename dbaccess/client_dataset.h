// The dataset of a query or table on the target database. Buffered (the default): all rows are held
// in memory, scrollable and editable, and edits reach the database only through ApplyUpdates, which
// writes them with prepared INSERT/UPDATE/DELETE statements keyed on LFDNR. Forward-only: rows are
// fetched one at a time from the server cursor and cannot be edited.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/fb_statement.h"
#include "dbaccess/kvdb_fields.h"
#include "dbaccess/params.h"

namespace zbpv {

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TKVClientDataSet {
public:
    explicit TKVClientDataSet(TKVDBConnection& connection);
    ~TKVClientDataSet();
    TKVClientDataSet(const TKVClientDataSet&) = delete;
    TKVClientDataSet& operator=(const TKVClientDataSet&) = delete;

    // --- command
    // A statement with ":NAME" parameters (left alone when ParamCheck is off). Closes and unprepares.
    void SetCommandText(const std::string& sql);
    const std::string& CommandText() const { return sql_; }
    // The whole table: "SELECT * FROM name"; the table is also where updates go.
    void SetTableName(const std::string& table);
    bool ParamCheck() const { return paramCheck_; }
    void SetParamCheck(bool on);
    TParams& Params() { return params_; }
    void Prepare();
    void Unprepare();
    bool Prepared() const { return stmt_.IsPrepared(); }

    // --- how it behaves
    bool ForwardOnly = false; // rows one at a time from the server; no moving back
    bool ReadOnly = false;
    // False opens with the column metadata and no rows (for appending only).
    bool FetchRows = true;
    // Drop the rows from memory once ApplyUpdates has written them (bulk appends).
    bool EmptyAfterApply = false;
    // Where ApplyUpdates writes; found from the columns' table when empty.
    std::string UpdateTableName;
    // The key of UPDATE and DELETE.
    std::string KeyFieldName = "LFDNR";

    // --- open / close
    void Open();
    void Close();
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    TDataSetState State() const { return state_; }
    // Runs the command as a statement (no rows); the number of rows it changed. Outside an explicit
    // transaction it is committed at once, together with the connection's pending work.
    unsigned ExecSQL();

    // --- navigation
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const;
    void First();
    void Next();
    void Prior();
    void Last();
    // Buffered rows (forward-only: rows fetched so far).
    size_t RecordCount() const;
    // 0-based index of the current row in the buffer.
    size_t RecNo() const { return cur_; }

    // --- fields
    size_t FieldCount() const { return fields_.size(); }
    TField& Fields(size_t index);
    TField* FindField(const std::string& name); // ignores case
    TField& FieldByName(const std::string& name);
    const std::vector<TFieldDef>& FieldDefs() const { return defs_; }

    // --- editing (buffered only)
    bool CanModify() const { return Active() && !ReadOnly && !ForwardOnly; }
    void Append();
    void Insert() { Append(); }
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    // Writes pending inserts, updates and deletes in the connection's work transaction, all or none.
    // Returns the number of rows written. Raises the database's error; the changes then stay pending.
    int ApplyUpdates(int maxErrors = 0);
    size_t ChangeCount() const;
    // Drops every row from memory, pending changes included.
    void EmptyDataSet();

    // Used by the fields.
    const TDbValue& CellAt(size_t index) const;
    void StoreCell(size_t index, TDbValue v);

private:
    enum class RowStatus : std::uint8_t { Unchanged, Inserted, Modified, Deleted };
    struct Row {
        std::vector<TDbValue> values;
        std::vector<bool> touched; // assigned (inserts) or changed (updates)
        TDbValue key;              // the key as read, for UPDATE and DELETE
        RowStatus status = RowStatus::Unchanged;
    };

    void EnsureStatement();
    void BuildFields();
    void CheckBrowse(const char* what) const;
    void CheckEditable() const;
    void FetchAll();
    bool FetchOne(); // forward-only: next row into rows_[0]
    const Row& CurrentRow() const;
    void Dispose();
    std::string UpdateTable() const;
    int KeyIndex() const;
    FbStatement& CachedStatement(const std::string& sql);

    TKVDBConnection& conn_;
    std::string sql_;
    bool paramCheck_ = true;
    TParams params_;
    FbStatement stmt_;

    std::vector<TFieldDef> defs_;
    std::vector<std::unique_ptr<TField>> fields_;
    std::vector<Row> rows_;
    std::vector<Row> deleted_;
    Row edit_;
    size_t cur_ = 0;
    bool bof_ = true, eof_ = true;
    bool cursorDone_ = true;
    size_t fetched_ = 0;
    TDataSetState state_ = TDataSetState::dsInactive;
    std::map<std::string, std::unique_ptr<FbStatement>> applyStatements_;
    std::vector<const TDbValue*> applyInputs_; // into the rows; they outlive each Execute
};

} // namespace zbpv

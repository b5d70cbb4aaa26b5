#pragma once
// A read-only Paradox table (versions 3.0 to 7): open by folder and file name, walk the records in
// primary-key order or in the order of a named secondary index, read fields by name or position, look
// keys up and restrict the records to a key range. Files are opened read-only and never locked, changed
// or added to.

#include "dbaccess/paradox/px_errors.h"
#include "dbaccess/paradox/px_format.h"
#include "support/datetime.h"
#include "support/sql_timestamp.h"
#include "support/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

class TParadoxTable;

// One field of the open table; its value is that of the table's current record (null when there is
// none). Text is Windows-1252, converted from the table's code page.
class TParadoxField {
public:
    const std::string& FieldName() const { return name_; }
    PxFieldType DataType() const { return type_; }
    // Declared size: alpha and bytes length, BCD decimal places, blob leader bytes kept in the record;
    // 0 for the fixed-size types.
    int Size() const { return size_; }
    int Index() const { return static_cast<int>(index_); }

    bool IsNull() const;
    // Null gives "" (numbers, dates: no text); numbers and dates are formatted with the global format
    // settings; logicals read "True"/"False"; memos are converted text, other blobs their raw bytes.
    std::string AsString() const;
    // Null gives 0. Text is parsed; a value that does not convert throws EConvertError.
    int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    TSQLTimeStamp AsSQLTimeStamp() const;
    // Null, integer (short, long, autoincrement), float (number, currency), decimal (BCD, as long as it
    // fits 18 digits, else float), boolean, date-time (date, time, timestamp), text (alpha, memos) or
    // blob (binary, OLE, graphic, bytes).
    Variant AsVariant() const;
    // The raw stored bytes: a blob or memo whole, without code-page conversion; alpha up to its end.
    std::string AsBytes() const;

private:
    friend class TParadoxTable;
    TParadoxField(const TParadoxTable* table, size_t index, std::string name, PxFieldType type, int size)
        : table_(table), index_(index), name_(std::move(name)), type_(type), size_(size) {}
    const uint8_t* Raw() const;

    const TParadoxTable* table_;
    size_t index_;
    std::string name_;
    PxFieldType type_;
    int size_;
};

class TParadoxTable {
public:
    TParadoxTable();
    TParadoxTable(std::string databaseName, std::string tableName);
    ~TParadoxTable();
    TParadoxTable(const TParadoxTable&) = delete;
    TParadoxTable& operator=(const TParadoxTable&) = delete;

    // The folder (empty: the working folder) and the file name with or without ".DB"; the file is found
    // whatever its letter case on disk. Changing either closes the table.
    void SetDatabaseName(std::string folder);
    const std::string& DatabaseName() const;
    void SetTableName(std::string name);
    const std::string& TableName() const;

    // "" = primary index. A name of a secondary index (ignoring case; a single-field index also by its
    // field's name). May be changed while open: the records are then in that order, a range is removed.
    // An index that ignores letter case orders its text by Windows-1252 capitals, and FindKey and
    // SetRange on it match text in any case.
    void SetIndexName(std::string name);
    const std::string& IndexName() const;
    // Names of the secondary indexes found beside the table (open table).
    std::vector<std::string> IndexNames() const;

    // Fired at the end of every successful Open.
    std::function<void(TParadoxTable&)> AfterOpen;

    // Throws EParadoxError with a German message: missing folder or file, locked file, not a Paradox
    // table, truncated or corrupt, password missing, unknown index.
    void Open();
    void Close();
    bool Active() const;
    // The path of the opened .DB file.
    const std::string& FilePath() const;

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    // Records of the current range (all records without one).
    int RecordCount() const;
    // 1-based position within the range; 0 when there is no current record.
    int RecNo() const;

    int FieldCount() const;
    TParadoxField& Fields(int index);
    // Ignoring case; throws EParadoxError "Feld … nicht gefunden" when missing.
    TParadoxField& FieldByName(std::string_view name);
    TParadoxField* FindField(std::string_view name);

    // Key fields of the current index (primary: the leading key fields).
    int KeyFieldCount() const;
    // Moves to the first record (within the range) whose leading key fields equal `values`.
    bool FindKey(const std::vector<Variant>& values);
    // Restricts the records to keys between low and high inclusive (fewer values than key fields compare
    // only the leading fields) and moves to the first of them.
    void SetRange(const std::vector<Variant>& low, const std::vector<Variant>& high);
    void CancelRange();

    // Header facts of the open table.
    bool Keyed() const;
    int FileVersion() const; // 30, 35, 40, 50, 70
    int CodePage() const;    // as in the header, 0 when none
    int BlockSize() const;
    bool Encrypted() const;

    struct Impl;

private:
    friend class TParadoxField;
    std::unique_ptr<Impl> d_;
};

// Registers a table password with the session; protected tables then open (the mail module registers
// the source tables' password at its start).
void ParadoxAddPassword(std::string_view password);
void ParadoxRemovePassword(std::string_view password);
void ParadoxClearPasswords();

} // namespace zbpv

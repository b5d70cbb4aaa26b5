#pragma once
// The datasets the import steps work on, and the helpers around them: opening an old table with a
// message that names its path, opening target tables and queries, the same-name field copy, emptiness
// test and release. The steps see the two sides through the small interfaces below, so that they run
// unchanged on the Firebird client dataset and the Paradox reader and, in tests, on in-memory tables.

#include "support/errors.h"
#include "support/variant.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

enum class TDataKind { Text, Integer, Float, Decimal, Boolean, Date, DateTime, Time, Memo, Blob, Other };

struct TDataField {
    std::string Name;
    TDataKind Kind = TDataKind::Other;
    int Size = 0; // characters of a text column
};

// Fields of a dataset by name, ignoring case.
class IFieldList {
public:
    virtual ~IFieldList() = default;
    virtual int FieldCount() const = 0;
    virtual const TDataField& Field(int index) const = 0;
    virtual std::string DataSetName() const = 0;
    // -1 when missing.
    int FindField(std::string_view name) const;
    // Throws EDatabaseError "Feld 'X' nicht gefunden." when missing.
    int FieldIndex(std::string_view name) const;
    bool HasField(std::string_view name) const { return FindField(name) >= 0; }
};

// An old table, read-only, walked in the order of its primary index.
class ISourceTable : public IFieldList {
public:
    // The current record's value; Null for an empty field.
    virtual Variant Value(int index) const = 0;
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool Eof() const = 0;
    // Records of the current range (all without one).
    virtual int RecordCount() const = 0;
    // Leading key fields of the primary index equal to `key`.
    virtual bool FindKey(const std::vector<Variant>& key) = 0;
    virtual void SetRange(const std::vector<Variant>& low, const std::vector<Variant>& high) = 0;
    virtual void CancelRange() = 0;

    Variant FieldByName(std::string_view name) const { return Value(FieldIndex(name)); }
    // Text of a field; "" for an empty one.
    std::string Text(std::string_view name) const;
};

// Opens old tables by folder and file name; throws with the reader's message when it cannot.
class ISourceOpener {
public:
    virtual ~ISourceOpener() = default;
    virtual std::unique_ptr<ISourceTable> Open(const std::string& folder, const std::string& fileName) = 0;
};

// A row the database refused while pending rows were applied.
struct TApplyError {
    std::size_t Position = 0; // among the rows pending at that apply, in posting order
    std::string Message;
};

// A table or query of the target with a local row buffer: appended and edited rows stay in memory
// until ApplyUpdates.
class ITargetDataSet : public IFieldList {
public:
    virtual int RecordCount() const = 0;
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool Eof() const = 0;

    virtual void Append() = 0;
    virtual void Edit() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual Variant Value(int index) const = 0;
    // Converts to the column's type; throws EConvertError when the value does not convert.
    virtual void SetValue(int index, const Variant& value) = 0;

    // Writes the pending rows. A row the database refuses is left out and returned; every other row
    // is written.
    // Rows already written stay in the buffer until EmptyBuffer (or are dropped when a refusal had the
    // rows written one at a time).
    // Rows already written stay in the buffer until EmptyBuffer (or are dropped when a refusal had the
    // rows written one at a time).
    virtual std::vector<TApplyError> ApplyUpdates() = 0;
    virtual std::size_t PendingCount() const = 0;
    // Drops the local rows (pending ones included).
    virtual void EmptyBuffer() = 0;

    Variant FieldByName(std::string_view name) const { return Value(FieldIndex(name)); }
    void SetByName(std::string_view name, const Variant& value) { SetValue(FieldIndex(name), value); }
};

// A prepared read-only query, parameters by position in the order of the SQL text.
class ITargetQuery {
public:
    virtual ~ITargetQuery() = default;
    // First column of the first row, nothing when there is no row.
    virtual std::optional<Variant> FirstValue(const std::vector<Variant>& params) = 0;
};

// The target database as the import steps use it.
class ITargetDatabase {
public:
    virtual ~ITargetDatabase() = default;
    // The whole table; without rows (structure only, for appending) when fetchRows is false.
    virtual std::unique_ptr<ITargetDataSet> OpenTable(const std::string& table, bool fetchRows) = 0;
    // An editable query over one table ("SELECT * FROM T WHERE LFDNR = :LFDNR").
    virtual std::unique_ptr<ITargetDataSet> OpenQuery(const std::string& sql,
                                                      const std::vector<Variant>& params) = 0;
    virtual std::unique_ptr<ITargetQuery> PrepareQuery(const std::string& sql) = 0;
    // A statement without result, committed at once.
    virtual void ExecuteDirect(const std::string& sql) = 0;
    // Next value of GEN_LFDNR.
    virtual int32_t NextLfdnr() = 0;
    // Commits the work written so far.
    virtual void CommitWork() = 0;
};

// --- The helpers

// The message of a table that cannot be opened: the folder (trimmed, blanks, controls and 160) with a
// separator, the file name, two line breaks and the reader's own message.
std::string SourceTableMessage(std::string_view folder, std::string_view fileName, std::string_view cause);

// Opens an old table; on failure throws an exception of the same class whose message is
// SourceTableMessage.
std::unique_ptr<ISourceTable> OpenSourceTable(ISourceOpener& opener, const std::string& folder,
                                              const std::string& fileName);

std::unique_ptr<ITargetDataSet> OpenTargetTable(ITargetDatabase& db, const std::string& table);
std::unique_ptr<ITargetDataSet> OpenTargetTableEmpty(ITargetDatabase& db, const std::string& table);
std::unique_ptr<ITargetQuery> PrepareTargetQuery(ITargetDatabase& db, const std::string& sql);
std::unique_ptr<ITargetDataSet> OpenTargetQuery(ITargetDatabase& db, const std::string& sql,
                                                const std::vector<Variant>& params = {});

// Copies every field of the source's current record into the same-named (ignoring case) column of the
// destination's current row. Dates are copied only when they lie in the years 1900 to 2500; a value
// that does not convert leaves the column untouched. Never throws; true only when a field lookup
// itself failed.
bool CopyFields(const ISourceTable& source, ITargetDataSet& destination);

bool DataSetEmpty(const ITargetDataSet& ds);

template <class T> void FreeDataSet(std::unique_ptr<T>& p) {
    p.reset();
}

// --- The target through the system's provider

class TKVDBProvider;
class TSQLGenerator;
class TKVClientDataSet;

// The import's view of the target database on a provider (its active factory's connection) with
// keys drawn from the given GEN_LFDNR generator. Row readers of the same SQL text are kept prepared.
// Work outside explicit transactions is committed by the connection about once a second and on
// CommitWork.
class TProviderTarget : public ITargetDatabase {
public:
    TProviderTarget(TKVDBProvider& provider, TSQLGenerator& lfdnr);
    ~TProviderTarget() override;

    std::unique_ptr<ITargetDataSet> OpenTable(const std::string& table, bool fetchRows) override;
    std::unique_ptr<ITargetDataSet> OpenQuery(const std::string& sql,
                                              const std::vector<Variant>& params) override;
    std::unique_ptr<ITargetQuery> PrepareQuery(const std::string& sql) override;
    void ExecuteDirect(const std::string& sql) override;
    int32_t NextLfdnr() override;
    void CommitWork() override;

    struct Pool;

private:
    TKVDBProvider& provider_;
    TSQLGenerator& lfdnr_;
    std::shared_ptr<Pool> pool_;
};

} // namespace zbpv

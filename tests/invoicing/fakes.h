#pragma once
// In-memory stand-ins for the two sides of a run: old tables held in memory and a target database in
// SQLite with the target's column widths, keys and unique constraints, so that the run's rules can be
// tested without the Firebird engine.

#include "dbaccess/dataset_helpers.h"
#include "invoicing/run_ui.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace zbpv::test {

// "Name" (text), "Name:I" integer, ":F" float, ":D" date-time, ":M" memo; key fields first.
struct TMemTable {
    std::vector<TDataField> Fields;
    int KeyFields = 1;
    std::vector<std::vector<Variant>> Rows;
};
TMemTable MakeTable(const std::vector<std::string>& fields, int keyFields,
                    std::vector<std::vector<Variant>> rows);

class TMemFolder : public ISourceOpener {
public:
    std::map<std::string, TMemTable> Tables; // by file name as the step asks for it, any case
    std::unique_ptr<ISourceTable> Open(const std::string& folder, const std::string& fileName) override;
    void Put(const std::string& fileName, TMemTable table) { Tables[fileName] = std::move(table); }
};

class TSqliteTarget : public ITargetDatabase {
public:
    TSqliteTarget();
    ~TSqliteTarget() override;

    std::unique_ptr<ITargetDataSet> OpenTable(const std::string& table, bool fetchRows) override;
    std::unique_ptr<ITargetDataSet> OpenQuery(const std::string& sql,
                                              const std::vector<Variant>& params) override;
    std::unique_ptr<ITargetQuery> PrepareQuery(const std::string& sql) override;
    void ExecuteDirect(const std::string& sql) override;
    int32_t NextLfdnr() override { return ++lastLfdnr_; }
    void CommitWork() override { ++Commits; }

    // For the tests' checks.
    std::vector<std::vector<Variant>> Rows(const std::string& sql);
    long long Count(const std::string& table);
    std::string Text(const std::string& sql); // first column of the first row, "<null>" / "<none>"
    int Commits = 0;
    int QueriesPrepared = 0;
    std::vector<std::string> PreparedSql;

    // Columns of a table: name, kind, size.
    const std::vector<TDataField>& Columns(const std::string& table) const;
    sqlite3* Handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
    int32_t lastLfdnr_ = 0;
    std::map<std::string, std::vector<TDataField>> schema_;
};

// Answers given in advance by question name; any other question gets its default. Records all.
class TScriptedPrompts : public IRunPrompts {
public:
    std::map<std::string, TMsgAnswer> Answers;
    std::vector<std::string> Asked;
    std::vector<std::string> Shown; // title + "|" + text
    TMsgAnswer Ask(const TQuestion& q) override;
    void ShowInformation(const std::string& title, const std::string& text) override;
};

class TRecordingProgress : public IRunProgress {
public:
    std::map<std::string, long long> Panels;
    std::vector<std::string> PassLabels;
    std::vector<std::string> Keys;
    std::string Current;
    void StartCounter(const std::string& counterPanel, const std::string& totalPanel,
                      long long total) override;
    void StepCounter(const std::string& panel) override;
    void ShowTotal(const std::string& totalPanel, long long total) override { Panels[totalPanel] = total; }
    void ShowPassLabel(const std::string& label) override { PassLabels.push_back(label); }
    void ImportKeyProgress(const std::string& key) override { Keys.push_back(key); }
    void ProcessMessages() override {}
    void StepStarted(const std::string& step) override { Steps.push_back(step); }
    void BeginBusy() override { ++BusyDepth, ++BusyUses; }
    void EndBusy() override { --BusyDepth; }
    std::vector<std::string> Steps;
    int BusyDepth = 0, BusyUses = 0;
};

} // namespace zbpv::test

#pragma once
// Rows the database refused while pending rows were applied. Every other row is written; the refused
// ones are listed in a report file so that nothing is lost without a word.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zbpv {

struct TRefusedRow {
    std::string table;   // target table
    std::string oldKey;  // key of the old record (Windows-1252)
    std::string message; // the database's message
};

class TRunReport {
public:
    void AddRefused(TRefusedRow row) { refused_.push_back(std::move(row)); }
    const std::vector<TRefusedRow>& Refused() const { return refused_; }
    std::size_t RefusedCount() const { return refused_.size(); }
    void Clear() {
        refused_.clear();
        read_.clear();
        written_.clear();
    }

    // Rows read from old tables and written to target tables, per table in first-use order.
    void AddRead(const std::string& sourceTable, long long n) { Add(read_, sourceTable, n); }
    void AddWritten(const std::string& targetTable, long long n) { Add(written_, targetTable, n); }
    const std::vector<std::pair<std::string, long long>>& Read() const { return read_; }
    const std::vector<std::pair<std::string, long long>>& Written() const { return written_; }

    // Writes the report into `logFolder` (created when missing) as "Abgewiesen yyyy-mm-dd hhnnss.log"
    // and returns its path; nothing is written (and an empty path returned) when no row was refused.
    // Throws EFileError when the file cannot be written.
    std::filesystem::path Write(const std::filesystem::path& logFolder) const;

private:
    static void Add(std::vector<std::pair<std::string, long long>>& list, const std::string& name,
                    long long n);
    std::vector<TRefusedRow> refused_;
    std::vector<std::pair<std::string, long long>> read_, written_;
};

// The sentence of the closing message for refused rows (UTF-8), empty when there are none.
std::string RefusedRowsNotice(std::size_t count, const std::filesystem::path& reportPath);

// Counts as the counters show them: decimal with a thousands separator every three digits.
std::string FormatThousands(long long n, char thousandSeparator = '.');

} // namespace zbpv

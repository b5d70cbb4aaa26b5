#pragma once
// Progress of a run on the command line. Each table's count ("Kunden: 1.234 von 1.234") is printed on
// a line of its own once the table is finished: when the next step of the run starts, when the table's
// second pass starts, and when the view is closed; tables finished together come in the order they
// were first counted. A terminal also shows one status line, updated in place, with the table counted
// last.

#include "app/progress.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zbpv {

struct CounterRow;

struct CliProgressOptions {
    bool terminal = false;
    // The key display: on a terminal in the status line; otherwise a line every `keyInterval` at most
    // (a record per line would be millions of lines).
    bool verbose = false;
    // Columns of the terminal: the status line is cut to stay on one row.
    int width = 80;
    // The status line is redrawn at most this often (the steps count every row).
    std::chrono::milliseconds redrawInterval{100};
    std::chrono::milliseconds keyInterval{10000};
};

class CliProgressView : public ProgressView {
public:
    using Clock = std::chrono::steady_clock;

    CliProgressView(std::ostream& out, CliProgressOptions options);
    ~CliProgressView() override;

    void SetPanelText(std::string_view panel, std::string_view text) override;
    std::string PanelText(std::string_view panel) const override;
    void ShowPassLabel(std::string_view label) override;
    void SetKeyText(std::string_view key) override;
    std::string KeyText() const override { return key_; }
    void ProcessMessages() override {}
    void StepStarted(std::string_view step) override;
    void SetBusy(bool busy) override;
    // Prints the lines of the tables not finished yet and clears the status line.
    void Flush();

    // Where the redraw and key intervals take the time from (replaceable for tests).
    std::function<Clock::time_point()> Now = [] {
        return Clock::now();
    };

private:
    struct Table {
        const CounterRow* row;
        bool secondPass;
    };

    Table* OpenTable(const CounterRow* row);
    // Makes the row's table the current one; true when that opened it.
    bool Touch(const CounterRow& row);
    void FinishAll();
    void Finish(std::size_t index);
    std::string Line(const Table& table) const;
    std::string StatusText() const;
    void Redraw(bool force);
    void ClearStatus();

    std::ostream& out_;
    CliProgressOptions options_;
    std::map<std::string, std::string, std::less<>> panels_;
    std::vector<Table> open_; // in the order first counted
    std::set<const CounterRow*> passShown_;
    const CounterRow* current_ = nullptr; // the table counted last
    std::string key_;
    bool busy_ = false;
    bool statusShown_ = false;
    Clock::time_point lastDraw_{}, lastKeyLine_{};
    bool keyClockStarted_ = false;
};

} // namespace zbpv

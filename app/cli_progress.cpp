#include "app/cli_progress.h"

#include "app/counter_rows.h"

#include <algorithm>
#include <ostream>

namespace zbpv {

namespace {

const char* const kKeyCaption = "Eingelesener Datensatz: ";
const char* const kBusyNote = "bitte warten …";
const char* const kClearToEnd = "\033[K";

// The first `columns` characters of UTF-8 text.
std::string CutToColumns(const std::string& text, int columns) {
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == columns) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

CliProgressView::CliProgressView(std::ostream& out, CliProgressOptions options)
    : out_(out), options_(options) {}

CliProgressView::~CliProgressView() {
    Flush();
}

CliProgressView::Table* CliProgressView::OpenTable(const CounterRow* row) {
    auto it = std::find_if(open_.begin(), open_.end(), [row](const Table& t) { return t.row == row; });
    return it == open_.end() ? nullptr : &*it;
}

bool CliProgressView::Touch(const CounterRow& row) {
    current_ = &row;
    if (OpenTable(&row)) {
        return false;
    }
    open_.push_back({&row, passShown_.count(&row) > 0});
    return true;
}

std::string CliProgressView::Line(const Table& table) const {
    const CounterRow& row = *table.row;
    std::string count = PanelText(row.panel);
    std::string line =
        std::string(row.caption) + (table.secondPass ? ", 2. Lauf: " : ": ") + (count.empty() ? "0" : count);
    if (*row.total && panels_.count(row.total)) {
        line += " von " + PanelText(row.total);
    }
    return line;
}

std::string CliProgressView::StatusText() const {
    std::string text;
    auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : " – ") + part;
    };
    for (const Table& t : open_) {
        if (t.row == current_) {
            add(Line(t));
        }
    }
    if (busy_) {
        add(kBusyNote);
    }
    if (options_.verbose && !key_.empty()) {
        add(kKeyCaption + key_);
    }
    return text;
}

void CliProgressView::ClearStatus() {
    if (statusShown_) {
        out_ << "\r" << kClearToEnd << std::flush;
        statusShown_ = false;
    }
}

void CliProgressView::Redraw(bool force) {
    if (!options_.terminal) {
        return;
    }
    Clock::time_point now = Now();
    if (!force && statusShown_ && now - lastDraw_ < options_.redrawInterval) {
        return;
    }
    std::string text = StatusText();
    if (text.empty()) {
        ClearStatus();
        return;
    }
    out_ << "\r" << CutToColumns(text, std::max(options_.width - 1, 10)) << kClearToEnd << std::flush;
    statusShown_ = true;
    lastDraw_ = now;
}

void CliProgressView::Finish(std::size_t index) {
    const Table table = open_[index];
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(index));
    if (current_ == table.row) {
        current_ = nullptr;
    }
    out_ << (statusShown_ ? "\r" : "") << Line(table) << (statusShown_ ? kClearToEnd : "") << "\n";
    statusShown_ = false;
}

void CliProgressView::FinishAll() {
    while (!open_.empty()) {
        Finish(0);
    }
    out_ << std::flush;
}

void CliProgressView::Flush() {
    FinishAll();
    ClearStatus();
}

void CliProgressView::SetPanelText(std::string_view panel, std::string_view text) {
    panels_[std::string(panel)] = std::string(text);
    if (const CounterRow* row = FindCounterRow(panel)) {
        // Counts are drawn now and then; a table's start and its total at once.
        bool opened = Touch(*row);
        Redraw(opened || panel == row->total);
    }
}

std::string CliProgressView::PanelText(std::string_view panel) const {
    auto it = panels_.find(panel);
    return it == panels_.end() ? std::string() : it->second;
}

void CliProgressView::ShowPassLabel(std::string_view label) {
    for (const CounterRow& row : CounterRows()) {
        if (*row.passLabel && label == row.passLabel) {
            if (!passShown_.insert(&row).second) {
                return; // a shown label stays
            }
            // The first pass is over: its count is final.
            auto it =
                std::find_if(open_.begin(), open_.end(), [&row](const Table& t) { return t.row == &row; });
            if (it != open_.end()) {
                Finish(static_cast<std::size_t>(it - open_.begin()));
                out_ << std::flush;
            }
            Touch(row);
            Redraw(true);
            return;
        }
    }
}

void CliProgressView::SetKeyText(std::string_view key) {
    key_ = std::string(key);
    if (!options_.verbose) {
        return;
    }
    if (options_.terminal) {
        Redraw(key_.empty()); // a key left standing would look like the record being read
        return;
    }
    if (key_.empty()) {
        return;
    }
    Clock::time_point now = Now();
    if (!keyClockStarted_) {
        keyClockStarted_ = true;
        lastKeyLine_ = now;
        return;
    }
    if (now - lastKeyLine_ >= options_.keyInterval) {
        lastKeyLine_ = now;
        out_ << "  " << StatusText() << "\n" << std::flush;
    }
}

void CliProgressView::StepStarted(std::string_view) {
    FinishAll(); // the status line goes with them; the step clears the key right after
}

void CliProgressView::SetBusy(bool busy) {
    busy_ = busy;
    Redraw(true);
}

} // namespace zbpv

#include "app/cli_progress.h"

#include "app/counter_rows.h"

#include <ostream>

namespace zbpv {

CliProgressView::CliProgressView(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

CliProgressView::~CliProgressView() {
    Flush();
}

std::string CliProgressView::Line(const std::string& countPanel) const {
    const CounterRow* row = FindCounterRow(countPanel);
    if (!row) {
        return {};
    }
    std::string line = std::string(row->caption) + ": " + PanelText(row->panel);
    if (*row->total && panels_.count(row->total)) {
        line += " von " + PanelText(row->total);
    }
    return line;
}

void CliProgressView::Flush() {
    if (!current_.empty()) {
        out_ << (terminal_ ? "\r" : "") << Line(current_) << (terminal_ ? "\033[K\n" : "\n") << std::flush;
        current_.clear();
    }
}

void CliProgressView::SetPanelText(std::string_view panel, std::string_view text) {
    panels_[std::string(panel)] = std::string(text);
    const CounterRow* row = FindCounterRow(panel);
    if (!row) {
        return;
    }
    if (current_ != row->panel) {
        Flush();
        current_ = row->panel;
    }
    if (terminal_) {
        out_ << "\r" << Line(current_) << "\033[K" << std::flush;
    }
}

std::string CliProgressView::PanelText(std::string_view panel) const {
    auto it = panels_.find(panel);
    return it == panels_.end() ? std::string() : it->second;
}

void CliProgressView::ShowPassLabel(std::string_view label) {
    for (const CounterRow& row : CounterRows()) {
        if (label == row.passLabel) {
            Flush();
            out_ << row.caption << ": 2. Lauf\n";
            current_ = row.panel;
            return;
        }
    }
}

void CliProgressView::SetKeyText(std::string_view key) {
    key_ = std::string(key);
}

} // namespace zbpv

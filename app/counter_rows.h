#pragma once
// The rows of the counter grid on page 3: caption, running-count panel, total panel, second-pass label.

#include <span>
#include <string_view>

namespace zbpv {

struct CounterRow {
    const char* caption;   // UTF-8
    const char* panel;     // running count
    const char* total;     // "" when the row has none
    const char* passLabel; // "" when the row has none
    int column;            // 0 left, 1 right
};

std::span<const CounterRow> CounterRows();
// The row of a count or total panel; nullptr for an unknown name.
const CounterRow* FindCounterRow(std::string_view panel);

} // namespace zbpv

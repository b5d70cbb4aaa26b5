#pragma once
// The six editable drop-down boxes of the paths page, each a text with a history list.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// In the order the options file loads and saves them.
enum class WizardBox { DataPath, MailDataPath, UserPath, FormPath, DBServer, DBName };
inline constexpr std::array<WizardBox, 6> AllWizardBoxes = {WizardBox::DataPath, WizardBox::MailDataPath,
                                                            WizardBox::UserPath, WizardBox::FormPath,
                                                            WizardBox::DBServer, WizardBox::DBName};

// "edtDataPath" ...
const char* BoxObjectName(WizardBox box);
// The history section: the object name without its first three letters ("DataPath").
std::string HistorySection(WizardBox box);

struct HistoryCombo {
    std::string text;               // UTF-8
    std::vector<std::string> items; // most recent first

    // Adds unless already there (letter case ignored).
    void AddItem(std::string_view item);
    // Moves `text` to the top of the list, inserting it when new (letter case ignored).
    void MoveTextToTop();
};

struct WizardBoxes {
    std::array<HistoryCombo, 6> boxes;
    HistoryCombo& operator[](WizardBox b) { return boxes[static_cast<std::size_t>(b)]; }
    const HistoryCombo& operator[](WizardBox b) const { return boxes[static_cast<std::size_t>(b)]; }
};

} // namespace zbpv

#include "app/wizard_boxes.h"

#include "support/ansi.h"

#include <algorithm>

namespace zbpv {

const char* BoxObjectName(WizardBox box) {
    switch (box) {
    case WizardBox::DataPath:
        return "edtDataPath";
    case WizardBox::MailDataPath:
        return "edtMailDataPath";
    case WizardBox::UserPath:
        return "edtUserPath";
    case WizardBox::FormPath:
        return "edtFormPath";
    case WizardBox::DBServer:
        return "edtDBServer";
    case WizardBox::DBName:
        return "edtDBName";
    }
    return "";
}

std::string HistorySection(WizardBox box) {
    std::string name = BoxObjectName(box);
    return name.size() > 3 ? name.substr(3) : name;
}

namespace {

// The texts are UTF-8; compare them as the user would, letters with diacritics included.
bool SameItem(std::string_view a, std::string_view b) {
    return AnsiSameText(Utf8ToAnsi(a), Utf8ToAnsi(b));
}

} // namespace

void HistoryCombo::AddItem(std::string_view item) {
    if (std::none_of(items.begin(), items.end(), [&](const std::string& i) { return SameItem(i, item); })) {
        items.emplace_back(item);
    }
}

void HistoryCombo::MoveTextToTop() {
    if (text.empty()) {
        return;
    }
    auto it =
        std::find_if(items.begin(), items.end(), [&](const std::string& i) { return SameItem(i, text); });
    if (it != items.end()) {
        items.erase(it);
    }
    items.insert(items.begin(), text);
}

} // namespace zbpv

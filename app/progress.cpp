#include "app/progress.h"

#include "support/ansi.h"

namespace zbpv {

CounterPanels PanelsOf(TImportCounter type) {
    switch (type) {
    case TImportCounter::imcUser:
        return {"panUser", "panUserTotal"};
    case TImportCounter::imcUserRight:
        return {"panUserRights", ""};
    case TImportCounter::imcMailTree:
        return {"panMailFolder", ""};
    case TImportCounter::imcMailAccounts:
        return {"panAccounts", "panAccountsTotal"};
    case TImportCounter::imcMailRules:
        return {"panMailRules", "panMailRulesTotal"};
    case TImportCounter::imcEMail:
        return {"panEMails", "panEMailsTotal"};
    case TImportCounter::imcEMail2:
        return {"panEMails", ""};
    case TImportCounter::imcBoilerplate:
        return {"panBoilerplates", "panBoilerplatesTotal"};
    case TImportCounter::imcSalut:
        return {"panSalut", "panSalutTotal"};
    case TImportCounter::imcTask:
        return {"panTask", "panTaskTotal"};
    }
    return {"", ""};
}

std::string FormatCount(long long value, char sep) {
    bool negative = value < 0;
    std::string digits = std::to_string(negative ? -static_cast<unsigned long long>(value) : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && sep) {
            out += sep;
        }
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

long long ParseCount(std::string_view text, char sep) {
    std::string digits;
    for (char c : text) {
        if (c != sep) {
            digits += c;
        }
    }
    std::size_t start = digits.find_first_not_of(' ');
    std::size_t end = digits.find_last_not_of(' ');
    if (start == std::string::npos) {
        return 0;
    }
    digits = digits.substr(start, end - start + 1);
    std::size_t i = digits[0] == '-' ? 1 : 0;
    if (i == digits.size() || digits.size() > 19) {
        return 0;
    }
    for (std::size_t j = i; j < digits.size(); ++j) {
        if (digits[j] < '0' || digits[j] > '9') {
            return 0;
        }
    }
    return std::stoll(digits);
}

ImportCounters::ImportCounters(ProgressView& view, char thousandSeparator)
    : view_(view), separator_(thousandSeparator) {}

void ImportCounters::StartCounter(std::string_view counterPanel, std::string_view totalPanel,
                                  long long total) {
    if (!counterPanel.empty()) {
        counterPanel_ = std::string(counterPanel);
        view_.SetPanelText(counterPanel_, "0");
    }
    counterValue_ = 0;
    if (!totalPanel.empty()) {
        view_.SetPanelText(totalPanel, FormatCount(total, separator_));
    }
}

void ImportCounters::StepCounter(std::string_view panel) {
    if (!panel.empty()) {
        long long shown = ParseCount(view_.PanelText(panel), separator_);
        view_.SetPanelText(panel, FormatCount(shown + 1, separator_));
        return;
    }
    ++counterValue_;
    if (!counterPanel_.empty()) {
        view_.SetPanelText(counterPanel_, FormatCount(counterValue_, separator_));
    }
}

void ImportCounters::ShowPassLabel(std::string_view label) {
    view_.ShowPassLabel(label);
}

void ImportCounters::BeginBusy() {
    if (busyDepth_++ == 0) {
        view_.SetBusy(true);
    }
}

void ImportCounters::EndBusy() {
    if (busyDepth_ > 0 && --busyDepth_ == 0) {
        view_.SetBusy(false);
    }
}

void ImportCounters::ImportProgress(TImportCounter type, long long progress) {
    CounterPanels panels = PanelsOf(type);
    if (!*panels.count) {
        return;
    }
    // The label before the count: the first run's count on the panel is final when the second starts.
    if (type == TImportCounter::imcEMail2) {
        view_.ShowPassLabel("lblEMail2ndRun");
    }
    view_.SetPanelText(panels.count, FormatCount(progress, separator_));
    if (progress % MailProcessInterval == 0) {
        view_.ProcessMessages();
    }
}

void ImportCounters::ImportMaxProgress(TImportCounter type, long long total) {
    CounterPanels panels = PanelsOf(type);
    if (*panels.total) {
        view_.SetPanelText(panels.total, FormatCount(total, separator_));
    }
}

void ImportCounters::ImportKeyProgress(std::string_view keyValue) {
    if (DebugLog && !keyValue.empty()) {
        DebugLog("KeyValue: " + std::string(keyValue));
    }
    view_.SetKeyText(AnsiToUtf8(keyValue));
}

} // namespace zbpv

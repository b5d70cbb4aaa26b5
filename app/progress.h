#pragma once
// The counters of page 3 and the progress callbacks of the import steps.

#include <functional>
#include <string>
#include <string_view>

namespace zbpv {

// The display behind the counters: panels and labels by their object names ("panKun", "lblKunPass").
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Shows the text on the panel and repaints it at once.
    virtual void SetPanelText(std::string_view panel, std::string_view text) = 0;
    virtual std::string PanelText(std::string_view panel) const = 0;
    // Shows a hidden second-pass label (and repaints it); a shown one stays.
    virtual void ShowPassLabel(std::string_view label) = 0;
    // The key of the record being read (UTF-8; "" clears it), repainted at once.
    virtual void SetKeyText(std::string_view key) = 0;
    virtual std::string KeyText() const = 0;
    // Lets the window handle pending events so it stays responsive.
    virtual void ProcessMessages() = 0;
    // A step of the run begins ("" when the run is over): what was counted before is final. A view
    // that shows only the counters has nothing to do.
    virtual void StepStarted(std::string_view /*step*/) {}
    // The busy cursor on (true) or back to what was shown before (false); never nested.
    virtual void SetBusy(bool /*busy*/) {}
};

// The kinds of count the mail import reports, in this order.
enum class TImportCounter {
    imcUser,
    imcUserRight,
    imcMailTree,
    imcMailAccounts,
    imcMailRules,
    imcEMail,
    imcEMail2,
    imcBoilerplate,
    imcSalut,
    imcTask,
};

// Panel names of a counter kind: where the count goes and where the total goes ("" for none).
struct CounterPanels {
    const char* count;
    const char* total;
};
CounterPanels PanelsOf(TImportCounter type);

// A count with the thousands separator every three digits ("12.345").
std::string FormatCount(long long value, char thousandSeparator);
// The number a panel shows, separators removed; unreadable text is 0.
long long ParseCount(std::string_view text, char thousandSeparator);

class ImportCounters {
public:
    // Process pending messages after every this many mail-import counts.
    static constexpr int MailProcessInterval = 50;

    ImportCounters(ProgressView& view, char thousandSeparator);

    // Invoicing steps: `counterPanel` becomes the current panel and shows "0" (when given); the total
    // panel shows `total` (when given).
    void StartCounter(std::string_view counterPanel, std::string_view totalPanel, long long total);
    // With a panel: that panel's number plus one; without: the current counter plus one.
    void StepCounter(std::string_view panel = {});
    void ShowPassLabel(std::string_view label);
    // The hourglass: nested uses show it once, and the last one to end restores the cursor.
    void BeginBusy();
    void EndBusy();
    long long CounterValue() const { return counterValue_; }
    const std::string& CounterPanel() const { return counterPanel_; }

    // The three callbacks of the mail import (and the invoicing steps' key display). The key is core
    // text (Windows-1252); the view gets it in UTF-8.
    void ImportProgress(TImportCounter type, long long progress);
    void ImportMaxProgress(TImportCounter type, long long total);
    void ImportKeyProgress(std::string_view keyValue);

    // Where "KeyValue: %s" lines (Windows-1252) go when the diagnostic log is on; unset otherwise.
    std::function<void(const std::string&)> DebugLog;

    ProgressView& View() { return view_; }

private:
    ProgressView& view_;
    char separator_;
    std::string counterPanel_;
    long long counterValue_ = 0;
    int busyDepth_ = 0;
};

} // namespace zbpv

#pragma once
// Progress of a run on the command line: one updating line per table on a terminal, plain lines
// ("Kunden: 1.234 von 1.234") otherwise.

#include "app/progress.h"

#include <iosfwd>
#include <map>
#include <string>

namespace zbpv {

class CliProgressView : public ProgressView {
public:
    CliProgressView(std::ostream& out, bool terminal);
    ~CliProgressView() override;

    void SetPanelText(std::string_view panel, std::string_view text) override;
    std::string PanelText(std::string_view panel) const override;
    void ShowPassLabel(std::string_view label) override;
    void SetKeyText(std::string_view key) override;
    std::string KeyText() const override { return key_; }
    void ProcessMessages() override {}
    // Ends the line of the current table.
    void Flush();

private:
    std::string Line(const std::string& countPanel) const;

    std::ostream& out_;
    bool terminal_;
    std::map<std::string, std::string, std::less<>> panels_;
    std::string current_; // count panel of the table shown last
    std::string key_;
};

} // namespace zbpv

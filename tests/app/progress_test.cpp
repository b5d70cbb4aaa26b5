#include "app/progress.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace zbpv {
namespace {

class RecordingView : public ProgressView {
public:
    void SetPanelText(std::string_view panel, std::string_view text) override {
        panels[std::string(panel)] = text;
    }
    std::string PanelText(std::string_view panel) const override {
        auto it = panels.find(std::string(panel));
        return it == panels.end() ? "" : it->second;
    }
    void ShowPassLabel(std::string_view label) override { shown.insert(std::string(label)); }
    void SetKeyText(std::string_view key) override { keyText = key; }
    std::string KeyText() const override { return keyText; }
    void ProcessMessages() override { ++processed; }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }

    std::map<std::string, std::string> panels;
    std::vector<bool> busyChanges;
    std::set<std::string> shown;
    std::string keyText;
    int processed = 0;
};

TEST(Progress, CountersWithThousandsSeparators) {
    EXPECT_EQ(FormatCount(0, '.'), "0");
    EXPECT_EQ(FormatCount(999, '.'), "999");
    EXPECT_EQ(FormatCount(1234567, '.'), "1.234.567");
    EXPECT_EQ(ParseCount("1.234.567", '.'), 1234567);
    EXPECT_EQ(ParseCount("abc", '.'), 0);

    RecordingView view;
    ImportCounters c(view, '.');
    c.StartCounter("panKun", "panKunAnz", 12345);
    EXPECT_EQ(view.panels["panKun"], "0");
    EXPECT_EQ(view.panels["panKunAnz"], "12.345");
    for (int i = 0; i < 1000; ++i) {
        c.StepCounter();
    }
    EXPECT_EQ(view.panels["panKun"], "1.000");
    view.panels["panGrp"] = "999";
    c.StepCounter("panGrp");
    EXPECT_EQ(view.panels["panGrp"], "1.000");
    view.panels["panGrZuord"] = "kaputt";
    c.StepCounter("panGrZuord");
    EXPECT_EQ(view.panels["panGrZuord"], "1");
    EXPECT_EQ(c.CounterValue(), 1000) << "a named panel leaves the running counter alone";
    c.StartCounter("", "", 0);
    EXPECT_EQ(c.CounterValue(), 0);
    c.StepCounter();
    EXPECT_EQ(view.panels["panKun"], "1") << "the last counter panel stays current";
}

TEST(Progress, MailCallbacksMapToPanels) {
    RecordingView view;
    ImportCounters c(view, '.');
    c.ImportMaxProgress(TImportCounter::imcMailTree, 5);
    c.ImportMaxProgress(TImportCounter::imcUserRight, 5);
    c.ImportMaxProgress(TImportCounter::imcEMail2, 5);
    EXPECT_TRUE(view.panels.empty()) << "no total panel for these";
    c.ImportMaxProgress(TImportCounter::imcEMail, 2500);
    EXPECT_EQ(view.panels["panEMailsTotal"], "2.500");
    c.ImportProgress(TImportCounter::imcEMail, 49);
    EXPECT_EQ(view.processed, 0);
    EXPECT_TRUE(view.shown.empty());
    c.ImportProgress(TImportCounter::imcEMail2, 100);
    EXPECT_EQ(view.panels["panEMails"], "100");
    EXPECT_EQ(view.shown, std::set<std::string>{"lblEMail2ndRun"});
    EXPECT_EQ(view.processed, 1) << "pending messages every 50 counts";
    c.ImportProgress(TImportCounter::imcTask, 3);
    c.ImportProgress(TImportCounter::imcMailTree, 4);
    c.ImportProgress(static_cast<TImportCounter>(42), 7);
    EXPECT_EQ(view.panels["panTask"], "3");
    EXPECT_EQ(view.panels["panMailFolder"], "4");
    EXPECT_EQ(PanelsOf(TImportCounter::imcUser).total, std::string("panUserTotal"));
    EXPECT_EQ(PanelsOf(TImportCounter::imcSalut).count, std::string("panSalut"));
}

TEST(Progress, KeyDisplayAndDebugLog) {
    RecordingView view;
    ImportCounters c(view, '.');
    std::vector<std::string> log;
    c.ImportKeyProgress("K1");
    c.DebugLog = [&](const std::string& line) {
        log.push_back(line);
    };
    c.ImportKeyProgress("K2");
    c.ImportKeyProgress("");
    EXPECT_EQ(log, std::vector<std::string>{"KeyValue: K2"});
    EXPECT_EQ(view.keyText, "");
}

TEST(Progress, NestedHourglassShowsOnceAndTheLastEndRestores) {
    RecordingView view;
    ImportCounters c(view, '.');
    c.BeginBusy();
    c.BeginBusy();
    c.EndBusy();
    EXPECT_EQ(view.busyChanges, std::vector<bool>{true});
    c.EndBusy();
    c.EndBusy(); // one end too many changes nothing
    EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false}));
    c.BeginBusy();
    EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false, true}));
}

} // namespace
} // namespace zbpv

#include "app/cli_progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace zbpv {
namespace {

using namespace std::chrono_literals;

// What a terminal shows after the output: "\r" goes back to the start of the row, ESC [K clears to
// its end, "\n" starts the next row.
std::vector<std::string> Screen(const std::string& output) {
    std::vector<std::string> rows(1);
    std::size_t column = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        std::string& row = rows.back();
        if (output[i] == '\r') {
            column = 0;
        } else if (output[i] == '\n') {
            rows.emplace_back();
            column = 0;
        } else if (output.compare(i, 3, "\033[K") == 0) {
            row.erase(column);
            i += 2;
        } else {
            if (column < row.size()) {
                row[column] = output[i];
            } else {
                row += output[i];
            }
            ++column;
        }
    }
    return rows;
}

std::size_t Columns(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return n;
}

struct FakeClock {
    CliProgressView::Clock::time_point now{};
    void Attach(CliProgressView& view) {
        view.Now = [this] {
            return now;
        };
    }
};

// The address step as the run reports it: contact persons, groups and assignments counted between
// the rows of employees and customers, the customers' second pass, then the next steps.
void AddressRun(ImportCounters& c, ProgressView& view) {
    view.StepStarted("ImportKunLfrMab");
    view.SetPanelText("panAPAnz", "4");
    c.StartCounter("panMab", "panMabAnz", 2);
    for (int i = 0; i < 2; ++i) {
        c.StepCounter();
        c.ImportKeyProgress("M" + std::to_string(i));
        c.StepCounter("panGrp");
        c.StepCounter("panGrZuord");
    }
    c.StartCounter("panKun", "panKunAnz", 3);
    for (int i = 0; i < 3; ++i) {
        c.StepCounter();
        c.ImportKeyProgress("K" + std::to_string(i));
        c.StepCounter("panAP");
        c.StepCounter("panGrZuord");
    }
    c.ShowPassLabel("lblKunPass");
    c.StartCounter("panLfr", "panLfrAnz", 1);
    c.StepCounter();
    view.StepStarted("ImportKunGrZuord");
    c.ShowPassLabel("lblGrZuordPass");
    c.StepCounter("panGrZuord");
    c.StepCounter("panGrZuord");
    view.StepStarted("ImportKontakte");
    c.StartCounter("panKon", "panKonAnz", 1200);
    for (int i = 0; i < 1200; ++i) {
        c.StepCounter();
    }
}

const char* const kAddressRunLines = "Kunden: 3 von 3\n"
                                     "Ansprechpartner: 3 von 4\n"
                                     "Mitarbeiter: 2 von 2\n"
                                     "Gruppen: 2\n"
                                     "Gr.-Zuordnungen: 5\n"
                                     "Kunden, 2. Lauf: 3 von 3\n"
                                     "Lieferanten: 1 von 1\n"
                                     "Gr.-Zuordnungen, 2. Lauf: 7\n"
                                     "Kontakte: 1.200 von 1.200\n";

TEST(CliProgress, PlainOutputHasOneLinePerTableWhenItIsFinished) {
    for (bool verbose : {false, true}) {
        std::ostringstream out;
        {
            CliProgressOptions o;
            o.verbose = verbose; // no key line within the first ten seconds
            CliProgressView view(out, o);
            ImportCounters c(view, '.');
            AddressRun(c, view);
            c.BeginBusy();
            c.EndBusy();
            EXPECT_EQ(out.str(), std::string(kAddressRunLines).substr(0, out.str().size()))
                << "the contacts are not finished before the view is closed";
            EXPECT_EQ(view.KeyText(), "K2") << "kept for the failure context";
        }
        EXPECT_EQ(out.str(), kAddressRunLines);
    }

    // The mail import's second run of the e-mails: the first run's count is final.
    std::ostringstream out;
    CliProgressView view(out, {});
    ImportCounters c(view, '.');
    c.ImportMaxProgress(TImportCounter::imcEMail, 3);
    for (int i = 1; i <= 3; ++i) {
        c.ImportProgress(TImportCounter::imcEMail, i);
    }
    c.ImportProgress(TImportCounter::imcEMail2, 1);
    EXPECT_EQ(out.str(), "E-Mails: 3 von 3\n");
    view.Flush();
    view.Flush();
    EXPECT_EQ(out.str(), "E-Mails: 3 von 3\nE-Mails, 2. Lauf: 1 von 3\n");
}

TEST(CliProgress, TerminalShowsOneStatusLineAndTheFinishedTables) {
    std::ostringstream out;
    CliProgressOptions o;
    o.terminal = true;
    o.redrawInterval = 0ms;
    CliProgressView view(out, o);
    ImportCounters c(view, '.');
    AddressRun(c, view);
    EXPECT_EQ(Screen(out.str()),
              (std::vector<std::string>{"Kunden: 3 von 3", "Ansprechpartner: 3 von 4", "Mitarbeiter: 2 von 2",
                                        "Gruppen: 2", "Gr.-Zuordnungen: 5", "Kunden, 2. Lauf: 3 von 3",
                                        "Lieferanten: 1 von 1", "Gr.-Zuordnungen, 2. Lauf: 7",
                                        "Kontakte: 1.200 von 1.200"}))
        << "keys are not shown without --verbose";
    c.BeginBusy();
    EXPECT_EQ(Screen(out.str()).back(), "Kontakte: 1.200 von 1.200 – bitte warten …");
    c.EndBusy();
    EXPECT_EQ(Screen(out.str()).back(), "Kontakte: 1.200 von 1.200");
    view.Flush();
    EXPECT_EQ(Screen(out.str()).size(), 10u);
    EXPECT_EQ(Screen(out.str()).back(), "") << "the status line is cleared";
}

TEST(CliProgress, TerminalStatusLineWithKeyIsThrottledAndFitsTheWidth) {
    std::ostringstream out;
    CliProgressOptions o;
    o.terminal = true;
    o.verbose = true;
    o.width = 70;
    CliProgressView view(out, o);
    FakeClock clock;
    clock.Attach(view);
    ImportCounters c(view, '.');
    c.StartCounter("panKun", "panKunAnz", 5000);
    c.ImportKeyProgress("K;17;Maier-L\xfc"
                        "denscheidt;Maximilian"); // core text, Windows-1252
    for (int i = 0; i < 1000; ++i) {
        c.StepCounter();
        c.StepCounter("panAP");
    }
    EXPECT_EQ(Screen(out.str()),
              std::vector<std::string>{"Ansprechpartner: 1 – Eingelesener Datensatz: K;17;Maier-L\xc3\xbc"
                                       "denscheidt;"})
        << "within the redraw interval only a table's start is drawn";
    const std::string drawn = out.str();
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 3);
    clock.now += 100ms;
    c.StepCounter();
    EXPECT_EQ(Screen(out.str()), std::vector<std::string>{"Kunden: 1.001 von 5.000 – Eingelesener Datensatz: "
                                                          "K;17;Maier-L\xc3\xbc"
                                                          "densch"});
    EXPECT_EQ(Columns(Screen(out.str()).back()), 69u);

    c.ShowPassLabel("lblKunPass");
    c.ShowPassLabel("lblKunPass");
    EXPECT_EQ(Screen(out.str()), (std::vector<std::string>{"Kunden: 1.001 von 5.000",
                                                           "Kunden, 2. Lauf: 1.001 von 5.000 – Eingelesener "
                                                           "Datensatz: K;17;Maier"}));
    c.ImportKeyProgress("");
    EXPECT_EQ(Screen(out.str()).back(), "Kunden, 2. Lauf: 1.001 von 5.000") << "a cleared key goes at once";
}

TEST(CliProgress, VerboseKeyOnAPlainOutputAtMostEveryInterval) {
    std::ostringstream out;
    CliProgressOptions o;
    o.verbose = true;
    CliProgressView view(out, o);
    FakeClock clock;
    clock.Attach(view);
    ImportCounters c(view, '.');
    c.StartCounter("panKun", "panKunAnz", 2);
    c.StepCounter();
    for (int second = 0; second <= 25; ++second) {
        c.ImportKeyProgress("K" + std::to_string(second));
        c.ImportKeyProgress("");
        clock.now += 1s;
    }
    EXPECT_EQ(out.str(), "  Kunden: 1 von 2 – Eingelesener Datensatz: K10\n"
                         "  Kunden: 1 von 2 – Eingelesener Datensatz: K20\n");
}

} // namespace
} // namespace zbpv

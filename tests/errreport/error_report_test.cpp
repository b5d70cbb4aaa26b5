#include "support/error_report.h"

#include "support/errors.h"
#include "support/format_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace zbpv {
namespace {

using Lines = std::vector<std::string>;

__attribute__((noinline)) void ThrowFromImportStep() {
    throw EDatabaseError("Verbindung zur Datenbank verloren");
}

std::ptrdiff_t IndexOf(const Lines& lines, std::string_view prefix) {
    auto it = std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    return it == lines.end() ? -1 : it - lines.begin();
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The clock and ZBPV_HOME pointed at a fresh temporary folder for the length of one test.
class ReportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() /
                ("zbpv_errreport_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home_);
        if (const char* old = std::getenv("ZBPV_HOME"))
            oldHome_ = old;
        ::setenv("ZBPV_HOME", (home_ / "nested").c_str(), 1);
        SetClock(EncodeDateTime(2026, 12, 9, 14, 5, 30, 0));
    }
    void TearDown() override {
        SetClockForTests({});
        if (oldHome_)
            ::setenv("ZBPV_HOME", oldHome_->c_str(), 1);
        else
            ::unsetenv("ZBPV_HOME");
        std::filesystem::remove_all(home_);
    }
    void SetClock(TDateTime t) {
        SetClockForTests([t] { return t; });
    }
    std::filesystem::path home_;
    std::optional<std::string> oldHome_;
};

TEST(ErrorReportMessage, FullStopTrimAndLineBreaks) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Fehler", "Fehler."},
        {"Fehler.", "Fehler."},
        {"  Fehler beim Lesen \r\n", "Fehler beim Lesen."},
        {"Fehler!", "Fehler!."},
        {"eins\nzwei", "eins\r\nzwei."},
        {"eins\r\nzwei\rdrei\n\nvier", "eins\r\nzwei\r\ndrei\r\n\r\nvier."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatExceptionMessage(c.in), c.out) << c.in;
}

TEST_F(ReportFixture, ContextOfTheWizardIsAddedBeforeTheFullStop) {
    TExceptionManager manager("Import von ZB7 + PV2");
    void* seenSender = nullptr;
    manager.SetOnException([&](void* sender, const std::exception&, std::string& message) {
        seenSender = sender;
        message += "\r\nActive Procedure: ImportArtikel\r\nKey to Import: 4711";
    });
    int sender = 0;
    // The core's texts are Windows-1252; the report is UTF-8.
    TErrorReport r = manager.StartReport(&sender, Exception("Schl\xFC"
                                                            "ssel ung\xFCltig"));
    EXPECT_EQ(seenSender, &sender);
    EXPECT_EQ(r.Message, "Schlüssel ungültig\r\nActive Procedure: ImportArtikel\r\nKey to Import: 4711.");
    EXPECT_EQ(r.DetailLines.front(), "Exception Klasse: Exception");
    EXPECT_FALSE(r.Complete);
}

TEST_F(ReportFixture, CompleteReportHasEveryBlockInOrder) {
    TExceptionManager manager("Import von ZB7 + PV2");
    manager.SetBuildTimeStamp(EncodeDateTime(2008, 2, 25, 0, 31, 8, 12));
    manager.SetScreenSource([] { return TScreenInfo{1920, 1080, 24}; });
    manager.SetFocusChainSource([] {
        return std::vector<TControlInfo>{
            {"QComboBox", "edtDataPath"}, {"QWidget", "tshPaths"}, {"TfrmImport", "frmImport"}};
    });
    TErrorReport r;
    try {
        ThrowFromImportStep();
    } catch (const std::exception& e) {
        SetClock(EncodeDateTime(2026, 12, 9, 14, 6, 0, 0)); // the report is made later than the throw
        r = manager.StartReport(nullptr, e);
    }
    manager.CompleteReport(r);
    ASSERT_TRUE(r.Complete);
    const Lines& d = r.DetailLines;

    EXPECT_EQ(d[0], "Exception Klasse: EDatabaseError");
    ASSERT_EQ(d[1].rfind("Exception Adresse: ", 0), 0u);
    EXPECT_EQ(d[1].size(), 19u + 16u);
    EXPECT_NE(d[1], "Exception Adresse: 0000000000000000") << "the throw site is known";
    EXPECT_EQ(d[2], std::string(100, '-'));
    EXPECT_EQ(d[3], "Import von ZB7 + PV2 vom 25.02.2008 00:31:08");

    // The stack is the one of the throw, taken at its time, and names the throwing function.
    auto stack = IndexOf(d, "Stackliste, erzeugt am ");
    ASSERT_GT(stack, 0);
    EXPECT_EQ(d[stack], "Stackliste, erzeugt am 09.12.2026 14:05:30");
    ASSERT_GT(stack + 1, 0);
    EXPECT_NE(d[stack + 1].find("ThrowFromImportStep"), std::string::npos) << d[stack + 1];
    EXPECT_NE(d[stack + 1].find("errreport/error_report_test.cpp"), std::string::npos) << d[stack + 1];
    EXPECT_EQ(d[stack + 1].rfind("[" + d[1].substr(19) + "] ", 0), 0u)
        << "address line and first frame agree";

    auto system = IndexOf(d, "System:     ");
    auto cpu = IndexOf(d, "Prozessor:  ");
    auto screen = IndexOf(d, "Bildschirm: ");
    auto modules = IndexOf(d, "Liste geladener Module:");
    auto controls = IndexOf(d, "Hierarchie aktiver Controls:");
    ASSERT_GT(system, stack);
    EXPECT_EQ(cpu, system + 1);
    EXPECT_EQ(screen, system + 2);
    EXPECT_EQ(d[screen], "Bildschirm: 1920x1080 pixels, 24 bpp");
    ASSERT_GT(modules, screen);
    ASSERT_GT(controls, modules);
    // Every block is closed by a separator line, the last one included.
    for (auto head : {stack, system, modules, controls})
        EXPECT_EQ(d[head - 1], kReportSeparator) << d[head];
    EXPECT_EQ(d.back(), kReportSeparator);
    EXPECT_EQ((Lines{d.begin() + controls + 1, d.end() - 1}),
              (Lines{"QComboBox \"edtDataPath\"", "QWidget \"tshPaths\"", "TfrmImport \"frmImport\""}));

    std::string text = r.ReportText();
    EXPECT_EQ(text.rfind(r.Message + "\r\n\r\nException Klasse: EDatabaseError\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 102), kReportSeparator + "\r\n");
}

TEST_F(ReportFixture, BlocksWithoutSourceAreLeftOut) {
    TExceptionManager manager("Titel");
    TErrorReport r = manager.StartReport(nullptr, Exception("x"));
    r.Stack.reset();
    manager.CompleteReport(r);
    EXPECT_EQ(IndexOf(r.DetailLines, "Stackliste"), -1);
    EXPECT_EQ(IndexOf(r.DetailLines, "Bildschirm"), -1);
    EXPECT_EQ(IndexOf(r.DetailLines, "Hierarchie aktiver Controls:"), -1);
    EXPECT_NE(IndexOf(r.DetailLines, "System:     "), -1);
}

TEST_F(ReportFixture, ExceptionThrownInsideALibraryGetsTheHandlingStack) {
    TExceptionManager manager("Titel");
    std::vector<int> v;
    try {
        (void)v.at(3); // thrown inside the C++ library, where the hook does not reach
    } catch (const std::exception& e) {
        TErrorReport r = manager.StartReport(nullptr, e);
        EXPECT_EQ(r.DetailLines[0], "Exception Klasse: std::out_of_range");
        EXPECT_EQ(r.DetailLines[1], "Exception Adresse: 0000000000000000");
        ASSERT_TRUE(r.Stack);
        EXPECT_FALSE(r.Stack->Frames.empty());
    }
}

TEST_F(ReportFixture, ThrowsAreOnlyTrackedWhileAManagerLives) {
    auto thrown = [] {
        try {
            ThrowFromImportStep();
        } catch (const std::exception& e) {
            return FindThrowSite(e).has_value();
        }
        return false;
    };
    EXPECT_FALSE(thrown());
    {
        TExceptionManager manager("Titel");
        EXPECT_TRUE(thrown());
    }
    EXPECT_FALSE(thrown());
}

TEST(ErrorReportSystem, SystemAndProcessorLinesFromTheirSources) {
    const char* osRelease =
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n";
    EXPECT_EQ(FormatSystemLine(osRelease, "Linux", "6.1.44-amd64", "#1 SMP Debian 6.1.44-1", "x86_64"),
              "System:     Debian GNU/Linux 12 (bookworm) Linux x86_64, Version: 6.1, Build: 2c, \"#1 SMP "
              "Debian 6.1.44-1\"");
    EXPECT_EQ(FormatSystemLine("NAME=Fedora\nVERSION='40 (Server)'\n", "Linux", "6.8", "#1", "aarch64"),
              "System:     Fedora 40 (Server) Linux aarch64, Version: 6.8, Build: 0, \"#1\"");

    const char* cpuinfo =
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) Processor\n"
        "cpu MHz\t\t: 2099.6\nflags\t\t: fpu vme mmx sse\n\nprocessor\t: 1\nvendor_id\t: Other\n";
    EXPECT_EQ(FormatProcessorLine(cpuinfo),
              "Prozessor:  GenuineIntel, Intel(R) Xeon(R) Processor, 2100 MHz MMX");
    EXPECT_EQ(FormatProcessorLine(cpuinfo, 2400000L),
              "Prozessor:  GenuineIntel, Intel(R) Xeon(R) Processor, 2400 MHz MMX");
    EXPECT_EQ(FormatProcessorLine("vendor_id : GenuineIntel\nmodel name : Pentium\ncpu MHz : 66.0\n"
                                  "fdiv_bug : yes\nflags : fpu mmxext\n"),
              "Prozessor:  GenuineIntel, Pentium, 66 MHz  [FDIV Bug]");

    EXPECT_EQ(SystemLine().rfind("System:     ", 0), 0u);
    EXPECT_EQ(ProcessorLine().rfind("Prozessor:  ", 0), 0u);
}

TEST(ErrorReportModules, VersionsFromFileNames) {
    struct Case {
        const char* name;
        std::optional<std::array<unsigned, 4>> number;
        const char* text;
    } cases[] = {
        {"/usr/lib/x86_64-linux-gnu/libQt6Core.so.6.4.2", std::array<unsigned, 4>{6, 4, 2, 0}, "6.4.2"},
        {"/usr/lib/x86_64-linux-gnu/libdw-0.188.so", std::array<unsigned, 4>{0, 188, 0, 0}, "0.188"},
        {"/usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30", std::array<unsigned, 4>{6, 0, 30, 0}, "6.0.30"},
        {"libc.so.6", std::array<unsigned, 4>{6, 0, 0, 0}, "6"},
        {"libx.so.1.2.3.4.5", std::array<unsigned, 4>{1, 2, 3, 4}, "1.2.3.4.5"},
        {"/usr/lib/libplain.so", std::nullopt, ""},
        {"/usr/lib/libodd.so.6a", std::nullopt, ""},
        {"/opt/zbpv/bin/zbpv-wizard", std::nullopt, ""},
        {"/opt/ver-1.2/libz.so", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        auto v = VersionFromFileName(c.name);
        ASSERT_EQ(v.has_value(), c.number.has_value()) << c.name;
        if (v) {
            EXPECT_EQ(v->Number, *c.number) << c.name;
            EXPECT_EQ(v->Text, c.text) << c.name;
        }
    }
}

TEST(ErrorReportModules, ModuleLines) {
    TModuleInfo lib{0x7f12a0000000, 0, "/usr/lib/libQt6Core.so.6.4.2", TModuleVersion{{6, 4, 2, 0}, "6.4.2"},
                    ""};
    EXPECT_EQ(FormatModuleLines(lib),
              (Lines{"[7f12a0000000] /usr/lib/libQt6Core.so.6.4.2", "<00000000> 6.4.2.0 - 6.4.2"}));
    TModuleInfo described = lib;
    described.LoadAddress = described.PreferredBase = 0x1000;
    described.Description = "Qt Core";
    EXPECT_EQ(FormatModuleLines(described), (Lines{"[00001000] /usr/lib/libQt6Core.so.6.4.2",
                                                   "           6.4.2.0 - 6.4.2", "           Qt Core"}));
    TModuleInfo exe{0x400000, 0x400000, "/opt/zbpv/bin/zbpv-import", std::nullopt, ""};
    EXPECT_EQ(FormatModuleLines(exe),
              (Lines{"[00400000] /opt/zbpv/bin/zbpv-import", "           (keine Versionsinformationen)"}));
}

TEST(ErrorReportModules, ModulesOfThisProcess) {
    std::vector<TModuleInfo> modules = LoadedModules();
    ASSERT_GE(modules.size(), 3u);
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end(),
                               [](auto& a, auto& b) { return a.LoadAddress < b.LoadAddress; }));
    std::string self = std::filesystem::canonical("/proc/self/exe").string();
    auto exe = std::find_if(modules.begin(), modules.end(), [&](auto& m) { return m.FileName == self; });
    ASSERT_NE(exe, modules.end());
    EXPECT_FALSE(exe->Version);
    // The stack trace library is linked; its real file name carries the version.
    auto dw = std::find_if(modules.begin(), modules.end(),
                           [](auto& m) { return m.FileName.find("/libdw") != std::string::npos; });
    ASSERT_NE(dw, modules.end());
    EXPECT_TRUE(dw->Version) << dw->FileName;
}

TEST_F(ReportFixture, FileNamePutsTheDayBeforeTheMonth) {
    EXPECT_EQ(ErrorReportFileName(EncodeDateTime(2026, 12, 9, 14, 5, 30, 0)), "ERR 2026-09-12 140530.log");
    EXPECT_EQ(ErrorReportFileName(EncodeDateTime(2008, 2, 25, 0, 31, 8, 999)), "ERR 2008-25-02 003108.log");
}

TEST_F(ReportFixture, SavingCreatesTheLogFolderAndOverwritesInTheSameSecond) {
    std::filesystem::path path = SaveErrorReport("erster Bericht\r\n");
    EXPECT_EQ(path, home_ / "nested" / "Log" / "ERR 2026-09-12 140530.log");
    EXPECT_EQ(ReadAll(path), "erster Bericht\r\n");
    SetClock(EncodeDateTime(2026, 12, 9, 14, 5, 30, 700));
    EXPECT_EQ(SaveErrorReport("zweiter"), path);
    EXPECT_EQ(ReadAll(path), "zweiter");
    EXPECT_EQ(SavedReportMessage(path),
              "Die Fehlermeldung wurde gespeichert unter:\r\n\"" + path.string() + "\"");
}

TEST_F(ReportFixture, SavingIntoAFileInsteadOfAFolderFails) {
    std::filesystem::create_directories(home_);
    std::ofstream(home_ / "nested") << "kein Ordner";
    EXPECT_THROW(SaveErrorReport("x"), EFileError);
}

// Stands in for the GUI: records what it was asked to show.
struct FakePresenter : IExceptionPresenter {
    std::vector<TErrorReport> dialogs;
    Lines plain;
    std::function<void()> whileShown;
    void ShowErrorDialog(const TExceptionManager&, TErrorReport report) override {
        dialogs.push_back(std::move(report));
        if (whileShown)
            whileShown();
    }
    void ShowPlainMessage(const TExceptionManager&, const std::string& message) override {
        plain.push_back(message);
    }
};

TEST_F(ReportFixture, SecondExceptionWhileTheDialogIsOpenGoesToThePlainBox) {
    TExceptionManager manager("Titel");
    EXPECT_EQ(TExceptionManager::Instance(), &manager);
    manager.SetOnException(
        [](void*, const std::exception&, std::string& m) { m += "\r\nActive Procedure: ImportOP"; });
    FakePresenter ui;
    manager.SetPresenter(&ui);
    ui.whileShown = [&] {
        EXPECT_TRUE(manager.DialogShowing());
        manager.HandleException(nullptr, Exception("Zeitgeber"));
    };
    manager.HandleException(nullptr, Exception("Erster Fehler"));
    EXPECT_FALSE(manager.DialogShowing());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].Message, "Erster Fehler\r\nActive Procedure: ImportOP.");
    EXPECT_EQ(ui.plain, (Lines{"Zeitgeber\r\nActive Procedure: ImportOP."}));

    // A question answered No ends a run silently.
    manager.HandleException(nullptr, EAbort());
    EXPECT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.plain.size(), 1u);

    // A dialog that ends by an exception still clears the flag.
    ui.whileShown = [] {
        throw std::runtime_error("Dialog");
    };
    EXPECT_THROW(manager.HandleException(nullptr, Exception("Zweiter")), std::runtime_error);
    EXPECT_FALSE(manager.DialogShowing());
}

TEST_F(ReportFixture, ExceptionsOfAnyTypeAndOfOtherThreads) {
    TExceptionManager manager("Titel");
    FakePresenter ui;
    manager.SetPresenter(&ui);
    try {
        throw 42;
    } catch (...) {
        manager.HandleCurrentException(nullptr);
    }
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].DetailLines[0], "Exception Klasse: int");
    EXPECT_EQ(ui.dialogs[0].Message, "Unbekannter Fehler (Ausnahme vom Typ int).");

    std::exception_ptr fromWorker;
    std::thread worker([&] {
        try {
            ThrowFromImportStep();
        } catch (...) {
            fromWorker = std::current_exception();
        }
    });
    worker.join();
    manager.HandleThreadException(fromWorker, "Worker (4711)");
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ui.dialogs[1].DetailLines[1], "Thread: Worker (4711)");
    EXPECT_EQ(ui.dialogs[1].Message, "Verbindung zur Datenbank verloren.");
    manager.CompleteReport(ui.dialogs[1]);
    auto stack = IndexOf(ui.dialogs[1].DetailLines, "Stackliste");
    ASSERT_GT(stack, 0);
    EXPECT_NE(ui.dialogs[1].DetailLines[stack + 1].find("ThrowFromImportStep"), std::string::npos);
}

} // namespace
} // namespace zbpv

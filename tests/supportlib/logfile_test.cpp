#include "support/logfile.h"

#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"
#include "support/program_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zbpv {
namespace {

namespace fs = std::filesystem;

// Every test writes into its own program folder.
class LogfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zbpv_logfile_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        home_ = root_ / "home";
        const char* old = std::getenv("ZBPV_HOME");
        oldHome_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("ZBPV_HOME", home_.c_str(), 1);
        SetGlobalFormatSettings(FormatSettings::German());
    }
    void TearDown() override {
        if (oldHome_) {
            setenv("ZBPV_HOME", oldHome_->c_str(), 1);
        } else {
            unsetenv("ZBPV_HOME");
        }
        SetClockForTests({});
        fs::remove_all(root_);
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root_;
    fs::path home_;
    std::optional<std::string> oldHome_;
};

TEST_F(LogfileTest, EmptyNameGoesIntoTheLogFolderOfTheProgramFolder) {
    TosLogfile log("");
    EXPECT_EQ(log.FileName(), home_ / "Log" / "Logfile.txt");
    EXPECT_TRUE(fs::is_directory(home_ / "Log"));
    EXPECT_FALSE(fs::exists(log.FileName()));

    TosLogfile named("Import.log");
    EXPECT_EQ(named.FileName(), home_ / "Log" / "Import.log");
}

TEST_F(LogfileTest, NameWithFolderKeepsItsFolderCreatedWhenMissing) {
    TosLogfile absolute((root_ / "a" / "b" / "Log.txt").string());
    EXPECT_EQ(absolute.FileName(), root_ / "a" / "b" / "Log.txt");
    EXPECT_TRUE(fs::is_directory(root_ / "a" / "b"));

    TosLogfile relative("sub/PvImport.log");
    EXPECT_EQ(relative.FileName(), home_ / "sub" / "PvImport.log");
    EXPECT_TRUE(fs::is_directory(home_ / "sub"));

    setenv("ZBPV_TEST_LOGDIR", (root_ / "env").c_str(), 1);
    TosLogfile expanded("${ZBPV_TEST_LOGDIR}/x/y.log");
    EXPECT_EQ(expanded.FileName(), root_ / "env" / "x" / "y.log");
    TosLogfile windowsStyle("%ZBPV_TEST_LOGDIR%/z.log");
    EXPECT_EQ(windowsStyle.FileName(), root_ / "env" / "z.log");
    unsetenv("ZBPV_TEST_LOGDIR");
}

TEST_F(LogfileTest, LineRules) {
    TosLogfile log((root_ / "rules.txt").string());
    log.Add("");
    log.Add("=");
    log.Add("-");
    log.Add("*");
    log.Add("x");
    log.Add("!Fortsetzung");
    log.Add("Text");
    log.AddFmt("%s | %-11s|%5d|%0:s", {"A", "Lfdnr", 42});
    EXPECT_EQ(Read(log.FileName()), "\r\n" + std::string(80, '=') + "\r\n" + std::string(80, '-') + "\r\n" +
                                        std::string(80, '*') + "\r\n\r\nFortsetzung\r\nText\r\n" +
                                        "A | Lfdnr      |   42|A\r\n");
}

TEST_F(LogfileTest, TimeStampsAndAlignedContinuationLines) {
    SetClockForTests([] { return EncodeDateTime(2026, 12, 9, 19, 8, 7, 0); });
    TosLogfile log((root_ / "stamps.txt").string());
    log.SetTimeStampMode(3);
    log.Add("T");
    log.Add("Erste");
    log.Add("!U");
    log.SetTimeStampMode(1);
    log.Add("Datum");
    log.SetTimeStampMode(2);
    log.Add("Zeit");
    log.Add("=");
    // A single character is an empty line, without time stamp.
    EXPECT_EQ(Read(log.FileName()), "\r\n09.12.2026 19:08:07  Erste\r\n" + std::string(21, ' ') +
                                        "U\r\n09.12.2026  Datum\r\n19:08:07  Zeit\r\n" +
                                        std::string(80, '=') + "\r\n");
}

TEST_F(LogfileTest, WritesUtf8AndAppendsToAnExistingFile) {
    TosLogfile first((root_ / "shared.txt").string());
    first.Add("Verkn\xFCpfung");
    TosLogfile second((root_ / "shared.txt").string());
    int notified = 0;
    second.OnWriteLine = [&](TosCustomLogfile& sender) {
        EXPECT_EQ(&sender, &second);
        ++notified;
    };
    second.Add("zwei");
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(Read(first.FileName()), "Verknüpfung\r\nzwei\r\n");
}

TEST_F(LogfileTest, DeleteLogTellsWhetherAFileWasDeleted) {
    TosLogfile log((root_ / "del.txt").string());
    EXPECT_FALSE(log.DeleteLog());
    log.Add("a");
    EXPECT_TRUE(log.DeleteLog());
    EXPECT_FALSE(fs::exists(log.FileName()));
}

TEST_F(LogfileTest, UnwritableFileRaisesAndTheNextAddTriesAgain) {
    fs::create_directories(root_ / "blocked");
    TosLogfile log((root_ / "blocked" / "x.log").string());
    fs::create_directories(log.FileName()); // a folder in the file's place
    EXPECT_THROW(log.Add("a"), EFileError);
    fs::remove(log.FileName());
    log.Add("bb");
    EXPECT_EQ(Read(log.FileName()), "bb\r\n");
}

TEST_F(LogfileTest, DiagnosticLogOfRecordKeys) {
    EXPECT_EQ(DebugLogFileName(), home_ / (ProgramName() + ".log"));
    TosLogfile log(DebugLogFileName().string());
    AddKeyValue(log, "4711");
    AddKeyValue(log, "");
    EXPECT_EQ(Read(log.FileName()), "KeyValue: 4711\r\n");
}

TEST(FormatText, PlaceholdersAndErrors) {
    EXPECT_EQ(FormatText("%s   %11s   %-20s", {"MailGesendet.DB", "17", "LfdNrAntwort"}),
              "MailGesendet.DB            17   LfdNrAntwort        ");
    EXPECT_EQ(FormatText("%1:s-%0:s-%s %%", {"a", "b", "c"}), "b-a-b %");
    EXPECT_EQ(FormatText("%.3d|%x|%.2s|%d", {7, 255, "abc", -12}), "007|FF|ab|-12");
    EXPECT_EQ(FormatText("%3s", {"langer Text"}), "langer Text");
    EXPECT_THROW(FormatText("%s %s", {"a"}), EConvertError);
    EXPECT_THROW(FormatText("%d", {"a"}), EConvertError);
    EXPECT_THROW(FormatText("%s", {1}), EConvertError);
    EXPECT_THROW(FormatText("%q", {1}), EConvertError);
    EXPECT_THROW(FormatText("ende %", {}), EConvertError);
}

} // namespace
} // namespace zbpv

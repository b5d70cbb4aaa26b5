#include "app/ini_file.h"
#include "app/wizard_options.h"
#include "support/errors.h"

#include "fixture.h"

namespace zbpv {
namespace {

class WizardOptionsTest : public test::PrefixFixture {
protected:
    fs::path OptionsFile() const { return folders_.homeDir / "zbpv-wizard.ini"; }
};

TEST_F(WizardOptionsTest, LoadsAtMostFifteenAndStopsAtAGap) {
    std::string text = "[Main]\nUseCache=0\n[DataPath]\n";
    for (int i = 0; i < 20; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%.2X=/daten/%d\n", i, i);
        text += line;
    }
    text += "[FormPath]\n00=/f0\n01=/F0\n02=/f2\n03=/f3\n04=/f4\n06=/f6\n";
    text += "[DBServer]\n00=server1\n01=LOCALHOST\n";
    WriteFile(OptionsFile(), text);

    WizardOptionsFile options(folders_, "zbpv-wizard");
    WizardBoxes boxes;
    LoadedOptions loaded = options.LoadOptions(boxes, true);
    ASSERT_EQ(boxes[WizardBox::DataPath].items.size(), 15u);
    EXPECT_EQ(boxes[WizardBox::DataPath].items.back(), "/daten/14");
    EXPECT_EQ(boxes[WizardBox::FormPath].items, (std::vector<std::string>{"/f0", "/f2", "/f3", "/f4"}))
        << "duplicates ignoring case are skipped; the gap at 05 ends the list";
    EXPECT_EQ(boxes[WizardBox::DBServer].items, (std::vector<std::string>{"localhost", "server1"}));
    EXPECT_FALSE(loaded.useCache);
    EXPECT_TRUE(loaded.pvLogfileName.empty());
    EXPECT_FALSE(loaded.debugLog);
}

TEST_F(WizardOptionsTest, DebugSwitchesAndCacheDefault) {
    WriteFile(OptionsFile(), "[Main]\nDebugPvImport=1\nDebug=0x1\n");
    WizardOptionsFile options(folders_, "zbpv-wizard");
    WizardBoxes boxes;
    LoadedOptions loaded = options.LoadOptions(boxes, true);
    EXPECT_EQ(loaded.pvLogfileName, (folders_.homeDir / "PvImport.log").string());
    EXPECT_EQ(loaded.debugLog, folders_.homeDir / "zbpv-wizard.log");
    EXPECT_TRUE(loaded.useCache) << "no UseCache key: the check box keeps its state";
}

TEST_F(WizardOptionsTest, SaveMovesTheTextToTopAndRewritesTheSection) {
    std::string text = "[DataPath]\n";
    for (int i = 0; i < 15; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%.2X=/d%d\n", i, i);
        text += line;
    }
    text += "0F=/alt\n";
    WriteFile(OptionsFile(), text);
    WizardOptionsFile options(folders_, "zbpv-wizard");
    WizardBoxes boxes;
    options.LoadOptions(boxes, true);
    boxes[WizardBox::DataPath].text = "/D7";
    boxes[WizardBox::FormPath].text = "/neu";
    options.SaveOptions(boxes, false);

    TosIniFile ini(OptionsFile());
    EXPECT_EQ(ini.ReadSection("DataPath").size(), 15u);
    EXPECT_FALSE(ini.ValueExists("DataPath", "0F")) << "old entries beyond 15 disappear";
    EXPECT_EQ(ini.ReadString("DataPath", "00", ""), "/D7");
    EXPECT_EQ(ini.ReadString("DataPath", "01", ""), "/d0");
    EXPECT_EQ(ini.ReadString("DataPath", "08", ""), "/d8") << "the old /d7 entry is gone, not duplicated";
    EXPECT_EQ(ini.ReadString("FormPath", "00", ""), "/neu");
    EXPECT_EQ(ini.ReadString("DBServer", "00", ""), "localhost");
    EXPECT_FALSE(ini.ReadBool("Main", "UseCache", true));
}

TEST_F(WizardOptionsTest, WriteFailureMessage) {
    AppFolders broken = folders_;
    broken.homeDir = root_ / "gibt-es-nicht";
    WizardOptionsFile options(broken, "zbpv-wizard");
    WizardBoxes boxes;
    try {
        options.SaveOptions(boxes, true);
        FAIL() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Nach " + (broken.homeDir / "zbpv-wizard.ini").string() + " kann nicht geschrieben werden");
    }
}

} // namespace
} // namespace zbpv

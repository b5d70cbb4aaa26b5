#include "app/wizard_options.h"

#include "app/ini_file.h"
#include "support/ansi.h"

#include <cstdio>

namespace zbpv {

namespace {

std::string HistoryKey(int i) {
    char key[4];
    std::snprintf(key, sizeof key, "%.2X", i);
    return key;
}

} // namespace

WizardOptionsFile::WizardOptionsFile(const AppFolders& folders, std::string_view programName)
    : file_(folders.WritableFile(std::string(programName) + ".ini")), folders_(folders),
      program_(programName) {}

LoadedOptions WizardOptionsFile::LoadOptions(WizardBoxes& boxes, bool useCache) const {
    TosIniFile ini(file_);
    LoadedOptions result;
    if (ini.ReadBool("Main", "DebugPvImport", false)) {
        result.pvLogfileName = folders_.WritableFile("PvImport.log").string();
    }
    if (ini.ReadBool("Main", "Debug", false)) {
        result.debugLog = folders_.WritableFile(program_ + ".log");
    }
    result.useCache = ini.ReadBool("Main", "UseCache", useCache);
    result.dbUser = AnsiToUtf8(ini.ReadString("Main", "DBUser", ""));
    result.dbPassword = AnsiToUtf8(ini.ReadString("Main", "DBPassword", ""));
    boxes[WizardBox::DBServer].AddItem("localhost");
    for (WizardBox box : AllWizardBoxes) {
        std::string section = HistorySection(box);
        for (int i = 0; i < MaxHistory; ++i) {
            std::string key = HistoryKey(i);
            if (!ini.ValueExists(section, key)) {
                break;
            }
            if (std::string value = ini.ReadString(section, key, ""); !value.empty()) {
                boxes[box].AddItem(AnsiToUtf8(value));
            }
        }
    }
    return result;
}

void WizardOptionsFile::SaveOptions(WizardBoxes& boxes, bool useCache) const {
    TosIniFile ini(file_);
    ini.WriteBool("Main", "UseCache", useCache);
    for (WizardBox box : AllWizardBoxes) {
        HistoryCombo& combo = boxes[box];
        combo.MoveTextToTop();
        std::string section = HistorySection(box);
        ini.EraseSection(section);
        int count = std::min<int>(MaxHistory, static_cast<int>(combo.items.size()));
        for (int i = 0; i < count; ++i) {
            ini.WriteString(section, HistoryKey(i), Utf8ToAnsi(combo.items[i]));
        }
    }
}

} // namespace zbpv

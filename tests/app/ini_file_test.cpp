#include "app/ini_file.h"
#include "support/errors.h"

#include "fixture.h"

namespace zbpv {
namespace {

using test::PrefixFixture;

class IniFileTest : public PrefixFixture {};

TEST_F(IniFileTest, ReadsLikeTheProfileFunctions) {
    fs::path file = folders_.homeDir / "t.ini";
    WriteFile(file,
              "; Kommentar\r\n[Pfade]\r\n  PfadDaten =  C:\\ZB7\\Daten  \r\nQuoted=\"  mit Blanks \"\r\n"
              "Single='x'\r\nHalf=\"x\r\nKein Gleich\r\n\r\n[pfade]\r\nPfadDaten=zweite Sektion\r\n"
              "[Zahlen]\nHex=0x1F\nDollar=$10\nNeg=-7\nKaputt=12a\nNull=0\nLeer=\n");
    TosIniFile ini(file);
    EXPECT_EQ(ini.ReadString("PFADE", "pfaddaten", "-"), "C:\\ZB7\\Daten")
        << "first section of that name, trimmed";
    EXPECT_EQ(ini.ReadString("Pfade", "Quoted", "-"), "  mit Blanks ");
    EXPECT_EQ(ini.ReadString("Pfade", "Single", "-"), "x");
    EXPECT_EQ(ini.ReadString("Pfade", "Half", "-"), "\"x");
    EXPECT_EQ(ini.ReadString("Pfade", "Fehlt", "vorgabe"), "vorgabe");
    EXPECT_EQ(ini.ReadString("Fehlt", "PfadDaten", "vorgabe"), "vorgabe");
    EXPECT_TRUE(ini.ValueExists("pfade", "PFADDATEN"));
    EXPECT_FALSE(ini.ValueExists("Pfade", "Kommentar"));
    EXPECT_EQ(ini.ReadInteger("Zahlen", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Zahlen", "Dollar", 0), 16);
    EXPECT_EQ(ini.ReadInteger("Zahlen", "Neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("Zahlen", "Kaputt", 5), 5);
    EXPECT_TRUE(ini.ReadBool("Zahlen", "Hex", false));
    EXPECT_FALSE(ini.ReadBool("Zahlen", "Null", true));
    EXPECT_TRUE(ini.ReadBool("Zahlen", "Kaputt", true)) << "unreadable gives the default";
    EXPECT_FALSE(ini.ReadBool("Zahlen", "Leer", false));
    EXPECT_TRUE(ini.ReadBool("Zahlen", "Fehlt", true));
}

TEST_F(IniFileTest, ReadLimitAndWindows1252Bytes) {
    fs::path file = folders_.homeDir / "t.ini";
    WriteFile(file, "[S]\nLang=" + std::string(3000, 'a') + "\nUml=K\xF6ln\n");
    TosIniFile ini(file);
    EXPECT_EQ(ini.ReadString("S", "Lang", "").size(), 2047u);
    EXPECT_EQ(ini.ReadString("S", "Uml", ""), "K\xF6ln");
}

TEST_F(IniFileTest, NothingIsCached) {
    fs::path file = folders_.homeDir / "t.ini";
    WriteFile(file, "[S]\nA=1\n");
    TosIniFile ini(file);
    EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
    WriteFile(file, "[S]\nA=2\n");
    EXPECT_EQ(ini.ReadString("S", "A", ""), "2");
}

TEST_F(IniFileTest, WritesKeepLinesAndLineEndings) {
    fs::path lf = folders_.homeDir / "lf.ini";
    WriteFile(lf, "; oben\n[Main]\nDebug=0\n\n[Andere]\nX=1\n");
    TosIniFile ini(lf);
    ini.WriteString("main", "DEBUG", "1");
    ini.WriteBool("Main", "UseCache", false);
    ini.WriteString("Neu", "K", "v");
    EXPECT_EQ(ReadFile(lf), "; oben\n[Main]\nDebug=1\nUseCache=0\n\n[Andere]\nX=1\n\n[Neu]\nK=v\n");
    ini.EraseSection("ANDERE");
    EXPECT_EQ(ReadFile(lf), "; oben\n[Main]\nDebug=1\nUseCache=0\n\n[Neu]\nK=v\n");
    EXPECT_FALSE(ini.SectionExists("Andere"));

    fs::path fresh = folders_.homeDir / "neu.ini";
    TosIniFile created(fresh);
    created.WriteString("A", "B", "C");
    EXPECT_EQ(ReadFile(fresh), "[A]\r\nB=C\r\n") << "a new file gets CR LF";
    created.WriteString("A", "D", "E");
    EXPECT_EQ(ReadFile(fresh), "[A]\r\nB=C\r\nD=E\r\n");
}

TEST_F(IniFileTest, WriteFailureNamesTheFile) {
    fs::path file = root_ / "fehlt" / "x.ini";
    TosIniFile ini(file);
    try {
        ini.WriteString("Main", "UseCache", "1");
        FAIL() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Nach " + file.string() + " kann nicht geschrieben werden");
    }
}

} // namespace
} // namespace zbpv

#include "platform/wine_registry.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

// The shapes Wine itself writes: escaped key names, time stamps, comment lines, every value form,
// hex data continued over lines.
const char* const kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Velkaro\\Billora] 1700000000
#time=1da2b3c4d5e6f70
"Letzte Version"="8.0.2.15"

[Software\\Velkaro\\Billora\\8.0] 1700000000
"Pfad"="C:\\Programme\\VB8\\"
"DBServer"="Server01"
"Umlaut"="K\xf6ln \"Mitte\"\tTab"
@="Standard"
"Zahl"=dword:0000002a
"Leer"=""
"Erweitert"=str(2):"%ProgramFiles%\\VB8"
"ErwHex"=hex(2):25,00,41,00,25,00,5c,00,62,00,00,00
"Multi"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00
"Binaer"=hex:01,02,\
  03,ff
"Quad"=hex(b):01,00,00,00,00,00,00,01

[Software\\Velkaro\\Postiverso\\2.9] 1700000000
[Software\\Velkaro\\Postiverso\\3.0\\Sub] 1700000000
"X"="y"

[Software\\Wow6432Node\\Velkaro\\ZarvoBillora\\7.0] 1700000000
"Pfad"="C:\\ZB7"

[Software\\Velkaro\\ZarvoBillora\\7.0] 1700000000
"Pfad"="C:\\falsch"
)";

TEST(WineRegistry, ReadsEveryValueForm) {
    WineRegistry reg = WineRegistry::FromText(kSystemReg);
    auto key = reg.OpenKeyReadOnly("SOFTWARE\\velkaro\\billora\\8.0");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("pfad"), "C:\\Programme\\VB8\\");
    EXPECT_EQ(key->ReadString("Umlaut"), "K\xC3\xB6ln \"Mitte\"\tTab");
    EXPECT_EQ(key->ReadString(""), "Standard");
    EXPECT_EQ(key->ReadString("Leer"), "");
    EXPECT_EQ(key->ReadString("Erweitert"), "%ProgramFiles%\\VB8");
    EXPECT_EQ(key->ReadString("ErwHex"), "%A%\\b");
    EXPECT_EQ(key->ReadValue("ErwHex")->type, RegType::ExpandString);
    EXPECT_EQ(key->ReadValue("Zahl")->AsInteger(), 42u);
    EXPECT_EQ(key->ReadString("Zahl"), std::nullopt) << "a number is no string";
    EXPECT_EQ(key->ReadValue("Multi")->AsStrings(), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(key->ReadValue("Binaer")->data, (std::vector<std::uint8_t>{1, 2, 3, 0xff}));
    EXPECT_EQ(key->ReadValue("Quad")->AsInteger(), 0x0100000000000001ull);
    EXPECT_FALSE(key->ValueExists("Fehlt"));
    EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Velkaro\\Billora\\9.0"));
}

TEST(WineRegistry, SubkeysIncludeKeysKnownOnlyThroughTheirChildren) {
    WineRegistry reg = WineRegistry::FromText(kSystemReg);
    auto velkaro = reg.OpenKeyReadOnly("Software\\Wow6432Node\\..\\Velkaro");
    EXPECT_FALSE(velkaro) << "no path arithmetic in key names";
    velkaro = reg.OpenKeyReadOnly("\\Software\\Velkaro\\");
    ASSERT_TRUE(velkaro);
    EXPECT_EQ(velkaro->SubKeyNames(), (std::vector<std::string>{"ZarvoBillora"})) << "the 32-bit view wins";
    auto pv = reg.OpenKeyReadOnly("Software\\Velkaro\\Postiverso");
    ASSERT_TRUE(pv) << "a key written only as a parent still opens";
    EXPECT_EQ(pv->SubKeyNames(), (std::vector<std::string>{"2.9", "3.0"}));
    EXPECT_FALSE(pv->ValueExists("Letzte Version"));
}

TEST(WineRegistry, PrefersTheRedirected32BitKey) {
    WineRegistry reg = WineRegistry::FromText(kSystemReg);
    auto key = reg.OpenKeyReadOnly("Software\\Velkaro\\ZarvoBillora\\7.0");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("Pfad"), "C:\\ZB7");
    // Keys only in the native branch are still found.
    EXPECT_EQ(reg.OpenKeyReadOnly("Software\\Velkaro\\Billora")->ReadString("Letzte Version"), "8.0.2.15");
}

TEST(WineRegistry, MissingFileIsAnEmptyRegistry) {
    WineRegistry reg("/nonexistent/system.reg");
    EXPECT_FALSE(reg.OpenKeyReadOnly("Software"));
}

} // namespace
} // namespace zbpv

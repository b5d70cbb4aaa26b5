#include "app/installations.h"

#include "fixture.h"

namespace zbpv {
namespace {

// Both old programs installed; the registry keys in the 32-bit branch of a 64-bit prefix.
class InstallationsTest : public test::PrefixFixture {
protected:
    void SetUp() override {
        PrefixFixture::SetUp();
        WriteRegistry(
            "[Software\\\\Wow6432Node\\\\Velkaro\\\\ZarvoBillora\\\\7.0] 1\n\"Pfad\"=\" C:\\\\zb7 \"\n"
            "[Software\\\\Wow6432Node\\\\Velkaro\\\\Postiverso\\\\2.0] 1\n\"Pfad\"=\"C:\\\\PV2\\\\\"\n");
        WriteC("ZB7/ZARVOBIL.INI",
               "[Pfade]\r\nPfadDaten=C:\\ZB7\\DATEN\r\nPfadFormulare=C:\\ZB7\\Formulare\r\n");
        WriteC("PV2/Postiverso.ini",
               "[Path]\nData=C:\\PV2\\Daten\nForms=C:\\PV2\\Forms\n[QRZPath]\nData=C:\\PV2\\Mail\n");
        for (const char* d : {"ZB7/Daten", "ZB7/Formulare", "PV2/Daten", "PV2/Forms", "PV2/Mail"}) {
            MakeDirC(d);
        }
    }
};

TEST_F(InstallationsTest, InvoicingOnly) {
    InstallationPaths p = FindInstallationPaths(*platform_, 1);
    EXPECT_EQ(p.dataPath, HostC("ZB7/Daten"));
    EXPECT_EQ(p.formPath, HostC("ZB7/Formulare"));
    EXPECT_EQ(p.mailDataPath, "");
}

TEST_F(InstallationsTest, BothComeFromTheMailOffice) {
    for (int selection : {16, 17}) {
        InstallationPaths p = FindInstallationPaths(*platform_, selection);
        EXPECT_EQ(p.dataPath, HostC("PV2/Daten"));
        EXPECT_EQ(p.mailDataPath, HostC("PV2/Mail"));
        EXPECT_EQ(p.formPath, HostC("PV2/Forms"));
    }
}

TEST_F(InstallationsTest, MissingFolderOrIniLeavesTheFieldsEmpty) {
    fs::remove_all(prefix_ / "drive_c" / "PV2");
    InstallationPaths p = FindInstallationPaths(*platform_, 16);
    EXPECT_EQ(p.dataPath, "");
    fs::remove(prefix_ / "drive_c" / "ZB7" / "ZARVOBIL.INI");
    p = FindInstallationPaths(*platform_, 1);
    EXPECT_EQ(p.dataPath, "");
    EXPECT_EQ(p.formPath, "");
    EXPECT_EQ(FindInstallationPaths(*platform_, 0).dataPath, "");
}

} // namespace
} // namespace zbpv

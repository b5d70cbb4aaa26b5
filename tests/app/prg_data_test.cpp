#include "app/db_connect.h"
#include "app/ini_file.h"
#include "app/prg_data.h"

#include "fixture.h"

namespace zbpv {
namespace {

// Billora 8.0 installed in C:\VB8 with its database named in the registry.
class PrgDataTest : public test::PrefixFixture {
protected:
    void SetUp() override {
        PrefixFixture::SetUp();
        WriteRegistry("[Software\\\\Velkaro\\\\Billora\\\\8.0] 1\n\"Pfad\"=\"C:\\\\VB8\"\n"
                      "\"DBServer\"=\" regserver \"\n\"DBName\"=\"D:\\\\reg.fdb\"\n");
        MakeDirC("VB8");
    }
    TPrgData Load() {
        TPrgData prg(*platform_, folders_);
        prg.SelectProduct(TPrgData::ProductInvoicing, 8, 0);
        prg.LoadSettings();
        return prg;
    }
};

TEST_F(PrgDataTest, RegistryAlone) {
    TPrgData prg = Load();
    EXPECT_EQ(prg.InstallationFolder, "C:\\VB8\\");
    EXPECT_EQ(prg.DBServer, "regserver") << "trimmed";
    EXPECT_EQ(prg.DBName, "D:\\reg.fdb");
    EXPECT_TRUE(prg.ProductIniFile.empty());
}

TEST_F(PrgDataTest, OrderOfPrecedence) {
    // The product ini in the installation folder names the client and the server-data folder.
    WriteC("VB8/Billora.ini",
           "[BUERO1]\r\nMandant=MD-Firma2\r\nPfadzurServerDB=C:\\Server\r\nErsterStart=JA\r\n"
           "[ANDERER]\r\nMandant=Falsch\r\n");
    auto check = [&](const char* server, const char* name, const char* why) {
        TPrgData prg = Load();
        EXPECT_EQ(prg.DBServer, server) << why;
        EXPECT_EQ(prg.DBName, name) << why;
        EXPECT_EQ(prg.Client, "Firma2");
        EXPECT_EQ(prg.ServerDataFolder, "C:\\Server\\");
    };
    WriteC("Server/Data.ini", "[Net]\r\nDBServer=netserver\r\n");
    check("netserver", "D:\\reg.fdb", "server-data Net overrides only the keys it has");
    WriteC("Server/Data.ini",
           "[Net]\r\nDBServer=netserver\r\nDBName=net.fdb\r\n[MD-Firma2]\r\nDBName=client.fdb\r\n");
    check("netserver", "client.fdb", "the client section overrides Net");
    WriteFile(folders_.homeDir / "Data.ini", "[net]\r\nDBServer=own\r\n");
    check("own", "client.fdb", "the program folder's Net overrides the server-data folder");
    WriteFile(folders_.homeDir / "Data.ini",
              "[net]\r\nDBServer=own\r\n[md-firma2]\r\nDBServer=ownclient\r\n");
    check("ownclient", "client.fdb", "its client section comes last");

    TosIniFile ini(prefix_ / "drive_c" / "VB8" / "Billora.ini");
    EXPECT_EQ(ini.ReadString("BUERO1", "ErsterStart", ""), "Nein");
    EXPECT_EQ(ini.ReadString("ANDERER", "ErsterStart", "-"), "-");
}

TEST_F(PrgDataTest, ProductIniSearchOrder) {
    WriteC("VB8/Billora.ini", "[BUERO1]\nDBXLibraryName=install.dll\n");
    WriteC("users/Public/Documents/Velkaro-Data/Billora.ini", "[BUERO1]\nDBXLibraryName=data.dll\n");
    EXPECT_EQ(Load().DBXLibraryName, "install.dll");
    WriteFile(folders_.homeDir / "Billora.ini", "[buero1]\nDBXLibraryName=own.dll\nDBXGetDriverFunc=f\n");
    EXPECT_EQ(Load().DBXLibraryName, "own.dll");
    fs::remove(folders_.homeDir / "Billora.ini");
    fs::remove(prefix_ / "drive_c" / "VB8" / "Billora.ini");
    EXPECT_EQ(Load().DBXLibraryName, "data.dll");
}

TEST_F(PrgDataTest, SelectingTheSameProductAgainKeepsTheVersion) {
    TPrgData prg(*platform_, folders_);
    prg.SelectProduct(TPrgData::ProductInvoicing, 8, 0);
    prg.SelectProduct(TPrgData::ProductInvoicing, 9, 5);
    EXPECT_EQ(prg.Major(), 8);
    EXPECT_EQ(prg.RegistryKeyBase(), "Software\\Velkaro\\Billora\\");
    prg.SelectProduct(TPrgData::ProductMailOffice, 3, 0);
    EXPECT_EQ(prg.ProductIniName(), "Postiverso.ini");
}

TEST_F(PrgDataTest, TargetSettingsOfTheConnection) {
    WriteC("VB8/Billora.ini", "[BUERO1]\nDBXLibraryName=fehlt.dll\nDBXGetDriverFunc=getAnders\n");
    TPrgData prg(*platform_, folders_);
    TDBConnect db(*platform_, prg);
    db.ImportSelection = 1;
    db.LoadTargetSettings();
    EXPECT_EQ(db.DBServer, "regserver");
    EXPECT_EQ(db.DBXLibraryName, "dbexpint.dll");
    EXPECT_EQ(db.DBXGetDriverFunc, "getSQLDriverINTERBASE");
    EXPECT_EQ(db.DBUser, "Velkaro03");

    WriteC("VB8/treiber.dll", "x");
    WriteC("VB8/Billora.ini", "[BUERO1]\nDBXLibraryName=TREIBER.DLL\nDBXGetDriverFunc=getAnders\n");
    db.LoadTargetSettings();
    EXPECT_EQ(db.DBXLibraryName, HostC("VB8/treiber.dll")) << "found in the installation folder";
    EXPECT_EQ(db.DBXGetDriverFunc, "getAnders");
}

TEST_F(PrgDataTest, SetServerAndConnectionString) {
    TPrgData prg(*platform_, folders_);
    TDBConnect db(*platform_, prg);
    struct Case {
        const char* name;
        std::optional<std::string> address;
        const char* expected;
    } cases[] = {
        {"LocalHost", "192.168.1.5", "192.168.1.5"},
        {"", "192.168.1.5", "192.168.1.5"},
        {"fbserver", "192.168.1.5", "fbserver"},
        {"localhost", std::nullopt, "localhost"},
    };
    for (const Case& c : cases) {
        platform_->address = c.address;
        db.SetServer(c.name);
        EXPECT_EQ(db.DBServer, c.expected) << c.name;
    }
    db.SetServer("192.168.1.5");
    db.DBName = "/daten/vb8.fdb";
    EXPECT_EQ(db.ConnectionString(), "192.168.1.5:/daten/vb8.fdb");
    EXPECT_EQ(db.Target().Target(), "192.168.1.5:/daten/vb8.fdb");
    db.Embedded = true;
    EXPECT_EQ(db.Target().Target(), "/daten/vb8.fdb");
    EXPECT_TRUE(db.Target().server.empty());
}

} // namespace
} // namespace zbpv

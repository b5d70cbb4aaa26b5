#include "platform/file_lookup.h"
#include "platform/host.h"
#include "platform/wine_prefix.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zbpv {
namespace {

namespace fs = std::filesystem;

class WinePrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) / ("prefix_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "drive_c" / "ZB7" / "Daten");
        fs::create_directories(root_ / "dosdevices");
        fs::create_directories(root_ / "elsewhere" / "Archiv");
        fs::create_directory_symlink("../drive_c", root_ / "dosdevices" / "c:");
        fs::create_directory_symlink("../elsewhere", root_ / "dosdevices" / "d:");
        std::ofstream(root_ / "drive_c" / "ZB7" / "Daten" / "KUNDEN.DB") << "x";
        std::ofstream(root_ / "drive_c" / "ZB7" / "Daten" / "form.Lsv") << "x";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
};

TEST_F(WinePrefixTest, MapsDriveLettersAndIgnoresCase) {
    WinePrefix prefix(root_);
    fs::path c = fs::canonical(root_ / "drive_c");
    EXPECT_EQ(prefix.ToHostPath("C:\\zb7\\DATEN"), c / "ZB7" / "Daten");
    EXPECT_EQ(prefix.ToHostPath("c:/ZB7/daten/kunden.db"), c / "ZB7" / "Daten" / "KUNDEN.DB");
    EXPECT_EQ(prefix.ToHostPath("C:\\ZB7\\Neu\\Sub"), c / "ZB7" / "Neu" / "Sub") << "missing parts kept";
    EXPECT_EQ(prefix.ToHostPath("D:\\archiv"), fs::canonical(root_ / "elsewhere") / "Archiv");
    EXPECT_EQ(prefix.ToHostPath("C:\\..\\..\\ZB7"), c / "ZB7") << "no way above the drive";
    EXPECT_EQ(prefix.ToHostPath("E:\\x"), std::nullopt);
    EXPECT_EQ(prefix.ToHostPath("/home/user/daten"), std::nullopt);
}

TEST_F(WinePrefixTest, FileLookupIgnoresCase) {
    fs::path daten = root_ / "drive_c" / "ZB7" / "Daten";
    EXPECT_TRUE(FileExistsIgnoringCase(daten, "Kunden.DB"));
    EXPECT_FALSE(FileExistsIgnoringCase(daten, "MailEingang.DB"));
    EXPECT_FALSE(FileExistsIgnoringCase(root_ / "drive_c", "zb7")) << "a folder is no file";
    EXPECT_TRUE(FolderHasFileWithExtension(daten, "LSV"));
    EXPECT_FALSE(FolderHasFileWithExtension(daten, "LBL"));
    EXPECT_EQ(ResolveIgnoringCase(root_ / "DRIVE_C" / "zb7" / "neu"), root_ / "drive_c" / "ZB7" / "neu");
}

TEST(Host, ComputerNameAndGuid) {
    EXPECT_EQ(WindowsComputerName("buero-rechner-nummer-zwei.example.org"), "BUERO-RECHNER-N");
    EXPECT_EQ(WindowsComputerName("pc1"), "PC1");
    std::string guid = NewGuid();
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_EQ(guid.front(), '{');
    EXPECT_EQ(guid[9], '-');
    EXPECT_NE(guid, NewGuid());
    EXPECT_EQ(LookupIPv4Address("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(LookupIPv4Address(""), std::nullopt);
}

} // namespace
} // namespace zbpv

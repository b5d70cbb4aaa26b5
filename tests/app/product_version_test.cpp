#include "app/db_connect.h"
#include "app/prg_data.h"
#include "app/product_version.h"

#include "fixture.h"

namespace zbpv {
namespace {

TEST(ProductVersion, Parse) {
    struct Case {
        const char* text;
        ProductVersion expected;
    } cases[] = {
        {"8.0.2.15", {8, 0, 2, 15}}, {"  10.1 ", {10, 1, 0, 0}}, {"", {0, 0, 0, 0}},
        {"8", {8, 0, 0, 0}},         {"8.x.3", {8, 0, 3, 0}},    {"1.2.3.4.5", {1, 2, 3, 4}},
        {"70000.1", {0, 1, 0, 0}},   {"-1.2", {0, 2, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProductVersion::Parse(c.text), c.expected) << c.text;
    }
    EXPECT_LT(ProductVersion::Parse("8.0"), ProductVersion::Parse("10.1"));
    EXPECT_EQ(ProductVersion::Parse("8.0"), ProductVersion::Parse("8.0.0.0"));
}

class InstalledVersionTest : public test::PrefixFixture {};

TEST_F(InstalledVersionTest, LastVersionValueWins) {
    WriteRegistry("[Software\\\\Velkaro\\\\Billora] 1\n\"Letzte Version\"=\"8.0.2.15\"\n"
                  "[Software\\\\Velkaro\\\\Billora\\\\9.0] 1\n");
    EXPECT_EQ(ReadInstalledVersion(platform_->LocalMachine(), "Billora"), (ProductVersion{8, 0, 2, 15}));
}

TEST_F(InstalledVersionTest, HighestSubkeyByVersionNotByName) {
    WriteRegistry(
        "[Software\\\\Velkaro\\\\Postiverso\\\\10.1] 1\n[Software\\\\Velkaro\\\\Postiverso\\\\7.0] 1\n"
        "[Software\\\\Velkaro\\\\Postiverso\\\\8.0] 1\n");
    EXPECT_EQ(ReadInstalledVersion(platform_->LocalMachine(), "Postiverso"), (ProductVersion{10, 1, 0, 0}));
}

TEST_F(InstalledVersionTest, DefaultsWithoutKeys) {
    WriteRegistry("");
    TPrgData prg(*platform_, folders_);
    TDBConnect db(*platform_, prg);
    db.ReadInstalledVersions();
    EXPECT_EQ(db.InvoicingVersion, (ProductVersion{8, 0, 0, 0}));
    EXPECT_EQ(db.MailProductVersion, (ProductVersion{3, 0, 0, 0}));
}

} // namespace
} // namespace zbpv

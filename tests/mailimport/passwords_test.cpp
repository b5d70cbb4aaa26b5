#include "mailimport/passwords.h"

#include "support/errors.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

class PasswordTest : public ::testing::Test {
protected:
    void TearDown() override { SetTickCountForTests({}); }
};

TEST_F(PasswordTest, ShortPasswordIsPaddedByRepeatingIt) {
    // Length 3 + 'a', then the doubled text "bc", "ab", "ca", "bc", each plus 21853.
    EXPECT_EQ(EncodePassword("abc"), "4668847295470384678447295");
    EXPECT_EQ(DecodePassword("4668847295470384678447295"), "abc");
}

TEST_F(PasswordTest, EmptyPasswordCarriesTheTickCount) {
    SetTickCountForTests([] { return 12345678u; });
    // Length 0 + '1', "23", "45", "67", then '8' and a zero filler byte.
    EXPECT_EQ(EncodePassword(""), "3439734959354733598721909");
    EXPECT_EQ(DecodePassword("3439734959354733598721909"), "");

    SetTickCountForTests([] { return 7u; });
    const std::string other = EncodePassword("");
    EXPECT_NE(other, "3439734959354733598721909");
    EXPECT_EQ(other.size(), 25u);
    EXPECT_EQ(DecodePassword(other), "");
}

TEST_F(PasswordTest, GroupCountFollowsTheLength) {
    struct Case {
        size_t length;
        size_t groups;
    };
    for (Case c :
         {Case{1, 5}, Case{9, 5}, Case{10, 6}, Case{11, 6}, Case{12, 7}, Case{50, 26}, Case{255, 128}}) {
        std::string password;
        for (size_t i = 0; i < c.length; ++i) {
            password += static_cast<char>('A' + i % 26);
        }
        std::string encoded = EncodePassword(password);
        EXPECT_EQ(encoded.size(), c.groups * 5) << c.length;
        EXPECT_EQ(DecodePassword(encoded), password) << c.length;
    }
}

TEST_F(PasswordTest, RoundTripsEveryByte) {
    std::string password;
    for (int b = 1; b < 256; ++b) {
        password += static_cast<char>(b);
    }
    EXPECT_EQ(DecodePassword(EncodePassword(password)), password);
    const std::string withUmlauts = "K\xE4se\xDF\x80";
    EXPECT_EQ(DecodePassword(EncodePassword(withUmlauts)), withUmlauts);
}

TEST_F(PasswordTest, MinimumLengthFillsWithZerosAndStillDecodes) {
    std::string encoded = EncodePassword("abc", 33);
    EXPECT_EQ(encoded, "4668847295470384678447295" + std::string(8, '0'));
    EXPECT_EQ(DecodePassword(encoded), "abc");
}

TEST_F(PasswordTest, TextThatIsNoEncodingStaysUnchanged) {
    for (const char* text : {"geheim", "12a45", "", "1234", "99999", "2210821853"}) {
        EXPECT_EQ(DecodePassword(text), text);
    }
}

TEST_F(PasswordTest, OverlongPasswordIsRefused) {
    EXPECT_THROW(EncodePassword(std::string(256, 'x')), EConvertError);
}

} // namespace
} // namespace zbpv

#include "mailimport/mail_codes.h"

#include "support/ansi.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

TEST(MailCodes, PriorityAndConfidentialityCompareTheWholeValueIgnoringCase) {
    struct Case {
        const char* value;
        const char* priority;
        const char* confidentiality;
    };
    const Case cases[] = {
        {"A", "1", "0"}, {"a", "1", "0"},  {"B", "2", "1"},  {"b", "2", "1"},
        {"C", "3", "2"}, {"c", "3", "2"},  {"D", "2", "3"},  {"d", "2", "3"},
        {"", "2", "0"},  {"AA", "2", "0"}, {" A", "2", "0"}, {"Z", "2", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PriorityCode(c.value), c.priority) << c.value;
        EXPECT_EQ(ConfidentialityCode(c.value), c.confidentiality) << c.value;
    }
}

TEST(MailCodes, FollowUpTextByFirstCharacter) {
    const char* texts[] = {"Zur Nachverfolgung",
                           "Zur Kenntnisnahme",
                           "Bitte um Anruf",
                           "Bitte um Antwort",
                           "Anwort nicht erforderlich",
                           "Bitte um Weiterleitung",
                           "Nicht weiterleiten",
                           "Zur Durchsicht",
                           "Zur Überprüfung"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(AnsiToUtf8(FollowUpText(std::string(1, static_cast<char>('1' + i)))), texts[i]);
    }
    EXPECT_EQ(FollowUpText("9x"), "Zur \xDC"
                                  "berpr\xFC"
                                  "fung");
    for (const char* other : {"", "0", "A", " 1"}) {
        EXPECT_EQ(FollowUpText(other), "") << other;
    }
}

TEST(MailCodes, HeaderBlockWithMessageId) {
    std::optional<std::string> headers = ConvertHeaders("Message-Id=<4711.abc@mail.example.de>\r\n");
    ASSERT_TRUE(headers);
    EXPECT_EQ(*headers, "Message-Id: <4711.abc@mail.example.de>");
    EXPECT_EQ(MessageIdFromHeaders(*headers), "4711.abc@mail.example.de");
}

TEST(MailCodes, HeaderLinesReplaceOnlyTheFirstEqualsSign) {
    const std::string stored = "  From=Hans <h@example.de>\r\n"
                               "Content-Type=multipart/mixed;\r\n"
                               "\tboundary=\"=_next=\"\n"
                               "X-Flag\r"
                               "MESSAGE-ID = <id=1@x>\r\n\r\n";
    std::optional<std::string> headers = ConvertHeaders(stored);
    ASSERT_TRUE(headers);
    EXPECT_EQ(*headers, "From: Hans <h@example.de>\r\n"
                        "Content-Type: multipart/mixed;\r\n"
                        "\tboundary=\"=_next=\"\r\n"
                        "X-Flag\r\n"
                        "MESSAGE-ID :  <id=1@x>");
    EXPECT_EQ(HeaderValue(*headers, "content-type"), "multipart/mixed;\tboundary=\"=_next=\"");
    EXPECT_EQ(MessageIdFromHeaders(*headers), "id=1@x");
    EXPECT_EQ(HeaderValue(*headers, "X-Flag"), std::nullopt);
}

TEST(MailCodes, EmptyHeaderBlocksAndIdsGiveNoValue) {
    EXPECT_EQ(ConvertHeaders(""), std::nullopt);
    EXPECT_EQ(ConvertHeaders(" \r\n "), std::nullopt);
    EXPECT_EQ(MessageIdFromHeaders("Subject: x"), std::nullopt);
    EXPECT_EQ(MessageIdFromHeaders("Message-Id: <>"), std::nullopt);
    EXPECT_EQ(MessageIdFromHeaders(""), std::nullopt);
}

} // namespace
} // namespace zbpv

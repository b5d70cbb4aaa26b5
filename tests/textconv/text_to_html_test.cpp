#include "textconv/text_to_html.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

const std::string kHead = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN//\">\r\n"
                          "<HTML>\r\n"
                          "<HEAD>\r\n"
                          "<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; CHARSET=iso-8859-1\">\r\n"
                          "<META NAME=\"GENERATOR\" Content=\"Velkaro Postiverso 3.0\">\r\n"
                          "<STYLE TYPE=\"text/css\">\r\n"
                          "<!--\r\n"
                          "p.Normal, div.Normal\r\n"
                          "{\r\n"
                          "  font-family: \"Arial\";\r\n"
                          "  font-size:   10pt;\r\n"
                          "  margin:      0cm;\r\n"
                          "}\r\n"
                          "//-->\r\n"
                          "</STYLE>\r\n"
                          "</HEAD>";

std::string Convert(std::string_view text) {
    std::string html;
    EXPECT_EQ(TextToHtml(text, "Velkaro Postiverso 3.0", 10, "Arial", "iso-8859-1", html), 0);
    return html;
}

// The body between "<BODY>\r\n" and "\r\n</BODY>".
std::string Body(std::string_view text) {
    std::string html = Convert(text);
    const std::string open = "<BODY>\r\n";
    size_t from = html.find(open);
    size_t to = html.rfind("\r\n</BODY>");
    EXPECT_NE(from, std::string::npos);
    EXPECT_NE(to, std::string::npos);
    return html.substr(from + open.size(), to - from - open.size());
}

TEST(TextToHtml, ThreeLineTextBlockBecomesAWholePage) {
    const std::string text = "Guten Tag\r\n\r\nPreis: 5 \x80";
    const std::string expected = kHead + "\r\n<BODY>\r\n"
                                         "<p class=Normal>Guten Tag</p>\r\n"
                                         "<p class=Normal>&nbsp;</p>\r\n"
                                         "<p class=Normal>Preis&#X3a; 5 &#X80;</p>\r\n"
                                         "\r\n</BODY>\r\n</HTML>";
    EXPECT_EQ(Convert(text), expected);
}

TEST(TextToHtml, HeadHasSixteenLinesAndNoBreakAfterTheLast) {
    std::string head = DefaultHeadHtml("Velkaro Postiverso 3.0", "iso-8859-1", "Arial", 10);
    EXPECT_EQ(head, kHead);
    // Placeholder-like text in a value is written as it stands.
    EXPECT_NE(DefaultHeadHtml("%1:s", "X", "F", 7).find("Content=\"%1:s\""), std::string::npos);
}

TEST(TextToHtml, EscapesEverythingOutsideTheKeptCharacters) {
    struct Case {
        std::string text;
        std::string body;
    };
    const Case cases[] = {
        {"AZaz09@ x", "<p class=Normal>AZaz09@ x</p>\r\n"},
        {"[_`{~<>&\"", "<p class=Normal>&#X5b;&#X5f;&#X60;&#X7b;&#X7e;&#X3c;&#X3e;&#X26;&#X22;</p>\r\n"},
        {"\xE4\xFF\x01", "<p class=Normal>&#Xe4;&#Xff;&#X01;</p>\r\n"},
        {"a\tb", "<p class=Normal>a&nbsp;&nbsp;&nbsp; b</p>\r\n"},
        {"a  b", "<p class=Normal>a&#XA0; b</p>\r\n"},
        {"a   b", "<p class=Normal>a&#XA0;&#XA0; b</p>\r\n"},
        {"a    b", "<p class=Normal>a&#XA0; &#XA0; b</p>\r\n"},
        {"\t b", "<p class=Normal>&nbsp;&nbsp;&nbsp;&#XA0; b</p>\r\n"},
        {" ", "<p class=Normal>&nbsp;</p>\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(c.text), c.body) << c.text;
    }
}

TEST(TextToHtml, SplitsLinesAtEveryKindOfLineBreak) {
    EXPECT_EQ(Body("a\nb\rc\r\nd\r\n"), "<p class=Normal>a</p>\r\n<p class=Normal>b</p>\r\n"
                                        "<p class=Normal>c</p>\r\n<p class=Normal>d</p>\r\n");
    EXPECT_EQ(Body(""), "");
}

} // namespace
} // namespace zbpv

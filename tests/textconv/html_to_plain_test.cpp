#include "textconv/html_to_plain.h"

#include "support/ansi.h"
#include "support/errors.h"
#include "textconv/text_to_html.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

// Cases are written in UTF-8; the conversion reads and writes Windows-1252.
std::string Plain(std::string_view utf8Html) {
    return AnsiToUtf8(HtmlToPlainText(Utf8ToAnsi(utf8Html)));
}

struct Case {
    const char* html;
    const char* text;
};

void Check(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Plain(c.html), c.text) << c.html;
    }
}

TEST(HtmlToPlainText, BlocksAndBreaksEndLines) {
    Check({
        {"<p>Hallo</p><p>Welt</p>", "Hallo\r\nWelt"},
        {"<div>eins<div>zwei</div>drei</div>", "eins\r\nzwei\r\ndrei"},
        {"a<br>b<br><br>c", "a\r\nb\r\n\r\nc"},
        {"<p>a<br></p><p>b</p>", "a\r\nb"},
        {"<h1>Titel</h1>Text<hr>Ende", "Titel\r\nText\r\nEnde"},
        {"<p>&nbsp;</p><p>Hallo</p><p>&nbsp;</p><p>Gru&szlig;</p><p></p>", "Hallo\r\n\r\nGruß"},
    });
}

TEST(HtmlToPlainText, WhiteSpaceCollapsesOutsidePreformattedText) {
    Check({
        {"  Viel \n\n  <b>Platz</b>  hier ", "Viel Platz hier"},
        {"a&nbsp;&nbsp; b", "a   b"},
        {"<pre>a\n  b\tc</pre>", "a\r\n  b\tc"},
        {"<p>x </p>", "x"},
    });
}

TEST(HtmlToPlainText, EntitiesAreDecodedIntoWindows1252) {
    Check({
        {"&auml;&ouml;&uuml; &amp; &lt;x&gt; &euro; &#8364; &#x201E;Zitat&#8220; &#150;",
         "äöü & <x> € € „Zitat“ –"},
        {"Smiley &#x1F600; und Pfeil &rarr;", "Smiley ? und Pfeil ?"},
        {"un&shy;sicht&#8203;bar&#xFEFF;", "unsichtbar"},
    });
}

TEST(HtmlToPlainText, ScriptsStylesAndHeadAreDropped) {
    Check({
        {"<html><head><title>T</title><style>p { color: red }</style></head>"
         "<body><script>alert('x')</script><p>Text</p><!-- Kommentar --></body></html>",
         "Text"},
        {"<p>A</p><noscript>kein JS</noscript><iframe src=x>alt</iframe>sichtbar", "A\r\nsichtbar"},
    });
}

TEST(HtmlToPlainText, LinksKeepTheirTextAndImagesTheirAlternative) {
    Check({
        {"Siehe <a href=\"http://www.example.de/\">unsere Seite</a>.", "Siehe unsere Seite."},
        {"<img src=\"logo.png\" alt=\"Logo\"> <img src=\"x.gif\">Firma", "Logo Firma"},
    });
}

TEST(HtmlToPlainText, ListsQuotesAndTables) {
    Check({
        {"<ul><li>a</li><li>b<ul><li>c</li></ul></li></ul><ol start=3><li>x<li>y</ol>",
         "- a\r\n- b\r\n  - c\r\n3. x\r\n4. y"},
        {"<p>Antwort</p><blockquote type=cite><p>Zitat</p>zwei<br><br>drei</blockquote>Ende",
         "Antwort\r\n> Zitat\r\n> zwei\r\n>\r\n> drei\r\nEnde"},
        {"<table><tr><th>Art</th><th>Menge</th></tr><tr><td>Stift</td><td>2</td></tr></table>",
         "Art\tMenge\r\nStift\t2"},
    });
}

TEST(HtmlToPlainText, GivesBackTheTextOfATextBlockPage) {
    const std::string text = Utf8ToAnsi("Sehr geehrte Damen und Herren,\r\n\r\nPreis: 5 €  (netto)\r\nGrüße");
    std::string html;
    ASSERT_EQ(TextToHtml(text, "Velkaro Postiverso 3.0", 10, "Arial", "iso-8859-1", html), 0);
    EXPECT_EQ(HtmlToPlainText(html), text);
}

TEST(HtmlToPlainText, ReadsUtf8BytesOfADocumentThatDeclaresThem) {
    const std::string utf8 = "<meta charset=\"utf-8\"><p>Grüße</p>";
    EXPECT_EQ(HtmlToPlainText(utf8), "Gr\xFC\xDF"
                                     "e");
    // Without the declaration the same bytes are Windows-1252 text.
    EXPECT_EQ(HtmlToPlainText("<p>Gr\xC3\xBC</p>"), "Gr\xC3\xBC");
}

TEST(HtmlToPlainText, MalformedInputNeverFails) {
    EXPECT_EQ(Plain(""), "");
    EXPECT_EQ(Plain("kein HTML"), "kein HTML");
    EXPECT_EQ(Plain("<p><b>fett<p>x</i></div></td>&bogus; <"), "fett\r\nx&bogus; <");
    std::string deep;
    for (int i = 0; i < 1000; ++i) {
        deep += "<div><ul><li>";
    }
    deep += "tief";
    std::string out = HtmlToPlainText(deep);
    EXPECT_NE(out.find("tief"), std::string::npos);
    EXPECT_LT(out.size(), deep.size());
}

TEST(HtmlToPlainText, RefusesPathologicalNestingInsteadOfStalling) {
    std::string fonts;
    for (int i = 0; i < 50000; ++i) {
        fonts += "<font>";
    }
    EXPECT_THROW(HtmlToPlainText(fonts + "x"), EConvertError);
    // Elements that close themselves, closed ones and script text do not count.
    std::string flat;
    for (int i = 0; i < 10000; ++i) {
        flat += "<p><td><br><span>a</span>";
    }
    flat += "<script>for (i = 0; i < n; i++) { a<b; }</script><!-- <div><div> -->";
    EXPECT_NO_THROW(HtmlToPlainText(flat));
    std::string quotes;
    for (int i = 0; i < 30; ++i) {
        quotes += "<blockquote>";
    }
    EXPECT_EQ(HtmlToPlainText(quotes + "tief"), [] {
        std::string prefix;
        for (int i = 0; i < 16; ++i) {
            prefix += "> ";
        }
        return prefix + "tief";
    }());
}

} // namespace
} // namespace zbpv

#include "support/errors.h"
#include "textconv/rtf_converter.h"
#include "textconv/rtf_to_html.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zbpv {
namespace {

const char* const kFrameHead =
    "<HTML>\r\n<HEAD>\r\n</HEAD>\r\n"
    "<BODY TEXT=\"#000000\" BGCOLOR=\"#FFFFFF\" LINK=\"#3333FF\" VLINK=\"#999999\" "
    "ALINK=\"#FF0000\">\r\n";
const char* const kFrameTail = "</BODY>\r\n</HTML>\r\n";

// The lines between the frame's head and tail, joined by '|'; the frame itself is checked on the way.
std::string Body(const std::string& html) {
    const std::string head = kFrameHead, tail = kFrameTail;
    EXPECT_EQ(html.substr(0, head.size()), head);
    EXPECT_GE(html.size(), head.size() + tail.size());
    EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
    std::string body = html.substr(head.size(), html.size() - head.size() - tail.size());
    std::string joined;
    size_t from = 0;
    while (from < body.size()) {
        size_t end = body.find("\r\n", from);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos)
            end = body.size();
        if (!joined.empty() || from > 0)
            joined += '|';
        joined.append(body, from, end - from);
        from = end + 2;
    }
    return joined;
}

std::string Convert(const std::string& rtf, const RtfOptions& options = {}) {
    return Body(RtfTextToHtml(rtf, options));
}

struct Case {
    const char* name;
    const char* rtf;
    const char* body; // output lines joined by '|'; the last one is the buffer's rest
};

class RtfCases : public ::testing::TestWithParam<Case> {};

TEST_P(RtfCases, ConvertsToTheExpectedLines) {
    EXPECT_EQ(Convert(GetParam().rtf), GetParam().body) << GetParam().rtf;
}

const Case kCases[] = {
    {"FontAndSize", R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0\fs20 Hallo\par})",
     R"(<FONT FACE="Arial"><FONT SIZE=-1>Hallo</FONT></FONT><BR>|)"},
    {"BlankEndsControlWord", R"({\rtf1 \b fett\b0 normal\par})", "<B>fett</B>normal<BR>|"},
    {"HtmlCharactersEscaped", R"({\rtf1 a<b & c>d\par})", "a&lt;b &amp; c&gt;d<BR>|"},
    {"HexEscapes", R"({\rtf1 \'e4{\caps \'e4x}\'E4\'fc\'df\'b7\par})",
     "&auml;&Auml;X\xE4&uuml;&szlig;&middot;<BR>|"},
    {"SpecialWords", R"({\rtf1 a\tab b\emdash c\endash d\line e\page f\par})",
     "a&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;b--c-d<BR>|e<BR>|<HR><BR>|f<BR>|"},
    {"Quotes", R"({\rtf1 \lquote a\rquote  \ldblquote b\rdblquote\~c\_d\-e\par})",
     "'a' \"b\"&nbsp;c-de<BR>|"},
    {"GroupClosesItsTags", R"({\rtf1 {\b x}y\par})", "<B>x</B>y<BR>|"},
    {"Centered", R"({\rtf1 \pard\qc Mitte\par})", "<CENTER>Mitte</CENTER><BR>|"},
    {"RightAligned", R"({\rtf1 \pard\qr Rechts\par})", "<DIV ALIGN=right>Rechts</DIV><BR>|"},
    {"BothAlignmentsStayAPair", R"({\rtf1 \pard\qc\qr x\par})", "<CENTER>x</CENTER><BR>|"},
    {"IndentOpensLists", R"({\rtf1 \pard\li720 a\par\pard normal\par})",
     "<UL><UL><UL>a<BR>|</UL></UL></UL>normal<BR>|"},
    {"SameIndentMerges", R"({\rtf1 \pard\li720 a\par\pard\li720 b\par\pard c\par})",
     "<UL><UL><UL>a<BR>|b<BR>|</UL></UL></UL>c<BR>|"},
    {"FirstIndentCounts", R"({\rtf1 \pard\fi-360\li720 a\par\pard b\par})", "<UL><UL>a<BR>|</UL></UL>b<BR>|"},
    {"Bullets",
     R"({\rtf1 \pard{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'B7}}\fi-720\li720 eins\par zwei\par\pard x\par})",
     "<UL><LI type=disc>eins</LI><LI type=disc>zwei</LI></UL>x<BR>|"},
    {"Numbered", R"({\rtf1 \pard{\*\pn\pnlvlbody\pndec\pnstart3{\pntxta .}}a\par b\par c\par\pard x\par})",
     "3.a<BR>|4.b<BR>|5.c<BR>|x<BR>|"},
    // Rich-edit controls write the start before the style; the paragraphs are numbered all the same.
    {"NumberedRichEditOrder",
     R"({\rtf1 \pard{\*\pn\pnlvlbody\pnf0\pnindent0\pnstart3\pndec{\pntxta.}}a\par b\par\pard x\par})",
     "3.a<BR>|4.b<BR>|x<BR>|"},
    {"NumberLabelBeforeEscapedLetter",
     R"({\rtf1 \pard{\*\pn\pnlvlbody\pndec\pnstart1{\pntxtb (}{\pntxta )}}a\par\'c4\par\pard x\par})",
     "(1)a<BR>|(2)&Auml;<BR>|x<BR>|"},
    {"Picture", R"({\rtf1 vor{\pict\wmetafile8\picw10 0102ab{\*\blipuid 00}cdef}nach\par})",
     "vor<P>|[*** picture ***]<P>|nach<BR>|"},
    {"Url", R"({\rtf1 Siehe http://www.example.de/a?b=1, dort\par})",
     R"(Siehe <A HREF="http://www.example.de/a?b=1">http://www.example.de/a?b=1</A>, dort<BR>|)"},
    {"UrlNotLinked", R"({\rtf1 https://x.de HTTP://y.de\par})", "https://x.de HTTP://y.de<BR>|"},
    {"UrlEndsAtQuote", R"({\rtf1 "http://x.de"\par})", R"("<A HREF="http://x.de">http://x.de</A>"<BR>|)"},
    {"Table",
     "{\\rtf1 vor\\par\r\n\\trowd\\cellx1000\\cellx2000\\pard\\intbl A1\\cell A2\\cell\\row\r\n"
     "\\trowd\\cellx1000\\cellx2000\\pard\\intbl B1\\cell B2\\cell\\row\r\n\\pard danach\\par\r\n\\pard "
     "weiter\\par}",
     "vor<BR>|<BR>|<TABLE "
     "BORDER=2><TR><TD>A1</TD><TD>A2</TD></TR><TR><TD>B1</TD><TD>B2</TD></TR></TABLE><BR>|"
     "danach<BR>|weiter<BR>|"},
    {"TableCellFormat", R"({\rtf1 \trowd\pard\intbl{\b A}\cell \i B\cell\row\pard\pard x\par})",
     "<BR>|<TABLE BORDER=2><TR><TD><B>A</B></TD><TD><I>B</I></TD></TR></TABLE><BR>|x<BR>|"},
    // A paragraph mark inside a cell closes the tags; the cell's further text opens them again.
    {"TableParagraphInCell", R"({\rtf1 \trowd\pard\intbl{\b a\par b}\cell\row\pard\pard x\par})",
     "<BR>|<TABLE BORDER=2><TR><TD><B>a</B><BR>|<B>b</B></TD></TR></TABLE><BR>|x<BR>|"},
    {"HiddenText", R"({\rtf1 {\b a{\v verborgen}b}\par})", "<B>a</B><B></B><B>b</B><BR>|"},
    {"TocAndHeading",
     "{\\rtf1{\\stylesheet{\\ql Normal;}{\\s1\\ql\\b\\sbasedon0\\snext0 heading 1;}{\\s2\\ql\\sbasedon0 toc "
     "1;}}\r\n"
     "\\pard\\s2 Anfang\\tab 1\\par\r\n\\pard\\s1 Anfang\\par\r\n\\pard\\plain Text\\par}",
     R"(<A HREF="#1-1">Anfang</A>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;1<BR>|)"
     R"(<B><A NAME="1-1">A</A>nfang</B><BR>|Text<BR>|)"},
    {"ColorTable",
     R"({\rtf1{\colortbl ;\red255\green0\blue0;\red0\green128\blue255;}\cf1 rot\cf2 blau\cf9 z\par})",
     R"(<FONT COLOR="#FF0000">rot</FONT><FONT COLOR="#0080FF">blau</FONT><FONT COLOR="#000000">z</FONT><BR>|)"},
    // Valid RTF without a colour table: no colour, no error.
    {"ColorWithoutTable", R"({\rtf1 \cf1 rot\par})", "rot<BR>|"},
    // Real files give the style its own number in its words; it is applied once.
    {"StyleNamesItself", R"({\rtf1{\stylesheet{\s0\b Normal;}}\s0 text\par})", "<B>text</B><BR>|"},
    {"StylesNameEachOther", R"({\rtf1{\stylesheet{\s1\b\s2 A;}{\s2\i\s1 B;}}\s1 x\par})",
     "<B><I>x</I></B><BR>|"},
    {"StyleBasedOn", R"({\rtf1{\stylesheet{\s1\b\sbasedon0 A;}{\s2\i\sbasedon1 B;}}\pard\s2 x\par})",
     "<B><I>x</I></B><BR>|"},
    {"LineEndsAreNoCharacters", "{\\rtf1 ab\r\ncd\\b\r\nfett\\par\r\n}", "abcd<B>fett</B><BR>|"},
    {"BookmarkBreaksOnce", R"({\rtf1 a{\*\bkmkstart m}{\*\bkmkend m}b\par})", "a<P>|b<BR>|"},
    {"DestinationsDropped", R"({\rtf1 {\header Kopf}{\*\generator X;}{\info{\title T}}Text\par})",
     "Text<BR>|"},
    {"Superscript", R"({\rtf1 a{\super 2}{\sub x}{\strike s}{\ul u}\par})",
     "a<SUP>2</SUP><SUB>x</SUB><S>s</S><U>u</U><BR>|"},
    {"PlainClosesTags", R"({\rtf1 \b\i a\plain b\par})", "<B><I>a</I></B>b<BR>|"},
    // A mail body as rich-edit controls save it.
    {"RichEditMail",
     "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
     "{\\f1\\fnil\\fcharset2 Symbol;}}\r\n{\\colortbl ;\\red0\\green0\\blue255;}\r\n"
     "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\f0\\fs20 Hallo Herr M\\'fcller,\\par\r\n"
     "\\par\r\nanbei {\\b die Unterlagen} f\\'fcr \\cf1 Sie\\cf0 .\\par\r\n}\r\n",
     R"(<FONT FACE="Arial"><FONT SIZE=-1>Hallo Herr M&uuml;ller,</FONT></FONT><BR>|<BR>|)"
     R"(<FONT FACE="Arial"><FONT SIZE=-1>anbei </FONT></FONT><B><FONT FACE="Arial"><FONT SIZE=-1>die Unterlagen</FONT></FONT></B>|)"
     R"(<FONT FACE="Arial"><FONT SIZE=-1> f&uuml;r </FONT></FONT><FONT COLOR="#0000FF"><FONT FACE="Arial"><FONT SIZE=-1>Sie)"
     R"(</FONT></FONT></FONT><FONT COLOR="#000000"><FONT FACE="Arial"><FONT SIZE=-1>.</FONT></FONT></FONT><BR>|)"},
    // Malformed input: whatever was understood, inside the frame.
    {"NotRtf", "Hallo Welt", "Hallo Welt"},
    {"Empty", "", ""},
    {"TruncatedInGroup", R"({\rtf1 {\b fett)", "<B>fett</B>"},
    {"ExtraClosingBrace", R"({\rtf1 a}}b)", "a"},
    {"ControlWordAtEnd", R"({\rtf1 a\par)", "a<BR>|"},
    {"BackslashAtEnd", R"({\rtf1 a\)", "a"},
    {"HexCutOff", R"({\rtf1 a\'e)", "a"},
    {"TruncatedTable", R"({\rtf1 \trowd\pard\intbl A\cell B)", "<BR>|<TABLE BORDER=2><TR><TD>A</TD>"},
    {"TruncatedFontTable", R"({\rtf1{\fonttbl{\f0\fswiss Ari)", ""},
};

INSTANTIATE_TEST_SUITE_P(Rtf, RtfCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfTextToHtml, FrameOfTheFirstExampleExactly) {
    EXPECT_EQ(RtfTextToHtml(R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0\fs20 Hallo\par})"),
              std::string(kFrameHead) + "<FONT FACE=\"Arial\"><FONT SIZE=-1>Hallo</FONT></FONT><BR>\r\n\r\n" +
                  kFrameTail);
}

TEST(RtfTextToHtml, SizeSteps) {
    const std::pair<int, const char*> steps[] = {{0, "-2"},  {8, "-2"},  {9, "-1"},  {11, "-1"}, {12, "+0"},
                                                 {13, "+1"}, {15, "+1"}, {16, "+2"}, {20, "+2"}, {21, "+3"},
                                                 {28, "+3"}, {29, "+4"}, {72, "+4"}};
    for (auto [points, step] : steps)
        EXPECT_EQ(RtfSizeTag(points), std::string("<FONT SIZE=") + step + ">") << points;
}

TEST(RtfTextToHtml, Options) {
    const std::string rtf = R"({\rtf1{\fonttbl{\f0 Arial;}}{\f0 a}{\f0 b}{\b}{\fs24 c}\par})";
    EXPECT_EQ(Convert(rtf),
              R"(<FONT FACE="Arial">a</FONT><FONT FACE="Arial">b</FONT><FONT SIZE=+0>c</FONT><BR>|)");
    EXPECT_EQ(Convert(rtf, {"optimize"}), R"(<FONT FACE="Arial">ab</FONT><FONT SIZE=+0>c</FONT><BR>|)");
    EXPECT_EQ(Convert(rtf, {"optimize", "onlyDefiniteOpt"}), Convert(rtf));
    EXPECT_EQ(Convert(rtf, {"noFonts"}), "ab<FONT SIZE=+0>c</FONT><BR>|");
    // Options are matched exactly; the mail import passes one empty option.
    EXPECT_EQ(Convert(rtf, {"Optimize", ""}), Convert(rtf));
}

TEST(RtfTextToHtml, OptimizeRemovesEmptyPairs) {
    const std::string rtf =
        R"({\rtf1{\colortbl;\red255\green0\blue0;}\pard\qc{\v x}\par\pard{\b{\i\v y}}{\cf1\v q}z\par})";
    EXPECT_EQ(Convert(rtf), R"(<CENTER></CENTER><BR>|<B><I></I></B><FONT COLOR="#FF0000"></FONT>z<BR>|)");
    EXPECT_EQ(Convert(rtf, {"optimize"}), "<BR>|z<BR>|");
}

TEST(RtfTextToHtml, LongTextIsCutAfterATag) {
    // Above 100 characters a buffer ending with a tag is written, but not after a list tag or "</A>".
    std::string text(120, 'x');
    EXPECT_EQ(Convert("{\\rtf1 " + text + "{\\b y}z\\par}"), text + "<B>y</B>|z<BR>|");
    EXPECT_EQ(Convert("{\\rtf1 " + text + "\\pard\\li300 z\\par}"), text + "<UL><UL>z<BR>|</UL></UL>");
}

TEST(RtfTextToHtml, TableLimits) {
    // 201 font entries; a number not among them takes the last entry's name.
    std::string rtf = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 205; ++i)
        rtf += "{\\f" + std::to_string(i) + " F" + std::to_string(i) + ";}";
    rtf += "}\\f3 a\\f204 b\\f999 c}";
    EXPECT_EQ(Convert(rtf),
              R"(<FONT FACE="F3">a</FONT><FONT FACE="F200">b</FONT><FONT FACE="F200">c</FONT>)");
    // Style numbers beyond 300 are not kept, in the sheet or in a reference.
    EXPECT_EQ(Convert(R"({\rtf1{\stylesheet{\s301\b X;}{\s5\i Y;}}\s301 a\s5 b\s99999999999 c})"),
              "a<I>bc</I>");
}

TEST(RtfTextToHtml, BadHexEscapeRaisesAndClosesTheFrame) {
    std::string html;
    try {
        RtfTextToHtml(R"({\rtf1 vorher\par \b x\'zz danach\par})", html);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'$zz' ist kein gültiger Integerwert");
    }
    EXPECT_EQ(Body(html), "vorher<BR>|<B>x</B>");
}

TEST(RtfTextToHtml, DeepNestingAndSelfReferencesEnd) {
    EXPECT_EQ(Convert(std::string(200000, '{') + "x"), "x");
    EXPECT_EQ(Convert(std::string(200000, '}') + "x"), "");
    std::string refs = R"({\rtf1{\stylesheet{\s0\s0\s0\tab Normal;}})";
    for (int i = 0; i < 20000; ++i)
        refs += "\\s0 ";
    const std::string html = RtfTextToHtml(refs);
    EXPECT_LT(html.size(), 100 * refs.size());
}

class RtfFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("rtf_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::filesystem::path dir_;
};

TEST_F(RtfFiles, ConvertsAndReplacesTheOutput) {
    Write(Path("in.rtf"), "{\\rtf1 Gr\\'fc\\'dfe\\par\r\n}\r\n");
    Write(Path("out.htm"), std::string(5000, 'z'));
    RtfFileToHtml(Path("in.rtf"), Path("out.htm"), {""});
    EXPECT_EQ(Read(Path("out.htm")), RtfTextToHtml("{\\rtf1 Gr\\'fc\\'dfe\\par\r\n}\r\n"));
    EXPECT_EQ(Body(Read(Path("out.htm"))), "Gr&uuml;&szlig;e<BR>|");
}

TEST_F(RtfFiles, ErrorsOfFiles) {
    EXPECT_THROW(RtfFileToHtml(Path("fehlt.rtf"), Path("out.htm"), {}), EFileError);
    EXPECT_FALSE(std::filesystem::exists(Path("out.htm")));
    Write(Path("in.rtf"), "{\\rtf1 x}");
    EXPECT_THROW(RtfFileToHtml(Path("in.rtf"), Path("kein/ordner/out.htm"), {}), EFileError);
    try {
        RtfFileToHtml(Path("fehlt.rtf"), Path("out.htm"), {});
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("Datei nicht gefunden"), std::string::npos) << e.what();
    }
}

TEST_F(RtfFiles, ConversionErrorLeavesAWellFormedFile) {
    Write(Path("in.rtf"), R"({\rtf1 gut\par \'q1})");
    EXPECT_THROW(RtfFileToHtml(Path("in.rtf"), Path("out.htm"), {}), EConvertError);
    EXPECT_EQ(Body(Read(Path("out.htm"))), "gut<BR>|");
}

} // namespace
} // namespace zbpv

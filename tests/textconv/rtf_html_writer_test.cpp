#include "textconv/rtf_html_writer.h"

#include <gtest/gtest.h>

#include <random>

namespace zbpv {
namespace {

// The output buffer as the converter describes it, word for word: clean a copy of the whole buffer
// on every call, cut it, keep a short uncut text uncleaned. Slow, but plainly right.
class ReferenceWriter {
public:
    explicit ReferenceWriter(bool optimize) {
        if (optimize)
            patterns_ = {"<B></B>",
                         "<I></I>",
                         "<U></U>",
                         "</B><B>",
                         "</I><I>",
                         "</U><U>",
                         "<SUP></SUP>",
                         "<SUB></SUB>",
                         "<S></S>",
                         "</SUP><SUP>",
                         "</SUB><SUB>",
                         "</S><S>",
                         "<CENTER></CENTER>",
                         "</CENTER><CENTER>",
                         "<DIV ALIGN=right></DIV>",
                         "</DIV><DIV ALIGN=right>"};
        patterns_.push_back("<UL></UL>");
        patterns_.push_back("</UL><UL>");
        if (optimize)
            for (const char* step : {"+4", "+3", "+2", "+1", "+0", "-1", "-2"})
                patterns_.push_back(std::string("<FONT SIZE=") + step + "></FONT>");
    }
    void Emit(const std::string& text) {
        if (text.empty())
            return;
        buf_ += text;
        std::string c = buf_;
        for (bool changed = true; changed;) {
            changed = false;
            for (const auto& p : patterns_)
                changed |= RemoveAll(c, p);
        }
        size_t cut = Cut(c);
        if (cut == std::string::npos && c.size() <= 100)
            return;
        while (cut != std::string::npos) {
            out_ += TRtfHtmlWriter::LinkURLs(c.substr(0, cut)) + "\r\n";
            c = c.substr(cut);
            cut = Cut(c);
        }
        buf_ = c;
        if (buf_.size() > 100 && buf_.back() == '>' && buf_[buf_.size() - 2] != 'L' &&
            buf_[buf_.size() - 2] != 'A') {
            out_ += TRtfHtmlWriter::LinkURLs(buf_) + "\r\n";
            buf_.clear();
        }
    }
    std::string Finish() { return out_ + buf_ + "\r\n"; }

private:
    static size_t Cut(const std::string& c) {
        size_t p = c.find("<P>");
        if (p != std::string::npos)
            return p + 3;
        size_t b = c.find("<BR>");
        return b == std::string::npos ? b : b + 4;
    }
    static bool RemoveAll(std::string& c, const std::string& p) {
        auto lower = [](std::string s) {
            for (auto& ch : s)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
            return s;
        };
        const std::string lc = lower(c), lp = lower(p);
        std::string result;
        bool removed = false;
        size_t from = 0;
        for (size_t at = lc.find(lp); at != std::string::npos; at = lc.find(lp, from)) {
            result += c.substr(from, at - from);
            from = at + p.size();
            removed = true;
        }
        result += c.substr(from);
        c = result;
        return removed;
    }
    std::vector<std::string> patterns_;
    std::string buf_, out_;
};

TEST(RtfHtmlWriter, SameLinesAsCleaningTheWholeBufferEveryTime) {
    const std::vector<std::string> tokens = {"<UL>",
                                             "</UL>",
                                             "<ul>",
                                             "<B>",
                                             "</B>",
                                             "<I>",
                                             "</I>",
                                             "<CENTER>",
                                             "</CENTER>",
                                             "<FONT SIZE=+0>",
                                             "<FONT SIZE=-2>",
                                             "</FONT>",
                                             "x",
                                             "http://a.de,",
                                             "<BR>",
                                             "<P>",
                                             "<LI type=disc>",
                                             "</LI>",
                                             "</A>",
                                             std::string(40, 'y'),
                                             "</UL></UL><UL><UL>",
                                             "<B><I></I></B>",
                                             "z<BR>w<BR>v<P>"};
    std::mt19937 random(4711);
    for (bool optimize : {false, true}) {
        for (int round = 0; round < 150; ++round) {
            ReferenceWriter reference(optimize);
            TRtfHtmlWriter writer(optimize);
            const int count = int(random() % 300);
            std::string trace;
            for (int k = 0; k < count; ++k) {
                std::string token = tokens[random() % tokens.size()];
                if (random() % 4 == 0)
                    token += tokens[random() % tokens.size()];
                trace += token + " ";
                reference.Emit(token);
                writer.Emit(token);
            }
            writer.FlushRest();
            ASSERT_EQ(writer.Output(), reference.Finish()) << "optimize " << optimize << ": " << trace;
        }
    }
}

TEST(RtfHtmlWriter, LinkURLs) {
    EXPECT_EQ(TRtfHtmlWriter::LinkURLs("a http://x.de/b c"),
              R"(a <A HREF="http://x.de/b">http://x.de/b</A> c)");
    EXPECT_EQ(TRtfHtmlWriter::LinkURLs("http://x.de<BR>"), R"(<A HREF="http://x.de">http://x.de</A><BR>)");
    EXPECT_EQ(TRtfHtmlWriter::LinkURLs("http://a,http://b"),
              R"(<A HREF="http://a">http://a</A>,<A HREF="http://b">http://b</A>)");
    EXPECT_EQ(TRtfHtmlWriter::LinkURLs("https://x.de HTTP://y.de"), "https://x.de HTTP://y.de");
}

} // namespace
} // namespace zbpv

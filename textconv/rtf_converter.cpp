#include "textconv/rtf_converter.h"

#include "support/ansi.h"
#include "support/errors.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zbpv {

namespace {

// Font names longer than this are cut: no real face name comes near it, and the face tag is repeated
// at every format change.
constexpr size_t kMaxFontName = 128;
// Text before and after a paragraph number; it is repeated on every numbered paragraph.
constexpr size_t kMaxLabelText = 32;
// A style's control words; real styles need a few hundred characters.
constexpr size_t kMaxStyleWords = 4096;
// Only so many colours get an empty pair for the optimiser; the rest are written as they are.
constexpr size_t kMaxColorPairs = 256;

inline bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsWordChar(char c) {
    return IsLower(c) || IsDigit(c) || c == '-';
}

// A decimal number with an optional sign; false when not a number or out of range.
bool ParseInt(std::string_view text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return false;
    value = int32_t(v);
    return true;
}

// The value of a control word: its text after `skip` letters, 0 when that is not a number.
int32_t WordValue(std::string_view word, size_t skip) {
    int32_t v = 0;
    if (skip > word.size() || !ParseInt(word.substr(skip), v))
        return 0;
    return v;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendEscaped(std::string& out, char c) {
    switch (c) {
    case '<':
        out += "&lt;";
        break;
    case '>':
        out += "&gt;";
        break;
    case '&':
        out += "&amp;";
        break;
    default:
        out += c;
    }
}

bool IsSkipWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {
        "bkmkstart",         "bkmkend",   "filetbl",      "footer",    "footerf", "footnote",  "header",
        "headerf",           "info",      "levelnumbers", "leveltext", "list",    "listlevel", "listname",
        "listoverridetable", "listtable", "pict",         "pntext",    "revtbl",  "sp",        "template"};
    for (auto k : kWords)
        if (w == k)
            return true;
    return false;
}

bool IsTableSkipWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {
        "bkmkstart", "bkmkend",      "filetbl",   "footer", "footerf",   "footnote", "header",
        "headerf",   "levelnumbers", "leveltext", "list",   "listlevel", "listname", "listoverridetable",
        "listtable", "pict",         "pntxtb",    "pntxta", "revtbl",    "sp",       "template"};
    for (auto k : kWords)
        if (w == k)
            return true;
    return false;
}

const char* const kCloseTag[] = {"</B>", "</I>", "</U>", "</SUB>", "</SUP>", "</S>", "</FONT>"};

void AppendHex2(std::string& out, int v) {
    static const char kHex[] = "0123456789ABCDEF";
    out += kHex[(v >> 4) & 15];
    out += kHex[v & 15];
}

// Removes every occurrence of `word` (letter case ignored).
void RemoveNoCase(std::string& s, std::string_view word) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    };
    size_t j = 0;
    for (size_t i = 0; i < s.size();) {
        if (i + word.size() <= s.size()) {
            size_t k = 0;
            while (k < word.size() && lower(s[i + k]) == lower(word[k]))
                ++k;
            if (k == word.size()) {
                i += k;
                continue;
            }
        }
        s[j++] = s[i++];
    }
    s.resize(j);
}

// Removes every occurrence of `word` together with its parameter (up to the next '\' or blank).
void RemoveWithParameter(std::string& s, std::string_view word) {
    size_t j = 0;
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, word.size(), word) == 0) {
            i += word.size();
            while (i < s.size() && s[i] != '\\' && s[i] != ' ')
                ++i;
            continue;
        }
        s[j++] = s[i++];
    }
    s.resize(j);
}

} // namespace

void Tr2hFormat::ResetText() {
    Hidden = Caps = Bold = Italic = Underline = Superscript = Subscript = Strike = false;
    FontNumber = -1;
    Color = -1;
    FontSize = -1;
}

void Tr2hFormat::ResetPar() {
    RightAligned = Centered = false;
}

std::string RtfSizeTag(int32_t points) {
    const char* step;
    if (points == 12)
        step = "+0";
    else if (points <= 8)
        step = "-2";
    else if (points <= 11)
        step = "-1";
    else if (points <= 15)
        step = "+1";
    else if (points <= 20)
        step = "+2";
    else if (points <= 28)
        step = "+3";
    else
        step = "+4";
    return std::string("<FONT SIZE=") + step + ">";
}

std::string RtfMergeStyle(std::string base, std::string own) {
    for (std::string_view w :
         {"\\widctlpar", "\\adjustright", "\\nowidctlpar", "\\keepn", "\\cgrid", "\\widctl"})
        RemoveNoCase(own, w);
    for (std::string_view w : {"\\sbasedon", "\\snext", "\\sa", "\\sb", "\\lang", "\\slmult", "\\sl",
                               "\\outlinelevel", "\\kerning", "\\expndtw", "\\expnd", "\\tx"})
        RemoveWithParameter(own, w);
    if (own.find(base) != std::string::npos)
        base.clear();
    auto hasIndent = [](const std::string& s) {
        return s.find("\\fi") != std::string::npos || s.find("\\li") != std::string::npos;
    };
    if (hasIndent(own) && hasIndent(base)) {
        RemoveWithParameter(base, "\\fi");
        RemoveWithParameter(base, "\\li");
    }
    base += own;
    return base;
}

TRtfConverter::TRtfConverter(std::string_view rtf, const RtfOptions& options)
    : writer_(std::find(options.begin(), options.end(), "optimize") != options.end()) {
    for (const auto& o : options) {
        if (o == "noFonts")
            noFonts_ = true;
        else if (o == "optimize")
            optimize_ = true;
        else if (o == "onlyDefiniteOpt")
            onlyDefiniteOpt_ = true;
    }
    // Lines end with CR LF, LF or CR; each end becomes one '\n', which is never a character of the
    // document but ends a control word.
    s_.reserve(rtf.size());
    for (size_t i = 0; i < rtf.size();) {
        const void* cr = std::memchr(rtf.data() + i, '\r', rtf.size() - i);
        const size_t end = cr ? size_t(static_cast<const char*>(cr) - rtf.data()) : rtf.size();
        s_.append(rtf, i, end - i);
        if (end == rtf.size())
            break;
        s_ += '\n';
        i = end + 1;
        if (i < rtf.size() && rtf[i] == '\n')
            ++i;
    }
    styleBudget_ = 4 * s_.size() + 65536;
    tocStyle_.fill(-1);
    headingStyle_.fill(-1);
    tocLinks_.fill(0);
    headingAnchors_.fill(0);
}

void TRtfConverter::Run(std::string& html) {
    writer_.WriteLine("<HTML>");
    writer_.WriteLine("<HEAD>");
    writer_.WriteLine("</HEAD>");
    writer_.WriteLine("<BODY TEXT=\"#000000\" BGCOLOR=\"#FFFFFF\" LINK=\"#3333FF\" VLINK=\"#999999\" "
                      "ALINK=\"#FF0000\">");
    auto finish = [this] {
        std::string t;
        if (tocLinkOpen_) {
            t += "</A>";
            tocLinkOpen_ = false;
        }
        PopAllTags(t);
        CloseAlignment(t);
        Emit(t);
        t.clear();
        CloseLists(t);
        Emit(t);
        writer_.FlushRest();
        writer_.WriteLine("</BODY>");
        writer_.WriteLine("</HTML>");
    };
    try {
        ProcessGroup();
    } catch (...) {
        finish();
        html = std::move(writer_.Output());
        throw;
    }
    finish();
    html = std::move(writer_.Output());
}

// ---------------------------------------------------------------------------------------------
// Scanning

void TRtfConverter::ProcessGroup() {
    while (pos_ < s_.size()) {
        switch (s_[pos_]) {
        case '\n':
            ++pos_;
            break;
        case '{':
            ++pos_;
            if (tocLinkOpen_) {
                Emit("</A>");
                tocLinkOpen_ = false;
            }
            groups_.push_back(fmt_);
            break;
        case '}':
            ++pos_;
            if (tocLinkOpen_) {
                Emit("</A>");
                tocLinkOpen_ = false;
            }
            if (groups_.empty())
                return;
            GroupReturn(groups_, true);
            break;
        case '\\':
            HandleBackslash();
            break;
        default:
            PlainText();
        }
    }
    // The input ended inside groups: each of them ends here.
    while (!groups_.empty())
        GroupReturn(groups_, true);
}

void TRtfConverter::GroupReturn(std::vector<Tr2hFormat>& stack, bool emitTags) {
    Tr2hFormat saved = stack.back();
    stack.pop_back();
    if (saved == fmt_)
        return;
    if (emitTags) {
        std::string t;
        PopAllTags(t);
        Emit(t);
    }
    formatChanged_ = true;
    fmt_ = saved;
}

std::string_view TRtfConverter::ReadWord() {
    const size_t start = pos_;
    while (pos_ < s_.size() && IsWordChar(s_[pos_]))
        ++pos_;
    std::string_view word(s_.data() + start, pos_ - start);
    if (pos_ < s_.size() && s_[pos_] == ' ')
        ++pos_;
    return word;
}

bool TRtfConverter::ReadHex(char (&hex)[2]) {
    for (int k = 0; k < 2; ++k) {
        while (pos_ < s_.size() && s_[pos_] == '\n')
            ++pos_;
        if (pos_ >= s_.size())
            return false; // cut off by the end of the input: dropped
        hex[k] = s_[pos_++];
    }
    return true;
}

void TRtfConverter::PlainText() {
    BeforeText();
    const char first = s_[pos_++];
    std::string t;
    FormatText(std::string_view(&first, 1), fmt_, t);
    // Further characters need no tags while nothing is pending; they go out as one run.
    if (!formatChanged_ && !paragraphStart_ && !itemClosed_ && !headingAnchorPending_ &&
        !(tocParagraph_ && tocLinkPending_)) {
        AppendRun(t, fmt_);
    }
    Emit(t);
}

void TRtfConverter::AppendRun(std::string& out, const Tr2hFormat& f) {
    const size_t n = s_.size();
    while (pos_ < n) {
        // The longest stretch that needs no escaping goes out in one piece.
        size_t end = pos_;
        while (end < n) {
            const char c = s_[end];
            if (c == '{' || c == '}' || c == '\\' || c == '\n' || c == '<' || c == '>' || c == '&' ||
                (f.Caps && IsLower(c)))
                break;
            ++end;
        }
        if (!f.Hidden)
            out.append(s_, pos_, end - pos_);
        pos_ = end;
        if (pos_ >= n)
            break;
        char c = s_[pos_];
        if (c == '{' || c == '}' || c == '\\')
            break;
        ++pos_;
        if (c == '\n' || f.Hidden)
            continue;
        if (f.Caps && IsLower(c))
            c = char(c - 'a' + 'A');
        AppendEscaped(out, c);
    }
}

void TRtfConverter::BeforeText() {
    if (itemClosed_) {
        Emit("<LI type=disc>");
        itemClosed_ = false;
    }
    if (numberedBody_ && paragraphStart_ && !pendingLabel_.empty()) {
        std::string t;
        FormatText("&&" + pendingLabel_, fmt_, t);
        Emit(t);
        pendingLabel_.clear();
    }
}

void TRtfConverter::TextToken(std::string_view token, const Tr2hFormat& f, std::string& out) {
    // Text from a control word or symbol opens a list item or a number label like any character,
    // so a paragraph that starts with an escaped letter keeps its bullet or number.
    if (!inTable_) {
        Emit(out);
        out.clear();
        BeforeText();
    }
    FormatText(token, f, out);
}

void TRtfConverter::HandleBackslash() {
    const size_t start = pos_;
    ++pos_;
    if (pos_ >= s_.size())
        return; // a backslash at the very end
    const char c = s_[pos_];
    if (IsLower(c)) {
        std::string_view word = ReadWord();
        DispatchWord(word, start);
        return;
    }
    ++pos_;
    std::string t;
    switch (c) {
    case '\n':
        // A backslash ending a line is a paragraph mark in RTF.
        DispatchWord("par", start);
        return;
    case '\\':
    case '{':
    case '}':
        if (!fmt_.Hidden)
            TextToken(std::string_view(&c, 1), fmt_, t);
        break;
    case '~':
        if (!fmt_.Hidden)
            TextToken("&nbsp;", fmt_, t);
        break;
    case '_':
        if (!fmt_.Hidden)
            TextToken("-", fmt_, t);
        break;
    case '\'': {
        char hex[2];
        if (ReadHex(hex) && !fmt_.Hidden)
            TextToken(std::string_view(hex, 2), fmt_, t);
        break;
    }
    case '*':
        HandleDestination();
        return;
    default:
        break;
    }
    Emit(t);
}

void TRtfConverter::DispatchWord(std::string_view word, size_t wordStart) {
    if (word == "fonttbl") {
        FontTable();
        return;
    }
    if (word == "colortbl") {
        ColorTable();
        return;
    }
    if (word == "stylesheet") {
        StyleSheet();
        return;
    }
    if (word.size() > 1 && word[0] == 's' && IsDigit(word[1])) {
        int32_t n = 0;
        if (!ParseInt(word.substr(1), n))
            n = 0;
        for (int level = 1; level <= 9; ++level) {
            if (tocStyle_[level] == n && headingStyle_[level] != -1) {
                tocParagraph_ = tocLinkPending_ = true;
                tocLevel_ = level;
                break;
            }
            if (headingStyle_[level] == n) {
                headingAnchorPending_ = true;
                headingLevel_ = level;
            }
        }
        ExpandStyle(n, wordStart);
        return;
    }
    std::string t;
    if (word == "trowd") {
        PopAllTags(t);
        Emit(t);
        t.clear();
        CloseLists(t);
        Emit(t);
        Table();
        return;
    }
    if (IsSkipWord(word)) {
        const bool picture = word == "pict";
        SkipGroup();
        if (picture) {
            if (!fmt_.Hidden)
                BeforeText();
            FormatText("&pict;", fmt_, t);
            Emit(t);
        }
        return;
    }
    if (tocLinkOpen_)
        Emit("</A>");
    ControlWord(word, fmt_, t);
    Emit(t);
    tocLinkOpen_ = false;
}

void TRtfConverter::ExpandStyle(int style, size_t wordStart) {
    if (style < 0 || style > 300)
        return;
    const std::string& words = styles_[style].words;
    if (words.empty())
        return;
    while (!expanding_.empty() && expanding_.back().end <= wordStart)
        expanding_.pop_back();
    // Real files define a style whose words name the style itself; it is applied once, not again
    // from inside its own words.
    for (const auto& e : expanding_)
        if (e.style == style)
            return;
    // The blank keeps the last word of the style apart from the text that follows.
    const size_t len = words.size() + 1;
    if (len > styleBudget_)
        return;
    styleBudget_ -= len;
    if (pos_ >= len) {
        pos_ -= len;
        std::memcpy(s_.data() + pos_, words.data(), words.size());
        s_[pos_ + words.size()] = ' ';
    } else {
        // Room in front so that later styles can be put in place without moving the input again.
        const size_t gap = std::max<size_t>(4096, 2 * len);
        std::string rebuilt;
        rebuilt.reserve(gap + len + s_.size() - pos_);
        rebuilt.assign(gap, ' ');
        rebuilt += words;
        rebuilt += ' ';
        rebuilt.append(s_, pos_, std::string::npos);
        for (auto& e : expanding_)
            e.end = e.end >= pos_ ? e.end - pos_ + gap + len : gap;
        s_.swap(rebuilt);
        pos_ = gap;
        noOpenBraceFrom_ = std::string::npos;
    }
    expanding_.push_back({style, pos_ + len});
}

void TRtfConverter::HandleDestination() {
    size_t p = pos_;
    while (p < s_.size() && s_[p] == '\n')
        ++p;
    if (p + 2 < s_.size() && s_[p] == '\\' && s_.compare(p + 1, 2, "pn") == 0 &&
        (p + 3 >= s_.size() || s_[p + 3] == ' ' || s_[p + 3] == '\\' || s_[p + 3] == '\n')) {
        pos_ = p;
        NumberingGroup();
        return;
    }
    std::string_view name;
    if (p < s_.size() && s_[p] == '\\') {
        pos_ = p + 1;
        name = ReadWord();
    }
    if (name.substr(0, 4) == "bkmk" && !bookmarkBreakDone_) {
        Emit("<P>");
        bookmarkBreakDone_ = true;
    }
    SkipGroup();
}

void TRtfConverter::SkipGroup() {
    int depth = 0;
    while (pos_ < s_.size()) {
        const char c = s_[pos_];
        if (c == '\\') {
            ++pos_;
            if (pos_ < s_.size() && IsLower(s_[pos_])) {
                std::string_view w = ReadWord();
                int32_t n = 0;
                if (w.size() > 3 && w.substr(0, 3) == "bin" && ParseInt(w.substr(3), n) && n > 0) {
                    // Binary data: n characters, line ends not counted.
                    while (n > 0 && pos_ < s_.size()) {
                        if (s_[pos_] != '\n')
                            --n;
                        ++pos_;
                    }
                }
            } else if (pos_ < s_.size()) {
                ++pos_; // an escaped brace is no group delimiter
            }
            continue;
        }
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth == 0)
                return;
            --depth;
        }
        ++pos_;
    }
}

// ---------------------------------------------------------------------------------------------
// Formatting

void TRtfConverter::ControlWord(std::string_view w, Tr2hFormat& f, std::string& out) {
    auto setFlag = [this](bool& field, bool value) {
        if (field != value) {
            field = value;
            formatChanged_ = true;
        }
    };
    auto setValue = [this](int32_t& field, int32_t value) {
        if (field != value) {
            field = value;
            formatChanged_ = true;
        }
    };
    auto pard = [&] {
        setFlag(f.RightAligned, false);
        setFlag(f.Centered, false);
        pendingLabel_.clear();
        counter_ = -1;
        numberingStyle_ = numberedBody_ = false;
        tocParagraph_ = false;
        indentTotal_ = 0;
        firstIndent_ = true;
        itemClosed_ = bulletList_ = false;
        for (; listDepth_ > 0; --listDepth_)
            out += "</UL>";
        listDepth_ = 0;
    };
    auto par = [&] {
        PopAllTags(out);
        CloseAlignment(out);
        formatChanged_ = tocLinkPending_ = paragraphStart_ = true;
        if (bulletList_) {
            out += "</LI>";
            itemClosed_ = true;
        } else {
            out += "<BR>";
            if (counter_ >= 0) {
                ++counter_;
                pendingLabel_ = prefix_ + std::to_string(counter_) + suffix_;
            }
            bookmarkBreakDone_ = false;
        }
    };
    auto text = [&](std::string_view token) {
        if (!f.Hidden)
            TextToken(token, f, out);
    };

    if (w.empty())
        return;
    switch (w[0]) {
    case 'b':
        if (w == "b")
            setFlag(f.Bold, true);
        else if (w == "b0")
            setFlag(f.Bold, false);
        return;
    case 'c':
        if (w == "caps")
            setFlag(f.Caps, true);
        else if (w == "caps0")
            setFlag(f.Caps, false);
        else if (w.size() >= 2 && w[1] == 'f') {
            // Without a colour table there is no colour to take: no colour tag.
            if (colors_.empty()) {
                setValue(f.Color, -1);
            } else {
                int32_t n = WordValue(w, 2);
                if (n < 0 || size_t(n) >= colors_.size())
                    n = 0;
                setValue(f.Color, colors_[size_t(n)]);
            }
        }
        return;
    case 'd':
        if (w.size() >= 2 && w[1] == 'n')
            setFlag(f.Subscript, true);
        return;
    case 'e':
        if (w == "emdash")
            text("&emdash;");
        else if (w == "endash")
            text("&endash;");
        else if (w == "emspace")
            text("&emspace;");
        else if (w == "enspace")
            text("&enspace;");
        return;
    case 'f':
        if (w.size() >= 3 && w[1] == 'i' && (w[2] == '-' || IsDigit(w[2]))) {
            if (firstIndent_)
                indentTotal_ += WordValue(w, 2);
        } else if (w.size() >= 2 && IsDigit(w[1])) {
            if (!noFonts_)
                setValue(f.FontNumber, WordValue(w, 1));
        } else if (w.size() >= 3 && w[1] == 's' && (w[2] == '-' || IsDigit(w[2]))) {
            setValue(f.FontSize, WordValue(w, 2) / 2);
        }
        return;
    case 'i':
        if (w == "i")
            setFlag(f.Italic, true);
        else if (w == "i0")
            setFlag(f.Italic, false);
        return;
    case 'l':
        if (w == "line")
            out += "<BR>";
        else if (w == "lquote")
            text("&quote;");
        else if (w == "ldblquote")
            text("&dblquote;");
        else if (w.size() >= 3 && w[1] == 'i' && IsDigit(w[2]))
            LeftIndent(WordValue(w, 2), out);
        return;
    case 'n':
        if (w == "nosupersub") {
            setFlag(f.Superscript, false);
            setFlag(f.Subscript, false);
        }
        return;
    case 'p':
        if (w == "plain") {
            f.ResetText();
            formatChanged_ = true;
            PopAllTags(out);
        } else if (w == "pard") {
            pard();
        } else if (w == "par") {
            par();
        } else if (w == "page") {
            out += "<BR><HR><BR>";
        }
        return;
    case 'q':
        if (w == "qc")
            setFlag(f.Centered, true);
        else if (w == "qr")
            setFlag(f.RightAligned, true);
        return;
    case 'r':
        if (w == "rquote")
            text("&quote;");
        else if (w == "rdblquote")
            text("&dblquote;");
        return;
    case 's':
        if (w == "sectd")
            pard();
        else if (w == "sect")
            par();
        else if (w == "super")
            setFlag(f.Superscript, true);
        else if (w == "sub")
            setFlag(f.Subscript, true);
        else if (w == "strike" || w == "strikedl")
            setFlag(f.Strike, true);
        else if (w == "strike0" || w == "strikedl0")
            setFlag(f.Strike, false);
        return;
    case 't':
        if (w == "tab")
            text("&tab;");
        return;
    case 'u':
        if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" || w == "uldb" ||
            w == "ulth" || w == "ulwave")
            setFlag(f.Underline, true);
        else if (w == "ulnone" || w == "ul0")
            setFlag(f.Underline, false);
        else if (w.size() >= 2 && w[1] == 'p')
            setFlag(f.Superscript, true);
        return;
    case 'v':
        if (w == "v")
            setFlag(f.Hidden, true);
        else if (w == "v0")
            setFlag(f.Hidden, false);
        return;
    default:
        return;
    }
}

void TRtfConverter::FormatText(std::string_view token, const Tr2hFormat& f, std::string& out) {
    if (formatChanged_)
        PopAllTags(out);
    if (paragraphStart_ && openAlign_ == TAlign::None) {
        if (f.Centered) {
            out += "<CENTER>";
            openAlign_ = TAlign::Center;
        } else if (f.RightAligned) {
            out += "<DIV ALIGN=right>";
            openAlign_ = TAlign::Right;
        }
    }
    if (formatChanged_ || paragraphStart_)
        OpenTags(f, out);
    formatChanged_ = paragraphStart_ = false;
    if (tocParagraph_ && tocLinkPending_) {
        tocLinkOpen_ = true;
        tocLinkPending_ = false;
        ++tocLinks_[tocLevel_];
        out += "<A HREF=\"#" + std::to_string(tocLevel_) + "-" + std::to_string(tocLinks_[tocLevel_]) + "\">";
    }
    if (headingAnchorPending_) {
        ++headingAnchors_[headingLevel_];
        out += "<A NAME=\"" + std::to_string(headingLevel_) + "-" +
               std::to_string(headingAnchors_[headingLevel_]) + "\">";
    }
    if (!f.Hidden) {
        if (token.size() == 1) {
            char c = token[0];
            if (f.Caps && IsLower(c))
                c = char(c - 'a' + 'A');
            AppendEscaped(out, c);
        } else if (token.size() == 2) {
            static constexpr struct {
                const char* code;
                const char* html;
                const char* caps;
            } kCodes[] = {{"c4", "&Auml;", "&Auml;"},   {"d6", "&Ouml;", "&Ouml;"},
                          {"dc", "&Uuml;", "&Uuml;"},   {"e4", "&auml;", "&Auml;"},
                          {"f6", "&ouml;", "&Ouml;"},   {"fc", "&uuml;", "&Uuml;"},
                          {"df", "&szlig;", "&szlig;"}, {"b7", "&middot;", "&middot;"}};
            bool done = false;
            for (const auto& k : kCodes) {
                if (token == k.code) {
                    out += f.Caps ? k.caps : k.html;
                    done = true;
                    break;
                }
            }
            if (!done) {
                int hi = HexDigit(token[0]), lo = HexDigit(token[1]);
                if (hi < 0 || lo < 0)
                    throw EConvertError("'$" + AnsiToUtf8(token) + "' ist kein gültiger Integerwert");
                // A decoded character is text: "<", ">" and "&" must not become mark-up.
                AppendEscaped(out, char(hi * 16 + lo));
            }
        } else if (token == "&pict;") {
            out += "<P>[*** picture ***]<P>";
        } else if (token.substr(0, 2) == "&&") {
            out.append(token.substr(2));
        } else if (token == "&tab;") {
            out += "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
        } else if (token == "&quote;") {
            out += "'";
        } else if (token == "&dblquote;") {
            out += "\"";
        } else if (token == "&emspace;") {
            out += "&nbsp;&nbsp;";
        } else if (token == "&enspace;" || token == "&nbsp;") {
            out += "&nbsp;";
        } else if (token == "&emdash;") {
            out += "--";
        } else if (token == "&endash;") {
            out += "-";
        }
    }
    if (headingAnchorPending_) {
        out += "</A>";
        headingAnchorPending_ = false;
    }
}

std::string TRtfConverter::ColorTag(int32_t color) const {
    std::string tag = "<FONT COLOR=\"#";
    AppendHex2(tag, (color >> 16) & 255);
    AppendHex2(tag, (color >> 8) & 255);
    AppendHex2(tag, color & 255);
    tag += "\">";
    return tag;
}

std::string TRtfConverter::FaceTag(int32_t fontNumber) const {
    const TFont* font = &fonts_[200];
    for (const auto& entry : fonts_) {
        if (entry.number == fontNumber) {
            font = &entry;
            break;
        }
    }
    std::string tag = "<FONT FACE=\"";
    // The name comes from the document; it must not end the attribute.
    for (char c : font->name) {
        if (c == '"')
            tag += "&quot;";
        else
            AppendEscaped(tag, c);
    }
    tag += "\">";
    return tag;
}

void TRtfConverter::OpenTags(const Tr2hFormat& f, std::string& out) {
    auto open = [&](const char* tag, TTag closer) {
        out += tag;
        tags_.push_back({closer});
    };
    if (f.Bold)
        open("<B>", tagB);
    if (f.Italic)
        open("<I>", tagI);
    if (f.Underline)
        open("<U>", tagU);
    if (f.Subscript)
        open("<SUB>", tagSub);
    if (f.Superscript)
        open("<SUP>", tagSup);
    if (f.Strike)
        open("<S>", tagS);
    if (f.Color >= 0) {
        out += ColorTag(f.Color);
        tags_.push_back({tagFont});
    }
    if (f.FontNumber >= 0) {
        out += FaceTag(f.FontNumber);
        tags_.push_back({tagFont});
    }
    if (f.FontSize >= 0) {
        out += RtfSizeTag(f.FontSize);
        tags_.push_back({tagFont});
    }
}

void TRtfConverter::PopAllTags(std::string& out) {
    for (auto it = tags_.rbegin(); it != tags_.rend(); ++it)
        out += kCloseTag[it->opened];
    tags_.clear();
}

void TRtfConverter::CloseAlignment(std::string& out) {
    // Closes what the paragraph opened, so a paragraph marked both centred and right-aligned stays
    // a matching pair.
    if (openAlign_ == TAlign::Right)
        out += "</DIV>";
    else if (openAlign_ == TAlign::Center)
        out += "</CENTER>";
    openAlign_ = TAlign::None;
}

// ---------------------------------------------------------------------------------------------
// Lists, numbering, tables

void TRtfConverter::LeftIndent(int32_t value, std::string& out) {
    if (!firstIndent_)
        return;
    indentTotal_ += value;
    firstIndent_ = false;
    while (listDepth_ <= 20 && int64_t(listDepth_) * 285 < indentTotal_) {
        out += "<UL>";
        ++listDepth_;
    }
}

void TRtfConverter::CloseLists(std::string& out) {
    if (bulletList_ && !itemClosed_)
        out += "</LI>";
    for (; listDepth_ > 0; --listDepth_)
        out += "</UL>";
    listDepth_ = 0;
}

void TRtfConverter::NumberingGroup() {
    prefix_.clear();
    suffix_.clear();
    std::string startText;
    bool startSeen = false, startApplied = false;
    std::string seenText;
    int32_t seenValue = 1;
    int depth = 1;
    auto appendLabelText = [this](std::string& target) {
        while (pos_ < s_.size() && s_[pos_] != '}') {
            const char c = s_[pos_++];
            if (c != '\n' && target.size() < kMaxLabelText)
                AppendEscaped(target, c);
        }
    };
    while (pos_ < s_.size()) {
        const char c = s_[pos_];
        if (c == '{') {
            ++depth;
            ++pos_;
            continue;
        }
        if (c == '}') {
            if (--depth == 0)
                break; // the closing brace is left to the group around
            ++pos_;
            continue;
        }
        ++pos_;
        if (c != '\\' || pos_ >= s_.size())
            continue;
        if (!IsLower(s_[pos_])) {
            ++pos_;
            continue;
        }
        std::string_view w = ReadWord();
        auto level = [&w](char lo, char hi) {
            return w.size() == 6 && w.substr(0, 5) == "pnlvl" && w[5] >= lo && w[5] <= hi;
        };
        if (w == "pnlvlblt" || level('5', '9')) {
            numberedBody_ = false;
            bulletList_ = true;
            Emit("<UL><LI type=disc>");
            ++listDepth_;
        } else if (w == "pnlvlbody") {
            numberedBody_ = true;
            bulletList_ = false;
        } else if (w == "pnlvlcont" || level('1', '4')) {
            numberedBody_ = false;
            bulletList_ = false;
        } else if (w == "pndec" || w == "pncard" || w == "pnucltr" || w == "pnucrm" || w == "pnlcltr" ||
                   w == "pnlcrm" || w == "pnord" || w == "pnordt") {
            numberingStyle_ = true;
        } else if (w.substr(0, 7) == "pnstart") {
            seenText = std::string(w.substr(7));
            if (!ParseInt(seenText, seenValue))
                seenValue = 1;
            startSeen = true;
            if (numberingStyle_ && numberedBody_) {
                startText = seenText;
                counter_ = seenValue;
                startApplied = true;
            }
        } else if (w == "pntxtb") {
            if (numberedBody_)
                appendLabelText(prefix_);
        } else if (w == "pntxta") {
            if (numberedBody_)
                appendLabelText(suffix_);
        }
    }
    // Rich-edit controls write the start before the numbering style: it still counts.
    if (startSeen && !startApplied && numberingStyle_ && numberedBody_) {
        startText = seenText;
        counter_ = seenValue;
    }
    if (numberedBody_) {
        std::string label = prefix_ + startText + suffix_;
        if (!label.empty()) {
            std::string t;
            FormatText("&&" + label, fmt_, t);
            Emit(t);
        }
    }
}

void TRtfConverter::Table() {
    inTable_ = true;
    Tr2hFormat tf;
    std::vector<Tr2hFormat> stack;
    std::string cell, t;
    TTableState state = TTableState::RowStart;
    bool endPending = false;
    size_t mark = 0;
    Emit("<BR><TABLE BORDER=2><TR><TD>");
    auto put = [&] {
        if (state == TTableState::RowStart)
            Emit(t);
        else
            cell += t;
        t.clear();
    };
    auto followedByIntbl = [this] {
        size_t p = pos_;
        while (p < s_.size() && s_[p] == '\n')
            ++p;
        return s_.compare(p, 6, "\\intbl") == 0 && (p + 6 >= s_.size() || !IsWordChar(s_[p + 6]));
    };
    while (pos_ < s_.size()) {
        char c = s_[pos_];
        if (c == '\n') {
            ++pos_;
            continue;
        }
        if (c == '{') {
            ++pos_;
            stack.push_back(tf);
            continue;
        }
        if (c == '}') {
            ++pos_;
            if (!stack.empty()) {
                Tr2hFormat saved = stack.back();
                stack.pop_back();
                if (!(saved == tf)) {
                    formatChanged_ = true;
                    tf = saved;
                }
            }
            continue;
        }
        if (c != '\\') {
            ++pos_;
            FormatText(std::string_view(&c, 1), tf, t);
            if (!formatChanged_ && !paragraphStart_ && !headingAnchorPending_ &&
                !(tocParagraph_ && tocLinkPending_))
                AppendRun(t, tf);
            put();
            continue;
        }
        const size_t wordStart = pos_;
        ++pos_;
        if (pos_ >= s_.size())
            break;
        c = s_[pos_];
        std::string_view w;
        if (IsLower(c)) {
            w = ReadWord();
        } else if (c == '\n') {
            ++pos_;
            w = "par";
        } else {
            ++pos_;
            switch (c) {
            case '\\':
            case '{':
            case '}':
                if (!tf.Hidden)
                    FormatText(std::string_view(&c, 1), tf, t);
                break;
            case '~':
                if (!tf.Hidden)
                    FormatText("&nbsp;", tf, t);
                break;
            case '_':
                if (!tf.Hidden)
                    FormatText("-", tf, t);
                break;
            case '\'': {
                char hex[2];
                if (ReadHex(hex) && !tf.Hidden)
                    FormatText(std::string_view(hex, 2), tf, t);
                break;
            }
            case '*':
                SkipGroup();
                break;
            default:
                break;
            }
            put();
            continue;
        }
        if (IsTableSkipWord(w)) {
            const bool picture = w == "pict";
            SkipGroup();
            if (picture) {
                FormatText("&pict;", tf, t);
                put();
            }
            continue;
        }
        if (w == "par" || w == "sect") {
            PopAllTags(t);
            CloseAlignment(t);
            t += "<BR>";
            // The tags just closed are opened again for the next text of the cell.
            formatChanged_ = true;
            if (state == TTableState::InCell)
                cell += t;
            else if (state == TTableState::RowStart)
                Emit(t);
            t.clear();
            continue;
        }
        if (w == "intbl") {
            endPending = false;
            continue;
        }
        const bool isPard = w == "pard";
        if (isPard || (w == "widctlpar" && !followedByIntbl())) {
            if (state == TTableState::AfterRow) {
                if (endPending) {
                    Emit("</TABLE><BR>");
                    pos_ = mark; // everything from the first \pard after the last row again as text
                    inTable_ = false;
                    return;
                }
                mark = wordStart;
                endPending = true;
            }
            if (isPard) {
                ControlWord("pard", tf, t);
                put();
            }
            continue;
        }
        if (w == "trowd") {
            endPending = false;
            if (state == TTableState::AfterRow) {
                cell.clear();
                Emit("<TR><TD>");
                tf.ResetAll();
                state = TTableState::RowStart;
            }
            continue;
        }
        if (w == "row") {
            tf.ResetAll();
            cell.clear();
            endPending = false;
            Emit("</TR>");
            state = TTableState::AfterRow;
            continue;
        }
        if (w == "cell") {
            endPending = false;
            if (state == TTableState::InCell)
                t = "<TD>" + cell;
            else if (state == TTableState::AfterRow)
                t = "<TR><TD>" + cell;
            PopAllTags(t);
            t += "</TD>";
            Emit(t);
            t.clear();
            tf.ResetAll();
            state = TTableState::InCell;
            cell.clear();
            continue;
        }
        ControlWord(w, tf, t);
        put();
    }
    // The input ended inside the table: no closing tag.
    inTable_ = false;
}

// ---------------------------------------------------------------------------------------------
// Header tables

void TRtfConverter::FontTable() {
    const size_t n = s_.size();
    auto skipLineEnds = [this, n](size_t p) {
        while (p < n && s_[p] == '\n')
            ++p;
        return p;
    };
    for (;;) {
        const size_t p = s_.find('\\', pos_);
        if (p == std::string::npos) {
            pos_ = n;
            return;
        }
        size_t q = skipLineEnds(p + 1);
        if (q >= n || s_[q] != 'f') {
            pos_ = p;
            return;
        }
        ++q;
        size_t digitsEnd = q;
        while (digitsEnd < n && IsDigit(s_[digitsEnd]))
            ++digitsEnd;
        int32_t number = 0;
        if (!ParseInt(std::string_view(s_).substr(q, digitsEnd - q), number))
            number = 0;
        size_t r = s_.find_first_of(" {}", digitsEnd);
        if (r != std::string::npos && s_[r] == '{')
            r = s_.find('}', r);
        if (r == std::string::npos) {
            pos_ = n;
            return;
        }
        const size_t nameStart = r + 1;
        const size_t e = s_.find_first_of(";{\\", nameStart);
        const size_t nameEnd = e == std::string::npos ? n : e;
        std::string name = s_.substr(std::min(nameStart, n), nameEnd - std::min(nameStart, nameEnd));
        size_t after = nameEnd;
        if (e != std::string::npos && s_[e] == '{' && s_.compare(e + 1, 7, "\\*\\falt") == 0) {
            const size_t a = std::min(e + 9, n);
            const size_t ae = s_.find('}', a);
            name = s_.substr(a, (ae == std::string::npos ? n : ae) - a);
            after = ae == std::string::npos ? n : ae + 1;
        }
        name.erase(std::remove(name.begin(), name.end(), '\n'), name.end());
        if (name.size() > kMaxFontName)
            name.resize(kMaxFontName);
        if (!noFonts_ && fontCount_ < int(fonts_.size())) {
            fonts_[size_t(fontCount_)] = {number, name};
            if (optimize_ && fontCount_ < 3) {
                const std::string tag = FaceTag(number);
                writer_.RegisterPair(tag + "</FONT>");
                if (!onlyDefiniteOpt_)
                    writer_.RegisterPair("</FONT>" + tag);
            }
            ++fontCount_;
        }
        if (after >= n) {
            pos_ = n;
            return;
        }
        const size_t t = s_.find('}', after);
        if (t == std::string::npos) {
            pos_ = n;
            return;
        }
        const size_t u = skipLineEnds(t + 1);
        if (u < n && s_[u] == '}') {
            pos_ = u; // the brace that closes the font table
            return;
        }
        // Remembered, so that many broken font tables cannot each search to the end again.
        const size_t next = t + 1 >= noOpenBraceFrom_ ? std::string::npos : s_.find('{', t + 1);
        if (next == std::string::npos) {
            noOpenBraceFrom_ = std::min(noOpenBraceFrom_, t + 1);
            pos_ = t + 1;
            return;
        }
        pos_ = next;
    }
}

void TRtfConverter::ColorTable() {
    const size_t n = s_.size();
    auto add = [this](int32_t rgb) {
        colors_.push_back(rgb);
        if (optimize_ && colors_.size() <= kMaxColorPairs)
            writer_.RegisterPair(ColorTag(rgb) + "</FONT>");
    };
    auto component = [](std::string_view entry, std::string_view name) {
        size_t at = entry.find(name);
        if (at == std::string_view::npos)
            return 0;
        at += name.size();
        int64_t v = 0;
        while (at < entry.size() && IsDigit(entry[at]) && v <= 255)
            v = v * 10 + (entry[at++] - '0');
        return int(std::min<int64_t>(v, 255));
    };
    if (pos_ < n && s_[pos_] == ';') {
        add(0); // the automatic colour
        ++pos_;
    }
    for (;;) {
        const size_t p = s_.find_first_of("\\}", pos_);
        if (p == std::string::npos) {
            pos_ = n;
            return;
        }
        if (s_[p] == '}') {
            pos_ = p;
            return;
        }
        const size_t e = s_.find_first_of(";}", p);
        if (e == std::string::npos) {
            pos_ = n;
            return;
        }
        if (s_[e] == '}') {
            pos_ = e; // an entry without its ';' ends the table at the brace
            return;
        }
        std::string_view entry = std::string_view(s_).substr(p, e - p);
        add((component(entry, "red") << 16) | (component(entry, "green") << 8) | component(entry, "blue"));
        size_t u = e + 1;
        while (u < n && s_[u] == '\n')
            ++u;
        if (u < n && s_[u] == '}') {
            pos_ = u;
            return;
        }
        pos_ = e + 1;
    }
}

void TRtfConverter::StyleSheet() {
    for (;;) {
        const size_t p = s_.find_first_of("{}", pos_);
        if (p == std::string::npos) {
            pos_ = s_.size();
            return;
        }
        if (s_[p] == '}') {
            pos_ = p; // the brace that closes the style sheet
            return;
        }
        pos_ = p + 1;
        StyleGroup();
    }
}

void TRtfConverter::StyleGroup() {
    const size_t n = s_.size();
    size_t q = pos_;
    while (q < n && s_[q] == '\n')
        ++q;
    int32_t number = 0;
    if (s_.compare(q, 2, "\\s") == 0 && q + 2 < n && IsDigit(s_[q + 2])) {
        size_t d = q + 2;
        while (d < n && IsDigit(s_[d]))
            ++d;
        if (!ParseInt(std::string_view(s_).substr(q + 2, d - q - 2), number))
            number = 300;
    } else if (s_.compare(q, 3, "\\ds") == 0 || s_.compare(q, 3, "\\*\\") == 0) {
        SkipGroup();
        if (pos_ < n)
            ++pos_;
        return;
    }
    std::string own, base, name;
    bool named = false;
    while (pos_ < n) {
        const char c = s_[pos_];
        if (c == '}') {
            ++pos_;
            break;
        }
        if (c == '{') {
            ++pos_;
            SkipGroup();
            if (pos_ < n)
                ++pos_;
            continue;
        }
        if (c == '\n') {
            ++pos_;
            continue;
        }
        if (c == '\\') {
            ++pos_;
            if (pos_ >= n)
                break;
            const char d = s_[pos_];
            if (d == '\'') {
                ++pos_;
                char hex[2];
                if (ReadHex(hex)) {
                    int hi = HexDigit(hex[0]), lo = HexDigit(hex[1]);
                    if (hi >= 0 && lo >= 0)
                        name += char(hi * 16 + lo);
                }
                continue;
            }
            if (IsLower(d)) {
                std::string_view w = ReadWord();
                if (own.size() + w.size() < kMaxStyleWords) {
                    own += '\\';
                    own += w;
                }
                if (w.substr(0, 8) == "sbasedon") {
                    int32_t m = WordValue(w, 8);
                    if (m >= 0 && m <= 300)
                        base = styles_[size_t(m)].words;
                }
                name.clear();
                continue;
            }
            ++pos_; // other control symbols
            continue;
        }
        ++pos_;
        if (c == ';') {
            if (!named && number >= 0 && number <= 300) {
                named = true;
                styles_[size_t(number)].name = name;
                auto lastLevel = [&name](size_t from) {
                    int level = -1;
                    for (size_t i = from; i < name.size(); ++i)
                        if (name[i] >= '1' && name[i] <= '9')
                            level = name[i] - '0';
                    return level;
                };
                if (name.find("toc") != std::string::npos) {
                    const int level = lastLevel(3);
                    if (level > 0)
                        tocStyle_[size_t(level)] = number;
                } else if (name.find("heading") != std::string::npos) {
                    const int level = lastLevel(7);
                    if (level > 0)
                        headingStyle_[size_t(level)] = number;
                }
            }
            continue;
        }
        if (name.size() < 256)
            name += c;
    }
    if (number < 0 || number > 300)
        return;
    std::string words = RtfMergeStyle(number == 0 ? std::string() : base, std::move(own));
    if (words.size() > kMaxStyleWords) {
        const size_t cut = words.rfind('\\', kMaxStyleWords);
        words.resize(cut == std::string::npos ? 0 : cut);
    }
    styles_[size_t(number)].words = std::move(words);
}

} // namespace zbpv

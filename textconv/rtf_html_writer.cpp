#include "textconv/rtf_html_writer.h"

#include <algorithm>
#include <cstring>

namespace zbpv {

namespace {

// A buffer longer than this that ends with a tag is written out even without a line break.
constexpr size_t kShortBuffer = 100;
// An uncleaned short buffer is kept for the last line; beyond this size it gives way to its cleaned
// form so that a run of removable pairs cannot make every Emit rescan a long text.
constexpr size_t kMaxUncleaned = 4096;

const char* const kFormattingPairs[] = {"<B></B>",
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
const char* const kListPairs[] = {"<UL></UL>", "</UL><UL>"};
const char* const kSizeSteps[] = {"-2", "-1", "+0", "+1", "+2", "+3", "+4"};

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool MatchesNoCase(const char* text, std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i)
        if (Lower(text[i]) != Lower(pattern[i]))
            return false;
    return true;
}

// Removes every non-overlapping occurrence lying inside [lo, hi), left to right, in one pass; hi
// follows the removals. Each removal point is recorded in [minJoint, maxJoint].
bool RemoveAllNoCase(std::string& text, std::string_view pattern, size_t lo, size_t& hi, size_t& minJoint,
                     size_t& maxJoint) {
    const size_t m = pattern.size(), end = hi, n = text.size();
    if (m == 0 || end < lo + m)
        return false;
    char* d = text.data();
    size_t i = lo, j = lo;
    bool removed = false;
    while (i < n) {
        if (i + m <= end && d[i] == pattern[0] && MatchesNoCase(d + i, pattern)) {
            i += m;
            minJoint = std::min(minJoint, j);
            maxJoint = std::max(maxJoint, j);
            removed = true;
            continue;
        }
        if (!removed && i >= end)
            return false;
        d[j++] = d[i++];
    }
    text.resize(j);
    hi = end - (n - j);
    return removed;
}

} // namespace

TRtfHtmlWriter::TRtfHtmlWriter(bool optimize) : optimize_(optimize) {
    if (optimize_)
        for (const char* step : kSizeSteps)
            registered_.push_back(std::string("<FONT SIZE=") + step + "></FONT>");
    RebuildPatterns();
}

void TRtfHtmlWriter::RegisterPair(std::string pair) {
    if (!optimize_ || std::find(registered_.begin(), registered_.end(), pair) != registered_.end())
        return;
    registered_.push_back(std::move(pair));
    RebuildPatterns();
}

void TRtfHtmlWriter::RebuildPatterns() {
    patterns_.clear();
    if (optimize_)
        patterns_.insert(patterns_.end(), std::begin(kFormattingPairs), std::end(kFormattingPairs));
    patterns_.insert(patterns_.end(), std::begin(kListPairs), std::end(kListPairs));
    if (optimize_)
        patterns_.insert(patterns_.end(), registered_.rbegin(), registered_.rend());
    maxPattern_ = 0;
    joints_.clear();
    for (const auto& p : patterns_) {
        maxPattern_ = std::max(maxPattern_, p.size());
        joints_.push_back(p.find("><"));
    }
}

bool TRtfHtmlWriter::AnyPattern(const std::string& text) const {
    // Every pair is two adjacent tags: look only where "><" occurs.
    for (size_t j = text.find("><"); j != std::string::npos; j = text.find("><", j + 1)) {
        for (size_t k = 0; k < patterns_.size(); ++k) {
            const size_t at = joints_[k];
            const std::string& p = patterns_[k];
            if (j >= at && j - at + p.size() <= text.size() && MatchesNoCase(text.data() + (j - at), p))
                return true;
        }
    }
    return false;
}

bool TRtfHtmlWriter::Clean(std::string& text) const {
    if (!AnyPattern(text))
        return false;
    // The passes repeat until nothing changes. After the first, a new pair can only have formed
    // where something was just removed, so each later pass looks only around those points.
    size_t lo = 0, hi = text.size();
    bool any = false;
    for (;;) {
        bool changed = false;
        size_t minJoint = std::string::npos, maxJoint = 0;
        for (const auto& p : patterns_)
            changed |= RemoveAllNoCase(text, p, lo, hi, minJoint, maxJoint);
        if (!changed)
            break;
        any = true;
        lo = minJoint > maxPattern_ ? minJoint - maxPattern_ : 0;
        hi = std::min(text.size(), maxJoint + maxPattern_);
    }
    return any;
}

void TRtfHtmlWriter::WriteLine(std::string_view line) {
    out_.append(line);
    out_.append("\r\n");
}

void TRtfHtmlWriter::FlushRest() {
    WriteLine(buf_);
    buf_.clear();
    clean_.clear();
    bufClean_ = true;
}

std::string TRtfHtmlWriter::LinkURLs(std::string_view text) {
    static constexpr std::string_view kScheme = "http://";
    size_t at = text.find(kScheme);
    if (at == std::string_view::npos)
        return std::string(text);
    std::string result;
    result.reserve(text.size() + 32);
    size_t from = 0;
    while (at != std::string_view::npos) {
        // A double quote ends the address too: inside the HREF attribute it would end the value.
        size_t end = text.find_first_of("< ,\"", at + kScheme.size());
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view url = text.substr(at, end - at);
        result.append(text.substr(from, at - from));
        result.append("<A HREF=\"").append(url).append("\">").append(url).append("</A>");
        from = end;
        at = text.find(kScheme, end);
    }
    result.append(text.substr(from));
    return result;
}

void TRtfHtmlWriter::Emit(std::string_view text) {
    if (text.empty())
        return;
    // Every removable pair and both cut marks end with '>': text without one can neither complete a
    // pair nor a cut point, so appending it to a clean text needs no work.
    if (text.find('>') == std::string_view::npos) {
        buf_.append(text);
        if (!bufClean_) {
            clean_.append(text);
            if (clean_.size() > kShortBuffer || buf_.size() > kMaxUncleaned) {
                buf_.swap(clean_);
                bufClean_ = true;
            }
        }
        return;
    }

    // The clean form of the buffer; it can only change near its end: each removal takes at least
    // one character of the new text and at most one pattern's length of the old text.
    const std::string& base = bufClean_ ? buf_ : clean_;
    size_t prefix = 0;
    const size_t window = (text.size() + 1) * maxPattern_;
    if (base.size() > window)
        prefix = base.size() - window;
    work_.assign(base, prefix, std::string::npos);
    work_.append(text);
    const bool changed = Clean(work_);

    // Cut points: after the first "<P>", else after the first "<BR>". The untouched prefix holds
    // neither, because a kept buffer never has a cut point.
    size_t pos = 0;
    size_t noParagraphFrom = std::string::npos; // no "<P>" at or after this position
    bool first = true;
    for (;;) {
        size_t cut = std::string::npos;
        if (noParagraphFrom == std::string::npos || pos < noParagraphFrom) {
            size_t p = work_.find("<P>", pos);
            if (p != std::string::npos)
                cut = p + 3;
            else
                noParagraphFrom = pos;
        }
        if (cut == std::string::npos) {
            size_t b = work_.find("<BR>", pos);
            if (b != std::string::npos)
                cut = b + 4;
        }
        if (cut == std::string::npos)
            break;
        if (first) {
            std::string line(base, 0, prefix);
            line.append(work_, 0, cut);
            WriteLine(LinkURLs(line));
            first = false;
        } else {
            WriteLine(LinkURLs(std::string_view(work_).substr(pos, cut - pos)));
        }
        pos = cut;
    }

    if (first) {
        if (prefix + work_.size() <= kShortBuffer) {
            // No cut point and short: the buffer keeps its uncleaned text, the clean form goes on.
            if (bufClean_ && !changed) {
                buf_.append(text);
                return;
            }
            clean_.assign(base, 0, prefix); // base may be clean_ itself: prefix is 0 then
            clean_.append(work_);
            buf_.append(text);
            bufClean_ = false;
            if (buf_.size() > kMaxUncleaned) {
                buf_.swap(clean_);
                bufClean_ = true;
            }
            return;
        }
        if (bufClean_) {
            buf_.resize(prefix);
        } else {
            buf_.assign(clean_, 0, prefix);
        }
        buf_.append(work_);
    } else {
        buf_.assign(work_, pos, std::string::npos);
    }
    bufClean_ = true;
    const size_t n = buf_.size();
    if (n > kShortBuffer && buf_[n - 1] == '>' && buf_[n - 2] != 'L' && buf_[n - 2] != 'A') {
        WriteLine(LinkURLs(buf_));
        buf_.clear();
    }
}

} // namespace zbpv

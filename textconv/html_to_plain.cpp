#include "textconv/html_to_plain.h"

#include "support/ansi.h"
#include "support/errors.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <vector>

namespace zbpv {

namespace {

// Deeper list nesting is not indented further, so the output stays bounded by the input.
constexpr int kMaxListIndent = 8;
// Deeper quotes get no further "> " for the same reason.
constexpr size_t kMaxQuotePrefixes = 16;
// The parser's work grows with the square of the nesting depth (about a second at 6000 levels), so
// documents nested deeper are refused instead of stalling the import.
constexpr int kMaxNesting = 4000;

bool IsDropped(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_MAP:
        return true;
    default:
        return false;
    }
}

bool IsBlock(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_XMP:
        return true;
    default:
        return false;
    }
}

bool KeepsWhiteSpace(GumboTag tag) {
    return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_XMP ||
           tag == GUMBO_TAG_PLAINTEXT || tag == GUMBO_TAG_TEXTAREA;
}

bool IsCollapsible(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Collects the text line by line (UTF-8 until the end).
class PlainTextWriter {
public:
    // Text of a text node.
    void Text(std::string_view utf8) {
        for (size_t i = 0; i < utf8.size(); ++i) {
            char c = utf8[i];
            if (keepWhiteSpace_ > 0) {
                if (c == '\n') {
                    EndLine(true);
                } else if (c != '\r') {
                    Put(std::string_view(&utf8[i], 1));
                }
                continue;
            }
            if (IsCollapsible(c)) {
                pendingBlank_ = hasContent_;
                continue;
            }
            size_t len = SequenceLength(static_cast<unsigned char>(c));
            if (i + len > utf8.size()) {
                len = utf8.size() - i;
            }
            std::string_view ch = utf8.substr(i, len);
            i += len - 1;
            if (IsInvisible(ch)) {
                continue;
            }
            if (pendingBlank_) {
                Put(" ");
            }
            Put(ch == "\xC2\xA0" ? std::string_view(" ") : ch);
        }
    }

    // A literal piece that does not collapse (cell separators).
    void Literal(std::string_view s) { Put(s); }

    // A block boundary: ends the current line if it holds anything.
    void Block() {
        if (hasContent_) {
            EndLine(false);
        }
    }

    // <br>: always ends a line.
    void Break() { EndLine(true); }

    void PushPrefix(std::string_view p) {
        if (prefixes_.size() < kMaxQuotePrefixes) {
            prefixes_.emplace_back(p);
        }
        ++prefixDepth_;
    }
    void PopPrefix() {
        if (prefixDepth_ > 0 && prefixDepth_-- <= kMaxQuotePrefixes) {
            prefixes_.pop_back();
        }
    }
    void SetMarker(std::string marker) { marker_ = std::move(marker); }
    void KeepWhiteSpace(int delta) { keepWhiteSpace_ += delta; }

    std::string Finish() {
        Block();
        size_t first = 0;
        while (first < lines_.size() && lines_[first].empty()) {
            ++first;
        }
        size_t last = lines_.size();
        while (last > first && lines_[last - 1].empty()) {
            --last;
        }
        std::string out;
        for (size_t i = first; i < last; ++i) {
            if (i > first) {
                out += "\r\n";
            }
            out += lines_[i];
        }
        return Utf8ToAnsi(out);
    }

private:
    static size_t SequenceLength(unsigned char lead) {
        if (lead >= 0xF0) {
            return 4;
        }
        if (lead >= 0xE0) {
            return 3;
        }
        if (lead >= 0xC0) {
            return 2;
        }
        return 1;
    }

    static bool IsInvisible(std::string_view ch) {
        return ch == "\xC2\xAD" /* soft hyphen */ || ch == "\xE2\x80\x8B" || ch == "\xE2\x80\x8C" ||
               ch == "\xE2\x80\x8D" /* zero-width (non-)joiners */ ||
               ch == "\xE2\x81\xA0" /* word joiner */ || ch == "\xEF\xBB\xBF" /* byte order mark */;
    }

    void Put(std::string_view s) {
        if (!hasContent_) {
            for (const std::string& p : prefixes_) {
                line_ += p;
            }
            line_ += marker_;
            marker_.clear();
        }
        line_ += s;
        hasContent_ = true;
        pendingBlank_ = false;
    }

    void EndLine(bool force) {
        if (!hasContent_) {
            if (!force) {
                return;
            }
            for (const std::string& p : prefixes_) {
                line_ += p;
            }
        }
        while (!line_.empty() && (line_.back() == ' ' || line_.back() == '\t')) {
            line_.pop_back();
        }
        lines_.push_back(std::move(line_));
        line_.clear();
        hasContent_ = false;
        pendingBlank_ = false;
    }

    std::vector<std::string> lines_;
    std::string line_;
    std::vector<std::string> prefixes_;
    size_t prefixDepth_ = 0;
    std::string marker_;
    bool hasContent_ = false;
    bool pendingBlank_ = false;
    int keepWhiteSpace_ = 0;
};

struct ListState {
    bool ordered = false;
    long long next = 1;
};

const GumboVector& Children(const GumboNode* node) {
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

// An open node and the next child to visit.
struct Frame {
    const GumboNode* node;
    unsigned child = 0;
};

class Converter {
public:
    std::string Run(const GumboNode* root) {
        // Iterative walk: deeply nested mails must not exhaust the stack.
        std::vector<Frame> stack;
        Enter(root, stack);
        while (!stack.empty()) {
            Frame& top = stack.back();
            const GumboVector& children = Children(top.node);
            if (top.child < children.length) {
                const auto* child = static_cast<const GumboNode*>(children.data[top.child++]);
                Enter(child, stack);
                continue;
            }
            const GumboNode* node = top.node;
            stack.pop_back();
            Leave(node);
        }
        return writer_.Finish();
    }

private:
    void Enter(const GumboNode* node, std::vector<Frame>& stack) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            writer_.Text(node->v.text.text);
            return;
        case GUMBO_NODE_DOCUMENT:
            stack.push_back(Frame{node});
            return;
        case GUMBO_NODE_ELEMENT:
            break;
        default: // comments, templates
            return;
        }
        const GumboElement& element = node->v.element;
        GumboTag tag = element.tag;
        if (IsDropped(tag)) {
            return;
        }
        if (IsBlock(tag)) {
            writer_.Block();
        }
        switch (tag) {
        case GUMBO_TAG_BR:
            writer_.Break();
            return;
        case GUMBO_TAG_IMG:
            if (const GumboAttribute* alt = gumbo_get_attribute(&element.attributes, "alt")) {
                writer_.Text(alt->value);
            }
            return;
        case GUMBO_TAG_BLOCKQUOTE:
            writer_.PushPrefix("> ");
            break;
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_MENU:
        case GUMBO_TAG_DIR: {
            ListState list;
            list.ordered = tag == GUMBO_TAG_OL;
            if (const GumboAttribute* start = gumbo_get_attribute(&element.attributes, "start")) {
                list.next = ParseStart(start->value);
            }
            lists_.push_back(list);
            break;
        }
        case GUMBO_TAG_LI:
            writer_.SetMarker(ListMarker());
            break;
        case GUMBO_TAG_TR:
            cells_.push_back(0);
            break;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            if (!cells_.empty() && cells_.back()++ > 0) {
                writer_.Literal("\t");
            }
            break;
        default:
            break;
        }
        if (KeepsWhiteSpace(tag)) {
            writer_.KeepWhiteSpace(1);
        }
        stack.push_back(Frame{node});
    }

    void Leave(const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT) {
            return;
        }
        GumboTag tag = node->v.element.tag;
        switch (tag) {
        case GUMBO_TAG_BLOCKQUOTE:
            writer_.Block();
            writer_.PopPrefix();
            break;
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_MENU:
        case GUMBO_TAG_DIR:
            if (!lists_.empty()) {
                lists_.pop_back();
            }
            break;
        case GUMBO_TAG_LI:
            writer_.SetMarker({});
            break;
        case GUMBO_TAG_TR:
            if (!cells_.empty()) {
                cells_.pop_back();
            }
            break;
        default:
            break;
        }
        if (KeepsWhiteSpace(tag)) {
            writer_.KeepWhiteSpace(-1);
        }
        if (IsBlock(tag)) {
            writer_.Block();
        }
    }

    std::string ListMarker() {
        if (lists_.empty()) {
            return "- ";
        }
        int depth = static_cast<int>(lists_.size()) - 1;
        std::string marker(static_cast<size_t>(std::min(depth, kMaxListIndent)) * 2, ' ');
        ListState& list = lists_.back();
        if (list.ordered) {
            marker += std::to_string(list.next) + ". ";
            if (list.next < 1000000000) {
                ++list.next;
            }
        } else {
            marker += "- ";
        }
        return marker;
    }

    static long long ParseStart(const char* text) {
        long long n = 0;
        bool negative = false;
        const char* p = text;
        while (*p == ' ') {
            ++p;
        }
        if (*p == '-') {
            negative = true;
            ++p;
        }
        if (*p < '0' || *p > '9') {
            return 1;
        }
        while (*p >= '0' && *p <= '9' && n < 1000000000) {
            n = n * 10 + (*p++ - '0');
        }
        return negative ? -n : n;
    }

    PlainTextWriter writer_;
    std::vector<ListState> lists_;
    std::vector<int> cells_;
};

struct GumboOutputDeleter {
    void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

// Whether the document says its bytes are UTF-8 (a meta charset of "utf-8").
bool DeclaresUtf8(std::string_view html) {
    std::string lower = AnsiLowerCase(html);
    for (size_t pos = lower.find("charset"); pos != std::string::npos; pos = lower.find("charset", pos + 7)) {
        size_t p = pos + 7;
        while (p < lower.size() &&
               (lower[p] == ' ' || lower[p] == '=' || lower[p] == '"' || lower[p] == '\'')) {
            ++p;
        }
        if (lower.compare(p, 5, "utf-8") == 0 || lower.compare(p, 4, "utf8") == 0) {
            return true;
        }
    }
    return false;
}

// Elements that never nest: void ones and those the next sibling closes implicitly.
bool NeverNests(std::string_view name) {
    static constexpr std::array<std::string_view, 29> names = {
        "area",  "base",   "br",       "col",   "embed", "hr",    "img",     "input",    "link",    "meta",
        "param", "source", "track",    "wbr",   "p",     "li",    "dt",      "dd",       "tr",      "td",
        "th",    "option", "optgroup", "thead", "tbody", "tfoot", "caption", "colgroup", "basefont"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Upper estimate of how deep the elements of a document nest, from a quick scan of its tags (start
// tags minus end tags; comments and script and style contents skipped).
int EstimateNesting(std::string_view document) {
    const std::string lower = AnsiLowerCase(document);
    const std::string_view html = lower;
    int depth = 0;
    int deepest = 0;
    size_t i = 0;
    while ((i = html.find('<', i)) != std::string_view::npos) {
        ++i;
        if (html.compare(i, 3, "!--") == 0) {
            size_t end = html.find("-->", i + 3);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        if (i < html.size() && html[i] == '/') {
            depth = std::max(depth - 1, 0);
            continue;
        }
        size_t start = i;
        while (i < html.size() && std::isalnum(static_cast<unsigned char>(html[i]))) {
            ++i;
        }
        if (i == start || !std::isalpha(static_cast<unsigned char>(html[start]))) {
            continue;
        }
        std::string_view name = html.substr(start, i - start);
        if (name == "script" || name == "style") {
            size_t end = html.find(name == "script" ? "</script" : "</style", i);
            i = end == std::string_view::npos ? html.size() : end;
            continue;
        }
        if (!NeverNests(name)) {
            deepest = std::max(deepest, ++depth);
        }
    }
    return deepest;
}

} // namespace

std::string HtmlToPlainText(std::string_view html) {
    if (int depth = EstimateNesting(html); depth > kMaxNesting) {
        throw EConvertError("Der HTML-Text ist zu tief verschachtelt (" + std::to_string(depth) +
                            " Ebenen) und kann nicht in Text umgewandelt werden.");
    }
    // The core holds Windows-1252; a body that declares UTF-8 may still carry UTF-8 bytes, which the
    // lenient conversion reads either way.
    const std::string utf8 = AnsiToUtf8(DeclaresUtf8(html) ? Utf8ToAnsi(html) : std::string(html));
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    std::unique_ptr<GumboOutput, GumboOutputDeleter> output(
        gumbo_parse_with_options(&options, utf8.data(), utf8.size()));
    if (!output || !output->document) {
        return {};
    }
    return Converter().Run(output->document);
}

} // namespace zbpv

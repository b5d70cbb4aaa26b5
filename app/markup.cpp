#include "app/markup.h"

#include "support/ansi.h"

namespace zbpv {

std::string ColourNameToHtml(std::string_view name) {
    static const struct {
        const char* name;
        const char* html;
    } colours[] = {
        {"clBlack", "#000000"},  {"clMaroon", "#800000"},  {"clGreen", "#008000"}, {"clOlive", "#808000"},
        {"clNavy", "#000080"},   {"clPurple", "#800080"},  {"clTeal", "#008080"},  {"clGray", "#808080"},
        {"clSilver", "#C0C0C0"}, {"clRed", "#FF0000"},     {"clLime", "#00FF00"},  {"clYellow", "#FFFF00"},
        {"clBlue", "#0000FF"},   {"clFuchsia", "#FF00FF"}, {"clAqua", "#00FFFF"},  {"clWhite", "#FFFFFF"},
    };
    for (const auto& c : colours) {
        if (AnsiSameText(name, c.name)) {
            return c.html;
        }
    }
    return {};
}

namespace {

// Calls `tag` for each recognised tag and `text` for the runs between them.
template <class Tag, class Text> void Walk(std::string_view s, Tag tag, Text text) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t open = s.find('<', pos);
        if (open == std::string_view::npos) {
            text(s.substr(pos));
            return;
        }
        std::size_t close = s.find('>', open);
        if (close == std::string_view::npos) {
            text(s.substr(pos));
            return;
        }
        std::string_view name = s.substr(open + 1, close - open - 1);
        bool known = AnsiSameText(name, "B") || AnsiSameText(name, "/B") || AnsiSameText(name, "/C") ||
                     (name.size() > 2 && (name[0] == 'C' || name[0] == 'c') && name[1] == ':');
        if (!known) {
            text(s.substr(pos, close + 1 - pos));
            pos = close + 1;
            continue;
        }
        text(s.substr(pos, open - pos));
        tag(name);
        pos = close + 1;
    }
}

} // namespace

std::string MarkupToHtml(std::string_view markup) {
    std::string html;
    Walk(
        markup,
        [&](std::string_view name) {
            if (AnsiSameText(name, "B")) {
                html += "<b>";
            } else if (AnsiSameText(name, "/B")) {
                html += "</b>";
            } else if (AnsiSameText(name, "/C")) {
                html += "</span>";
            } else {
                std::string colour = ColourNameToHtml(name.substr(2));
                html += "<span style=\"color:" + (colour.empty() ? std::string("inherit") : colour) + "\">";
            }
        },
        [&](std::string_view text) {
            for (char c : text) {
                switch (c) {
                case '<':
                    html += "&lt;";
                    break;
                case '>':
                    html += "&gt;";
                    break;
                case '&':
                    html += "&amp;";
                    break;
                case '\r':
                    break;
                case '\n':
                    html += "<br>";
                    break;
                default:
                    html += c;
                }
            }
        });
    return html;
}

std::string MarkupToPlain(std::string_view markup) {
    std::string plain;
    Walk(
        markup, [](std::string_view) {}, [&](std::string_view text) { plain += text; });
    return plain;
}

} // namespace zbpv

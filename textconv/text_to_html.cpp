#include "textconv/text_to_html.h"

#include "support/ansi.h"

#include <cstdio>
#include <vector>

namespace zbpv {

const std::string_view kDefaultHeadHtml =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN//\">\r\n"
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; CHARSET=%1:s\">\r\n"
    "<META NAME=\"GENERATOR\" Content=\"%0:s\">\r\n"
    "<STYLE TYPE=\"text/css\">\r\n"
    "<!--\r\n"
    "p.Normal, div.Normal\r\n"
    "{\r\n"
    "  font-family: \"%2:s\";\r\n"
    "  font-size:   %3:dpt;\r\n"
    "  margin:      0cm;\r\n"
    "}\r\n"
    "//-->\r\n"
    "</STYLE>\r\n"
    "</HEAD>";

namespace {

constexpr std::string_view kLineBreak = "\r\n";

bool StaysAsIs(unsigned char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= '@' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string EscapeLine(std::string_view line) {
    std::string out;
    out.reserve(line.size() * 2);
    for (unsigned char c : line) {
        if (c == '\t') {
            out += "&nbsp;&nbsp;&nbsp; ";
        } else if (StaysAsIs(c)) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "&#X%.2x;", c);
            out += buf;
        }
    }
    // A browser collapses runs of blanks; every pair keeps its width as a non-breaking space and a blank.
    // Each pass removes one blank of every pair, so this ends.
    for (size_t pos = out.find("  "); pos != std::string::npos; pos = out.find("  ")) {
        std::string replaced;
        replaced.reserve(out.size() + 8);
        size_t from = 0;
        for (size_t p = pos; p != std::string::npos; p = out.find("  ", from)) {
            replaced.append(out, from, p - from);
            replaced += "&#XA0; ";
            from = p + 2;
        }
        replaced.append(out, from, std::string::npos);
        out = std::move(replaced);
    }
    if (out.find_first_not_of(' ') == std::string::npos) {
        out = "&nbsp;";
    }
    return out;
}

} // namespace

std::string DefaultHeadHtml(std::string_view generator, std::string_view charSet, std::string_view fontName,
                            int fontSize) {
    const std::string size = std::to_string(fontSize);
    std::string out;
    out.reserve(kDefaultHeadHtml.size() + generator.size() + charSet.size() + fontName.size() + size.size());
    std::string_view head = kDefaultHeadHtml;
    for (size_t i = 0; i < head.size(); ++i) {
        // The head holds exactly the four placeholders "%N:s" / "%3:d"; they are filled in one pass so
        // that a value that itself looks like a placeholder is written as it is.
        if (head[i] == '%' && i + 3 < head.size() && head[i + 2] == ':') {
            switch (head[i + 1]) {
            case '0':
                out += generator;
                break;
            case '1':
                out += charSet;
                break;
            case '2':
                out += fontName;
                break;
            case '3':
                out += size;
                break;
            default:
                out += head[i];
                continue;
            }
            i += 3;
            continue;
        }
        out += head[i];
    }
    return out;
}

int TextToHtml(std::string_view text, std::string_view generator, int fontSize, std::string_view fontName,
               std::string_view charSet, std::string& html) {
    std::string out = DefaultHeadHtml(generator, charSet, fontName, fontSize);
    out += kLineBreak;
    out += "<BODY>";
    out += kLineBreak;
    for (std::string_view line : SplitLines(text)) {
        out += "<p class=Normal>";
        out += EscapeLine(line);
        out += "</p>";
        out += kLineBreak;
    }
    out += kLineBreak;
    out += "</BODY>";
    out += kLineBreak;
    out += "</HTML>";
    html = std::move(out);
    return 0;
}

} // namespace zbpv

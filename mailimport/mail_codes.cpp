#include "mailimport/mail_codes.h"

#include "support/ansi.h"

#include <array>
#include <vector>

namespace zbpv {

namespace {

bool IsBlankOrControl(char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0xA0;
}

std::string_view TrimView(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlankOrControl(s[b])) {
        ++b;
    }
    while (e > b && IsBlankOrControl(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

bool IsContinuation(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

} // namespace

std::string PriorityCode(std::string_view value) {
    if (AnsiSameText(value, "A")) {
        return "1";
    }
    if (AnsiSameText(value, "C")) {
        return "3";
    }
    return "2";
}

std::string ConfidentialityCode(std::string_view value) {
    if (AnsiSameText(value, "B")) {
        return "1";
    }
    if (AnsiSameText(value, "C")) {
        return "2";
    }
    if (AnsiSameText(value, "D")) {
        return "3";
    }
    return "0";
}

std::string FollowUpText(std::string_view value) {
    static const std::array<std::string, 9> texts = {
        Utf8ToAnsi("Zur Nachverfolgung"),
        Utf8ToAnsi("Zur Kenntnisnahme"),
        Utf8ToAnsi("Bitte um Anruf"),
        Utf8ToAnsi("Bitte um Antwort"),
        Utf8ToAnsi("Anwort nicht erforderlich"),
        Utf8ToAnsi("Bitte um Weiterleitung"),
        Utf8ToAnsi("Nicht weiterleiten"),
        Utf8ToAnsi("Zur Durchsicht"),
        Utf8ToAnsi("Zur Überprüfung"),
    };
    if (value.empty() || value[0] < '1' || value[0] > '9') {
        return {};
    }
    return texts[static_cast<size_t>(value[0] - '1')];
}

std::optional<std::string> ConvertHeaders(std::string_view text) {
    std::string_view trimmed = TrimView(text);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(trimmed.size() + trimmed.size() / 8);
    bool first = true;
    for (std::string_view line : SplitLines(trimmed)) {
        if (!first) {
            out += "\r\n";
        }
        first = false;
        size_t eq = IsContinuation(line) ? std::string_view::npos : line.find('=');
        if (eq == std::string_view::npos) {
            out += line;
        } else {
            out += line.substr(0, eq);
            out += ": ";
            out += line.substr(eq + 1);
        }
    }
    return std::string(TrimView(out));
}

std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name) {
    std::vector<std::string_view> lines = SplitLines(headers);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (IsContinuation(line)) {
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || !AnsiSameText(TrimView(line.substr(0, colon)), name)) {
            continue;
        }
        std::string value(line.substr(colon + 1));
        for (size_t j = i + 1; j < lines.size() && IsContinuation(lines[j]); ++j) {
            value += lines[j];
        }
        return std::string(TrimView(value));
    }
    return std::nullopt;
}

std::optional<std::string> MessageIdFromHeaders(std::string_view headers) {
    std::optional<std::string> value = HeaderValue(headers, "Message-Id");
    if (!value) {
        return std::nullopt;
    }
    std::string id;
    for (char c : *value) {
        if (c != '<' && c != '>') {
            id += c;
        }
    }
    std::string_view trimmed = TrimView(id);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

} // namespace zbpv

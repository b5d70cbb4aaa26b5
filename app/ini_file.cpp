#include "app/ini_file.h"

#include "support/ansi.h"
#include "support/errors.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace zbpv {

namespace fs = std::filesystem;

struct TosIniFile::Lines {
    std::vector<std::string> lines;
    bool crlf = true;
};

namespace {

enum class LineKind { Blank, Comment, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Blank;
    std::string name;  // section or key name, trimmed
    std::string value; // key value, trimmed and unquoted
};

Parsed ParseLine(std::string_view line) {
    Parsed p;
    std::string t = Trim(line);
    if (t.empty()) {
        return p;
    }
    if (t[0] == ';') {
        p.kind = LineKind::Comment;
        return p;
    }
    if (t[0] == '[') {
        p.kind = LineKind::Section;
        std::size_t close = t.find(']');
        p.name =
            Trim(std::string_view(t).substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return p;
    }
    p.kind = LineKind::Key;
    std::size_t eq = t.find('=');
    if (eq == std::string::npos) {
        p.name = t;
        return p;
    }
    p.name = Trim(std::string_view(t).substr(0, eq));
    p.value = Trim(std::string_view(t).substr(eq + 1));
    if (p.value.size() >= 2 && (p.value.front() == '"' || p.value.front() == '\'') &&
        p.value.back() == p.value.front()) {
        p.value = p.value.substr(1, p.value.size() - 2);
    }
    return p;
}

// Index of the first header line of the section, or -1.
long FindSection(const std::vector<std::string>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Parsed p = ParseLine(lines[i]);
        if (p.kind == LineKind::Section && AnsiSameText(p.name, section)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

// One past the last line belonging to the section that starts at `header`.
std::size_t SectionEnd(const std::vector<std::string>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && ParseLine(lines[i]).kind != LineKind::Section) {
        ++i;
    }
    return i;
}

std::string WriteFailure(const fs::path& file) {
    return "Nach " + file.string() + " kann nicht geschrieben werden";
}

} // namespace

TosIniFile::TosIniFile(fs::path fileName) : fileName_(std::move(fileName)) {}

TosIniFile::Lines TosIniFile::Load() const {
    Lines result;
    std::ifstream in(fileName_, std::ios::binary);
    if (!in) {
        return result;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    result.crlf = text.find('\n') == std::string::npos || text.find("\r\n") != std::string::npos;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        result.lines.push_back(std::move(line));
        pos = eol == std::string::npos ? text.size() : eol + 1;
    }
    return result;
}

void TosIniFile::Store(const Lines& lines) const {
    std::string text;
    for (const std::string& line : lines.lines) {
        text += line;
        text += lines.crlf ? "\r\n" : "\n";
    }
    std::error_code exists;
    if (fs::exists(fileName_, exists) && ::access(fileName_.c_str(), W_OK) != 0) {
        throw EFileError(WriteFailure(fileName_)); // a read-only file stays as it is
    }
    // Written beside the file and moved over it, so an interrupted write never leaves half a file.
    fs::path temp = fileName_;
    temp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) {
            out << text;
            out.close();
            std::error_code ec;
            if (out && (fs::rename(temp, fileName_, ec), !ec)) {
                return;
            }
        }
        std::error_code ec;
        fs::remove(temp, ec);
    }
    // A folder that allows no new files may still hold a writable file.
    std::ofstream out(fileName_, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw EFileError(WriteFailure(fileName_));
    }
    out << text;
    out.close();
    if (!out) {
        throw EFileError(WriteFailure(fileName_));
    }
}

std::optional<std::string> TosIniFile::Find(std::string_view section, std::string_view key) const {
    Lines file = Load();
    long header = FindSection(file.lines, section);
    if (header < 0) {
        return std::nullopt;
    }
    std::size_t end = SectionEnd(file.lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        Parsed p = ParseLine(file.lines[i]);
        if (p.kind == LineKind::Key && AnsiSameText(p.name, key)) {
            return p.value;
        }
    }
    return std::nullopt;
}

std::string TosIniFile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
    std::string value = Find(section, key).value_or(std::string(def));
    if (value.size() > MaxValueLength) {
        value.resize(MaxValueLength);
    }
    return value;
}

std::optional<int> ParseIniInteger(std::string_view text) {
    std::string_view t = text;
    bool negative = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (t.starts_with("0x") || t.starts_with("0X")) {
        base = 16;
        t.remove_prefix(2);
    } else if (t.starts_with("$")) {
        base = 16;
        t.remove_prefix(1);
    }
    if (t.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, base);
    if (ec != std::errc() || end != t.data() + t.size()) {
        return std::nullopt;
    }
    value = negative ? -value : value;
    if (base == 16 && !negative && value > 0x7FFFFFFF && value <= 0xFFFFFFFFLL) {
        value -= 0x100000000LL; // "0xFFFFFFFF" is -1, as a 32-bit reader sees it
    }
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

int TosIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    auto value = Find(section, key);
    if (!value) {
        return def;
    }
    return ParseIniInteger(*value).value_or(def);
}

bool TosIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TosIniFile::ValueExists(std::string_view section, std::string_view key) const {
    for (const std::string& name : ReadSection(section)) {
        if (AnsiSameText(name, key)) {
            return true;
        }
    }
    return false;
}

bool TosIniFile::SectionExists(std::string_view section) const {
    return FindSection(Load().lines, section) >= 0;
}

std::vector<std::string> TosIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> names;
    Lines file = Load();
    long header = FindSection(file.lines, section);
    if (header < 0) {
        return names;
    }
    std::size_t end = SectionEnd(file.lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        Parsed p = ParseLine(file.lines[i]);
        if (p.kind == LineKind::Key) {
            names.push_back(p.name);
        }
    }
    return names;
}

void TosIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Lines file = Load();
    std::string line = std::string(key) + "=" + std::string(value);
    long header = FindSection(file.lines, section);
    if (header < 0) {
        if (!file.lines.empty() && !Trim(file.lines.back()).empty()) {
            file.lines.emplace_back();
        }
        file.lines.push_back("[" + std::string(section) + "]");
        file.lines.push_back(line);
        Store(file);
        return;
    }
    std::size_t end = SectionEnd(file.lines, header);
    std::size_t last = header; // last non-blank line of the section
    for (std::size_t i = header + 1; i < end; ++i) {
        Parsed p = ParseLine(file.lines[i]);
        if (p.kind == LineKind::Key && AnsiSameText(p.name, key)) {
            file.lines[i] = p.name + "=" + std::string(value);
            Store(file);
            return;
        }
        if (p.kind != LineKind::Blank) {
            last = i;
        }
    }
    file.lines.insert(file.lines.begin() + static_cast<long>(last) + 1, line);
    Store(file);
}

void TosIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TosIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TosIniFile::EraseSection(std::string_view section) {
    Lines file = Load();
    long header = FindSection(file.lines, section);
    if (header < 0) {
        return;
    }
    std::size_t end = SectionEnd(file.lines, header);
    file.lines.erase(file.lines.begin() + header, file.lines.begin() + static_cast<long>(end));
    Store(file);
}

} // namespace zbpv

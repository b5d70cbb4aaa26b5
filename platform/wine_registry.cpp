#include "platform/wine_registry.h"

#include "platform/utf16.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace zbpv {

namespace {

// Registry names compare without regard to ASCII letter case (enough for key names here).
std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return r;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

// Reads an escaped string up to the unescaped `end` character, the way Wine writes them: \\x with up to
// four hex digits is a UTF-16 unit, \\ with up to three octal digits one too, C escapes, and any other
// escaped character stands for itself. Bytes above 127 are taken as UTF-8. `pos` ends after `end`.
std::u16string ParseEscaped(std::string_view s, std::size_t& pos, char end) {
    std::u16string units;
    std::string raw; // pending UTF-8 bytes
    auto flush = [&] {
        if (!raw.empty()) {
            units += Utf8ToUtf16(raw);
            raw.clear();
        }
    };
    while (pos < s.size() && s[pos] != end) {
        char c = s[pos++];
        if (c != '\\' || pos >= s.size()) {
            raw.push_back(c);
            continue;
        }
        flush();
        char e = s[pos++];
        switch (e) {
        case 'a':
            units.push_back(u'\a');
            break;
        case 'b':
            units.push_back(u'\b');
            break;
        case 'e':
            units.push_back(u'\x1b');
            break;
        case 'f':
            units.push_back(u'\f');
            break;
        case 'n':
            units.push_back(u'\n');
            break;
        case 'r':
            units.push_back(u'\r');
            break;
        case 't':
            units.push_back(u'\t');
            break;
        case 'v':
            units.push_back(u'\v');
            break;
        case 'x': {
            unsigned v = 0;
            int n = 0;
            while (n < 4 && pos < s.size() && IsHex(s[pos])) {
                v = v * 16 + HexDigit(s[pos++]);
                ++n;
            }
            units.push_back(n ? static_cast<char16_t>(v) : u'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = e - '0';
                for (int n = 1; n < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++n) {
                    v = v * 8 + (s[pos++] - '0');
                }
                units.push_back(static_cast<char16_t>(v));
            } else {
                raw.push_back(e);
            }
        }
    }
    flush();
    if (pos < s.size()) {
        ++pos; // the closing character
    }
    return units;
}

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& units, bool terminator) {
    std::vector<std::uint8_t> data;
    for (char16_t u : units) {
        data.push_back(static_cast<std::uint8_t>(u & 0xFF));
        data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    if (terminator) {
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

// "01,02,ff" (continuation lines already joined).
std::vector<std::uint8_t> ParseHexBytes(std::string_view s) {
    std::vector<std::uint8_t> data;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && !IsHex(s[i])) {
            ++i;
        }
        if (i >= s.size()) {
            break;
        }
        unsigned v = 0;
        int n = 0;
        while (i < s.size() && IsHex(s[i]) && n < 2) {
            v = v * 16 + HexDigit(s[i++]);
            ++n;
        }
        data.push_back(static_cast<std::uint8_t>(v));
    }
    return data;
}

// The data part after "=": "text", str(N):"text", dword:hhhhhhhh, hex:.., hex(N):..
std::optional<RegValue> ParseData(std::string_view s) {
    RegValue v;
    std::size_t pos = 0;
    if (s.starts_with('"')) {
        pos = 1;
        v.type = RegType::String;
        v.data = Utf16Bytes(ParseEscaped(s, pos, '"'), true);
        return v;
    }
    if (s.starts_with("str(")) {
        std::size_t close = s.find("):\"");
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        v.type = static_cast<RegType>(std::stoul(std::string(s.substr(4, close - 4)), nullptr, 16));
        pos = close + 3;
        std::u16string units = ParseEscaped(s, pos, '"');
        // Multi-strings are written with their separating nulls inside the quotes.
        v.data = Utf16Bytes(units, true);
        if (v.type == RegType::MultiString && (units.empty() || units.back() != u'\0')) {
            v.data.push_back(0);
            v.data.push_back(0);
        }
        return v;
    }
    if (s.starts_with("dword:")) {
        std::string digits(s.substr(6, 8));
        v = RegValue::FromDWord(static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)));
        return v;
    }
    if (s.starts_with("hex:")) {
        v.type = RegType::Binary;
        v.data = ParseHexBytes(s.substr(4));
        return v;
    }
    if (s.starts_with("hex(")) {
        std::size_t close = s.find("):");
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        v.type = static_cast<RegType>(std::stoul(std::string(s.substr(4, close - 4)), nullptr, 16));
        v.data = ParseHexBytes(s.substr(close + 2));
        return v;
    }
    return std::nullopt;
}

class WineKey : public RegistryKey {
public:
    WineKey(std::string path, const WineRegistry::Key* key, std::vector<std::string> subkeys)
        : path_(std::move(path)), key_(key), subkeys_(std::move(subkeys)) {}

    std::string Path() const override { return path_; }

    bool ValueExists(std::string_view name) const override { return Find(name) != nullptr; }

    std::optional<RegValue> ReadValue(std::string_view name) const override {
        const RegValue* v = Find(name);
        return v ? std::optional(*v) : std::nullopt;
    }

    std::vector<std::string> SubKeyNames() const override { return subkeys_; }

private:
    const RegValue* Find(std::string_view name) const {
        if (!key_) {
            return nullptr;
        }
        std::string upper = Upper(name);
        for (const auto& [n, v] : key_->values) {
            if (Upper(n) == upper) {
                return &v;
            }
        }
        return nullptr;
    }

    std::string path_;
    const WineRegistry::Key* key_; // none for a key that exists only as the parent of others
    std::vector<std::string> subkeys_;
};

std::string NormalisePath(std::string_view path) {
    std::string p(path);
    while (!p.empty() && p.front() == '\\') {
        p.erase(0, 1);
    }
    while (!p.empty() && p.back() == '\\') {
        p.pop_back();
    }
    return p;
}

} // namespace

WineRegistry::WineRegistry(const std::filesystem::path& systemReg) {
    std::ifstream in(systemReg, std::ios::binary);
    if (!in) {
        return;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Parse(text.str());
}

WineRegistry WineRegistry::FromText(std::string_view text) {
    WineRegistry r;
    r.Parse(text);
    return r;
}

void WineRegistry::Parse(std::string_view text) {
    Key* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // One logical line: a line ending in a backslash continues on the next (hex data).
        std::string line;
        while (pos < text.size()) {
            std::size_t eol = text.find('\n', pos);
            std::string_view part =
                text.substr(pos, eol == std::string_view::npos ? text.size() - pos : eol - pos);
            pos = eol == std::string_view::npos ? text.size() : eol + 1;
            if (!part.empty() && part.back() == '\r') {
                part.remove_suffix(1);
            }
            if (!line.empty()) {
                std::size_t first = part.find_first_not_of(" \t");
                part = first == std::string_view::npos ? std::string_view() : part.substr(first);
            }
            // Only hex data is continued; key lines and quoted strings never end in a backslash.
            if (!part.empty() && part.back() == '\\' && !part.starts_with('[')) {
                line.append(part.substr(0, part.size() - 1));
                continue;
            }
            line.append(part);
            break;
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            std::size_t p = 1;
            std::string path = NormalisePath(Utf16ToUtf8(ParseEscaped(line, p, ']')));
            Key& key = keys_[Upper(path)];
            key.path = path;
            current = &key;
            continue;
        }
        if (!current) {
            continue;
        }
        std::string name;
        std::size_t p = 0;
        if (line[0] == '@') {
            p = 1;
        } else if (line[0] == '"') {
            p = 1;
            name = Utf16ToUtf8(ParseEscaped(line, p, '"'));
        } else {
            continue;
        }
        if (p >= line.size() || line[p] != '=') {
            continue;
        }
        std::optional<RegValue> value;
        try {
            value = ParseData(std::string_view(line).substr(p + 1));
        } catch (const std::exception&) {
            value.reset(); // a malformed number: skip the value, keep the rest of the file
        }
        if (value) {
            auto same = std::find_if(current->values.begin(), current->values.end(),
                                     [&](const auto& nv) { return Upper(nv.first) == Upper(name); });
            if (same != current->values.end()) {
                same->second = std::move(*value);
            } else {
                current->values.emplace_back(std::move(name), std::move(*value));
            }
        }
    }
}

const WineRegistry::Key* WineRegistry::FindKey(const std::string& upperPath) const {
    auto it = keys_.find(upperPath);
    return it == keys_.end() ? nullptr : &it->second;
}

bool WineRegistry::HasDescendants(const std::string& upperPath) const {
    std::string prefix = upperPath + "\\";
    auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.starts_with(prefix);
}

std::unique_ptr<RegistryKey> WineRegistry::OpenExact(std::string_view path) const {
    std::string norm = NormalisePath(path);
    std::string upper = Upper(norm);
    const Key* key = FindKey(upper);
    if (!key && !HasDescendants(upper)) {
        return nullptr;
    }
    // Direct children, named as the file spells them; a child known only through its own children
    // counts too. The map is sorted by upper-case path, so they come in name order.
    std::vector<std::string> subkeys;
    std::string prefix = upper + "\\";
    std::string last;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.starts_with(prefix); ++it) {
        std::string rest = it->second.path.substr(prefix.size());
        std::string child = rest.substr(0, rest.find('\\'));
        if (Upper(child) != Upper(last)) {
            subkeys.push_back(child);
            last = child;
        }
    }
    return std::make_unique<WineKey>(key ? key->path : norm, key, std::move(subkeys));
}

std::unique_ptr<RegistryKey> WineRegistry::OpenKeyReadOnly(std::string_view path) const {
    std::string norm = NormalisePath(path);
    std::string upper = Upper(norm);
    if (upper.starts_with("SOFTWARE\\") && !upper.starts_with("SOFTWARE\\WOW6432NODE\\")) {
        if (auto redirected = OpenExact("Software\\Wow6432Node\\" + norm.substr(9))) {
            return redirected;
        }
    }
    return OpenExact(norm);
}

} // namespace zbpv

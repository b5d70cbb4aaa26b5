#include "invoicing/keys.h"

#include "support/ansi.h"

namespace zbpv {

namespace {
bool IsKeyBlank(char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= 32 || u == 160;
}
} // namespace

std::string TrimKey(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsKeyBlank(text[b]))
        ++b;
    while (e > b && IsKeyBlank(text[e - 1]))
        --e;
    return std::string(text.substr(b, e - b));
}

std::string NormalizeKey(std::string_view text, int width) {
    std::string key = TrimKey(text);
    if (key.empty())
        return key;
    for (char c : key)
        if (c < '0' || c > '9')
            return key;
    if (static_cast<int>(key.size()) < width)
        key.insert(0, static_cast<size_t>(width) - key.size(), ' ');
    return key;
}

std::string CutToWidth(std::string_view text, int width) {
    if (width <= 0 || static_cast<int>(text.size()) <= width)
        return std::string(text);
    return std::string(text.substr(0, static_cast<size_t>(width)));
}

bool HasNoLetterCase(std::string_view text) {
    return AnsiUpperCase(text) == AnsiLowerCase(text);
}

int32_t TKeyMap::Find(const std::string& key) const {
    auto it = map_.find(key);
    return it == map_.end() ? 0 : it->second;
}

} // namespace zbpv

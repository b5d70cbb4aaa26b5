#include "platform/registry.h"

#include "platform/utf16.h"

namespace zbpv {

namespace {

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
    std::u16string units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return units;
}

} // namespace

std::optional<std::string> RegValue::AsString() const {
    if (type != RegType::String && type != RegType::ExpandString) {
        return std::nullopt;
    }
    std::u16string units = UnitsOf(data);
    if (auto end = units.find(u'\0'); end != std::u16string::npos) {
        units.resize(end);
    }
    return Utf16ToUtf8(units);
}

std::optional<std::uint64_t> RegValue::AsInteger() const {
    auto little = [this](std::size_t n) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            v |= static_cast<std::uint64_t>(data[i]) << (8 * i);
        }
        return v;
    };
    switch (type) {
    case RegType::DWord:
        return data.size() >= 4 ? std::optional(little(4)) : std::nullopt;
    case RegType::QWord:
        return data.size() >= 8 ? std::optional(little(8)) : std::nullopt;
    case RegType::DWordBigEndian:
        if (data.size() < 4) {
            return std::nullopt;
        }
        return (std::uint64_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3];
    default:
        return std::nullopt;
    }
}

std::vector<std::string> RegValue::AsStrings() const {
    std::vector<std::string> parts;
    if (type != RegType::MultiString) {
        return parts;
    }
    std::u16string units = UnitsOf(data);
    std::size_t start = 0;
    while (start < units.size()) {
        std::size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos) {
            end = units.size();
        }
        if (end == start) {
            break; // the empty string that ends the list
        }
        parts.push_back(Utf16ToUtf8(units.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

RegValue RegValue::FromString(std::string_view utf8, RegType type) {
    RegValue v;
    v.type = type;
    for (char16_t u : Utf8ToUtf16(utf8)) {
        v.data.push_back(static_cast<std::uint8_t>(u & 0xFF));
        v.data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

RegValue RegValue::FromDWord(std::uint32_t value) {
    RegValue v;
    v.type = RegType::DWord;
    for (int i = 0; i < 4; ++i) {
        v.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return v;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
    auto value = ReadValue(name);
    if (!value) {
        return std::nullopt;
    }
    return value->AsString();
}

} // namespace zbpv

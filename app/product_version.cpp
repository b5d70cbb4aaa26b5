#include "app/product_version.h"

#include "platform/registry.h"
#include "support/ansi.h"

#include <algorithm>
#include <charconv>

namespace zbpv {

ProductVersion ProductVersion::Parse(std::string_view text) {
    ProductVersion v;
    std::string t = Trim(text);
    std::uint16_t* parts[] = {&v.Major, &v.Minor, &v.Release, &v.Build};
    std::size_t pos = 0;
    for (std::uint16_t* part : parts) {
        if (pos > t.size() || t.empty()) {
            break;
        }
        std::size_t dot = t.find('.', pos);
        std::string_view piece =
            std::string_view(t).substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        unsigned value = 0;
        auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        *part = (ec == std::errc() && end == piece.data() + piece.size() && value <= 0xFFFF)
                    ? static_cast<std::uint16_t>(value)
                    : 0;
        if (dot == std::string::npos) {
            break;
        }
        pos = dot + 1;
    }
    return v;
}

std::string ProductVersion::ToString() const {
    return std::to_string(Major) + "." + std::to_string(Minor) + "." + std::to_string(Release) + "." +
           std::to_string(Build);
}

std::string ProductVersion::MajorMinor() const {
    return std::to_string(Major) + "." + std::to_string(Minor);
}

ProductVersion ReadInstalledVersion(const Registry& registry, std::string_view productWord) {
    auto key = registry.OpenKeyReadOnly("SOFTWARE\\Velkaro\\" + std::string(productWord));
    if (!key) {
        return {};
    }
    if (key->ValueExists("Letzte Version")) {
        return ProductVersion::Parse(key->ReadString("Letzte Version").value_or(""));
    }
    std::vector<std::string> names = key->SubKeyNames();
    if (names.empty()) {
        return {};
    }
    std::vector<ProductVersion> versions;
    for (const std::string& name : names) {
        versions.push_back(ProductVersion::Parse(name));
    }
    return *std::max_element(versions.begin(), versions.end());
}

ProductVersion InstalledVersionOrDefault(const Registry& registry, std::string_view productWord) {
    ProductVersion v = ReadInstalledVersion(registry, productWord);
    if (v.IsZero()) {
        v = AnsiSameText(productWord, "Billora") ? ProductVersion{8, 0, 0, 0} : ProductVersion{3, 0, 0, 0};
    }
    return v;
}

} // namespace zbpv

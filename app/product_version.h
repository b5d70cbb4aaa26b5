#pragma once
// Four-part versions of the installed new products.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace zbpv {

class Registry;

struct ProductVersion {
    std::uint16_t Major = 0;
    std::uint16_t Minor = 0;
    std::uint16_t Release = 0;
    std::uint16_t Build = 0;

    // "a.b.c.d", trimmed; an empty text is 0.0.0.0, a missing or unreadable part is 0.
    static ProductVersion Parse(std::string_view text);

    bool IsZero() const { return Major == 0 && Minor == 0 && Release == 0 && Build == 0; }
    std::string ToString() const;   // "8.0.2.15"
    std::string MajorMinor() const; // "8.0"

    auto operator<=>(const ProductVersion&) const = default;
};

// "SOFTWARE\\Velkaro\\<word>": the value "Letzte Version", else the highest subkey name taken as a
// version; 0.0.0.0 when the key is missing.
ProductVersion ReadInstalledVersion(const Registry& registry, std::string_view productWord);

// ReadInstalledVersion with the product's default for nothing found: 8.0 for "Billora", 3.0 otherwise.
ProductVersion InstalledVersionOrDefault(const Registry& registry, std::string_view productWord);

} // namespace zbpv

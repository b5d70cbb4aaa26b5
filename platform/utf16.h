#pragma once
// UTF-8 <-> UTF-16 for the registry's wide strings; malformed input becomes U+FFFD.

#include <string>
#include <string_view>

namespace zbpv {

std::string Utf16ToUtf8(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view utf8);

} // namespace zbpv

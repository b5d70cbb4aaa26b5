#pragma once
// Byte tables between a table's DOS/Windows code page and Windows-1252, the core's text.

#include <array>
#include <string>
#include <string_view>

namespace zbpv {

using PxByteTable = std::array<unsigned char, 256>;

// Code page -> Windows-1252. A character Windows-1252 lacks becomes '?'. An unknown code page (or 0,
// 1252) gives the identity. Built once per code page, safe to share between threads.
const PxByteTable& PxCodePageToAnsi(int codePage);
// Windows-1252 -> code page (the inverse, for keys and for writing); unmappable bytes become '?'.
const PxByteTable& PxAnsiToCodePage(int codePage);

inline void PxTranslate(const PxByteTable& t, const char* src, size_t n, std::string& out) {
    out.resize(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(t[static_cast<unsigned char>(src[i])]);
}
inline std::string PxTranslate(const PxByteTable& t, std::string_view s) {
    std::string out;
    PxTranslate(t, s.data(), s.size(), out);
    return out;
}

} // namespace zbpv

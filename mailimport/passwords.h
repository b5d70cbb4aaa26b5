#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zbpv {

// Passwords of users and mail accounts are stored as digit strings: groups of five decimal digits, each
// a 16-bit little-endian pair of bytes plus kPasswordEncodingConstant. The first byte is the length.

inline constexpr int kPasswordEncodingConstant = 21853;

// Encodes a password (Windows-1252, at most 255 bytes; a longer one raises EConvertError). Short
// passwords are padded by repeating them; the empty password is padded with the digits of the tick
// count, so its encoding differs from call to call. A result shorter than `minLength` is filled up
// with "0".
std::string EncodePassword(std::string_view password, int minLength = 0);

// The inverse of EncodePassword. A text that is not an encoded password (not all digits, a group out
// of range, a length byte beyond the groups) is returned unchanged.
std::string DecodePassword(std::string_view encoded);

// The millisecond tick count that pads empty passwords; tests set a fixed one. An empty function
// restores the system's tick count.
void SetTickCountForTests(std::function<std::uint32_t()> tickCount);

} // namespace zbpv

#pragma once
// Text inside the core is Windows-1252 ("ANSI") bytes in std::string, as the old programs saw it.
// Only the user interface, terminal output and log files convert to UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// Windows-1252 to UTF-8. The five bytes Windows-1252 leaves undefined map to the C1 controls of the
// same number, as the Windows conversion does, so no byte is ever lost.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1252. A character outside Windows-1252 becomes '?'; invalid UTF-8 bytes are taken
// as Windows-1252 bytes (text that was never UTF-8 passes unchanged).
std::string Utf8ToAnsi(std::string_view utf8);

// Unicode code point of a Windows-1252 byte, and the reverse (-1 when not representable).
char32_t AnsiCharToUnicode(unsigned char c);
int UnicodeToAnsiChar(char32_t cp);

// Case rules of Windows-1252 (letters with diacritics included; 'ß' and 'ÿ' keep their case in upper).
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
bool AnsiSameText(std::string_view a, std::string_view b);
// <0, 0, >0 comparing without regard to case.
int AnsiCompareText(std::string_view a, std::string_view b);

// Leading and trailing blanks and control characters (<= ' ') removed.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Lines as a text editor sees them: CR LF, LF or CR end a line; a break at the very end opens no
// further line. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// Case-insensitive comparator and hash for maps keyed by Windows-1252 text.
struct AnsiLessNoCase {
    bool operator()(std::string_view a, std::string_view b) const { return AnsiCompareText(a, b) < 0; }
};

} // namespace zbpv

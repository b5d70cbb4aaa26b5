#pragma once

#include <string>
#include <string_view>

namespace zbpv {

// The page head every generated HTML document starts with: 16 lines separated by CR LF, none after
// the last. Placeholders: %0:s generator, %1:s character set, %2:s font name, %3:d font size.
extern const std::string_view kDefaultHeadHtml;

// The head with its placeholders filled in.
std::string DefaultHeadHtml(std::string_view generator, std::string_view charSet, std::string_view fontName,
                            int fontSize);

// Wraps plain text (Windows-1252) into an HTML page: one "<p class=Normal>" paragraph per line, every
// byte outside blank, digits, '@'..'Z' and 'a'..'z' written as a hexadecimal character reference, tabs
// and runs of blanks kept visible with non-breaking spaces. Writes the page to `html` and returns the
// result code, 0 on success.
int TextToHtml(std::string_view text, std::string_view generator, int fontSize, std::string_view fontName,
               std::string_view charSet, std::string& html);

} // namespace zbpv

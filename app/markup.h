#pragma once
// The small mark-up of the wizard's labels: <B>bold</B> and <C:clMaroon>colour</C>.

#include <string>
#include <string_view>

namespace zbpv {

// Rich text for a label: tags become HTML, everything else is escaped, line breaks become <br>.
// Blanks stay as they are; a label showing it keeps them with "white-space: pre".
std::string MarkupToHtml(std::string_view markup);
// The text without its tags.
std::string MarkupToPlain(std::string_view markup);
// "#800000" for "clMaroon" and the other named colours; "" for an unknown name.
std::string ColourNameToHtml(std::string_view name);

} // namespace zbpv

#pragma once

#include <string>
#include <string_view>

namespace zbpv {

// The plain-text form of an HTML mail body, as a mail program shows it in its text view. Input and
// output are Windows-1252 (an HTML text that declares UTF-8 may also hold UTF-8 bytes); lines end in
// CR LF. Malformed HTML is read as a browser reads it; only a document whose elements nest more than
// 4000 deep (which the parser would take minutes for) raises EConvertError.
//
// Rules:
// - Block elements (paragraphs, headings, divisions, list items, table rows, ...) begin and end a
//   line; <br> always ends one, so "<br><br>" leaves an empty line. No blank lines are added between
//   blocks.
// - Text collapses runs of white space to one blank, except inside <pre>, <textarea> and the like;
//   entities are decoded; non-breaking spaces are blanks that do not collapse. Blanks at line ends and
//   empty lines at the start and end of the text are dropped.
// - Scripts, styles, the document head, comments, templates, frames and embedded objects are dropped.
// - Links keep their text (not their address), images their alternative text.
// - List items begin with "- " or their number ("1. "), indented two blanks per nesting level;
//   quoted blocks (<blockquote>) get "> " in front of each line; table cells are separated by a tab.
// - Characters outside Windows-1252 become "?", invisible ones (zero-width spaces, soft hyphens, byte
//   order marks) are dropped.
std::string HtmlToPlainText(std::string_view html);

} // namespace zbpv

#pragma once
// Converts an RTF document (as the old mail office stored message bodies and text blocks) into HTML.
// Input and output are 8-bit text (Windows-1252); the HTML lines end with CR LF.

#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// Options, matched exactly; other entries are ignored:
//   "noFonts"          no font faces (the font table is not kept, \fN is ignored); sizes still work
//   "optimize"         empty and adjacent tag pairs are removed from the output
//   "onlyDefiniteOpt"  with "optimize": font-face pairs only removed when empty, never merged
using RtfOptions = std::vector<std::string>;

// Converts the file `inputFileName` into the file `outputFileName` (replaced when it exists).
// Throws EFileError when a file cannot be opened, read or written, and EConvertError for a hex
// escape that is not hexadecimal; once both files are open the output always gets its closing frame.
void RtfFileToHtml(const std::string& inputFileName, const std::string& outputFileName,
                   const RtfOptions& options);

// The same conversion in memory. `html` receives the whole output, also the well-formed part written
// before a conversion error is thrown.
void RtfTextToHtml(std::string_view rtf, std::string& html, const RtfOptions& options = {});
std::string RtfTextToHtml(std::string_view rtf, const RtfOptions& options = {});

} // namespace zbpv

// Fuzz target of the RTF converter: any bytes convert without a crash or hang, the output stays
// within a small multiple of the input and always carries its frame. The first byte picks options.

#include "support/errors.h"
#include "textconv/rtf_to_html.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    zbpv::RtfOptions options;
    if (data[0] & 1)
        options.push_back("optimize");
    if (data[0] & 2)
        options.push_back("onlyDefiniteOpt");
    if (data[0] & 4)
        options.push_back("noFonts");
    std::string_view rtf(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string html;
    try {
        zbpv::RtfTextToHtml(rtf, html, options);
    } catch (const zbpv::EConvertError&) {
        // a hex escape that is not hexadecimal: the frame is still complete
    }
    static constexpr std::string_view kTail = "</BODY>\r\n</HTML>\r\n";
    if (html.size() < kTail.size() || html.compare(html.size() - kTail.size(), kTail.size(), kTail) != 0)
        std::abort();
    if (html.size() > 100 * rtf.size() + 4096)
        std::abort();
    return 0;
}

// rtf2html IN OUT [OPTION...]: converts one RTF file into an HTML file.
// Options: noFonts, optimize, onlyDefiniteOpt (others are ignored, as the converter does).

#include "support/errors.h"
#include "textconv/rtf_to_html.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: rtf2html EINGABE AUSGABE [OPTION...]\n"
                             "Optionen: noFonts, optimize, onlyDefiniteOpt\n");
        return 2;
    }
    zbpv::RtfOptions options(argv + 3, argv + argc);
    try {
        zbpv::RtfFileToHtml(argv[1], argv[2], options);
    } catch (const zbpv::Exception& e) {
        std::fprintf(stderr, "rtf2html: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rtf2html: %s\n", e.what());
        return 1;
    }
    return 0;
}

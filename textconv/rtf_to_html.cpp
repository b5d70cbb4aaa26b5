#include "textconv/rtf_to_html.h"

#include "support/errors.h"
#include "textconv/rtf_converter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zbpv {

namespace {

std::string Reason(int error) {
    switch (error) {
    case ENOENT:
        return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
        return "Zugriff verweigert";
    case EISDIR:
        return "Die Datei ist ein Ordner";
    case ENOSPC:
        return "Kein Platz mehr auf dem Datenträger";
    default:
        return "E/A-Fehler " + std::to_string(error);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

void RtfTextToHtml(std::string_view rtf, std::string& html, const RtfOptions& options) {
    html.clear();
    TRtfConverter converter(rtf, options);
    converter.Run(html);
}

std::string RtfTextToHtml(std::string_view rtf, const RtfOptions& options) {
    std::string html;
    RtfTextToHtml(rtf, html, options);
    return html;
}

void RtfFileToHtml(const std::string& inputFileName, const std::string& outputFileName,
                   const RtfOptions& options) {
    FilePtr in(std::fopen(inputFileName.c_str(), "rb"));
    if (!in)
        throw EFileError("Die Datei \"" + inputFileName + "\" kann nicht geöffnet werden: " + Reason(errno));
    std::string rtf;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0)
        rtf.append(chunk, got);
    if (std::ferror(in.get()))
        throw EFileError("Die Datei \"" + inputFileName + "\" kann nicht gelesen werden: " + Reason(errno));
    in.reset();

    FilePtr out(std::fopen(outputFileName.c_str(), "wb"));
    if (!out)
        throw EFileError("Die Datei \"" + outputFileName + "\" kann nicht erstellt werden: " + Reason(errno));

    // The output gets its closing frame also when the conversion fails; it is written before the
    // error goes on to the caller.
    std::string html;
    std::exception_ptr failure;
    try {
        RtfTextToHtml(rtf, html, options);
    } catch (...) {
        failure = std::current_exception();
    }
    const bool written = std::fwrite(html.data(), 1, html.size(), out.get()) == html.size();
    const int writeError = errno;
    const bool closed = std::fclose(out.release()) == 0;
    if (failure)
        std::rethrow_exception(failure);
    if (!written || !closed)
        throw EFileError("Die Datei \"" + outputFileName +
                         "\" kann nicht geschrieben werden: " + Reason(written ? errno : writeError));
}

} // namespace zbpv

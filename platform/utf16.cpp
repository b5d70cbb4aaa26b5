#include "platform/utf16.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace zbpv {

namespace {

// Runs iconv over the whole input; an invalid or incomplete sequence is replaced by `replacement`
// and skipped by `skip` bytes.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement,
                    std::size_t skip) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv_open failed");
    }
    std::string out;
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, dst - buffer);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out.append(replacement);
            std::size_t n = std::min(skip, left);
            src += n;
            left -= n;
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string_view bytes(reinterpret_cast<const char*>(units.data()), units.size() * 2);
    return Convert("UTF-8", "UTF-16LE", bytes, "\xEF\xBF\xBD", 2);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::string bytes = Convert("UTF-16LE", "UTF-8", utf8, std::string("\xFD\xFF", 2), 1);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

} // namespace zbpv

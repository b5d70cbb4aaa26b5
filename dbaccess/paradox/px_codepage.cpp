#include "dbaccess/paradox/px_codepage.h"

#include "support/ansi.h"

#include <iconv.h>

#include <map>
#include <memory>
#include <mutex>

namespace zbpv {

namespace {

struct Tables {
    PxByteTable toAnsi;
    PxByteTable fromAnsi;
};

// Unicode code point of byte `b` in code page `cp` through iconv; -1 when undefined.
long DecodeByte(iconv_t cd, unsigned char b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || ol != sizeof out - 4)
        return -1;
    return static_cast<long>(out[0] | (out[1] << 8) | (out[2] << 16) |
                             (static_cast<unsigned long>(out[3]) << 24));
}

std::unique_ptr<Tables> Build(int cp) {
    auto t = std::make_unique<Tables>();
    for (int i = 0; i < 256; ++i)
        t->toAnsi[i] = t->fromAnsi[i] = static_cast<unsigned char>(i);
    if (cp <= 0 || cp == 1252)
        return t;
    const std::string name = "CP" + std::to_string(cp);
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return t; // unknown code page: bytes pass unchanged
    for (int i = 0; i < 256; ++i)
        t->fromAnsi[i] = '?';
    for (int i = 0; i < 128; ++i)
        t->fromAnsi[i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 256; ++i) {
        const long u = DecodeByte(cd, static_cast<unsigned char>(i));
        const int a = u < 0 ? -1 : UnicodeToAnsiChar(static_cast<char32_t>(u));
        t->toAnsi[i] = a < 0 ? '?' : static_cast<unsigned char>(a);
        // The first code-page byte for an ANSI character wins; ASCII stays ASCII.
        if (a >= 128 && t->fromAnsi[a] == '?')
            t->fromAnsi[a] = static_cast<unsigned char>(i);
    }
    iconv_close(cd);
    return t;
}

const Tables& Get(int cp) {
    static std::mutex mu;
    static std::map<int, std::unique_ptr<Tables>> cache;
    std::lock_guard lock(mu);
    auto& slot = cache[cp];
    if (!slot)
        slot = Build(cp);
    return *slot;
}

} // namespace

const PxByteTable& PxCodePageToAnsi(int codePage) {
    return Get(codePage).toAnsi;
}
const PxByteTable& PxAnsiToCodePage(int codePage) {
    return Get(codePage).fromAnsi;
}

} // namespace zbpv

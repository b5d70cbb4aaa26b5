#include "mailimport/passwords.h"

#include "support/errors.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace zbpv {

namespace {

constexpr size_t kGroupDigits = 5;

std::function<std::uint32_t()>& TickCountSource() {
    static std::function<std::uint32_t()> source;
    return source;
}

std::uint32_t TickCount() {
    if (const auto& source = TickCountSource()) {
        return source();
    }
    // Milliseconds since an arbitrary start, wrapping at 32 bits like the system tick count.
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

} // namespace

void SetTickCountForTests(std::function<std::uint32_t()> tickCount) {
    TickCountSource() = std::move(tickCount);
}

std::string EncodePassword(std::string_view password, int minLength) {
    if (password.size() > 255) {
        throw EConvertError("Das Passwort ist zu lang (höchstens 255 Zeichen).");
    }
    const size_t length = password.size();
    // Working buffer: length byte, then the text; bytes after the text are filler.
    std::array<unsigned char, 256> buffer{};
    size_t held = length;
    for (size_t i = 0; i < length; ++i) {
        buffer[1 + i] = static_cast<unsigned char>(password[i]);
    }
    if (length > 0) {
        while (held < 10) {
            for (size_t i = 0; i < held; ++i) {
                buffer[1 + held + i] = buffer[1 + i];
            }
            held *= 2;
        }
    } else {
        const std::string ticks = std::to_string(TickCount());
        for (size_t i = 0; i < ticks.size(); ++i) {
            buffer[1 + i] = static_cast<unsigned char>(ticks[i]);
        }
    }
    buffer[0] = static_cast<unsigned char>(length);

    size_t bytes = length + 1;
    if (bytes % 2 != 0) {
        ++bytes;
    }
    if (bytes < 10) {
        bytes = 10;
    }
    std::string out;
    out.reserve(bytes / 2 * kGroupDigits);
    for (size_t k = 0; k < bytes / 2; ++k) {
        const int value = buffer[2 * k] | (buffer[2 * k + 1] << 8);
        char group[16];
        std::snprintf(group, sizeof group, "%05d", value + kPasswordEncodingConstant);
        out += group;
    }
    if (minLength > 0 && out.size() < static_cast<size_t>(minLength)) {
        out.append(static_cast<size_t>(minLength) - out.size(), '0');
    }
    return out;
}

std::string DecodePassword(std::string_view encoded) {
    if (encoded.empty()) {
        return std::string(encoded);
    }
    for (char c : encoded) {
        if (c < '0' || c > '9') {
            return std::string(encoded);
        }
    }
    // Trailing digits that make no whole group are the "0" fill of a minimum length.
    std::string bytes;
    bytes.reserve(encoded.size() / kGroupDigits * 2);
    for (size_t pos = 0; pos + kGroupDigits <= encoded.size(); pos += kGroupDigits) {
        int value = 0;
        for (size_t i = 0; i < kGroupDigits; ++i) {
            value = value * 10 + (encoded[pos + i] - '0');
        }
        value -= kPasswordEncodingConstant;
        if (value < 0 || value > 0xFFFF) {
            // Also the "00000" groups of the fill: everything before them already holds the text.
            if (!bytes.empty() && static_cast<unsigned char>(bytes[0]) + 1u <= bytes.size()) {
                break;
            }
            return std::string(encoded);
        }
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>(value >> 8);
    }
    if (bytes.empty()) {
        return std::string(encoded);
    }
    const size_t length = static_cast<unsigned char>(bytes[0]);
    if (length + 1 > bytes.size()) {
        return std::string(encoded);
    }
    return bytes.substr(1, length);
}

} // namespace zbpv

#include "support/format_settings.h"

#include "support/ansi.h"

#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace zbpv {
namespace {

std::mutex g_mutex;
FormatSettings g_settings;

void Pad(std::string& out, int v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    out += buf;
}

size_t CountRun(std::string_view f, size_t i) {
    size_t n = 1;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    while (i + n < f.size() && std::tolower(static_cast<unsigned char>(f[i + n])) == c)
        ++n;
    return n;
}

bool ParseInt(std::string_view s, size_t& i, int& v, size_t maxDigits) {
    size_t start = i;
    v = 0;
    while (i < s.size() && i - start < maxDigits && std::isdigit(static_cast<unsigned char>(s[i])))
        v = v * 10 + (s[i++] - '0');
    return i > start;
}

} // namespace

FormatSettings FormatSettings::FromLocale() {
    FormatSettings fs;
    if (const std::lconv* lc = std::localeconv()) {
        if (lc->decimal_point && lc->decimal_point[0] && lc->decimal_point[1] == 0 &&
            std::string_view(std::setlocale(LC_NUMERIC, nullptr) ? std::setlocale(LC_NUMERIC, nullptr)
                                                                 : "C") != "C") {
            fs.decimalSeparator = lc->decimal_point[0];
            if (lc->thousands_sep && lc->thousands_sep[0] && lc->thousands_sep[1] == 0)
                fs.thousandSeparator = lc->thousands_sep[0];
        }
    }
    return fs;
}

const FormatSettings& GlobalFormatSettings() {
    std::lock_guard lock(g_mutex);
    return g_settings;
}

void SetGlobalFormatSettings(const FormatSettings& fs) {
    std::lock_guard lock(g_mutex);
    g_settings = fs;
}

std::string FormatDateTime(std::string_view f, TDateTime dt, const FormatSettings& fs) {
    const DateParts d = DecodeDate(dt);
    const TimeParts t = DecodeTime(dt);
    std::string out;
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '\'' || c == '"') {
            const size_t end = f.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? f.size() : end;
            out.append(f.substr(i + 1, stop - i - 1));
            i = stop == f.size() ? stop : stop + 1;
            continue;
        }
        if (c == '/') {
            out += fs.dateSeparator;
            ++i;
            continue;
        }
        if (c == ':') {
            out += fs.timeSeparator;
            ++i;
            continue;
        }
        const size_t n = CountRun(f, i);
        switch (lc) {
        case 'c':
            out += DateTimeToStr(dt, fs);
            i += 1;
            continue;
        case 'd':
            Pad(out, d.day, n >= 2 ? 2 : 1);
            break;
        case 'm':
            Pad(out, d.month, n >= 2 ? 2 : 1);
            break;
        case 'y':
            if (n >= 3)
                Pad(out, d.year, 4);
            else
                Pad(out, d.year % 100, 2);
            break;
        case 'h':
            Pad(out, t.hour, n >= 2 ? 2 : 1);
            break;
        case 'n':
            Pad(out, t.minute, n >= 2 ? 2 : 1);
            break;
        case 's':
            Pad(out, t.second, n >= 2 ? 2 : 1);
            break;
        case 'z':
            Pad(out, t.msec, n >= 3 ? 3 : 1);
            break;
        default:
            out.append(f.substr(i, n));
            break;
        }
        i += n;
    }
    return out;
}

std::string FormatDateTime(std::string_view format, TDateTime dt) {
    return FormatDateTime(format, dt, GlobalFormatSettings());
}

std::string DateToStr(TDateTime dt, const FormatSettings& fs) {
    return FormatDateTime(fs.shortDateFormat, dt, fs);
}
std::string TimeToStr(TDateTime dt, const FormatSettings& fs) {
    return FormatDateTime(fs.longTimeFormat, dt, fs);
}

std::string DateTimeToStr(TDateTime dt, const FormatSettings& fs) {
    std::string s = DateToStr(dt, fs);
    if (TimeOf(dt) != 0)
        s += ' ' + TimeToStr(dt, fs);
    return s;
}

bool TryStrToTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
    const std::string s = Trim(text);
    size_t i = 0;
    int h = 0, n = 0, sec = 0, ms = 0;
    auto isSep = [&](char c) {
        return c == fs.timeSeparator || c == ':';
    };
    if (!ParseInt(s, i, h, 2) || i >= s.size() || !isSep(s[i]))
        return false;
    ++i;
    if (!ParseInt(s, i, n, 2))
        return false;
    if (i < s.size() && isSep(s[i])) {
        ++i;
        if (!ParseInt(s, i, sec, 2))
            return false;
        if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
            ++i;
            size_t start = i;
            if (!ParseInt(s, i, ms, 3))
                return false;
            for (size_t k = i - start; k < 3; ++k)
                ms *= 10;
        }
    }
    if (i != s.size())
        return false;
    return TryEncodeTime(h, n, sec, ms, out);
}

bool TryStrToDateTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
    const std::string s = Trim(text);
    // Order of the parts from the short date format: the first letter of each of d, m, y.
    std::string order;
    for (char c : fs.shortDateFormat) {
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if ((lc == 'd' || lc == 'm' || lc == 'y') && order.find(lc) == std::string::npos)
            order += lc;
    }
    if (order.size() != 3)
        order = "dmy";
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t start = i;
        if (!ParseInt(s, i, parts[k], 4))
            return false;
        digits[k] = static_cast<int>(i - start);
        if (k < 2) {
            if (i >= s.size())
                return false;
            const char sep = s[i];
            if (sep != fs.dateSeparator && sep != '.' && sep != '/' && sep != '-')
                return false;
            ++i;
        }
    }
    int y = 0, m = 0, d = 0, yDigits = 4;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'd')
            d = parts[k];
        else if (order[k] == 'm')
            m = parts[k];
        else
            y = parts[k], yDigits = digits[k];
    }
    if (yDigits <= 2)
        y += y < 50 ? 2000 : 1900;
    TDateTime date;
    if (!TryEncodeDate(y, m, d, date))
        return false;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i == s.size()) {
        out = date;
        return true;
    }
    TDateTime time;
    if (!TryStrToTime(std::string_view(s).substr(i), time, fs))
        return false;
    out = CombineDateTime(date, time);
    return true;
}

std::string FloatToStr(double v, const FormatSettings& fs) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    for (auto& c : s)
        if (c == '.')
            c = fs.decimalSeparator;
    return s;
}

bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& fs) {
    std::string s = Trim(text);
    if (s.empty())
        return false;
    for (auto& c : s) {
        if (c == fs.decimalSeparator)
            c = '.';
        else if (c == '.')
            return false; // a point that is not the decimal separator makes the text no number
    }
    const char* b = s.data();
    if (*b == '+')
        ++b;
    auto res = std::from_chars(b, s.data() + s.size(), out);
    return res.ec == std::errc() && res.ptr == s.data() + s.size() && std::isfinite(out);
}

} // namespace zbpv

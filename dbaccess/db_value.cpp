#include "dbaccess/db_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"

namespace zbpv {

namespace {

[[noreturn]] void Fail(const std::string& text, const char* kind) {
    throw EConvertError("'" + text + "' ist kein gültiger " + kind + ".");
}

// Parses a decimal text ("-12.345", "12,5", " 7 ") into digits with the given scale, rounding half
// away from zero. Returns false when the text is not a number.
bool ParseDecimal(const std::string& text, int scale, std::int64_t& out) {
    size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t'))
        --n;
    bool neg = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        neg = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    int digits = 0, frac = 0;
    bool roundUp = false, seenSep = false, any = false;
    for (; i < n; ++i) {
        char c = text[i];
        if (c == '.' || c == ',') {
            if (seenSep)
                return false;
            seenSep = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        any = true;
        if (seenSep && frac >= scale) {
            if (frac == scale)
                roundUp = c >= '5';
            ++frac;
            continue;
        }
        if (seenSep)
            ++frac;
        if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
            return false;
        value = value * 10 + (c - '0');
        if (value != 0)
            ++digits;
    }
    if (!any)
        return false;
    for (; frac < scale; ++frac) {
        if (value > std::numeric_limits<std::int64_t>::max() / 10)
            return false;
        value *= 10;
    }
    if (roundUp)
        ++value;
    out = neg ? -value : value;
    return true;
}

// Day number relative to 1970-01-01 (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const long long kDayCountEpoch = DaysFromCivil(1899, 12, 30);

} // namespace

bool IsValidSQLTimeStamp(const TSQLTimeStamp& ts) {
    if (ts.Year > 9999)
        return false;
    if (ts.Year != 0 || ts.Month != 0 || ts.Day != 0) {
        if (ts.Year == 0 || ts.Month == 0 || ts.Day == 0 || ts.Month > 12)
            return false;
        if (ts.Day > static_cast<unsigned>(DaysInMonth(ts.Year, static_cast<int>(ts.Month))))
            return false;
    }
    if (ts.Hour != 0 || ts.Minute != 0 || ts.Second != 0) {
        if (ts.Hour > 23 || ts.Minute > 59 || ts.Second > 59)
            return false;
    }
    return true;
}

double TimeStampToDateTime(const TSQLTimeStamp& ts) {
    double days = 0;
    if (ts.Year != 0 || ts.Month != 0 || ts.Day != 0)
        days = static_cast<double>(DaysFromCivil(ts.Year, ts.Month, ts.Day) - kDayCountEpoch);
    double time = (ts.Hour * 3600.0 + ts.Minute * 60.0 + ts.Second + ts.Fractions / 10000.0) / 86400.0;
    // Before the epoch the fraction still counts forward in time of day (the old programs' rule).
    return days >= 0 ? days + time : days - time;
}

TSQLTimeStamp DateTimeToTimeStamp(double dt) {
    TSQLTimeStamp ts;
    double whole = std::trunc(dt);
    double frac = std::fabs(dt - whole);
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        whole += dt >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<long long>(whole) + kDayCountEpoch, ts.Year, ts.Month, ts.Day);
    ts.Hour = static_cast<unsigned>(ms / 3600000);
    ts.Minute = static_cast<unsigned>(ms / 60000 % 60);
    ts.Second = static_cast<unsigned>(ms / 1000 % 60);
    ts.Fractions = static_cast<unsigned>(ms % 1000 * 10);
    return ts;
}

std::string ScaledToText(const Decimal& s) {
    std::string digits =
        std::to_string(s.value < 0 ? -(s.value + 1) + 1ULL : static_cast<unsigned long long>(s.value));
    if (s.value < 0 && s.value == std::numeric_limits<std::int64_t>::min())
        digits = "9223372036854775808";
    if (s.scale <= 0)
        return (s.value < 0 ? "-" : "") + digits;
    if (static_cast<int>(digits.size()) <= s.scale)
        digits.insert(0, s.scale + 1 - digits.size(), '0');
    digits.insert(digits.size() - s.scale, ".");
    return (s.value < 0 ? "-" : "") + digits;
}

std::int64_t DbToInt64(const TDbValue& v) {
    struct V {
        std::int64_t operator()(std::monostate) const { return 0; }
        std::int64_t operator()(std::int64_t i) const { return i; }
        std::int64_t operator()(double d) const {
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
                throw EConvertError("Der Wert ist zu groß für eine Ganzzahl.");
            return std::llround(d);
        }
        std::int64_t operator()(const Decimal& s) const {
            std::int64_t p = Pow10(s.scale), q = s.value / p, r = s.value % p;
            if (2 * (r < 0 ? -r : r) >= p)
                q += s.value < 0 ? -1 : 1;
            return q;
        }
        std::int64_t operator()(const std::string& s) const {
            std::int64_t out;
            if (!ParseDecimal(s, 0, out))
                Fail(s, "Integerwert");
            return out;
        }
        std::int64_t operator()(const TSQLTimeStamp& ts) const {
            return static_cast<std::int64_t>(std::trunc(TimeStampToDateTime(ts)));
        }
        std::int64_t operator()(bool b) const { return b ? 1 : 0; }
    };
    return std::visit(V{}, v);
}

double DbToDouble(const TDbValue& v) {
    struct V {
        double operator()(std::monostate) const { return 0; }
        double operator()(std::int64_t i) const { return static_cast<double>(i); }
        double operator()(double d) const { return d; }
        double operator()(const Decimal& s) const {
            return static_cast<double>(s.value) / static_cast<double>(Pow10(s.scale));
        }
        double operator()(const std::string& s) const {
            std::string t = s;
            for (char& c : t)
                if (c == ',')
                    c = '.';
            char* end = nullptr;
            const char* b = t.c_str();
            while (*b == ' ')
                ++b;
            double d = std::strtod(b, &end);
            while (end && *end == ' ')
                ++end;
            if (end == b || (end && *end))
                Fail(s, "Gleitkommawert");
            return d;
        }
        double operator()(const TSQLTimeStamp& ts) const { return TimeStampToDateTime(ts); }
        double operator()(bool b) const { return b ? 1 : 0; }
    };
    return std::visit(V{}, v);
}

Decimal DbToScaled(const TDbValue& v, int scale) {
    if (scale < 0 || scale > 18)
        throw EConvertError("Ungültige Anzahl Nachkommastellen.");
    if (auto* s = std::get_if<Decimal>(&v)) {
        return s->Rescaled(scale);
    }
    if (auto* d = std::get_if<double>(&v))
        return Decimal::FromDouble(*d, scale);
    if (auto* t = std::get_if<std::string>(&v)) {
        Decimal out{0, scale};
        if (!ParseDecimal(*t, scale, out.value))
            Fail(*t, "Dezimalwert");
        return out;
    }
    std::int64_t i = DbToInt64(v);
    if (i > std::numeric_limits<std::int64_t>::max() / Pow10(scale) ||
        i < std::numeric_limits<std::int64_t>::min() / Pow10(scale))
        throw EConvertError("Der Wert ist zu groß.");
    return Decimal{i * Pow10(scale), scale};
}

std::string DbToText(const TDbValue& v) {
    struct V {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", d);
            return buf;
        }
        std::string operator()(const Decimal& s) const { return ScaledToText(s); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const TSQLTimeStamp& ts) const {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", ts.Year, ts.Month, ts.Day,
                          ts.Hour, ts.Minute, ts.Second);
            return buf;
        }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
    };
    return std::visit(V{}, v);
}

TSQLTimeStamp DbToTimeStamp(const TDbValue& v) {
    if (auto* ts = std::get_if<TSQLTimeStamp>(&v))
        return *ts;
    if (IsNull(v))
        return {};
    if (auto* t = std::get_if<std::string>(&v)) {
        TSQLTimeStamp ts;
        int y = 0;
        unsigned a = 0, b = 0, h = 0, mi = 0, s = 0;
        int n = 0;
        if (std::sscanf(t->c_str(), "%d-%u-%u%n", &y, &a, &b, &n) == 3) {
            ts.Year = y, ts.Month = a, ts.Day = b;
        } else if (std::sscanf(t->c_str(), "%u.%u.%d%n", &b, &a, &y, &n) == 3) {
            ts.Year = y, ts.Month = a, ts.Day = b;
        } else {
            Fail(*t, "Zeitstempel");
        }
        const char* rest = t->c_str() + n;
        if (std::sscanf(rest, " %u:%u:%u", &h, &mi, &s) >= 2)
            ts.Hour = h, ts.Minute = mi, ts.Second = s;
        if (!IsValidSQLTimeStamp(ts))
            Fail(*t, "Zeitstempel");
        return ts;
    }
    return DateTimeToTimeStamp(DbToDouble(v));
}

bool DbToBool(const TDbValue& v) {
    if (auto* b = std::get_if<bool>(&v))
        return *b;
    if (auto* t = std::get_if<std::string>(&v)) {
        if (*t == "True" || *t == "TRUE" || *t == "true" || *t == "1" || *t == "J" || *t == "T")
            return true;
        if (*t == "False" || *t == "FALSE" || *t == "false" || *t == "0" || *t == "N" || *t == "F" ||
            t->empty())
            return false;
        Fail(*t, "Wahrheitswert");
    }
    return DbToInt64(v) != 0;
}

} // namespace zbpv

namespace zbpv {

Variant DbToVariant(const TDbValue& v, TFieldType type) {
    struct V {
        TFieldType type;
        Variant operator()(std::monostate) const { return {}; }
        Variant operator()(std::int64_t i) const { return Variant(i); }
        Variant operator()(double d) const { return Variant(d); }
        Variant operator()(const Decimal& s) const { return Variant(s); }
        Variant operator()(const std::string& s) const {
            return type == TFieldType::ftBlob ? Variant::FromBlob(s) : Variant(s);
        }
        Variant operator()(const TSQLTimeStamp& ts) const {
            if (!IsValidSQLTimeStamp(ts))
                return {};
            return Variant::FromDateTime(TimeStampToDateTime(ts));
        }
        Variant operator()(bool b) const { return Variant(b); }
    };
    return std::visit(V{type}, v);
}

TDbValue VariantToDb(const Variant& v) {
    switch (v.Kind()) {
    case VariantKind::Null:
        return {};
    case VariantKind::Boolean:
        return v.AsBoolean();
    case VariantKind::Integer:
        return static_cast<std::int64_t>(v.AsInteger());
    case VariantKind::Float:
        return v.AsFloat();
    case VariantKind::Decimal: {
        // Keep the value's own scale (read from its text); the column's scale applies when stored.
        FormatSettings point;
        point.decimalSeparator = '.';
        std::string text = v.AsString(point);
        size_t dot = text.find('.');
        int scale = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
        return v.AsDecimal(scale);
    }
    case VariantKind::Text:
    case VariantKind::Blob:
        return v.Bytes();
    case VariantKind::DateTime:
        return DateTimeToTimeStamp(v.AsDateTime());
    }
    return {};
}

} // namespace zbpv

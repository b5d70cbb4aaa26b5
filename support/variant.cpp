#include "support/variant.h"

#include "support/ansi.h"
#include "support/errors.h"
#include "support/format_settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zbpv {
namespace {

constexpr int64_t kPow10[19] = {1LL,
                                10LL,
                                100LL,
                                1000LL,
                                10000LL,
                                100000LL,
                                1000000LL,
                                10000000LL,
                                100000000LL,
                                1000000000LL,
                                10000000000LL,
                                100000000000LL,
                                1000000000000LL,
                                10000000000000LL,
                                100000000000000LL,
                                1000000000000000LL,
                                10000000000000000LL,
                                100000000000000000LL,
                                1000000000000000000LL};

int CheckScale(int scale);

} // namespace

int64_t Pow10(int n) {
    return kPow10[CheckScale(n)];
}

namespace {

int CheckScale(int scale) {
    if (scale < 0 || scale > 18)
        throw EConvertError("Ungültige Nachkommastellenzahl");
    return scale;
}

[[noreturn]] void Fail(const std::string& text, const char* what) {
    throw EConvertError("'" + text + "' ist kein gültiger " + what);
}

int64_t RoundToInt64(double v, const std::string& text) {
    if (!std::isfinite(v) || v >= 9.2233720368547758e18 || v < -9.2233720368547758e18)
        Fail(text, "Integerwert");
    return static_cast<int64_t>(std::llround(v));
}

std::string DecimalToString(const Decimal& d, const FormatSettings& fs) {
    const bool neg = d.value < 0;
    // Work in unsigned so INT64_MIN stays representable.
    uint64_t mag = neg ? 0 - static_cast<uint64_t>(d.value) : static_cast<uint64_t>(d.value);
    const auto p = static_cast<uint64_t>(kPow10[d.scale]);
    std::string s = std::to_string(mag / p);
    uint64_t frac = mag % p;
    if (d.scale > 0 && frac != 0) {
        std::string f = std::to_string(frac);
        f.insert(0, static_cast<size_t>(d.scale) - f.size(), '0');
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        s += fs.decimalSeparator;
        s += f;
    }
    return neg ? "-" + s : s;
}

bool ParseDecimal(std::string_view text, int scale, const FormatSettings& fs, Decimal& out) {
    std::string s = Trim(text);
    if (s.empty())
        return false;
    bool neg = false;
    size_t i = 0;
    if (s[0] == '-' || s[0] == '+') {
        neg = s[0] == '-';
        i = 1;
    }
    __int128 v = 0;
    int fracDigits = 0;
    bool seenSep = false, any = false, roundUp = false;

    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == fs.decimalSeparator && !seenSep) {
            seenSep = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        any = true;
        if (seenSep && fracDigits == scale)
            continue; // dropped digits; the first one rounds below
        v = v * 10 + (c - '0');
        if (v > static_cast<__int128>(std::numeric_limits<int64_t>::max()))
            return false;
        if (seenSep)
            ++fracDigits;
    }
    if (!any)
        return false;
    // Half away from zero on the first dropped digit.
    const size_t sep = s.find(fs.decimalSeparator);
    if (sep != std::string::npos && sep + 1 + static_cast<size_t>(scale) < s.size()) {
        const char dropped = s[sep + 1 + static_cast<size_t>(scale)];
        roundUp = dropped >= '5' && dropped <= '9';
    }
    for (; fracDigits < scale; ++fracDigits)
        v *= 10;
    if (roundUp)
        v += 1;
    if (v > static_cast<__int128>(std::numeric_limits<int64_t>::max()))
        return false;
    out.value = static_cast<int64_t>(neg ? -v : v);
    out.scale = scale;
    return true;
}

} // namespace

double Decimal::ToDouble() const {
    return static_cast<double>(value) / static_cast<double>(kPow10[CheckScale(scale)]);
}

Decimal Decimal::FromDouble(double v, int scale) {
    CheckScale(scale);
    if (!std::isfinite(v) || std::fabs(v) * static_cast<double>(kPow10[scale]) >= 9.2233720368547758e18)
        throw EConvertError("Überlauf bei der Umwandlung in eine Festkommazahl");
    // The value's decimal expansion with 18 fraction digits decides, rounded half away from zero:
    // 2.125 becomes 2.13, but 1.005 (held as 1.00499999…) becomes 1.00. The expansion is computed
    // in integers (what printf("%.18f") would print, ties to even at the 18th digit): bulk appends
    // convert a value per row, and formatting it as text cost more than the rest of the conversion.
    int exp2 = 0;
    const double frac = std::frexp(std::fabs(v), &exp2);           // |v| = frac * 2^exp2, frac in [0.5, 1)
    const auto mant = static_cast<uint64_t>(std::ldexp(frac, 53)); // exact: 53 significant bits
    const int shift = exp2 - 53;                                   // |v| = mant * 2^shift
    using u128 = unsigned __int128;
    const u128 e18 = static_cast<u128>(kPow10[18]);
    u128 n; // |v| * 10^18, rounded to an integer
    if (shift >= 0) {
        n = static_cast<u128>(mant << shift) * e18; // |v| < 2^63 here (checked above)
    } else if (-shift >= 114) {
        n = 0; // mant * 10^18 < 2^113: below half a unit of the 18th digit
    } else {
        const int k = -shift;
        const u128 x = static_cast<u128>(mant) * e18;
        n = x >> k;
        const u128 rest = x & ((u128{1} << k) - 1), half = u128{1} << (k - 1);
        if (rest > half || (rest == half && (n & 1)))
            ++n;
    }
    u128 kept = n / static_cast<u128>(kPow10[18 - scale]);
    if (scale < 18 && (n / static_cast<u128>(kPow10[17 - scale])) % 10 >= 5)
        ++kept;
    if (kept > static_cast<u128>(std::numeric_limits<int64_t>::max()))
        throw EConvertError("Überlauf bei der Umwandlung in eine Festkommazahl");
    const auto magnitude = static_cast<int64_t>(kept);
    return Decimal{std::signbit(v) ? -magnitude : magnitude, scale};
}

Decimal Decimal::Rescaled(int newScale) const {
    CheckScale(newScale);
    if (newScale == scale)
        return *this;
    if (newScale > scale) {
        const __int128 v = static_cast<__int128>(value) * kPow10[newScale - scale];
        if (v > std::numeric_limits<int64_t>::max() || v < std::numeric_limits<int64_t>::min())
            throw EConvertError("Überlauf bei der Umwandlung in eine Festkommazahl");
        return Decimal{static_cast<int64_t>(v), newScale};
    }
    const int64_t p = kPow10[scale - newScale];
    int64_t q = value / p;
    const int64_t rem = value % p;
    if (rem * 2 >= p)
        ++q;
    else if (rem * 2 <= -p)
        --q;
    return Decimal{q, newScale};
}

bool Decimal::operator==(const Decimal& o) const {
    const int s = std::max(scale, o.scale);
    return Rescaled(s).value == o.Rescaled(s).value;
}

Variant Variant::FromDateTime(TDateTime dt) {
    Variant v;
    v.kind_ = VariantKind::DateTime;
    v.value_ = dt;
    return v;
}

Variant Variant::FromBlob(std::string bytes) {
    Variant v;
    v.kind_ = VariantKind::Blob;
    v.value_ = std::move(bytes);
    return v;
}

std::string Variant::AsString() const {
    return AsString(GlobalFormatSettings());
}

std::string Variant::AsString(const FormatSettings& fs) const {
    switch (kind_) {
    case VariantKind::Null:
        return {};
    case VariantKind::Boolean:
        return std::get<int64_t>(value_) ? "True" : "False";
    case VariantKind::Integer:
        return std::to_string(std::get<int64_t>(value_));
    case VariantKind::Float:
        return FloatToStr(std::get<double>(value_), fs);
    case VariantKind::Decimal:
        return DecimalToString(std::get<Decimal>(value_), fs);
    case VariantKind::DateTime:
        return DateTimeToStr(std::get<double>(value_), fs);
    case VariantKind::Text:
    case VariantKind::Blob:
        return std::get<std::string>(value_);
    }
    return {};
}

int64_t Variant::AsInteger() const {
    switch (kind_) {
    case VariantKind::Null:
        return 0;
    case VariantKind::Boolean:
    case VariantKind::Integer:
        return std::get<int64_t>(value_);
    case VariantKind::Float:
    case VariantKind::DateTime:
        return RoundToInt64(std::get<double>(value_), AsString());
    case VariantKind::Decimal:
        return std::get<Decimal>(value_).Rescaled(0).value;
    case VariantKind::Text: {
        const std::string s = Trim(std::get<std::string>(value_));
        int64_t v = 0;
        const char* b = s.data();
        const char* e = s.data() + s.size();
        if (b != e && *b == '+')
            ++b;
        auto res = std::from_chars(b, e, v);
        if (s.empty() || res.ec != std::errc() || res.ptr != e)
            Fail(std::get<std::string>(value_), "Integerwert");
        return v;
    }
    case VariantKind::Blob:
        Fail("(Blob)", "Integerwert");
    }
    return 0;
}

double Variant::AsFloat() const {
    switch (kind_) {
    case VariantKind::Null:
        return 0;
    case VariantKind::Boolean:
    case VariantKind::Integer:
        return static_cast<double>(std::get<int64_t>(value_));
    case VariantKind::Float:
    case VariantKind::DateTime:
        return std::get<double>(value_);
    case VariantKind::Decimal:
        return std::get<Decimal>(value_).ToDouble();
    case VariantKind::Text: {
        double v;
        if (!TryStrToFloat(std::get<std::string>(value_), v, GlobalFormatSettings()))
            Fail(std::get<std::string>(value_), "Gleitkommawert");
        return v;
    }
    case VariantKind::Blob:
        Fail("(Blob)", "Gleitkommawert");
    }
    return 0;
}

Decimal Variant::AsDecimal(int scale) const {
    CheckScale(scale);
    switch (kind_) {
    case VariantKind::Null:
        return Decimal{0, scale};
    case VariantKind::Boolean:
    case VariantKind::Integer:
        return Decimal{std::get<int64_t>(value_), 0}.Rescaled(scale);
    case VariantKind::Float:
    case VariantKind::DateTime:
        return Decimal::FromDouble(std::get<double>(value_), scale);
    case VariantKind::Decimal:
        return std::get<Decimal>(value_).Rescaled(scale);
    case VariantKind::Text: {
        Decimal d;
        if (!ParseDecimal(std::get<std::string>(value_), scale, GlobalFormatSettings(), d))
            Fail(std::get<std::string>(value_), "Gleitkommawert");
        return d;
    }
    case VariantKind::Blob:
        Fail("(Blob)", "Gleitkommawert");
    }
    return {};
}

TDateTime Variant::AsDateTime() const {
    switch (kind_) {
    case VariantKind::Null:
        return 0;
    case VariantKind::Boolean:
    case VariantKind::Integer:
        return static_cast<double>(std::get<int64_t>(value_));
    case VariantKind::Float:
    case VariantKind::DateTime:
        return std::get<double>(value_);
    case VariantKind::Decimal:
        return std::get<Decimal>(value_).ToDouble();
    case VariantKind::Text: {
        TDateTime dt;
        const auto& s = std::get<std::string>(value_);
        if (TryStrToDateTime(s, dt, GlobalFormatSettings()) || TryStrToTime(s, dt, GlobalFormatSettings()))
            return dt;
        Fail(s, "Datums- und Zeitwert");
    }
    case VariantKind::Blob:
        Fail("(Blob)", "Datums- und Zeitwert");
    }
    return 0;
}

bool Variant::AsBoolean() const {
    switch (kind_) {
    case VariantKind::Null:
        return false;
    case VariantKind::Boolean:
    case VariantKind::Integer:
        return std::get<int64_t>(value_) != 0;
    case VariantKind::Float:
    case VariantKind::DateTime:
        return std::get<double>(value_) != 0;
    case VariantKind::Decimal:
        return std::get<Decimal>(value_).value != 0;
    case VariantKind::Text: {
        const std::string s = Trim(std::get<std::string>(value_));
        if (AnsiSameText(s, "True"))
            return true;
        if (AnsiSameText(s, "False"))
            return false;
        double d;
        if (TryStrToFloat(s, d, GlobalFormatSettings()))
            return d != 0;
        Fail(std::get<std::string>(value_), "Boolescher Wert");
    }
    case VariantKind::Blob:
        Fail("(Blob)", "Boolescher Wert");
    }
    return false;
}

const std::string& Variant::Bytes() const {
    static const std::string kEmpty;
    if (const auto* s = std::get_if<std::string>(&value_))
        return *s;
    return kEmpty;
}

bool Variant::operator==(const Variant& o) const {
    return kind_ == o.kind_ && value_ == o.value_;
}

} // namespace zbpv

#pragma once
// A small value type for field copies between old tables and the target: null, boolean, integer, float,
// fixed-point decimal, text (Windows-1252 bytes), date-time and blob. A conversion that cannot be made
// throws EConvertError, so the caller can skip the value; it never yields a silent garbage value.

#include "support/datetime.h"

#include <cstdint>
#include <string>
#include <variant>

namespace zbpv {

struct FormatSettings;

// 10^n for n in 0..18.
int64_t Pow10(int n);

// value / 10^scale, scale 0..18.
struct Decimal {
    int64_t value = 0;
    int scale = 0;
    double ToDouble() const;
    // Rounded half away from zero; throws EConvertError on overflow.
    static Decimal FromDouble(double v, int scale);
    Decimal Rescaled(int newScale) const; // rounds half away from zero when digits are dropped
    bool operator==(const Decimal& o) const;
};

enum class VariantKind { Null, Boolean, Integer, Float, Decimal, Text, DateTime, Blob };

class Variant {
public:
    Variant() = default;
    Variant(bool v) : kind_(VariantKind::Boolean), value_(static_cast<int64_t>(v)) {}
    Variant(int v) : kind_(VariantKind::Integer), value_(static_cast<int64_t>(v)) {}
    Variant(int64_t v) : kind_(VariantKind::Integer), value_(v) {}
    Variant(double v) : kind_(VariantKind::Float), value_(v) {}
    Variant(Decimal v) : kind_(VariantKind::Decimal), value_(v) {}
    Variant(const char* v) : kind_(VariantKind::Text), value_(std::string(v)) {}
    Variant(std::string v) : kind_(VariantKind::Text), value_(std::move(v)) {}

    static Variant Null() { return {}; }
    static Variant FromDateTime(TDateTime dt);
    static Variant FromBlob(std::string bytes);

    VariantKind Kind() const noexcept { return kind_; }
    bool IsNull() const noexcept { return kind_ == VariantKind::Null; }

    // Conversions. Null gives "" / 0 / false; text is parsed with the format settings.
    std::string AsString() const;
    std::string AsString(const FormatSettings& fs) const;
    int64_t AsInteger() const;
    double AsFloat() const;
    Decimal AsDecimal(int scale) const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;

    // The raw bytes of a text or blob value (no conversion).
    const std::string& Bytes() const;

    bool operator==(const Variant& o) const;

private:
    VariantKind kind_ = VariantKind::Null;
    std::variant<std::monostate, int64_t, double, Decimal, std::string> value_;
};

} // namespace zbpv

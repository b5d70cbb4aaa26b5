// Values as the database layer keeps them in parameters and row buffers, and column descriptions.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "support/sql_timestamp.h"
#include "support/variant.h"

namespace zbpv {

// Year at most 9999; a date part that is set at all must be a real calendar day; a time part that is
// set must be a real time of day. All parts zero is valid (blank).
bool IsValidSQLTimeStamp(const TSQLTimeStamp& ts);

// Null, integer, float, fixed point, text or bytes, timestamp, boolean.
using TDbValue =
    std::variant<std::monostate, std::int64_t, double, Decimal, std::string, TSQLTimeStamp, bool>;

inline bool IsNull(const TDbValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

enum class TFieldType {
    ftUnknown,
    ftString,    // VARCHAR
    ftFixedChar, // CHAR (trailing blanks trimmed when read)
    ftSmallint,
    ftInteger,
    ftLargeint,
    ftFloat,
    ftFMTBcd, // NUMERIC / DECIMAL
    ftDate,
    ftTime,
    ftTimeStamp,
    ftMemo, // text blob
    ftBlob, // binary blob
    ftBoolean,
};

struct TFieldDef {
    std::string Name;
    TFieldType DataType = TFieldType::ftUnknown;
    int Size = 0;      // characters for text columns, decimal places for fixed point
    int Precision = 0; // digits for fixed point
    bool Required = false;
    std::string Relation; // the table the column comes from, when it is a plain column
    std::string Origin;   // the column name in that table (Name may be an alias)
};

// Conversions between stored kinds (text uses '.' as decimal separator and ISO dates); they throw
// EConvertError on text that does not convert.
std::int64_t DbToInt64(const TDbValue& v);
double DbToDouble(const TDbValue& v);
Decimal DbToScaled(const TDbValue& v, int scale); // rounds half away from zero
std::string DbToText(const TDbValue& v);
TSQLTimeStamp DbToTimeStamp(const TDbValue& v);
bool DbToBool(const TDbValue& v);

std::string ScaledToText(const Decimal& s);

} // namespace zbpv

namespace zbpv {
// Day count since 1899-12-30 with the time of day as fraction, and back.
double TimeStampToDateTime(const TSQLTimeStamp& ts);
TSQLTimeStamp DateTimeToTimeStamp(double dateTime);
} // namespace zbpv

namespace zbpv {
// Between the layer's values and the system's Variant; blobs of binary columns become blob variants,
// timestamps that are not valid become Null.
Variant DbToVariant(const TDbValue& v, TFieldType type);
TDbValue VariantToDb(const Variant& v);
} // namespace zbpv

#include "dbaccess/kvdb_fields.h"

#include <cmath>

#include "dbaccess/client_dataset.h"
#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"

namespace zbpv {

TField::TField(TKVClientDataSet& dataSet, size_t index, TFieldDef def)
    : ds_(dataSet), index_(index), def_(std::move(def)) {}

const TDbValue& TField::Cell() const { return ds_.CellAt(index_); }

void TField::Store(TDbValue v) { ds_.StoreCell(index_, std::move(v)); }

bool TField::IsNull() const { return zbpv::IsNull(Cell()); }

void TField::Clear() { Store(std::monostate{}); }

Variant TField::Value() const { return DbToVariant(Cell(), def_.DataType); }

void TField::SetValue(const Variant& v) { Store(v.IsNull() ? TDbValue{} : Convert(v)); }

TDbValue TField::Convert(const Variant& v) const {
    switch (def_.DataType) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftMemo:
        return v.Kind() == VariantKind::Text || v.Kind() == VariantKind::Blob ? v.Bytes() : v.AsString();
    case TFieldType::ftBlob:
        return v.Kind() == VariantKind::Text || v.Kind() == VariantKind::Blob ? v.Bytes() : v.AsString();
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint: {
        std::int64_t i = v.AsInteger();
        if ((def_.DataType == TFieldType::ftSmallint && (i < -32768 || i > 32767)) ||
            (def_.DataType == TFieldType::ftInteger && (i < INT32_MIN || i > INT32_MAX)))
            throw EConvertError(std::to_string(i) + " ist kein gültiger Wert für das Feld " + def_.Name + ".");
        return i;
    }
    case TFieldType::ftFloat:
        return v.AsFloat();
    case TFieldType::ftFMTBcd:
        return v.AsDecimal(def_.Size);
    case TFieldType::ftDate: {
        TSQLTimeStamp ts = DateTimeToTimeStamp(std::trunc(v.AsDateTime()));
        ts.Hour = ts.Minute = ts.Second = ts.Fractions = 0;
        return ts;
    }
    case TFieldType::ftTime: {
        TSQLTimeStamp ts = DateTimeToTimeStamp(v.AsDateTime());
        ts.Year = 0, ts.Month = 0, ts.Day = 0;
        return ts;
    }
    case TFieldType::ftTimeStamp:
        return DateTimeToTimeStamp(v.AsDateTime());
    case TFieldType::ftBoolean:
        return v.AsBoolean();
    case TFieldType::ftUnknown:
        break;
    }
    return VariantToDb(v);
}

std::string TField::AsString() const {
    const TDbValue& c = Cell();
    if (zbpv::IsNull(c))
        return {};
    switch (def_.DataType) {
    case TFieldType::ftDate:
        return DateToStr(TimeStampToDateTime(std::get<TSQLTimeStamp>(c)));
    case TFieldType::ftTime:
        return TimeToStr(TimeStampToDateTime(std::get<TSQLTimeStamp>(c)));
    default:
        return DbToVariant(c, def_.DataType).AsString();
    }
}

std::int64_t TField::AsInteger() const { return Value().AsInteger(); }

double TField::AsFloat() const { return Value().AsFloat(); }

Decimal TField::AsDecimal() const { return Value().AsDecimal(def_.DataType == TFieldType::ftFMTBcd ? def_.Size : 4); }

TDateTime TField::AsDateTime() const {
    const TDbValue& c = Cell();
    if (auto* ts = std::get_if<TSQLTimeStamp>(&c))
        return IsValidSQLTimeStamp(*ts) ? TimeStampToDateTime(*ts) : 0;
    return Value().AsDateTime();
}

TSQLTimeStamp TField::AsSQLTimeStamp() const {
    const TDbValue& c = Cell();
    if (zbpv::IsNull(c))
        return {};
    return DbToTimeStamp(c);
}

void TField::SetAsSQLTimeStamp(const TSQLTimeStamp& ts) {
    // Kept as it is, so that the field's reading rules decide what an impossible date means.
    Store(ts);
}

bool TField::AsBoolean() const { return Value().AsBoolean(); }

std::string TField::AsBytes() const {
    const TDbValue& c = Cell();
    if (auto* s = std::get_if<std::string>(&c))
        return *s;
    return AsString();
}

void TField::SetAsBytes(const std::string& bytes) { Store(bytes); }

// --- TKVSQLTimeStampField

namespace {
const TSQLTimeStamp* ValidStamp(const TDbValue& c) {
    auto* ts = std::get_if<TSQLTimeStamp>(&c);
    return ts && IsValidSQLTimeStamp(*ts) ? ts : nullptr;
}

bool HasDate(const TSQLTimeStamp& ts) { return ts.Year != 0 && ts.Month != 0 && ts.Day != 0; }
} // namespace

Variant TKVSQLTimeStampField::Value() const {
    const TSQLTimeStamp* ts = ValidStamp(Cell());
    if (!ts)
        return {};
    return Variant::FromDateTime(TimeStampToDateTime(*ts));
}

TDateTime TKVSQLTimeStampField::AsDateTime() const {
    const TSQLTimeStamp* ts = ValidStamp(Cell());
    if (!ts || !HasDate(*ts))
        return 0;
    return TimeStampToDateTime(*ts);
}

TSQLTimeStamp TKVSQLTimeStampField::AsSQLTimeStamp() const {
    const TSQLTimeStamp* ts = ValidStamp(Cell());
    return ts ? *ts : TSQLTimeStamp{};
}

std::string TKVSQLTimeStampField::AsString() const {
    const TSQLTimeStamp* ts = ValidStamp(Cell());
    if (!ts || !HasDate(*ts))
        return {};
    return DateTimeToStr(TimeStampToDateTime(*ts));
}

std::string TKVSQLTimeStampField::DisplayText() const {
    const TSQLTimeStamp* ts = ValidStamp(Cell());
    if (!ts || !HasDate(*ts))
        return {};
    if (!DisplayFormat.empty())
        return FormatDateTime(DisplayFormat, TimeStampToDateTime(*ts));
    return DateTimeToStr(TimeStampToDateTime(*ts));
}

// --- TKVFmtBcdField

void TKVFmtBcdField::SetAsFloat(double d) { Store(Decimal::FromDouble(d, def_.Size)); }

TDbValue TKVFmtBcdField::Convert(const Variant& v) const {
    if (v.Kind() == VariantKind::Float)
        return Decimal::FromDouble(v.AsFloat(), def_.Size);
    return v.AsDecimal(def_.Size);
}

std::unique_ptr<TField> CreateField(TKVClientDataSet& dataSet, size_t index, const TFieldDef& def) {
    switch (def.DataType) {
    case TFieldType::ftTimeStamp:
        return std::make_unique<TKVSQLTimeStampField>(dataSet, index, def);
    case TFieldType::ftFMTBcd:
        return std::make_unique<TKVFmtBcdField>(dataSet, index, def);
    default:
        return std::make_unique<TField>(dataSet, index, def);
    }
}

} // namespace zbpv

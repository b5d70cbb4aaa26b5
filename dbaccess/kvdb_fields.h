// Fields of a client dataset: typed access to one column of the current row. Timestamp columns get
// TKVSQLTimeStampField (an impossible stored date reads as empty), fixed-point columns TKVFmtBcdField
// (a float is rounded half away from zero at the column's scale).
#pragma once

#include <memory>
#include <string>

#include "dbaccess/db_value.h"
#include "support/variant.h"

namespace zbpv {

class TKVClientDataSet;

class TField {
public:
    TField(TKVClientDataSet& dataSet, size_t index, TFieldDef def);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const { return def_.Name; }
    TFieldType DataType() const { return def_.DataType; }
    int Size() const { return def_.Size; } // characters of text columns, decimals of fixed point
    int Precision() const { return def_.Precision; }
    bool Required() const { return def_.Required; }
    size_t Index() const { return index_; }
    const TFieldDef& Def() const { return def_; }
    std::string DisplayFormat;

    bool IsNull() const;
    void Clear();

    virtual Variant Value() const;
    virtual void SetValue(const Variant& v);
    TField& operator=(const Variant& v) {
        SetValue(v);
        return *this;
    }

    virtual std::string AsString() const;
    void SetAsString(const std::string& s) { SetValue(Variant(s)); }
    std::int64_t AsInteger() const;
    void SetAsInteger(std::int64_t i) { SetValue(Variant(i)); }
    double AsFloat() const;
    virtual void SetAsFloat(double d) { SetValue(Variant(d)); }
    Decimal AsDecimal() const;
    virtual TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime dt) { SetValue(Variant::FromDateTime(dt)); }
    virtual TSQLTimeStamp AsSQLTimeStamp() const;
    void SetAsSQLTimeStamp(const TSQLTimeStamp& ts);
    bool AsBoolean() const;
    void SetAsBoolean(bool b) { SetValue(Variant(b)); }
    // Blob and text bytes as they stand.
    std::string AsBytes() const;
    void SetAsBytes(const std::string& bytes);

    // The text for showing the value (uses DisplayFormat where the field knows one).
    virtual std::string DisplayText() const { return AsString(); }

protected:
    const TDbValue& Cell() const;
    void Store(TDbValue v);
    // The stored form of a value for this column's type; throws EConvertError.
    virtual TDbValue Convert(const Variant& v) const;

    TKVClientDataSet& ds_;
    size_t index_;
    TFieldDef def_;
};

class TKVSQLTimeStampField : public TField {
public:
    using TField::TField;
    Variant Value() const override;
    std::string AsString() const override;
    std::string DisplayText() const override;
    TDateTime AsDateTime() const override;
    TSQLTimeStamp AsSQLTimeStamp() const override;
};

class TKVFmtBcdField : public TField {
public:
    using TField::TField;
    void SetAsFloat(double d) override;

protected:
    TDbValue Convert(const Variant& v) const override;
};

std::unique_ptr<TField> CreateField(TKVClientDataSet& dataSet, size_t index, const TFieldDef& def);

} // namespace zbpv

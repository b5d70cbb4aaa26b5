// The parameter collection of a statement, addressed by index in the order of the SQL text.
#pragma once

#include <string>
#include <vector>

#include "dbaccess/db_value.h"
#include "support/variant.h"

namespace zbpv {

class TParam {
public:
    explicit TParam(std::string name = {}) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

    bool IsNull() const { return zbpv::IsNull(value_); }
    void Clear() { value_ = std::monostate{}; }
    Variant Value() const { return DbToVariant(value_, TFieldType::ftUnknown); }
    void SetValue(const Variant& v) { value_ = VariantToDb(v); }
    TParam& operator=(const Variant& v) {
        SetValue(v);
        return *this;
    }

    std::string AsString() const { return DbToText(value_); }
    void SetAsString(const std::string& s) { value_ = s; }
    std::int64_t AsInteger() const { return DbToInt64(value_); }
    void SetAsInteger(std::int64_t i) { value_ = i; }
    double AsFloat() const { return DbToDouble(value_); }
    void SetAsFloat(double d) { value_ = d; }
    TDateTime AsDateTime() const { return DbToDouble(value_); }
    void SetAsDateTime(TDateTime dt) { value_ = DateTimeToTimeStamp(dt); }
    void SetAsSQLTimeStamp(const TSQLTimeStamp& ts) { value_ = ts; }
    bool AsBoolean() const { return DbToBool(value_); }
    void SetAsBoolean(bool b) { value_ = b; }
    void SetAsBlob(const std::string& bytes) { value_ = bytes; }

    const TDbValue& Raw() const { return value_; }
    void SetRaw(TDbValue v) { value_ = std::move(v); }

private:
    std::string name_;
    TDbValue value_;
};

class TParams {
public:
    size_t Count() const { return items_.size(); }
    TParam& operator[](size_t index);
    const TParam& operator[](size_t index) const;
    // Name comparison ignores case; the first parameter of that name.
    TParam* FindParam(const std::string& name);
    TParam& ParamByName(const std::string& name);

    // Replaces the collection by one parameter per name; values of parameters whose name occurs again
    // are kept.
    void Rebuild(const std::vector<std::string>& names);
    std::vector<TDbValue> Values() const;

private:
    std::vector<TParam> items_;
};

} // namespace zbpv

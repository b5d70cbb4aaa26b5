#include "invoicing/paradox_source.h"

#include "dbaccess/paradox/paradox_table.h"

namespace zbpv {

namespace {

TDataKind KindOf(PxFieldType t) {
    switch (t) {
    case PxFieldType::Alpha:
        return TDataKind::Text;
    case PxFieldType::Date:
        return TDataKind::Date;
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        return TDataKind::Integer;
    case PxFieldType::Currency:
    case PxFieldType::Number:
        return TDataKind::Float;
    case PxFieldType::BCD:
        return TDataKind::Decimal;
    case PxFieldType::Logical:
        return TDataKind::Boolean;
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        return TDataKind::Memo;
    case PxFieldType::Time:
        return TDataKind::Time;
    case PxFieldType::Timestamp:
        return TDataKind::DateTime;
    default:
        return TDataKind::Blob;
    }
}

class TParadoxSource : public ISourceTable {
public:
    explicit TParadoxSource(std::unique_ptr<TParadoxTable> t) : t_(std::move(t)) {
        for (int i = 0; i < t_->FieldCount(); ++i) {
            TParadoxField& f = t_->Fields(i);
            fields_.push_back(
                {f.FieldName(), KindOf(f.DataType()), f.DataType() == PxFieldType::Alpha ? f.Size() : 0});
        }
    }
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const TDataField& Field(int i) const override { return fields_.at(static_cast<size_t>(i)); }
    std::string DataSetName() const override { return t_->TableName(); }
    Variant Value(int i) const override { return t_->Fields(i).AsVariant(); }
    void First() override { t_->First(); }
    void Next() override { t_->Next(); }
    bool Eof() const override { return t_->Eof(); }
    int RecordCount() const override { return t_->RecordCount(); }
    bool FindKey(const std::vector<Variant>& key) override { return t_->FindKey(key); }
    void SetRange(const std::vector<Variant>& low, const std::vector<Variant>& high) override {
        t_->SetRange(low, high);
    }
    void CancelRange() override { t_->CancelRange(); }

private:
    std::unique_ptr<TParadoxTable> t_;
    std::vector<TDataField> fields_;
};

} // namespace

std::unique_ptr<ISourceTable> TParadoxOpener::Open(const std::string& folder, const std::string& fileName) {
    auto t = std::make_unique<TParadoxTable>(folder, fileName);
    t->Open();
    return std::make_unique<TParadoxSource>(std::move(t));
}

} // namespace zbpv

#include "dbaccess/params.h"

#include "support/ansi.h"
#include "support/errors.h"

namespace zbpv {

TParam& TParams::operator[](size_t index) {
    if (index >= items_.size())
        throw EDatabaseError("Parameterindex " + std::to_string(index) + " außerhalb des gültigen Bereichs.");
    return items_[index];
}

const TParam& TParams::operator[](size_t index) const { return const_cast<TParams&>(*this)[index]; }

TParam* TParams::FindParam(const std::string& name) {
    for (TParam& p : items_)
        if (AnsiSameText(p.Name(), name))
            return &p;
    return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) {
    if (TParam* p = FindParam(name))
        return *p;
    throw EDatabaseError("Parameter '" + name + "' nicht gefunden.");
}

void TParams::Rebuild(const std::vector<std::string>& names) {
    std::vector<TParam> next;
    next.reserve(names.size());
    for (const std::string& n : names) {
        next.emplace_back(n);
        if (!n.empty())
            if (TParam* old = FindParam(n))
                next.back().SetRaw(old->Raw());
    }
    items_ = std::move(next);
}

std::vector<TDbValue> TParams::Values() const {
    std::vector<TDbValue> v;
    v.reserve(items_.size());
    for (const TParam& p : items_)
        v.push_back(p.Raw());
    return v;
}

} // namespace zbpv

#pragma once
// The old tables of an installation through the Paradox reader.

#include "dbaccess/dataset_helpers.h"

namespace zbpv {

class TParadoxOpener : public ISourceOpener {
public:
    std::unique_ptr<ISourceTable> Open(const std::string& folder, const std::string& fileName) override;
};

} // namespace zbpv

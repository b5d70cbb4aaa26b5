#pragma once
// The error of the source-table layer: opening, reading and field access failures with the German
// message the dataset helpers later prefix with the table's path.

#include "support/errors.h"

namespace zbpv {

class EParadoxError : public EFileError {
public:
    using EFileError::EFileError;
    const char* ClassName() const noexcept override { return "EParadoxError"; }
};

} // namespace zbpv

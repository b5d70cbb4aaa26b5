#pragma once
// The checks on leaving the paths page, in their order, with the message and the box to focus.

#include "app/product_version.h"
#include "app/wizard_boxes.h"

#include <optional>
#include <string>

namespace zbpv {

class Platform;

struct ValidationFailure {
    WizardBox focus;
    std::string message; // UTF-8
};

// Trims the text and drops one trailing backslash (or slash, short of the root).
std::string NormalisePathText(std::string_view text);

// Normalises the boxes it checks (writing the result back), fills an empty server with "localhost" and
// removes a leading "<server>:" from the database name. Stops at the first failure.
std::optional<ValidationFailure> ValidatePathsPage(int importSelection, WizardBoxes& boxes,
                                                   const ProductVersion& invoicingVersion,
                                                   const ProductVersion& mailVersion,
                                                   const Platform& platform);

} // namespace zbpv

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zbpv {

// Code conversions of the old mail store's one-letter fields into the new product's codes. All texts
// are Windows-1252.

// Priority letter: "A" gives "1" (high), "C" gives "3" (low), anything else "2". The whole value is
// compared, ignoring letter case.
std::string PriorityCode(std::string_view value);

// Confidentiality letter: "B" gives "1", "C" "2", "D" "3", anything else "0" (whole value, any case).
std::string ConfidentialityCode(std::string_view value);

// Follow-up flag text for the first character of the value, "1" to "9"; anything else gives "".
std::string FollowUpText(std::string_view value);

// Header block of the old store ("Name=Value" lines) as header lines ("Name: Value"), CR LF between
// lines. An empty text gives no value. Continuation lines of a folded header (beginning with a blank
// or a tab) are left as they are.
std::optional<std::string> ConvertHeaders(std::string_view text);

// The value of the first header `name` (letter case ignored) in a block of "Name: Value" lines, folded
// continuation lines joined; no value when the header is missing.
std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name);

// The Message-Id of a header block without its angle brackets; no value when there is none or nothing
// is left.
std::optional<std::string> MessageIdFromHeaders(std::string_view headers);

} // namespace zbpv

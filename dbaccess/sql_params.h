// Named parameters in SQL text: ":NAME" placeholders become "?" for the server, in text order.
#pragma once

#include <string>
#include <vector>

namespace zbpv {

struct ParsedSql {
    std::string Text;                // what goes to the server
    std::vector<std::string> Names;  // one per placeholder, in text order ("" for a bare "?")
};

// Replaces ":NAME" outside string literals, quoted identifiers and comments by "?". A bare "?" stays
// and counts as an unnamed parameter.
ParsedSql ParseSqlParams(const std::string& sql);

} // namespace zbpv

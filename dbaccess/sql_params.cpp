#include "dbaccess/sql_params.h"

namespace zbpv {

namespace {
bool IsNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '$' ||
           u >= 0x80;
}
} // namespace

ParsedSql ParseSqlParams(const std::string& sql) {
    ParsedSql out;
    out.Text.reserve(sql.size());
    const size_t n = sql.size();
    size_t i = 0;
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            // Literal or quoted identifier; a doubled quote stays inside.
            size_t j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = j < n ? j + 1 : n;
            out.Text.append(sql, i, j - i);
            i = j;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            j = j == std::string::npos ? n : j;
            out.Text.append(sql, i, j - i);
            i = j;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            j = j == std::string::npos ? n : j + 2;
            out.Text.append(sql, i, j - i);
            i = j;
        } else if (c == ':' && i + 1 < n && IsNameChar(sql[i + 1])) {
            size_t j = i + 1;
            while (j < n && IsNameChar(sql[j]))
                ++j;
            out.Names.push_back(sql.substr(i + 1, j - i - 1));
            out.Text.push_back('?');
            i = j;
        } else if (c == '?') {
            out.Names.emplace_back();
            out.Text.push_back('?');
            ++i;
        } else {
            out.Text.push_back(c);
            ++i;
        }
    }
    return out;
}

} // namespace zbpv

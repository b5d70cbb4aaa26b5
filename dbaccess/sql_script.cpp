#include "dbaccess/sql_script.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/ansi.h"
#include "support/errors.h"

namespace zbpv {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<std::string> Words(const std::string& s, size_t max) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (out.size() < max && in >> w)
        out.push_back(AnsiUpperCase(w));
    return out;
}

// Text without leading comments and blanks, so that the first word can be judged.
std::string StripLeading(const std::string& s) {
    size_t i = 0;
    for (;;) {
        while (i < s.size() && IsSpace(s[i]))
            ++i;
        if (s.compare(i, 2, "--") == 0) {
            size_t e = s.find('\n', i);
            i = e == std::string::npos ? s.size() : e + 1;
        } else if (s.compare(i, 2, "/*") == 0) {
            size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? s.size() : e + 2;
        } else {
            break;
        }
    }
    return s.substr(i);
}

bool IsClientCommand(const std::vector<std::string>& w) {
    if (w.size() < 2 || w[0] != "SET")
        return false;
    static const char* cmds[] = {"SQL",  "NAMES", "AUTODDL", "ECHO",    "BAIL",  "LIST",  "PLAN",     "PLANONLY",
                                 "STATS", "COUNT", "WARNINGS", "HEADING", "WIDTH", "BLOB",  "ROWCOUNT", "TIME",
                                 "SQLDA_DISPLAY", "EXPLAIN", "WNG"};
    return std::any_of(std::begin(cmds), std::end(cmds), [&](const char* c) { return w[1] == c; });
}

} // namespace

std::vector<std::string> SplitSqlScript(const std::string& script) {
    std::vector<std::string> out;
    std::string term = ";";
    std::string cur;
    const size_t n = script.size();
    size_t i = 0;
    auto flush = [&]() {
        std::string stmt = StripLeading(cur);
        cur.clear();
        while (!stmt.empty() && IsSpace(stmt.back()))
            stmt.pop_back();
        if (stmt.empty())
            return;
        auto w = Words(stmt, 3);
        if (w.size() >= 2 && w[0] == "SET" && w[1] == "TERM") {
            std::istringstream in(stmt);
            std::string a, b, t;
            in >> a >> b >> t;
            term = t;
            return;
        }
        if (IsClientCommand(w))
            return;
        out.push_back(stmt);
    };
    while (i < n) {
        char c = script[i];
        if (c == '\'' || c == '"') {
            size_t j = i + 1;
            while (j < n && !(script[j] == c && (j + 1 >= n || script[j + 1] != c)))
                j += script[j] == c ? 2 : 1;
            j = std::min(n, j + 1);
            cur.append(script, i, j - i);
            i = j;
        } else if (script.compare(i, 2, "--") == 0) {
            size_t j = script.find('\n', i);
            j = j == std::string::npos ? n : j;
            cur.append(script, i, j - i);
            i = j;
        } else if (script.compare(i, 2, "/*") == 0) {
            size_t j = script.find("*/", i + 2);
            j = j == std::string::npos ? n : j + 2;
            cur.append(script, i, j - i);
            i = j;
        } else if (script.compare(i, term.size(), term) == 0) {
            i += term.size();
            flush();
        } else {
            // "SET TERM ^ ;" ends with the old terminator; the new one may be a prefix of it.
            cur += c;
            ++i;
        }
    }
    flush();
    return out;
}

void RunSqlScript(TKVDBConnection& connection, const std::string& script, const std::string& sourceName) {
    for (const std::string& stmt : SplitSqlScript(script)) {
        auto w = Words(stmt, 2);
        if (!w.empty() && (w[0] == "COMMIT" || w[0] == "CONNECT" ||
                           (w[0] == "CREATE" && w.size() > 1 && (w[1] == "DATABASE" || w[1] == "SCHEMA"))))
            continue; // each statement commits on its own; the database exists already
        try {
            connection.ExecuteOwnTransaction(stmt, TTransIsolationLevel::xilREADCOMMITTED);
        } catch (const EDatabaseError& e) {
            std::string first = stmt.substr(0, stmt.find('\n'));
            if (first.size() > 120)
                first = first.substr(0, 120) + "...";
            throw EDatabaseError((sourceName.empty() ? "" : sourceName + ": ") + first + "\n" + e.what(),
                                 e.SqlState(), e.ErrorCode());
        }
    }
}

std::vector<std::filesystem::path> SchemaScripts(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file() && AnsiSameText(entry.path().extension().string(), ".sql"))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::filesystem::path FindSchemaFolder(const std::vector<std::filesystem::path>& candidates) {
    if (const char* env = std::getenv("ZBPV_SCHEMA_DIR"); env && *env)
        return env;
    for (const auto& c : candidates)
        if (!SchemaScripts(c).empty())
            return c;
    return {};
}

void CreateTargetDatabase(const TConnectionParams& params, const std::filesystem::path& schemaFolder) {
    auto scripts = SchemaScripts(schemaFolder);
    if (scripts.empty())
        throw EFileError("Im Ordner \"" + schemaFolder.string() + "\" liegen keine SQL-Skripte.");
    TKVDBConnection conn;
    conn.Params = params;
    conn.CreateDatabase();
    try {
        for (const auto& file : scripts) {
            std::ifstream in(file, std::ios::binary);
            if (!in)
                throw EFileError("Die Datei \"" + file.string() + "\" konnte nicht gelesen werden.");
            std::ostringstream text;
            text << in.rdbuf();
            // The scripts are UTF-8 like every source file; the database speaks ISO8859_1.
            RunSqlScript(conn, Utf8ToAnsi(text.str()), file.filename().string());
        }
        conn.Close();
    } catch (...) {
        conn.Close();
        if (params.ServerName.empty()) {
            std::error_code ec;
            std::filesystem::remove(params.DatabaseName, ec);
        }
        throw;
    }
}

} // namespace zbpv

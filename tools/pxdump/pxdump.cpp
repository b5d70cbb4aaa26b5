// pxdump: prints Paradox tables as JSON lines, for looking at old installations and checking the reader.
//
//   pxdump [--password PW] [--index NAME] TABLEFILE...   one header line per table, then one
//                                                        {"row": [...]} line per record
//   pxdump [--password PW] --sql FOLDER "SELECT ..."     a local SQL statement over FOLDER's tables

#include "dbaccess/paradox/paradox_query.h"
#include "dbaccess/paradox/paradox_table.h"
#include "support/ansi.h"
#include "support/datetime.h"

#include <openssl/evp.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace zbpv;

void Out(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// A JSON string from UTF-8 text.
void JsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (unsigned char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out.push_back('"');
}

void JsonAnsi(std::string& out, std::string_view ansi) {
    JsonString(out, AnsiToUtf8(ansi));
}

void JsonDouble(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void JsonDecimal(std::string& out, const Decimal& d) {
    const bool neg = d.value < 0;
    std::string digits =
        std::to_string(neg ? -static_cast<uint64_t>(d.value) : static_cast<uint64_t>(d.value));
    if (static_cast<int>(digits.size()) <= d.scale)
        digits.insert(0, static_cast<size_t>(d.scale - static_cast<int>(digits.size()) + 1), '0');
    std::string s = digits.substr(0, digits.size() - static_cast<size_t>(d.scale));
    std::string frac = digits.substr(digits.size() - static_cast<size_t>(d.scale));
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty())
        s += "." + frac;
    if (neg && s != "0")
        out.push_back('-');
    out += s;
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
    std::string hex;
    char buf[3];
    for (unsigned int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", md[i]);
        hex += buf;
    }
    return hex;
}

std::string DateText(TDateTime dt) {
    const DateParts d = DecodeDate(dt);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::string TimeText(TDateTime dt) {
    const TimeParts t = DecodeTime(dt);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.msec);
    return buf;
}

void FieldValue(std::string& out, const TParadoxField& f) {
    if (f.IsNull()) {
        out += "null";
        return;
    }
    switch (f.DataType()) {
    case PxFieldType::Alpha:
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        JsonAnsi(out, f.AsString());
        return;
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        out += std::to_string(f.AsInteger());
        return;
    case PxFieldType::Number:
    case PxFieldType::Currency:
        JsonDouble(out, f.AsFloat());
        return;
    case PxFieldType::BCD: {
        const Variant v = f.AsVariant();
        if (v.Kind() == VariantKind::Decimal)
            JsonDecimal(out, v.AsDecimal(f.Size()));
        else
            JsonDouble(out, v.AsFloat());
        return;
    }
    case PxFieldType::Logical:
        out += f.AsBoolean() ? "true" : "false";
        return;
    case PxFieldType::Date:
        JsonString(out, DateText(f.AsDateTime()));
        return;
    case PxFieldType::Time:
        JsonString(out, TimeText(f.AsDateTime()));
        return;
    case PxFieldType::Timestamp: {
        const TDateTime dt = f.AsDateTime();
        JsonString(out, DateText(dt) + "T" + TimeText(dt));
        return;
    }
    default: {
        const std::string b = f.AsBytes();
        out += "{\"len\": " + std::to_string(b.size()) + ", \"sha256\": \"" + Sha256Hex(b) + "\"}";
    }
    }
}

void VariantValue(std::string& out, const Variant& v) {
    switch (v.Kind()) {
    case VariantKind::Null:
        out += "null";
        return;
    case VariantKind::Boolean:
        out += v.AsBoolean() ? "true" : "false";
        return;
    case VariantKind::Integer:
        out += std::to_string(v.AsInteger());
        return;
    case VariantKind::Float:
        JsonDouble(out, v.AsFloat());
        return;
    case VariantKind::Decimal:
        JsonDouble(out, v.AsFloat());
        return;
    case VariantKind::Text:
        JsonAnsi(out, v.Bytes());
        return;
    case VariantKind::DateTime: {
        const TDateTime dt = v.AsDateTime();
        JsonString(out, TimeOf(dt) == 0 ? DateText(dt) : DateText(dt) + "T" + TimeText(dt));
        return;
    }
    case VariantKind::Blob:
        out += "{\"len\": " + std::to_string(v.Bytes().size()) + ", \"sha256\": \"" + Sha256Hex(v.Bytes()) +
               "\"}";
        return;
    }
}

std::string ErrorLine(const char* key, const std::string& name, const std::string& message) {
    std::string line = "{\"";
    line += key;
    line += "\": ";
    JsonString(line, name);
    line += ", \"error\": ";
    JsonString(line, message);
    line += "}";
    return line;
}

bool DumpTable(const std::string& path, const std::string& index) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    try {
        TParadoxTable t(folder, Utf8ToAnsi(file));
        t.SetIndexName(Utf8ToAnsi(index));
        t.Open();
        std::string line = "{\"table\": ";
        JsonString(line, file);
        line += ", \"fields\": [";
        for (int i = 0; i < t.FieldCount(); ++i) {
            const TParadoxField& f = t.Fields(i);
            line += i ? ", {\"name\": " : "{\"name\": ";
            JsonAnsi(line, f.FieldName());
            line += ", \"type\": ";
            JsonString(line, PxFieldTypeName(f.DataType()));
            line += ", \"size\": " + std::to_string(f.Size()) + "}";
        }
        line += "], \"rowCount\": " + std::to_string(t.RecordCount()) + "}";
        Out(line);
        for (t.First(); !t.Eof(); t.Next()) {
            line = "{\"row\": [";
            for (int i = 0; i < t.FieldCount(); ++i) {
                if (i)
                    line += ", ";
                FieldValue(line, t.Fields(i));
            }
            line += "]}";
            Out(line);
        }
        return true;
    } catch (const std::exception& e) {
        Out(ErrorLine("table", file, e.what()));
        return false;
    }
}

bool DumpSql(const std::string& folder, const std::string& sql) {
    try {
        TParadoxQuery q(folder);
        q.SetSQL(Utf8ToAnsi(sql));
        q.Open();
        std::string line = "{\"sql\": ";
        JsonString(line, sql);
        line += ", \"fields\": [";
        for (int i = 0; i < q.FieldCount(); ++i) {
            line += i ? ", {\"name\": " : "{\"name\": ";
            JsonAnsi(line, q.Fields(i).FieldName());
            line += "}";
        }
        line += "], \"rowCount\": " + std::to_string(q.RecordCount()) + "}";
        Out(line);
        for (q.First(); !q.Eof(); q.Next()) {
            line = "{\"row\": [";
            for (int i = 0; i < q.FieldCount(); ++i) {
                if (i)
                    line += ", ";
                VariantValue(line, q.Fields(i).AsVariant());
            }
            line += "]}";
            Out(line);
        }
        return true;
    } catch (const std::exception& e) {
        Out(ErrorLine("sql", sql, e.what()));
        return false;
    }
}

int Usage() {
    std::fputs("Aufruf: pxdump [--password KENNWORT] [--index NAME] TABELLE...\n"
               "        pxdump [--password KENNWORT] --sql VERZEICHNIS \"SELECT ...\"\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    while (args.size() >= 2 && args[0] == "--password") {
        ParadoxAddPassword(Utf8ToAnsi(args[1]));
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return Usage();
    if (args[0] == "--sql") {
        if (args.size() != 3)
            return Usage();
        return DumpSql(args[1], args[2]) ? 0 : 1;
    }
    std::string index;
    bool ok = true, any = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--index") {
            if (i + 1 >= args.size())
                return Usage();
            index = args[++i];
            continue;
        }
        any = true;
        ok = DumpTable(args[i], index) && ok;
    }
    if (!any)
        return Usage();
    std::fflush(stdout);
    return ok ? 0 : 1;
}

#include "mailimport/address_list.h"

#include "support/ansi.h"

#include <idn2.h>

#include <memory>

namespace zbpv {

namespace {

// Longest domain name DNS can carry; anything longer is no domain and is not converted.
constexpr size_t kMaxDomainLength = 253;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Trimmed, line breaks as separators, runs of blanks and of ";" collapsed. The end of the text ends
// the last entry (no ";" is appended, which would land inside an unclosed quote or comment).
std::string Prepare(std::string_view text) {
    std::string trimmed = Trim(text);
    std::string out;
    out.reserve(trimmed.size());
    for (char c : trimmed) {
        if (c == '\r' || c == '\n') {
            c = ';';
        } else if (c == '\t') {
            c = ' ';
        }
        if ((c == ' ' || c == ';') && !out.empty() && out.back() == c) {
            continue;
        }
        out += c;
    }
    return out;
}

// Raw entry texts. Separators count outside double quotes and parentheses (comments, which nest);
// a colon outside quotes, comments, angle brackets and domain literals, before any address, ends a
// group name, which is dropped.
std::vector<std::string> SplitEntries(std::string_view text) {
    std::vector<std::string> entries;
    std::string current;
    bool quoted = false;
    int commentDepth = 0;
    bool inAngle = false;
    bool inLiteral = false;
    bool sawAddress = false;
    auto finish = [&] {
        if (!current.empty()) {
            entries.push_back(std::move(current));
        }
        current.clear();
        inAngle = inLiteral = sawAddress = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            current += c;
            if (i + 1 < text.size()) {
                current += text[++i];
            }
            continue;
        }
        if (quoted) {
            quoted = c != '"';
            current += c;
            continue;
        }
        if (commentDepth > 0) {
            if (c == '(') {
                ++commentDepth;
            } else if (c == ')') {
                --commentDepth;
            }
            current += c;
            continue;
        }
        switch (c) {
        case '"':
            quoted = true;
            break;
        case '(':
            commentDepth = 1;
            break;
        case '<':
            inAngle = sawAddress = true;
            break;
        case '>':
            inAngle = false;
            break;
        case '[':
            inLiteral = true;
            break;
        case ']':
            inLiteral = false;
            break;
        case '@':
            sawAddress = true;
            break;
        case ',':
        case ';':
            finish();
            continue;
        case ':':
            if (!inAngle && !inLiteral && !sawAddress) {
                current.clear();
                continue;
            }
            break;
        default:
            break;
        }
        current += c;
    }
    finish();
    return entries;
}

// A display name as read: quotes removed, escapes resolved, blanks collapsed and trimmed.
std::string CleanName(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            c = raw[++i];
        } else if (c == '"') {
            continue;
        }
        if (IsBlank(c)) {
            if (out.empty() || out.back() == ' ') {
                continue;
            }
            c = ' ';
        }
        out += c;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// An address as read: blanks and comments outside quotes removed, everything else as it stands.
std::string CleanAddress(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    bool quoted = false;
    int commentDepth = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            if (commentDepth == 0) {
                out += c;
                out += raw[i + 1];
            }
            ++i;
            continue;
        }
        if (commentDepth > 0) {
            commentDepth += c == '(' ? 1 : c == ')' ? -1 : 0;
            continue;
        }
        if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            commentDepth = 1;
            continue;
        } else if (IsBlank(c)) {
            continue;
        }
        out += c;
    }
    return out;
}

// Splits one raw entry into display name and address.
MailAddressEntry SplitEntry(std::string_view raw) {
    // Pieces outside quotes: words separated by blanks, comments, and the position of "<".
    std::vector<std::string> words;
    std::vector<std::string> comments;
    std::string word;
    bool quoted = false;
    int commentDepth = 0;
    size_t commentStart = 0;
    size_t angle = std::string_view::npos;
    auto endWord = [&] {
        if (!word.empty()) {
            words.push_back(std::move(word));
        }
        word.clear();
    };
    for (size_t i = 0; i < raw.size() && angle == std::string_view::npos; ++i) {
        char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            if (commentDepth == 0) {
                word += c;
                word += raw[i + 1];
            }
            ++i;
            continue;
        }
        if (commentDepth > 0) {
            commentDepth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (commentDepth == 0) {
                comments.push_back(CleanName(raw.substr(commentStart, i - commentStart)));
            }
            continue;
        }
        if (quoted) {
            quoted = c != '"';
            word += c;
        } else if (c == '"') {
            quoted = true;
            word += c;
        } else if (c == '(') {
            endWord();
            commentDepth = 1;
            commentStart = i + 1;
        } else if (c == '<') {
            angle = i;
        } else if (IsBlank(c)) {
            endWord();
        } else {
            word += c;
        }
    }
    if (commentDepth > 0) {
        comments.push_back(CleanName(raw.substr(commentStart)));
    }

    MailAddressEntry entry;
    if (angle != std::string_view::npos) {
        // name <address> [trailing text]: the name is everything outside the brackets.
        size_t close = std::string_view::npos;
        bool inQuote = false;
        for (size_t i = angle + 1; i < raw.size(); ++i) {
            if (raw[i] == '\\') {
                ++i;
            } else if (raw[i] == '"') {
                inQuote = !inQuote;
            } else if (raw[i] == '>' && !inQuote) {
                close = i;
                break;
            }
        }
        entry.address = CleanAddress(raw.substr(
            angle + 1, close == std::string_view::npos ? std::string_view::npos : close - angle - 1));
        std::string name(raw.substr(0, angle));
        if (close != std::string_view::npos) {
            name += ' ';
            name += raw.substr(close + 1);
        }
        entry.name = CleanName(name);
        return entry;
    }
    endWord();

    // address [(comment)] or name words around an address: the first word with an "@" outside quotes
    // is the address; the other words, else the comments, form the display name.
    size_t addressWord = words.size();
    for (size_t w = 0; w < words.size() && addressWord == words.size(); ++w) {
        bool inQuote = false;
        for (size_t i = 0; i < words[w].size(); ++i) {
            char c = words[w][i];
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inQuote = !inQuote;
            } else if (c == '@' && !inQuote) {
                addressWord = w;
                break;
            }
        }
    }
    std::string nameWords;
    for (size_t w = 0; w < words.size(); ++w) {
        if (w == addressWord) {
            continue;
        }
        if (!nameWords.empty()) {
            nameWords += ' ';
        }
        nameWords += words[w];
    }
    std::string commentText;
    for (const std::string& comment : comments) {
        if (comment.empty()) {
            continue;
        }
        if (!commentText.empty()) {
            commentText += ' ';
        }
        commentText += comment;
    }
    entry.name = CleanName(nameWords);
    if (entry.name.empty()) {
        entry.name = commentText;
    } else if (!commentText.empty()) {
        entry.name += " (" + commentText + ")";
    }
    if (addressWord < words.size()) {
        entry.address = CleanAddress(words[addressWord]);
    }
    return entry;
}

// A display name that only repeats the address ("h@x" <h@x>, 'h@x' <h@x>) is no display name.
bool RepeatsAddress(std::string_view name, std::string_view address) {
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
        name = name.substr(1, name.size() - 2);
    }
    return AnsiSameText(name, address);
}

struct Idn2Deleter {
    void operator()(char* p) const { idn2_free(p); }
};

std::optional<std::string> DomainToAscii(std::string_view domain) {
    if (domain.empty() || domain.size() > kMaxDomainLength || domain.front() == '[' ||
        domain.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    bool ascii = true;
    for (char c : domain) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        return std::nullopt;
    }
    const std::string utf8 = AnsiToUtf8(domain);
    for (int flags : {IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL, IDN2_NFC_INPUT | IDN2_TRANSITIONAL}) {
        char* out = nullptr;
        int rc = idn2_to_ascii_8z(utf8.c_str(), &out, flags);
        std::unique_ptr<char, Idn2Deleter> owned(out);
        if (rc == IDN2_OK && owned) {
            return std::string(owned.get());
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<MailAddressEntry> ParseAddressList(std::string_view text) {
    std::vector<MailAddressEntry> entries;
    for (const std::string& raw : SplitEntries(Prepare(text))) {
        MailAddressEntry entry = SplitEntry(raw);
        if (entry.address.empty() && entry.name.empty()) {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string NormalizeMailAddress(std::string_view address) {
    std::string out;
    out.reserve(address.size() + 4);
    for (char c : address) {
        if (c == '\xDF') {
            out += "ss";
        } else {
            out += c;
        }
    }
    size_t at = out.rfind('@');
    if (at == std::string::npos || out.find('"', at) != std::string::npos) {
        return out;
    }
    if (std::optional<std::string> domain = DomainToAscii(std::string_view(out).substr(at + 1))) {
        out.replace(at + 1, std::string::npos, *domain);
    }
    return out;
}

std::string FormatAddressEntry(const MailAddressEntry& entry) {
    if (entry.address.empty()) {
        return entry.name;
    }
    std::string out = NormalizeMailAddress(entry.address);
    if (!entry.name.empty() && !RepeatsAddress(entry.name, entry.address)) {
        out += " (";
        out += entry.name;
        out += ')';
    }
    return out;
}

std::optional<std::string> ConvertAddressList(std::string_view text) {
    if (Trim(text).empty()) {
        return std::nullopt;
    }
    std::string out;
    for (const MailAddressEntry& entry : ParseAddressList(text)) {
        if (!out.empty()) {
            out += "; ";
        }
        out += FormatAddressEntry(entry);
    }
    return out;
}

} // namespace zbpv

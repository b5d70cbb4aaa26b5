#include "invoicing/address_rules.h"

#include "support/ansi.h"

namespace zbpv {

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && AnsiSameText(s.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view s, std::string_view part) {
    return AnsiUpperCase(s).find(AnsiUpperCase(part)) != std::string::npos;
}

} // namespace

SalutationResult ApplySalutationRule(const SalutationSource& src) {
    SalutationResult r;
    std::string a = src.anrede;
    std::string v = src.vorname;
    std::string t;

    if (StartsWithNoCase(v, "Prof. Dr.")) {
        t = "Prof. Dr.";
        v = Trim(std::string_view(v).substr(9));
    } else if (StartsWithNoCase(v, "Prof.")) {
        t = "Prof.";
        v = Trim(std::string_view(v).substr(5));
    } else if (StartsWithNoCase(v, "Dr.")) {
        t = "Dr.";
        v = Trim(std::string_view(v).substr(3));
    }

    std::string trimmedA = Trim(a);
    if (AnsiSameText(trimmedA, "Firma") || AnsiSameText(trimmedA, "Fa.")) {
        // The marker is cleared from the salutation itself as well, so a title found in the first
        // name cannot bring it back below.
        r.anrede = std::string();
        a.clear();
    } else if (ContainsNoCase(a, "Herr") || ContainsNoCase(a, "Frau") || ContainsNoCase(a, "Mr.") ||
               ContainsNoCase(a, "Mrs.")) {
        size_t blank = a.find(' ');
        if (t.empty() && blank != std::string::npos) {
            t = Trim(std::string_view(a).substr(blank + 1));
            a = Trim(std::string_view(a).substr(0, blank));
        }
    } else if (!trimmedA.empty()) {
        if (Trim(src.name2).empty()) {
            r.name2 = a;
            r.anrede = std::string();
            a.clear();
        } else if (Trim(src.name3).empty()) {
            r.name3 = a;
            r.anrede = std::string();
            a.clear();
        }
    }

    if (!t.empty()) {
        if (!a.empty())
            r.anrede = a;
        r.titel = t;
        r.vorname = v;
    }

    r.suchbegriff = src.name;
    if (!v.empty())
        r.suchbegriff += ", " + v;
    return r;
}

std::string PhoneMatchCode(std::string_view tel1, std::string_view tel2, std::string_view tel3,
                           std::string_view fax) {
    std::string code = ";";
    for (std::string_view part : {tel1, tel2, tel3, fax}) {
        for (char c : part)
            if (c >= '0' && c <= '9')
                code += c;
        code += ';';
    }
    return code;
}

std::string JNFlag(std::string_view value) {
    return value == "J" ? "J" : "N";
}

std::optional<std::string> PaymentMethodFor(const std::vector<std::string>& methods,
                                            std::string_view conditions) {
    if (methods.empty())
        return std::nullopt;
    const std::string* best = nullptr;
    bool listHasLastschrift = false;
    for (const std::string& m : methods) {
        if (AnsiSameText(m, "Lastschrift"))
            listHasLastschrift = true;
        if (m.empty() || conditions.find(m) == std::string_view::npos)
            continue;
        if (!best || m.size() > best->size())
            best = &m;
    }
    if (best)
        return *best;
    if (!listHasLastschrift && conditions.find("Lastschrift") != std::string_view::npos)
        return std::string("Bankeinzug");
    return std::nullopt;
}

std::vector<std::string> SplitGroupList(std::string_view list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t semi = list.find(';', start);
        size_t end = semi == std::string_view::npos ? list.size() : semi;
        std::string g = Trim(list.substr(start, end - start));
        if (!g.empty())
            parts.push_back(std::move(g));
        if (semi == std::string_view::npos)
            break;
        start = semi + 1;
    }
    std::vector<std::string> result;
    for (size_t i = 0; i < parts.size(); ++i) {
        bool later = false;
        for (size_t j = i + 1; j < parts.size() && !later; ++j)
            later = AnsiSameText(parts[i], parts[j]);
        if (!later)
            result.push_back(parts[i]);
    }
    return result;
}

} // namespace zbpv

#pragma once
// The conversions the address step applies to each old address: salutation and title, search term,
// phone match code, J/N flags, payment method and the group list.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// The source values the salutation rule reads (Windows-1252 text).
struct SalutationSource {
    std::string anrede, name, vorname, name2, name3;
};

// What the rule writes; an unset column keeps its copied value.
struct SalutationResult {
    std::optional<std::string> anrede, titel, vorname, name2, name3;
    std::string suchbegriff; // not yet cut to the column width
};

// Titles at the start of the first name move into TITEL, a title after "Herr"/"Frau" too; a
// company marker ("Firma", "Fa.") never stays in ANREDE; any other salutation text moves into the
// first free of NAME2 and NAME3.
SalutationResult ApplySalutationRule(const SalutationSource& src);

// ";" digits ";" digits ";" digits ";" digits ";" - only the digits 0 to 9 of each text are kept.
std::string PhoneMatchCode(std::string_view tel1, std::string_view tel2, std::string_view tel3,
                           std::string_view fax);

// "J" only for exactly "J", otherwise "N".
std::string JNFlag(std::string_view value);

// The payment method for a conditions text: the longest entry of the list that occurs in it (the
// first of equally long ones), else "Bankeinzug" when the text mentions "Lastschrift" and the list
// has no such entry; nothing (keep the copied value) otherwise or when the list is empty.
std::optional<std::string> PaymentMethodFor(const std::vector<std::string>& methods,
                                            std::string_view conditions);

// The groups of a ";"-separated list, trimmed, empty ones dropped, each name once (compared ignoring
// case) at its last occurrence, in the order of those last occurrences.
std::vector<std::string> SplitGroupList(std::string_view list);

} // namespace zbpv

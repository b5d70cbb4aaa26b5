#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// One entry of an address list: display name and address (Windows-1252), either may be empty.
struct MailAddressEntry {
    std::string name;
    std::string address;
};

// Splits an address list as a mail program writes it ("Hans Müller" <h@example.de>, e@example.de
// (Eva); Team: a@x, b@y;) into entries. Entries are separated by "," or ";" outside double quotes and
// parentheses, a backslash escapes the next character, "name:" opens a group (its name is dropped,
// its members stay), line breaks separate entries. Entries without address and display name (such as
// "<>") are dropped; duplicates stay. The parser never fails: unbalanced quotes, parentheses or
// brackets run to the end of the text.
std::vector<MailAddressEntry> ParseAddressList(std::string_view text);

// The address as the target stores it: every "ß" written "ss", and a domain with characters outside
// ASCII in its ASCII form (IDNA); a domain the conversion refuses is left as it is.
std::string NormalizeMailAddress(std::string_view address);

// "address", or "address (display name)" when there is a display name other than the address; the
// display name alone for an entry without address.
std::string FormatAddressEntry(const MailAddressEntry& entry);

// The stored form of an address list: the entries, normalised and formatted, joined with "; ". An
// empty (or blank) text gives no value.
std::optional<std::string> ConvertAddressList(std::string_view text);

} // namespace zbpv

#include "mailimport/address_list.h"

#include "support/ansi.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

// Input and expected output are written in UTF-8 here; the conversion works on Windows-1252.
std::optional<std::string> Convert(std::string_view utf8) {
    std::optional<std::string> out = ConvertAddressList(Utf8ToAnsi(utf8));
    if (out) {
        *out = AnsiToUtf8(*out);
    }
    return out;
}

struct Case {
    const char* input;
    const char* expected;
};

TEST(AddressList, DisplayNamesFollowTheAddressInParentheses) {
    const Case cases[] = {
        {"h.mueller@example.de", "h.mueller@example.de"},
        {"Hans Müller <h.mueller@example.de>", "h.mueller@example.de (Hans Müller)"},
        {"\"Müller, Hans\" <h.mueller@example.de>", "h.mueller@example.de (Müller, Hans)"},
        {"\"Hans \\\"der Chef\\\" Müller\" <h@example.de>", "h@example.de (Hans \"der Chef\" Müller)"},
        {"h@example.de (Hans Müller)", "h@example.de (Hans Müller)"},
        {"Hans (Vertrieb, Nord) <h@example.de>", "h@example.de (Hans (Vertrieb, Nord))"},
        {"Hans h@example.de", "h@example.de (Hans)"},
        {"\"h@example.de\" <h@example.de>", "h@example.de"},
        {"'H@Example.de' <h@example.de>", "h@example.de"},
        {"<h@example.de>", "h@example.de"},
        {"  Hans   Müller  < h@example.de >  ", "h@example.de (Hans Müller)"},
        {"Hans Müller", "Hans Müller"},
        {"\"Name, mit Komma\"", "Name, mit Komma"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.input), c.expected) << c.input;
    }
}

TEST(AddressList, EntriesAreSeparatedOutsideQuotesAndComments) {
    const Case cases[] = {
        {"a@x.de, b@x.de; c@x.de", "a@x.de; b@x.de; c@x.de"},
        {"a@x.de\r\nb@x.de\nc@x.de\r", "a@x.de; b@x.de; c@x.de"},
        {"a@x.de;;; ,b@x.de;", "a@x.de; b@x.de"},
        {"\"Meier; Co\" <m@x.de>, x@y.de", "m@x.de (Meier; Co); x@y.de"},
        {"m@x.de (Meier, (Co; KG)), x@y.de", "m@x.de (Meier, (Co; KG)); x@y.de"},
        {"Meier\\, Co <m@x.de>", "m@x.de (Meier, Co)"},
        {"a@x.de, a@x.de", "a@x.de; a@x.de"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.input), c.expected) << c.input;
    }
}

TEST(AddressList, GroupsKeepTheirMembersAndEmptyEntriesAreDropped) {
    const Case cases[] = {
        {"Vertrieb: a@x.de, Eva <e@x.de>;, c@x.de", "a@x.de; e@x.de (Eva); c@x.de"},
        {"Unbekannte Empfänger:;", ""},
        {"<>", ""},
        {"<>, a@x.de, <>", "a@x.de"},
        {"\"Re: Angebot\" <a@x.de>", "a@x.de (Re: Angebot)"},
        {"a@[IPv6:2001:db8::1]", "a@[IPv6:2001:db8::1]"},
        {"Eva <e@x.de>: Anhang", "e@x.de (Eva : Anhang)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.input), c.expected) << c.input;
    }
}

TEST(AddressList, AddressesGetSharpSAsSsAndAsciiDomains) {
    const Case cases[] = {
        {"Hans <h@müller.de>", "h@xn--mller-kva.de (Hans)"},
        {"groß@straße.de", "gross@strasse.de"},
        {"Jörg <jörg@bücher.example>", "jörg@xn--bcher-kva.example (Jörg)"},
        {"info@MÜLLER.DE", "info@xn--mller-kva.de"},
        {"info@xn--mller-kva.de", "info@xn--mller-kva.de"},
        {"Info@Example.DE", "Info@Example.DE"},
        // Refused by the conversion (a label of more than 63 characters): left as it is.
        {"a@äaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.de",
         "a@äaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.de"},
        // The display name keeps its "ß".
        {"Straße <s@x.de>", "s@x.de (Straße)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.input), c.expected) << c.input;
    }
}

TEST(AddressList, EmptyTextGivesNoValueAndBrokenSyntaxNoFailure) {
    EXPECT_EQ(ConvertAddressList(""), std::nullopt);
    EXPECT_EQ(ConvertAddressList(" \r\n "), std::nullopt);
    const Case cases[] = {
        {"\"unbalanced, a@x.de", "unbalanced, a@x.de"},
        {"Hans <h@x.de", "h@x.de (Hans)"},
        {"h@x.de (offen, b@x.de", "h@x.de (offen, b@x.de)"},
        {"\\", "\\"},
        {">>", ">>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.input), c.expected) << c.input;
    }
}

TEST(AddressList, ParseGivesNameAndAddress) {
    std::vector<MailAddressEntry> entries = ParseAddressList("\"Meier, Eva\" <e@x.de>, b@x.de (Bernd)");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Meier, Eva");
    EXPECT_EQ(entries[0].address, "e@x.de");
    EXPECT_EQ(entries[1].name, "Bernd");
    EXPECT_EQ(entries[1].address, "b@x.de");
}

} // namespace
} // namespace zbpv

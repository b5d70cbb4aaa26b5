#include "invoicing/address_rules.h"
#include "invoicing/keys.h"
#include "invoicing/run_report.h"
#include "support/datetime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zbpv {
namespace {

TEST(NormalizeKey, Cases) {
    struct Case {
        const char* in;
        int width;
        const char* out;
    } cases[] = {
        {" 42 ", 10, "        42"},
        {"A42", 10, "A42"},
        {"", 8, ""},
        {"   ", 8, ""},
        {"12345678", 8, "12345678"},
        {"123456789", 8, "123456789"},
        {"\xA0"
         "7\xA0",
         3, "  7"},
        {"4 2", 8, "4 2"},
        {"-5", 8, "-5"},
        {"0042", 6, "  0042"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeKey(c.in, c.width), c.out) << "[" << c.in << "]";
}

TEST(CutToWidth, CutsOnlyLongerTexts) {
    EXPECT_EQ(CutToWidth("Mustermann, Hans", 10), "Mustermann");
    EXPECT_EQ(CutToWidth("kurz", 10), "kurz");
    EXPECT_EQ(CutToWidth("ohne Breite", 0), "ohne Breite");
}

TEST(KeyMap, AnswersExactKeysOnly) {
    TKeyMap map;
    map.Add("A1", 7);
    EXPECT_EQ(map.Find("A1"), 7);
    // A key in other letter case is left to the database lookup, which decides the same way with
    // and without the map.
    EXPECT_EQ(map.Find("a1"), 0);
    EXPECT_TRUE(HasNoLetterCase("      42"));
    EXPECT_FALSE(HasNoLetterCase("a1"));
    EXPECT_FALSE(HasNoLetterCase("\xE4")); // ä
}

struct SalutationCase {
    const char* anrede;
    const char* vorname;
    const char* name2;
    const char* name3;
    // expected columns ("~" = keeps the copied value)
    const char* outAnrede;
    const char* outTitel;
    const char* outVorname;
    const char* outName2;
    const char* outName3;
    const char* suchbegriff;
};

std::string Col(const std::optional<std::string>& v) {
    return v ? *v : "~";
}

TEST(SalutationRule, TableOfCases) {
    const SalutationCase cases[] = {
        // title in the first name
        {"Herr", "Prof. Dr. Hans", "", "", "Herr", "Prof. Dr.", "Hans", "~", "~", "Meier, Hans"},
        {"Frau", "prof. dr.  Erika", "", "", "Frau", "Prof. Dr.", "Erika", "~", "~", "Meier, Erika"},
        {"Herr", "Prof. Karl", "", "", "Herr", "Prof.", "Karl", "~", "~", "Meier, Karl"},
        {"Frau", "Dr. Anna", "", "", "Frau", "Dr.", "Anna", "~", "~", "Meier, Anna"},
        // title after the salutation word, first name stays as copied
        {"Herr Dr.", "Hans", "", "", "Herr", "Dr.", "Hans", "~", "~", "Meier, Hans"},
        {"Herr Dr.", "Prof. Hans", "", "", "Herr Dr.", "Prof.", "Hans", "~", "~", "Meier, Hans"},
        {"Mrs.", "Jane", "", "", "~", "~", "~", "~", "~", "Meier, Jane"},
        // company markers never stay in ANREDE, also with a title in the first name
        {"Firma", "", "", "", "", "~", "~", "~", "~", "Meier"},
        {"fa.", "", "", "", "", "~", "~", "~", "~", "Meier"},
        {"Firma", "Dr. Hans", "", "", "", "Dr.", "Hans", "~", "~", "Meier, Hans"},
        {"Fa.", "Prof. Dr. Eva", "", "", "", "Prof. Dr.", "Eva", "~", "~", "Meier, Eva"},
        // another text moves into the first free of NAME2 and NAME3
        {"Bauunternehmung", "", "", "", "", "~", "~", "Bauunternehmung", "~", "Meier"},
        {"Bauunternehmung", "", "GmbH", "", "", "~", "~", "~", "Bauunternehmung", "Meier"},
        {"Bauunternehmung", "", "GmbH", "& Co. KG", "~", "~", "~", "~", "~", "Meier"},
        {"Familie", "Dr. Otto", "", "", "", "Dr.", "Otto", "Familie", "~", "Meier, Otto"},
        // nothing to do
        {"", "Hans", "", "", "~", "~", "~", "~", "~", "Meier, Hans"},
        {"Frau", "", "", "", "~", "~", "~", "~", "~", "Meier"},
    };
    for (const SalutationCase& c : cases) {
        SalutationResult r = ApplySalutationRule({c.anrede, "Meier", c.vorname, c.name2, c.name3});
        std::string ctx = std::string(c.anrede) + "|" + c.vorname + "|" + c.name2 + "|" + c.name3;
        EXPECT_EQ(Col(r.anrede), c.outAnrede) << ctx;
        EXPECT_EQ(Col(r.titel), c.outTitel) << ctx;
        EXPECT_EQ(Col(r.vorname), c.outVorname) << ctx;
        EXPECT_EQ(Col(r.name2), c.outName2) << ctx;
        EXPECT_EQ(Col(r.name3), c.outName3) << ctx;
        EXPECT_EQ(r.suchbegriff, c.suchbegriff) << ctx;
    }
}

TEST(PhoneMatchCode, DigitsOnlyFiveSemicolons) {
    EXPECT_EQ(PhoneMatchCode("(089) 123-45/6", "", "", "+49 89 99"), ";089123456;;;498999;");
    EXPECT_EQ(PhoneMatchCode("", "", "", ""), ";;;;;");
    EXPECT_EQ(PhoneMatchCode("1", "2", "3", "4"), ";1;2;3;4;");
}

TEST(JNFlag, OnlyUpperJStays) {
    EXPECT_EQ(JNFlag("J"), "J");
    for (const char* v : {"j", "", "N", "Ja", " J", "X"})
        EXPECT_EQ(JNFlag(v), "N") << v;
}

TEST(PaymentMethod, Rule) {
    const std::vector<std::string> list = {"Bar", "Überweisung", "Barzahlung", "Scheck"};
    struct Case {
        const char* conditions;
        const char* expected; // nullptr: keep copied
    } cases[] = {
        {"Zahlbar per Barzahlung sofort", "Barzahlung"}, // longer wins over the contained one
        {"Bar oder Scheck", "Scheck"},
        {"14 Tage per Überweisung", "Überweisung"},
        {"per Lastschrift", "Bankeinzug"},
        {"per lastschrift", nullptr}, // the text test is case-sensitive
        {"nach Vereinbarung", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        auto r = PaymentMethodFor(list, c.conditions);
        if (c.expected)
            EXPECT_EQ(r.value_or("<none>"), c.expected) << c.conditions;
        else
            EXPECT_FALSE(r.has_value()) << c.conditions;
    }
    // Of equally long entries the first in list order wins.
    EXPECT_EQ(PaymentMethodFor({"Karte", "Konto"}, "Konto oder Karte").value_or(""), "Karte");
    // With "Lastschrift" in the list the entry itself is found; with another case not mapped.
    EXPECT_EQ(PaymentMethodFor({"Lastschrift"}, "per Lastschrift").value_or(""), "Lastschrift");
    EXPECT_FALSE(PaymentMethodFor({"LASTSCHRIFT"}, "per Lastschrift").has_value());
    EXPECT_FALSE(PaymentMethodFor({}, "per Lastschrift").has_value());
}

TEST(GroupList, EachNameOnceAtItsLastOccurrence) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitGroupList("Stammkunden; Bau; Hochbau"), (V{"Stammkunden", "Bau", "Hochbau"}));
    EXPECT_EQ(SplitGroupList("VIP;vip ;Presse"), (V{"vip", "Presse"}));
    EXPECT_EQ(SplitGroupList(" A ;;B; a;"), (V{"B", "a"}));
    EXPECT_EQ(SplitGroupList(""), V{});
    EXPECT_EQ(SplitGroupList(" ; ;"), V{});
    EXPECT_EQ(SplitGroupList("Einzel"), V{"Einzel"});
}

TEST(FormatThousands, ThousandsSeparators) {
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1.000");
    EXPECT_EQ(FormatThousands(12345), "12.345");
    EXPECT_EQ(FormatThousands(1234567), "1.234.567");
    EXPECT_EQ(FormatThousands(-1234), "-1.234");
}

TEST(RunReport, ListsRefusedRowsInTheLogFolder) {
    auto dir = std::filesystem::temp_directory_path() / ("zbpv_report_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    SetClockForTests([] { return EncodeDateTime(2026, 3, 4, 5, 6, 7, 0); });
    TRunReport report;
    EXPECT_TRUE(report.Write(dir / "Log").empty());
    report.AddRefused(
        {"ADRESSEN", "      17", "violation of PRIMARY or UNIQUE KEY constraint \"ADRESSEN_UK\""});
    report.AddRefused({"GRZUORD", "M\xFCller", "violation"});
    auto path = report.Write(dir / "Log");
    SetClockForTests({});
    EXPECT_EQ(path.filename().string(), "Abgewiesen 2026-03-04 050607.log");
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Tabelle: ADRESSEN\tSchlüssel:       17\tMeldung: violation of PRIMARY"),
              std::string::npos);
    EXPECT_NE(text.str().find("Schlüssel: Müller"), std::string::npos);
    EXPECT_EQ(RefusedRowsNotice(0, {}), "");
    EXPECT_NE(RefusedRowsNotice(2, path).find("2 Datensätze wurden von der Datenbank abgewiesen"),
              std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace zbpv

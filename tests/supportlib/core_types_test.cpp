#include "support/ansi.h"
#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"
#include "support/variant.h"

#include <gtest/gtest.h>

using namespace zbpv;

TEST(AnsiText, EveryByteSurvivesTheRoundTripThroughUtf8) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
    EXPECT_EQ(AnsiToUtf8("\x80 \xE4\xF6\xFC\xDF"), "€ äöüß");
    EXPECT_EQ(Utf8ToAnsi("Entwürfe €"), "Entw\xFC"
                                        "rfe \x80");
    EXPECT_EQ(Utf8ToAnsi("\xE2\x9C\x93"), "?"); // outside Windows-1252
    EXPECT_EQ(Utf8ToAnsi("M\xFC"
                         "ller"),
              "M\xFC"
              "ller"); // already Windows-1252
}

TEST(AnsiText, CaseRulesCoverUmlauts) {
    EXPECT_EQ(AnsiUpperCase("m\xFC"
                            "ller \xDF"),
              "M\xDC"
              "LLER \xDF");
    EXPECT_TRUE(AnsiSameText("\xC4rger", "\xE4RGER"));
    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_EQ(Trim("  x y \t"), "x y");
}

TEST(DateTime, DayCountsAndTimeOfDay) {
    struct Case {
        int y, m, d;
        double days;
    } cases[] = {
        {1899, 12, 30, 0}, {1900, 1, 1, 2}, {2000, 1, 1, 36526}, {1899, 1, 1, -363}, {9999, 12, 31, 2958465}};
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
        const DateParts p = DecodeDate(c.days);
        EXPECT_EQ(p.year, c.y);
        EXPECT_EQ(p.month, c.m);
        EXPECT_EQ(p.day, c.d);
    }
    // Before the epoch the fraction is still the time of day.
    const TDateTime dt = EncodeDateTime(1899, 12, 29, 6, 0, 0, 0);
    EXPECT_DOUBLE_EQ(dt, -1.25);
    const TimeParts t = DecodeTime(EncodeTime(23, 59, 59, 999));
    EXPECT_EQ(t.hour * 10000000 + t.minute * 100000 + t.second * 1000 + t.msec, 235959999);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_EQ(DayOfTheWeek(0), 6); // Saturday
}

TEST(DateTime, IsoWeekNumbers) {
    EXPECT_EQ(WeekOfTheYear(EncodeDate(1899, 12, 30)), 52);
    EXPECT_EQ(WeekOfTheYear(EncodeDate(2021, 1, 3)), 53);
    EXPECT_EQ(WeekOfTheYear(EncodeDate(2024, 12, 30)), 1);
    EXPECT_EQ(WeekOfTheYear(EncodeDate(2026, 12, 11)), 50);
}

TEST(FormatSettings, OldProgramsNotationAndParsing) {
    const FormatSettings fs;
    const TDateTime dt = EncodeDateTime(2026, 3, 7, 9, 5, 4, 12);
    EXPECT_EQ(FormatDateTime("\"ERR \"yyyy-dd-mm hhnnss\".log\"", dt, fs), "ERR 2026-07-03 090504.log");
    EXPECT_EQ(DateTimeToStr(dt, fs), "07.03.2026 09:05:04");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 3, 7), fs), "07.03.2026");
    TDateTime parsed;
    ASSERT_TRUE(TryStrToDateTime("7.3.26 9:05", parsed, fs));
    EXPECT_DOUBLE_EQ(parsed, EncodeDateTime(2026, 3, 7, 9, 5, 0, 0));
    EXPECT_FALSE(TryStrToDateTime("31.02.2026", parsed, fs));
    EXPECT_EQ(FloatToStr(0.1, fs), "0,1");
    double v;
    EXPECT_TRUE(TryStrToFloat("1,5", v, fs));
    EXPECT_FALSE(TryStrToFloat("1.500", v, fs)); // a thousands point is no decimal point
}

TEST(Variant, FixedPointRoundsHalfAwayFromZeroOnTheDecimalExpansion) {
    struct Case {
        double in;
        int scale;
        int64_t stored;
    } cases[] = {{2.125, 2, 213},
                 {-2.125, 2, -213},
                 {1.005, 2, 100},
                 {0.5, 0, 1},
                 {-0.5, 0, -1},
                 {12.34567, 4, 123457},
                 {123456.7890125, 6, 123456789012}, // held as ...789012499997...
                 {2.5e-18, 18, 3}, // held as 2.50000000000000009e-18: the 18th digit rounds up
                 {1e-300, 2, 0},
                 {4503599627370495.5, 0, 4503599627370496},
                 {-7e15, 2, -700000000000000000}};
    for (const auto& c : cases)
        EXPECT_EQ(Decimal::FromDouble(c.in, c.scale).value, c.stored) << c.in;
    EXPECT_EQ(Variant("12,345").AsDecimal(2).value, 1235);
    EXPECT_EQ(Variant(Decimal{-12345, 3}).AsString(), "-12,345");
    EXPECT_EQ(Variant(Decimal{1500, 2}).AsString(), "15");
}

TEST(Variant, FailedConversionsThrowInsteadOfGuessing) {
    EXPECT_EQ(Variant(" 42 ").AsInteger(), 42);
    EXPECT_EQ(Variant(2.5).AsInteger(), 3);
    EXPECT_THROW(Variant("A42").AsInteger(), EConvertError);
    EXPECT_THROW(Variant("").AsInteger(), EConvertError);
    EXPECT_THROW(Variant("abc").AsFloat(), EConvertError);
    EXPECT_THROW(Variant("32.13.2020").AsDateTime(), EConvertError);
    EXPECT_THROW(Variant(1e300).AsInteger(), EConvertError);
    EXPECT_EQ(Variant().AsString(), "");
    EXPECT_TRUE(Variant().IsNull());
    EXPECT_DOUBLE_EQ(Variant("01.01.2000").AsDateTime(), 36526);
    EXPECT_EQ(Variant::FromBlob(std::string("\0\1", 2)).Bytes().size(), 2u);
}

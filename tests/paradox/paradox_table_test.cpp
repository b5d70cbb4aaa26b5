#include "dbaccess/paradox/paradox_table.h"
#include "support/ansi.h"
#include "support/format_settings.h"
#include "tests/paradox/px_test_util.h"
#include "tests/support/paradox_writer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace zbpv {
namespace {

using pxtest::TempFolder;
using T = PxFieldType;

// One field of every type; the blob fields keep 8 bytes in the record.
TParadoxWriter AllTypes(const std::string& name) {
    TParadoxWriter w(name);
    w.AddField("Nr", T::Long)
        .AddField("Name", T::Alpha, 20)
        .AddField("Datum", T::Date)
        .AddField("Kurz", T::Short)
        .AddField("Betrag", T::Currency)
        .AddField("Zahl", T::Number)
        .AddField("Ja", T::Logical)
        .AddField("Notiz", T::Memo, 8)
        .AddField("Bin", T::Blob, 0)
        .AddField("Rtf", T::FmtMemo, 8)
        .AddField("Ole", T::OLE, 0)
        .AddField("Bild", T::Graphic, 0)
        .AddField("Zeit", T::Time)
        .AddField("Stempel", T::Timestamp)
        .AddField("Auto", T::AutoInc)
        .AddField("Dez", T::BCD, 4)
        .AddField("Roh", T::Bytes, 4)
        .SetKeyFields(1);
    return w;
}

Variant DateV(int y, int m, int d) {
    return Variant::FromDateTime(EncodeDate(y, m, d));
}

struct ParadoxTableTest : ::testing::Test {
    TempFolder dir;
    void SetUp() override { SetGlobalFormatSettings(FormatSettings::German()); }
    void TearDown() override { ParadoxClearPasswords(); }
};

// Every type through every file version and block size: edge values survive, empty fields are null
// and told apart from zero.
TEST_F(ParadoxTableTest, EveryTypeRoundTripsInEveryVersionAndBlockSize) {
    const std::string longAlpha(20, 'z');
    for (int version : {30, 35, 40, 50, 70}) {
        for (int kb : {1, 2, 3, 4, 8, 16, 32}) {
            SCOPED_TRACE("version " + std::to_string(version) + " block " + std::to_string(kb));
            TParadoxWriter w = AllTypes("Alle.db");
            w.SetVersion(version).SetBlockSizeKb(kb);
            w.Append({3, longAlpha, DateV(1850, 2, 28), -32767, -0.01, -1e300, false, "", "", "", "", "",
                      Variant::FromDateTime(EncodeTime(23, 59, 59, 999)),
                      Variant::FromDateTime(EncodeDateTime(1899, 12, 29, 6, 0, 0, 5)), 7,
                      Variant(Decimal{-123456789, 4}),
                      Variant::FromBlob(std::string("\x01\x00\x02\xff", 4))});
            w.Append({1, "", DateV(2600, 12, 31), 0, 0.0, 0.0, true});
            w.Append({2, Variant::Null(), DateV(1, 1, 1), 32767, 1234567.89, 2.5, Variant::Null(), "kurz",
                      "B", "{\\rtf1}", "O", "G", Variant::FromDateTime(0.0),
                      Variant::FromDateTime(EncodeDateTime(2026, 12, 11, 13, 14, 15, 16)), Variant::Null(),
                      Variant(Decimal{0, 0}), Variant::Null()});
            w.Write(dir.path());

            TParadoxTable t(dir.path(), "Alle.db");
            t.Open();
            EXPECT_EQ(t.FileVersion(), version);
            EXPECT_EQ(t.BlockSize(), kb * 1024);
            ASSERT_EQ(t.RecordCount(), 3);
            // Record 1: zeros and empties.
            EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 1);
            EXPECT_TRUE(t.FieldByName("Name").IsNull());
            EXPECT_EQ(t.FieldByName("Name").AsString(), "");
            EXPECT_FALSE(t.FieldByName("Kurz").IsNull());
            EXPECT_EQ(t.FieldByName("Kurz").AsInteger(), 0);
            EXPECT_FALSE(t.FieldByName("Betrag").IsNull());
            EXPECT_EQ(t.FieldByName("Betrag").AsFloat(), 0.0);
            EXPECT_TRUE(t.FieldByName("Ja").AsBoolean());
            EXPECT_EQ(t.FieldByName("Datum").AsDateTime(), EncodeDate(2600, 12, 31));
            for (const char* f :
                 {"Notiz", "Bin", "Rtf", "Ole", "Bild", "Zeit", "Stempel", "Auto", "Dez", "Roh"}) {
                EXPECT_TRUE(t.FieldByName(f).IsNull()) << f;
                EXPECT_TRUE(t.FieldByName(f).AsVariant().IsNull()) << f;
            }
            EXPECT_EQ(t.FieldByName("Auto").AsInteger(), 0);
            t.Next();
            EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 2);
            EXPECT_EQ(t.FieldByName("Datum").AsDateTime(), EncodeDate(1, 1, 1));
            EXPECT_EQ(t.FieldByName("Kurz").AsInteger(), 32767);
            EXPECT_EQ(t.FieldByName("Betrag").AsFloat(), 1234567.89);
            EXPECT_TRUE(t.FieldByName("Ja").IsNull());
            EXPECT_EQ(t.FieldByName("Notiz").AsString(), "kurz");
            EXPECT_EQ(t.FieldByName("Rtf").AsBytes(), "{\\rtf1}");
            EXPECT_EQ(t.FieldByName("Bin").AsBytes(), "B");
            EXPECT_EQ(t.FieldByName("Ole").AsVariant().Bytes(), "O");
            EXPECT_FALSE(t.FieldByName("Zeit").IsNull()); // midnight is a time, not an empty field
            EXPECT_EQ(t.FieldByName("Zeit").AsDateTime(), 0.0);
            EXPECT_EQ(t.FieldByName("Stempel").AsSQLTimeStamp(),
                      (TSQLTimeStamp{2026, 12, 11, 13, 14, 15, 160}));
            EXPECT_FALSE(t.FieldByName("Dez").IsNull());
            EXPECT_EQ(t.FieldByName("Dez").AsString(), "0");
            t.Next();
            EXPECT_EQ(t.FieldByName("Name").AsString(), longAlpha);
            EXPECT_EQ(t.FieldByName("Datum").AsString(), "28.02.1850");
            EXPECT_EQ(t.FieldByName("Kurz").AsInteger(), -32767);
            EXPECT_EQ(t.FieldByName("Betrag").AsString(), "-0,01");
            EXPECT_EQ(t.FieldByName("Zahl").AsFloat(), -1e300);
            EXPECT_FALSE(t.FieldByName("Ja").IsNull());
            EXPECT_FALSE(t.FieldByName("Ja").AsBoolean());
            EXPECT_EQ(t.FieldByName("Ja").AsString(), "False");
            EXPECT_EQ(t.FieldByName("Zeit").AsSQLTimeStamp(), (TSQLTimeStamp{0, 0, 0, 23, 59, 59, 9990}));
            EXPECT_EQ(t.FieldByName("Stempel").AsDateTime(), EncodeDateTime(1899, 12, 29, 6, 0, 0, 5));
            EXPECT_EQ(t.FieldByName("Auto").AsVariant().AsInteger(), 7);
            EXPECT_EQ(t.FieldByName("Dez").AsString(), "-12345,6789");
            EXPECT_EQ(t.FieldByName("Dez").AsVariant(), Variant(Decimal{-123456789, 4}));
            EXPECT_EQ(t.FieldByName("Roh").AsBytes(), std::string("\x01\x00\x02\xff", 4));
            t.Next();
            EXPECT_TRUE(t.Eof());
        }
    }
}

TEST_F(ParadoxTableTest, TextOfDatesAndNumbersFollowsTheFormatSettings) {
    TParadoxWriter w("Fmt.db");
    w.AddField("D", T::Date).AddField("Z", T::Time).AddField("S", T::Timestamp).AddField("N", T::Number);
    w.Append({DateV(2024, 3, 9), Variant::FromDateTime(EncodeTime(7, 8, 9, 0)),
              Variant::FromDateTime(EncodeDateTime(2024, 3, 9, 0, 0, 0, 0)), 1.5});
    w.Append(
        {DateV(999, 1, 2), Variant::Null(), Variant::FromDateTime(EncodeDateTime(2024, 3, 9, 13, 0, 0, 0))});
    w.Write(dir.path());
    TParadoxTable t(dir.path(), "Fmt");
    t.Open();
    EXPECT_EQ(t.Fields(0).AsString(), "09.03.2024");
    EXPECT_EQ(t.Fields(1).AsString(), "07:08:09");
    EXPECT_EQ(t.Fields(2).AsString(), "09.03.2024"); // midnight: date only
    EXPECT_EQ(t.Fields(3).AsString(), "1,5");
    FormatSettings iso;
    iso.shortDateFormat = "yyyy/mm/dd";
    iso.dateSeparator = '-';
    iso.longTimeFormat = "hh:nn";
    iso.decimalSeparator = '.';
    SetGlobalFormatSettings(iso);
    EXPECT_EQ(t.Fields(0).AsString(), "2024-03-09");
    EXPECT_EQ(t.Fields(1).AsString(), "07:08");
    EXPECT_EQ(t.Fields(3).AsString(), "1.5");
    t.Next();
    EXPECT_EQ(t.Fields(0).AsString(), DateToStr(EncodeDate(999, 1, 2)));
    EXPECT_EQ(t.Fields(2).AsString(), "2024-03-09 13:00");
    SetGlobalFormatSettings(FormatSettings::German());
    EXPECT_EQ(t.Fields(2).AsString(), "09.03.2024 13:00:00");
}

// A 7.x header whose names follow the shorter table-name slot of the older versions still reads.
TEST_F(ParadoxTableTest, FieldNamesAfterEitherTableNameSlot) {
    TParadoxWriter w("Slot.db");
    w.SetVersion(50).AddField("Kundennr", T::Alpha, 10).AddField("Name", T::Alpha, 30);
    w.Append({"1", "Meier"});
    w.Write(dir.path());
    std::string b = pxtest::ReadAll(dir.file("Slot.db"));
    b[0x39] = 0x0C;
    pxtest::WriteAll(dir.file("Slot.db"), b);
    TParadoxTable t(dir.path(), "Slot");
    t.Open();
    EXPECT_EQ(t.FileVersion(), 70);
    EXPECT_EQ(t.Fields(1).FieldName(), "Name");
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Meier");
}

TEST_F(ParadoxTableTest, FieldMetadataAndLookupIgnoringCase) {
    AllTypes("Alle").Write(dir.path());
    TParadoxTable t(dir.path(), "alle");
    int opened = 0;
    t.AfterOpen = [&](TParadoxTable& tbl) {
        ++opened;
        EXPECT_TRUE(tbl.Active());
    };
    t.Open();
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(t.FieldCount(), 17);
    EXPECT_EQ(t.Fields(1).FieldName(), "Name");
    EXPECT_EQ(t.Fields(1).DataType(), T::Alpha);
    EXPECT_EQ(t.Fields(1).Size(), 20);
    EXPECT_EQ(t.Fields(7).DataType(), T::Memo);
    EXPECT_EQ(t.Fields(7).Size(), 8);
    EXPECT_EQ(t.Fields(15).Size(), 4);
    EXPECT_EQ(t.Fields(0).Size(), 0);
    EXPECT_EQ(&t.FieldByName("nOtIz"), &t.Fields(7));
    EXPECT_EQ(t.FindField("Fehlt"), nullptr);
    try {
        t.FieldByName("Fehlt");
        FAIL();
    } catch (const EParadoxError& e) {
        EXPECT_STREQ(e.what(), "Feld \"Fehlt\" nicht gefunden (Tabelle \"alle\").");
    }
    EXPECT_THROW(t.Fields(17), EParadoxError);
    EXPECT_TRUE(t.Eof()); // no records
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.RecNo(), 0);
    EXPECT_TRUE(t.Fields(1).IsNull());
}

// Blobs at the edges of the record leader, of the sub-allocated blocks and of the 4 KiB blocks.
TEST_F(ParadoxTableTest, BlobsAcrossInlineSubAllocatedAndBlockLimits) {
    const std::vector<size_t> sizes = {1, 8, 9, 16, 17, 2047, 2048, 2049, 4087, 4088, 4096, 70000};
    TParadoxWriter w("Memos.db");
    w.AddField("Nr", T::Short).AddField("Text", T::Memo, 8).AddField("Daten", T::Blob, 0).SetKeyFields(1);
    int nr = 1;
    for (size_t n : sizes) {
        std::string text, bin;
        for (size_t i = 0; i < n; ++i) {
            text.push_back(static_cast<char>('a' + (i * 7 + n) % 26));
            bin.push_back(static_cast<char>((i * 31 + n) & 0xFF));
        }
        w.Append({nr++, text, Variant::FromBlob(bin)});
    }
    w.Write(dir.path());
    TParadoxTable t(dir.path(), "Memos");
    t.Open();
    ASSERT_EQ(t.RecordCount(), static_cast<int>(sizes.size()));
    for (size_t k = 0; k < sizes.size(); ++k, t.Next()) {
        const size_t n = sizes[k];
        SCOPED_TRACE(n);
        const std::string text = t.FieldByName("Text").AsString();
        const std::string bin = t.FieldByName("Daten").AsBytes();
        ASSERT_EQ(text.size(), n);
        ASSERT_EQ(bin.size(), n);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(text[i], static_cast<char>('a' + (i * 7 + n) % 26));
            ASSERT_EQ(bin[i], static_cast<char>((i * 31 + n) & 0xFF));
        }
    }
}

TEST_F(ParadoxTableTest, TextIsConvertedFromTheTableCodePage) {
    const std::string ansi = "M\xFCller \xC4rger Stra\xDF"
                             "e \xE9t\xE9 \xA3"; // Windows-1252
    for (int cp : {437, 850, 1252}) {
        SCOPED_TRACE(cp);
        TParadoxWriter w("Cp.db");
        w.SetCodePage(cp).AddField("N\xE4me", T::Alpha, 40).AddField("Memo", T::Memo, 4);
        w.Append({ansi, ansi});
        w.Write(dir.path());
        const std::string raw = pxtest::ReadAll(dir.file("Cp.db"));
        if (cp == 437) { // the file really holds code page bytes: ü is 0x81 there
            EXPECT_NE(raw.find("M\x81ller"), std::string::npos);
        }
        TParadoxTable t(dir.path(), "Cp.db");
        t.Open();
        EXPECT_EQ(t.CodePage(), cp);
        EXPECT_EQ(t.Fields(0).FieldName(), "N\xE4me");
        EXPECT_EQ(t.FieldByName("n\xC4me").AsString(), ansi);
        EXPECT_EQ(t.FieldByName("Memo").AsString(), ansi);
    }
}

TEST_F(ParadoxTableTest, ProtectedTableOpensOnlyWithItsPassword) {
    TParadoxWriter w("Geheim.db");
    w.AddField("Nr", T::Long).AddField("Text", T::Memo, 4).SetKeyFields(1).SetPassword("wandu");
    for (int i = 1; i <= 300; ++i)
        w.Append({i, std::string(static_cast<size_t>(i * 10), 'x') + "Ende"});
    w.Write(dir.path());
    EXPECT_EQ(pxtest::ReadAll(dir.file("Geheim.MB")).find("xxxxEnde"), std::string::npos); // not in plain

    TParadoxTable t(dir.path(), "Geheim");
    try {
        t.Open();
        FAIL();
    } catch (const EParadoxError& e) {
        EXPECT_NE(std::string(e.what()).find("Kennwort"), std::string::npos);
    }
    ParadoxAddPassword("Wandu"); // letter case matters
    EXPECT_THROW(t.Open(), EParadoxError);
    ParadoxAddPassword("wandu");
    t.Open();
    EXPECT_TRUE(t.Encrypted());
    ASSERT_EQ(t.RecordCount(), 300);
    t.Last();
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 300);
    EXPECT_EQ(t.FieldByName("Text").AsString(), std::string(3000, 'x') + "Ende");
    ASSERT_TRUE(t.FindKey({150}));
    EXPECT_EQ(t.FieldByName("Text").AsString().size(), 1504u);
}

TEST_F(ParadoxTableTest, KeyedTablesReadInKeyOrderUnkeyedInFileOrder) {
    TParadoxWriter keyed("Pos.db"), plain("Log.db");
    keyed.AddField("Auftragnr", T::Alpha, 10)
        .AddField("Pos", T::Short)
        .AddField("Menge", T::Number)
        .SetKeyFields(2);
    plain.AddField("Zeile", T::Long).AddField("Text", T::Alpha, 5);
    keyed.SetBlockSizeKb(1);
    plain.SetBlockSizeKb(1);
    // 2000 records over many 1 KiB blocks, appended out of order.
    for (int i = 0; i < 2000; ++i) {
        const int a = (i * 7919) % 400, p = (i * 31) % 5 + 1;
        (void)p;
        keyed.Append({"A" + std::to_string(1000 + a), i / 400 + 1, i * 0.5});
        plain.Append({2000 - i, "t"});
    }
    keyed.Write(dir.path());
    plain.Write(dir.path());

    TParadoxTable k(dir.path(), "Pos.db");
    k.Open();
    EXPECT_TRUE(k.Keyed());
    ASSERT_EQ(k.RecordCount(), 2000);
    std::string prevA;
    int prevP = 0, n = 0;
    for (k.First(); !k.Eof(); k.Next(), ++n) {
        const std::string a = k.FieldByName("Auftragnr").AsString();
        const int p = static_cast<int>(k.FieldByName("Pos").AsInteger());
        ASSERT_TRUE(a > prevA || (a == prevA && p > prevP)) << a << " " << p;
        EXPECT_EQ(k.RecNo(), n + 1);
        prevA = a;
        prevP = p;
    }
    EXPECT_EQ(n, 2000);

    TParadoxTable u(dir.path(), "Log.db");
    u.Open();
    EXPECT_FALSE(u.Keyed());
    int expect = 2000;
    for (u.First(); !u.Eof(); u.Next())
        ASSERT_EQ(u.FieldByName("Zeile").AsInteger(), expect--);
    EXPECT_EQ(expect, 0);
    EXPECT_THROW(u.FindKey({1}), EParadoxError);
}

TEST_F(ParadoxTableTest, FindKeyAndRangesOnThePrimaryKey) {
    TParadoxWriter w("Atrpos.db");
    w.AddField("Auftragnr", T::Alpha, 10)
        .AddField("Posnr", T::Short)
        .AddField("Artikel", T::Alpha, 10)
        .SetKeyFields(2);
    w.SetBlockSizeKb(1);
    for (int a = 1; a <= 50; ++a)
        for (int p = 1; p <= a % 7; ++p) // order 7, 14, … have no positions
            w.Append({"  " + std::to_string(100 + a), p, "X" + std::to_string(a * 100 + p)});
    w.Write(dir.path());
    TParadoxTable t(dir.path(), "Atrpos");
    t.Open();
    EXPECT_EQ(t.KeyFieldCount(), 2);

    ASSERT_TRUE(t.FindKey({"  123", 2}));
    EXPECT_EQ(t.FieldByName("Artikel").AsString(), "X2302");
    ASSERT_TRUE(t.FindKey({"  125"})); // leading key field only: the first position
    EXPECT_EQ(t.FieldByName("Posnr").AsInteger(), 1);
    const int at = t.RecNo();
    EXPECT_FALSE(t.FindKey({"  123", 9}));
    EXPECT_FALSE(t.FindKey({"123"})); // untrimmed keys: no match
    EXPECT_EQ(t.RecNo(), at);         // a failed search does not move

    struct Case {
        std::string order;
        int count;
    };
    for (const Case& c : std::vector<Case>{{"  106", 6}, {"  107", 0}, {"  101", 1}, {"  999", 0}}) {
        SCOPED_TRACE(c.order);
        t.SetRange({c.order}, {c.order});
        EXPECT_EQ(t.RecordCount(), c.count);
        int n = 0, pos = 0;
        for (; !t.Eof(); t.Next()) {
            EXPECT_EQ(t.FieldByName("Auftragnr").AsString(), c.order);
            EXPECT_EQ(t.FieldByName("Posnr").AsInteger(), ++pos);
            ++n;
        }
        EXPECT_EQ(n, c.count);
        if (c.count == 0) {
            EXPECT_TRUE(t.Fields(2).IsNull());
        }
    }
    t.SetRange({"  110", 2}, {"  112", 1}); // 110/2..110/3, 111/1..111/4, 112/1
    EXPECT_EQ(t.RecordCount(), 2 + 4 + 1);
    EXPECT_TRUE(t.FindKey({"  111", 4}));
    EXPECT_FALSE(t.FindKey({"  112", 2}));
    EXPECT_FALSE(t.FindKey({"  110", 1})); // outside the range
    t.CancelRange();
    int total = 0;
    for (int a = 1; a <= 50; ++a)
        total += a % 7;
    EXPECT_EQ(t.RecordCount(), total);
    EXPECT_THROW(t.FindKey({"a", 1, 2}), EParadoxError);
}

TEST_F(ParadoxTableTest, SecondaryIndexesGiveTheirOrderAndRanges) {
    const std::string marker = "Neue DS-Nr - Dieser Datensatz darf nicht gel\xF6scht werden!";
    TParadoxWriter w("MailEing.db");
    w.AddField("LfdNr", T::Long)
        .AddField("Ordner", T::Alpha, 80)
        .AddField("Benutzer", T::Short)
        .AddField("Von", T::Alpha, 40)
        .AddField("Betreff", T::Alpha, 40)
        .SetKeyFields(1)
        .AddIndex("SORTVON", {"Ordner", "Benutzer", "Von"})
        .AddIndex("Betreff", {"Betreff"});
    w.SetBlockSizeKb(2);
    const std::vector<std::string> folders = {"Posteingang", "\\\\hidden", marker, "Gesendet",
                                              "Posteingang\\Kunden"};
    int lfd = 1;
    for (int i = 0; i < 500; ++i)
        w.Append({lfd++, folders[static_cast<size_t>(i * 3 % 5)], i % 3 + 1, "von" + std::to_string(i % 17),
                  "Betreff " + std::to_string(1000 - i)});
    w.Write(dir.path());

    TParadoxTable t(dir.path(), "MailEing.db");
    t.SetIndexName("SortVon");
    t.Open();
    const auto names = t.IndexNames();
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(t.KeyFieldCount(), 3);
    ASSERT_EQ(t.RecordCount(), 500);
    std::string pO, pV;
    int64_t pB = 0, pL = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        const std::string o = t.FieldByName("Ordner").AsString(), v = t.FieldByName("Von").AsString();
        const int64_t b = t.FieldByName("Benutzer").AsInteger(), l = t.FieldByName("LfdNr").AsInteger();
        const bool after = o > pO || (o == pO && (b > pB || (b == pB && (v > pV || (v == pV && l > pL)))));
        ASSERT_TRUE(after) << o << "/" << b << "/" << v << "/" << l;
        pO = o, pB = b, pV = v, pL = l;
    }
    // The count of the mail step: all records minus the marker and the hidden folder.
    t.SetRange({marker}, {marker});
    const int markers = t.RecordCount();
    t.SetRange({"\\\\hidden"}, {"\\\\hidden"});
    const int hidden = t.RecordCount();
    EXPECT_EQ(markers, 100);
    EXPECT_EQ(hidden, 100);
    t.SetRange({"Gesendet", 2}, {"Gesendet", 2});
    int n = 0;
    for (; !t.Eof(); t.Next(), ++n) {
        EXPECT_EQ(t.FieldByName("Ordner").AsString(), "Gesendet");
        EXPECT_EQ(t.FieldByName("Benutzer").AsInteger(), 2);
    }
    EXPECT_EQ(n, t.RecordCount());
    EXPECT_GT(n, 0);
    t.SetRange({"gesendet"}, {"gesendet"}); // letter case counts in this index
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    t.CancelRange();
    EXPECT_EQ(t.RecordCount(), 500);

    // Switching indexes while open; a single-field index is also found by its field's name.
    t.SetIndexName("betreff");
    t.First();
    EXPECT_EQ(t.FieldByName("Betreff").AsString(), "Betreff 1000");
    ASSERT_TRUE(t.FindKey({"Betreff 750"}));
    EXPECT_EQ(t.FieldByName("LfdNr").AsInteger(), 251);
    t.SetIndexName("");
    ASSERT_TRUE(t.FindKey({251}));
    EXPECT_EQ(t.FieldByName("Betreff").AsString(), "Betreff 750");
    EXPECT_THROW(t.SetIndexName("KunPreisArt"), EParadoxError);
    EXPECT_EQ(t.IndexName(), ""); // unchanged after the failure
    EXPECT_EQ(t.RecordCount(), 500);
}

// Indexes that ignore letter case are told from their own file: their records stand in the order of the
// Windows-1252 capitals (umlauts included), ties in primary order, and keys match in any case. Indexes
// that heed case keep byte order, also over the same mixed-case data.
TEST_F(ParadoxTableTest, CaseInsensitiveIndexesOrderAndMatchIgnoringCase) {
    TParadoxWriter w("Kunden.db");
    w.SetBlockSizeKb(1)
        .AddField("Nr", T::Long)
        .AddField("Name", T::Alpha, 30)
        .AddField("Ort", T::Alpha, 20)
        .SetKeyFields(1)
        .AddIndex("NameCI", {"Name"}, false)
        .AddIndex("OrtName", {"Ort", "Name"}, false)
        .AddIndex("OrtNameCS", {"Ort", "Name"})
        .AddIndex("Ort", {"Ort"});
    const std::vector<std::pair<std::string, std::string>> people = {{"M\xFCller", "Berlin"},
                                                                     {"meier", "berlin"},
                                                                     {"M\xDCLLER", "Hamburg"},
                                                                     {"Abel", "BERLIN"},
                                                                     {"m\xFCller", "Berlin"},
                                                                     {"Zander", "hamburg"},
                                                                     {"abel", "Berlin"},
                                                                     {"Meier", "Berlin"},
                                                                     {"\xC4"
                                                                      "bel",
                                                                      "K\xF6ln"},
                                                                     {"z\xF6rner", "k\xF6ln"},
                                                                     {"Z\xF6rner", "K\xD6LN"},
                                                                     {"M\xFCllerin", "Berlin"}};
    int nr = 1;
    for (const auto& [name, ort] : people)
        w.Append({nr++, name, ort});
    for (int i = 0; i < 300; ++i) // enough for many blocks
        w.Append({nr++, (i % 2 ? "kunde" : "Kunde") + std::to_string(i % 50), i % 3 ? "Ort" : "ort"});
    w.Write(dir.path());

    TParadoxTable t(dir.path(), "Kunden");
    t.SetIndexName("nameci");
    t.Open();
    ASSERT_EQ(t.RecordCount(), 312);
    std::string prev;
    int64_t prevNr = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        const std::string name = AnsiUpperCase(t.FieldByName("Name").AsString());
        const int64_t n = t.FieldByName("Nr").AsInteger();
        ASSERT_TRUE(prev < name || (prev == name && prevNr < n)) << prev << " / " << name;
        prev = name, prevNr = n;
    }
    ASSERT_TRUE(t.FindKey({"M\xDCLLER"}));
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 1);
    ASSERT_TRUE(t.FindKey({"m\xFCller"}));
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 1);
    EXPECT_FALSE(t.FindKey({"m\xFC"}));
    struct RangeCase {
        std::string low, high;
        std::vector<int64_t> nrs; // in index order
    };
    const std::vector<RangeCase> ranges = {
        {"m\xFCller", "m\xFCller", {1, 3, 5}},
        {"a", "b", {4, 7}}, // "\xC4" sorts after "Z" as its capital does
        {"z", "\xE4zzz", {6, 10, 11, 9}},
        {"zz", "zz", {}},
    };
    for (const auto& rc : ranges) {
        t.SetRange({rc.low}, {rc.high});
        std::vector<int64_t> got;
        for (; !t.Eof(); t.Next())
            got.push_back(t.FieldByName("Nr").AsInteger());
        EXPECT_EQ(got, rc.nrs) << rc.low << ".." << rc.high;
        EXPECT_EQ(t.RecordCount(), static_cast<int>(rc.nrs.size()));
    }
    t.SetRange({"kunde7"}, {"KUNDE7"});
    EXPECT_EQ(t.RecordCount(), 6);

    t.SetIndexName("OrtName");
    t.SetRange({"berlin", "meier"}, {"BERLIN", "MEIER"});
    EXPECT_EQ(t.RecordCount(), 2);
    t.CancelRange();
    ASSERT_TRUE(t.FindKey({"k\xF6ln"}));
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 10); // K\xD6LN: ZÖRNER (10, 11) before \xC4BEL (9)
    t.SetRange({"K\xD6LN"}, {"k\xF6ln"});
    EXPECT_EQ(t.RecordCount(), 3);

    // The same fields heeding case, and the single-field index named after its field.
    t.SetIndexName("OrtNameCS");
    t.SetRange({"berlin"}, {"berlin"});
    EXPECT_EQ(t.RecordCount(), 1);
    t.SetIndexName("Ort");
    ASSERT_TRUE(t.FindKey({"berlin"}));
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 2);
    t.SetRange({"Berlin"}, {"Berlin"});
    EXPECT_EQ(t.RecordCount(), 5);
    EXPECT_FALSE(t.FindKey({"k\xF6ln"}));
}

// Index files of every version are found by their header: a single index field is called "Sec Key"
// from version 4 on and named by its number; older files name it.
TEST_F(ParadoxTableTest, IndexesOfEveryVersionAreFoundFromTheirHeaders) {
    for (int version : {30, 40, 50, 70}) {
        SCOPED_TRACE(version);
        const std::string name = "V" + std::to_string(version);
        TParadoxWriter w(name + ".db");
        w.SetVersion(version)
            .AddField("Nr", T::Short)
            .AddField("Stadt", T::Alpha, 10)
            .SetKeyFields(1)
            .AddIndex("Stadt", {"Stadt"});
        if (version >= 40)
            w.AddIndex("StadtCI", {"Stadt"}, false);
        int nr = 1;
        for (const char* stadt : {"bonn", "Aachen", "Bonn", "aachen", "Celle"})
            w.Append({nr++, stadt});
        w.Write(dir.path());
        TParadoxTable t(dir.path(), name);
        t.Open();
        EXPECT_EQ(t.IndexNames().size(), version >= 40 ? 2u : 1u);
        t.SetIndexName("Stadt");
        t.SetRange({"Bonn"}, {"bonn"}); // byte order: Bonn, Celle, aachen, bonn
        EXPECT_EQ(t.RecordCount(), 4);
        if (version >= 40) {
            t.SetIndexName("StadtCI");
            t.SetRange({"Bonn"}, {"bonn"});
            EXPECT_EQ(t.RecordCount(), 2);
            t.First();
            EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 1);
        }
    }
}

TEST_F(ParadoxTableTest, NumericAndDateKeysCompareByValue) {
    TParadoxWriter w("KunPreis.db");
    w.AddField("Kundennr", T::Alpha, 10)
        .AddField("Artikelnr", T::Long)
        .AddField("Ab", T::Date)
        .AddField("VK", T::Currency)
        .SetKeyFields(3)
        .AddIndex("KunPreisArt", {"Artikelnr", "VK"});
    for (int k = 0; k < 20; ++k)
        for (int a = -5; a <= 5; ++a)
            w.Append({"K" + std::to_string(k), a * 1000, DateV(1890 + k * 40, 1, 1), (k - 10) * 1.25});
    w.Write(dir.path());
    TParadoxTable t(dir.path(), "KunPreis");
    t.SetIndexName("KunPreisArt");
    t.Open();
    t.SetRange({-5000}, {-1000});
    EXPECT_EQ(t.RecordCount(), 5 * 20);
    t.SetRange({0, -1.25}, {0, 1.25});
    EXPECT_EQ(t.RecordCount(), 3);
    double prev = -1e9;
    for (; !t.Eof(); t.Next()) {
        EXPECT_GE(t.FieldByName("VK").AsFloat(), prev);
        prev = t.FieldByName("VK").AsFloat();
    }
    t.SetIndexName("");
    ASSERT_TRUE(t.FindKey({"K3", -2000, DateV(2010, 1, 1)}));
    EXPECT_EQ(t.FieldByName("VK").AsFloat(), -8.75);
    EXPECT_FALSE(t.FindKey({"K3", -2000, DateV(2010, 1, 2)}));
    t.SetRange({"K19", 0, DateV(1800, 1, 1)}, {"K19", 5000, DateV(2700, 1, 1)});
    EXPECT_EQ(t.RecordCount(), 6);
}

class OpenFailures : public ParadoxTableTest {
protected:
    std::string Message(const std::string& folder, const std::string& table) {
        TParadoxTable t(folder, table);
        try {
            t.Open();
        } catch (const EParadoxError& e) {
            EXPECT_FALSE(t.Active());
            return e.what();
        }
        return "(opened)";
    }
    void WriteGood() {
        TParadoxWriter w("Gut.db");
        w.AddField("Nr", T::Long).AddField("Text", T::Alpha, 100).AddField("M", T::Memo, 1).SetKeyFields(1);
        w.SetBlockSizeKb(1);
        for (int i = 0; i < 100; ++i)
            w.Append({i, std::string(90, 'q'), std::string(static_cast<size_t>(i * 50), 'm')});
        w.Write(dir.path());
    }
};

TEST_F(OpenFailures, MissingFolderFileAndForeignFilesGiveClearMessages) {
    EXPECT_EQ(Message(dir.path() + "/fehlt", "Gut.db"),
              "Das Verzeichnis \"" + dir.path() + "/fehlt\" existiert nicht.");
    EXPECT_EQ(Message(dir.path(), "Fehlt"), "Die Tabelle \"" + dir.path() + "/Fehlt.DB\" existiert nicht.");
    pxtest::WriteAll(dir.file("Text.db"),
                     "Dies ist keine Tabelle, sondern nur ein etwas l\xE4ngerer Text, der mehr als "
                     "achtundachtzig Bytes hat, damit der Kopf gelesen wird.");
    EXPECT_EQ(Message(dir.path(), "Text.db"),
              "Die Datei \"" + dir.path() + "/Text.db\" ist keine Paradox-Tabelle.");
    pxtest::WriteAll(dir.file("Leer.db"), "");
    EXPECT_NE(Message(dir.path(), "Leer").find("keine Paradox-Tabelle"), std::string::npos);
    WriteGood();
    std::filesystem::copy_file(dir.file("Gut.PX"), dir.file("Index.db"));
    EXPECT_NE(Message(dir.path(), "Index.db").find("keine Paradox-Tabelle"), std::string::npos);
    EXPECT_EQ(Message(dir.path(), "gut"), "(opened)");
}

TEST_F(OpenFailures, TruncatedAndCorruptFilesAreReportedNotRead) {
    WriteGood();
    const std::string good = pxtest::ReadAll(dir.file("Gut.db"));
    const auto corrupt = [&](const std::string& bytes) {
        pxtest::WriteAll(dir.file("Gut.db"), bytes);
        return Message(dir.path(), "Gut.db");
    };
    const std::string damaged = "beschädigt oder unvollständig";
    EXPECT_NE(corrupt(good.substr(0, good.size() / 2)).find(damaged), std::string::npos);
    EXPECT_NE(corrupt(good.substr(0, 0x100)).find(damaged), std::string::npos);
    std::string b = good;
    b[0x78] = 0x42; // unknown field type
    EXPECT_NE(corrupt(b).find(damaged), std::string::npos);
    b = good;
    b[0] = static_cast<char>(b[0] + 1); // record size no longer matches the fields
    EXPECT_NE(corrupt(b).find(damaged), std::string::npos);
    b = good;
    const size_t hs = static_cast<unsigned char>(good[2]) | (static_cast<unsigned char>(good[3]) << 8);
    b[hs + 1024] = 1; // second block points back to the first: a cycle
    b[hs + 1025] = 0;
    EXPECT_NE(corrupt(b).find("Kreis"), std::string::npos);
    b = good;
    b[hs + 4] = 0x7F; // more records than the block holds
    EXPECT_NE(corrupt(b).find(damaged), std::string::npos);

    // A damaged blob pointer fails on reading that value only.
    pxtest::WriteAll(dir.file("Gut.db"), good);
    std::string mb = pxtest::ReadAll(dir.file("Gut.MB"));
    pxtest::WriteAll(dir.file("Gut.MB"), mb.substr(0, 4096 + 100));
    TParadoxTable t(dir.path(), "Gut");
    t.Open();
    ASSERT_TRUE(t.FindKey({99}));
    EXPECT_THROW(t.FieldByName("M").AsString(), EParadoxError);
    EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 99);
}

// A table whose blob file is missing or empty opens; only a value stored there fails, naming the file.
TEST_F(OpenFailures, MissingBlobFileFailsOnlyItsValues) {
    WriteGood();
    const std::string table = dir.path() + "/Gut.db", mb = dir.path() + "/Gut.MB";
    const std::string good = pxtest::ReadAll(mb);
    for (const bool empty : {false, true}) {
        std::filesystem::remove(mb);
        if (empty)
            pxtest::WriteAll(mb, "");
        TParadoxTable t(dir.path(), "Gut");
        t.Open();
        ASSERT_TRUE(t.FindKey({0}));
        EXPECT_EQ(t.FieldByName("M").AsString(), ""); // null, nothing to read
        ASSERT_TRUE(t.FindKey({1}));
        try {
            (void)t.FieldByName("M").AsString();
            ADD_FAILURE() << "no error";
        } catch (const EParadoxError& e) {
            EXPECT_EQ(std::string(e.what()), "Die BLOB-Datei \"" + mb + "\" der Tabelle \"" + table + "\" " +
                                                 (empty ? "ist leer" : "fehlt") +
                                                 "; der Wert des Feldes \"M\" kann nicht gelesen werden.");
        }
        EXPECT_THROW((void)t.FieldByName("M").AsVariant(), EParadoxError);
        EXPECT_EQ(t.FieldByName("Nr").AsInteger(), 1);
        EXPECT_EQ(t.FieldByName("Text").AsString(), std::string(90, 'q'));
    }
    pxtest::WriteAll(mb, good);
}

TEST_F(OpenFailures, FileLockedByAnotherProgram) {
    WriteGood();
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(dir.file("Gut.db").c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        const bool locked = fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0;
        char c = locked ? '1' : '0';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_EQ(Message(dir.path(), "Gut"),
              "Die Datei \"" + dir.path() + "/Gut.db\" ist von einem anderen Programm gesperrt.");
    (void)!write(done[1], "x", 1);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
    EXPECT_EQ(Message(dir.path(), "Gut"), "(opened)");
}

// Resident kilobytes of this process's mappings of files whose path ends with `suffix`.
long MappedKb(const std::string& suffix) {
    std::ifstream smaps("/proc/self/smaps");
    long kb = 0;
    bool inFile = false;
    for (std::string line; std::getline(smaps, line);) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find('-') < line.find(' '))
            inFile = line.size() >= suffix.size() && line.ends_with(suffix);
        else if (inFile && line.starts_with("Rss:"))
            kb += std::stol(line.substr(4));
    }
    return kb;
}

TEST_F(ParadoxTableTest, LargeTablesGiveBackThePagesReadAndReadTheSameAgain) {
    TParadoxWriter w("Gross.db");
    w.AddField("Nr", T::Long).AddField("Text", T::Alpha, 250).AddField("Notiz", T::Memo, 8).SetKeyFields(1);
    auto text = [](int i) {
        return std::string(static_cast<size_t>(200 + i % 40), static_cast<char>('a' + i % 26)) +
               std::to_string(i);
    };
    const int n = 60000; // about 16 MB of records and 10 MB of memos
    for (int i = 1; i <= n; ++i)
        w.Append({i, text(i), std::string(static_cast<size_t>(100 + i % 60), 'm') + std::to_string(i)});
    w.Write(dir.path());
    TParadoxTable t(dir.path(), "Gross");
    t.Open();
    int i = 0, wrong = 0;
    long most = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        ++i;
        wrong += t.Fields(0).AsInteger() != i || t.Fields(1).AsString() != text(i) ||
                 !t.Fields(2).AsString().ends_with("m" + std::to_string(i));
        if (i % 5000 == 0)
            most = std::max(most, MappedKb("/Gross.db") + MappedKb("/Gross.MB"));
    }
    EXPECT_EQ(i, n);
    EXPECT_EQ(wrong, 0);
    EXPECT_LT(most, 12 * 1024) << "kilobytes of the files held in memory while reading";
    for (int key : {1, 29999, 60000, 17}) {
        t.SetRange({key}, {key});
        ASSERT_EQ(t.RecordCount(), 1) << key;
        EXPECT_EQ(t.Fields(1).AsString(), text(key));
    }
}

TEST_F(ParadoxTableTest, ReadingLeavesEveryFileUntouched) {
    TParadoxWriter w = AllTypes("Alle.db");
    w.AddIndex("NameIdx", {"Name"});
    for (int i = 1; i <= 200; ++i)
        w.Append({i, "N" + std::to_string(i % 13), DateV(2000, 1, 1 + i % 28), i, i * 1.5, i / 3.0,
                  i % 2 == 0, std::string(static_cast<size_t>(i * 20), 'm'),
                  Variant::FromBlob(std::string(static_cast<size_t>(i), 'b'))});
    w.Write(dir.path());
    const auto before = pxtest::Snapshot(dir.path());
    ASSERT_GE(before.size(), 5u); // .DB, .PX, .MB, .XG0, .YG0
    {
        TParadoxTable t(dir.path(), "ALLE.DB");
        t.SetIndexName("NameIdx");
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            for (int f = 0; f < t.FieldCount(); ++f) {
                (void)t.Fields(f).AsString();
                (void)t.Fields(f).AsVariant();
            }
        t.SetRange({"N1"}, {"N5"});
        t.CancelRange();
        t.SetIndexName("");
        (void)t.FindKey({100});
    }
    EXPECT_EQ(pxtest::Snapshot(dir.path()), before);
}

} // namespace
} // namespace zbpv

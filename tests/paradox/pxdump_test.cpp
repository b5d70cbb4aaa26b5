#include "dbaccess/paradox/paradox_table.h"
#include "tests/paradox/px_test_util.h"
#include "tests/support/paradox_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace zbpv {
namespace {

using T = PxFieldType;

std::vector<std::string> RunTool(const std::string& args, int* status = nullptr) {
    const std::string cmd = std::string(ZBPV_BINARY_DIR) + "/bin/pxdump " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = pclose(p);
    if (status)
        *status = WEXITSTATUS(rc);
    std::vector<std::string> lines;
    std::istringstream s(out);
    for (std::string l; std::getline(s, l);)
        lines.push_back(l);
    return lines;
}

TEST(PxDump, PrintsHeaderAndRowsWithEveryValueForm) {
    pxtest::TempFolder dir;
    TParadoxWriter w("Probe.db");
    w.AddField("Nr", T::Short)
        .AddField("Name", T::Alpha, 12)
        .AddField("Betrag", T::Currency)
        .AddField("Dez", T::BCD, 2)
        .AddField("Tag", T::Date)
        .AddField("Zeit", T::Time)
        .AddField("Stempel", T::Timestamp)
        .AddField("Ok", T::Logical)
        .AddField("Notiz", T::Memo, 2)
        .AddField("Bild", T::Graphic, 0)
        .SetKeyFields(1)
        .AddIndex("NAME", {"Name"});
    w.Append({2, "Zw\xF6lf \"B\"", 0.1, Variant(Decimal{-1250, 2}),
              Variant::FromDateTime(EncodeDate(1899, 12, 30)), Variant::FromDateTime(EncodeTime(8, 5, 3, 7)),
              Variant::FromDateTime(EncodeDateTime(2501, 2, 3, 4, 5, 6, 789)), true, "Zeile1\r\nZeile2",
              Variant::FromBlob("abc")});
    w.Append({1, "Alpha"});
    w.Write(dir.path());

    int rc = -1;
    auto lines = RunTool(dir.file("Probe.db"), &rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "{\"table\": \"Probe.db\", \"fields\": [{\"name\": \"Nr\", \"type\": \"Short\", \"size\": 0}, "
              "{\"name\": \"Name\", \"type\": \"Alpha\", \"size\": 12}, {\"name\": \"Betrag\", \"type\": "
              "\"Currency\", \"size\": 0}, {\"name\": \"Dez\", \"type\": \"BCD\", \"size\": 2}, {\"name\": "
              "\"Tag\", \"type\": \"Date\", \"size\": 0}, {\"name\": \"Zeit\", \"type\": \"Time\", \"size\": "
              "0}, {\"name\": \"Stempel\", \"type\": \"Timestamp\", \"size\": 0}, {\"name\": \"Ok\", "
              "\"type\": \"Logical\", \"size\": 0}, {\"name\": \"Notiz\", \"type\": \"Memo\", \"size\": 2}, "
              "{\"name\": \"Bild\", \"type\": \"Graphic\", \"size\": 0}], \"rowCount\": 2}");
    EXPECT_EQ(lines[1], "{\"row\": [1, \"Alpha\", null, null, null, null, null, null, null, null]}");
    EXPECT_EQ(lines[2],
              "{\"row\": [2, \"Zw\xC3\xB6lf \\\"B\\\"\", 0.1, -12.5, \"1899-12-30\", \"08:05:03.007\", "
              "\"2501-02-03T04:05:06.789\", true, \"Zeile1\\r\\nZeile2\", {\"len\": 3, \"sha256\": "
              "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\"}]}");

    // Index order, a bad table in between (the tool goes on), and local SQL.
    pxtest::WriteAll(dir.file("Kaputt.db"), "kein Paradox");
    lines = RunTool("--index NAME " + dir.file("Kaputt.db") + " " + dir.file("probe"), &rc);
    EXPECT_EQ(rc, 1);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "{\"table\": \"Kaputt.db\", \"error\": \"Die Datei \\\"" + dir.file("Kaputt.db") +
                            "\\\" ist keine Paradox-Tabelle.\"}");
    EXPECT_EQ(lines[2].rfind("{\"row\": [1, \"Alpha\"", 0), 0u);
    lines = RunTool("--sql " + dir.path() + " 'SELECT Nr, Name FROM \"Probe.db\" WHERE Nr > 1'", &rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "{\"row\": [2, \"Zw\xC3\xB6lf \\\"B\\\"\"]}");

    TParadoxWriter g("Geheim.db");
    g.AddField("A", T::Alpha, 3).SetPassword("pw");
    g.Append({"abc"});
    g.Write(dir.path());
    lines = RunTool(dir.file("Geheim.db"), &rc);
    EXPECT_EQ(rc, 1);
    lines = RunTool("--password pw " + dir.file("Geheim.db"), &rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "{\"row\": [\"abc\"]}");
}

} // namespace
} // namespace zbpv

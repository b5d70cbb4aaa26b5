// The index files the writer makes must be trees an engine can search: every entry names the block that
// starts with its key, with the right record count, from the root down to the data blocks.

#include "dbaccess/paradox/px_format.h"
#include "tests/paradox/px_test_util.h"
#include "tests/support/paradox_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace zbpv {
namespace {

using T = PxFieldType;

struct File {
    std::string bytes;
    px::Header h;
    explicit File(const std::string& path) : bytes(pxtest::ReadAll(path)) {
        h = px::ParseHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path);
    }
    const uint8_t* Block(unsigned n) const {
        return reinterpret_cast<const uint8_t*>(bytes.data()) + h.headerSize + (n - 1) * h.blockSize;
    }
    int Records(unsigned n) const { return static_cast<int16_t>(px::Le16(Block(n) + 4)) / h.recordSize + 1; }
};

// Walks an index tree and checks it against the data file whose key is its leading `keyBytes`.
void CheckTree(const File& index, const File& data, size_t keyBytes) {
    std::vector<unsigned> leaves;
    std::function<int(unsigned, int)> walk = [&](unsigned block, int level) {
        int total = 0;
        const uint8_t* b = index.Block(block);
        for (int i = 0; i < index.Records(block); ++i) {
            const uint8_t* e = b + 6 + static_cast<size_t>(i) * index.h.recordSize;
            const unsigned child = static_cast<unsigned>(px::DecodeInt(e + keyBytes, 2));
            const int count = static_cast<int>(px::DecodeInt(e + keyBytes + 2, 2));
            if (level == 1) {
                EXPECT_EQ(std::memcmp(e, data.Block(child) + 6, keyBytes), 0) << "leaf entry " << i;
                EXPECT_EQ(count, data.Records(child));
                leaves.push_back(child);
                total += count;
            } else {
                EXPECT_EQ(std::memcmp(e, index.Block(child) + 6, keyBytes), 0) << "inner entry " << i;
                const int below = walk(child, level - 1);
                EXPECT_EQ(count, below);
                total += below;
            }
        }
        return total;
    };
    const int total = walk(index.h.indexRoot, index.h.indexLevels);
    EXPECT_EQ(total, static_cast<int>(data.h.numRecords));
    ASSERT_EQ(leaves.size(), data.h.fileBlocks);
    for (size_t i = 0; i < leaves.size(); ++i)
        EXPECT_EQ(leaves[i], i + 1);
}

TEST(ParadoxWriter, PrimaryAndSecondaryIndexFilesAreConsistentTrees) {
    pxtest::TempFolder dir;
    TParadoxWriter w("Baum.db");
    w.SetBlockSizeKb(1)
        .AddField("Schluessel", T::Alpha, 100)
        .AddField("Gruppe", T::Short)
        .AddField("Wert", T::Long)
        .SetKeyFields(1)
        .AddIndex("Gruppe", {"Gruppe"})
        .AddIndex("GruppeWert", {"Gruppe", "Wert"});
    for (int i = 0; i < 400; ++i)
        w.Append({"K" + std::to_string(100000 + (i * 37) % 400), i % 9, 400 - i});
    w.Write(dir.path());

    const File db(dir.file("Baum.db")), px(dir.file("Baum.PX"));
    EXPECT_EQ(db.h.fileType, px::kIndexedDb);
    EXPECT_EQ(db.h.numRecords, 400u);
    EXPECT_EQ(px.h.fileType, px::kPrimaryIndex);
    EXPECT_EQ(px.h.keyFields, 1);
    EXPECT_GE(px.h.indexLevels, 2); // 40 data blocks do not fit one 1 KiB index block
    CheckTree(px, db, 100);

    // Single-field index on field 2 -> .X02/.Y02; the named one -> .XG0/.YG0 carrying its name. The
    // header names the index fields by their numbers in the table, a single one "Sec Key", and ends with
    // the sort order and the index name.
    const File x02(dir.file("Baum.X02")), y02(dir.file("Baum.Y02"));
    EXPECT_EQ(x02.h.fileType, px::kSecondaryX);
    EXPECT_EQ(y02.h.fileType, px::kSecondaryY);
    ASSERT_EQ(x02.h.fields.size(), 3u); // Gruppe, Schluessel, Hint
    EXPECT_EQ(x02.h.fields[0].name, "Sec Key");
    EXPECT_EQ(x02.h.fields[1].name, "Schluessel");
    EXPECT_EQ(x02.h.fields[2].name, "Hint");
    EXPECT_EQ(x02.h.fieldNumbers, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(x02.h.sortOrderName, "ascii");
    EXPECT_EQ(x02.h.indexLabel, "Gruppe");
    CheckTree(y02, x02, 2 + 100);
    const File xg0(dir.file("Baum.XG0")), yg0(dir.file("Baum.YG0"));
    EXPECT_EQ(xg0.h.fileType, px::kSecondaryXG);
    EXPECT_EQ(xg0.h.fields[0].name, "Gruppe");
    EXPECT_EQ(xg0.h.fieldNumbers, (std::vector<int>{2, 3, 1, 0}));
    EXPECT_EQ(xg0.h.indexLabel, "GruppeWert");
    CheckTree(yg0, xg0, 2 + 4 + 100);
    // Index records are sorted and their hint names the data block holding the record.
    for (unsigned b = 1; b <= xg0.h.fileBlocks; ++b)
        for (int i = 0; i < xg0.Records(b); ++i) {
            const uint8_t* r = xg0.Block(b) + 6 + static_cast<size_t>(i) * xg0.h.recordSize;
            const unsigned hint = static_cast<unsigned>(px::DecodeInt(r + 106, 2));
            bool found = false;
            for (int k = 0; k < db.Records(hint) && !found; ++k)
                found = std::memcmp(db.Block(hint) + 6 + static_cast<size_t>(k) * db.h.recordSize, r + 6,
                                    100) == 0;
            EXPECT_TRUE(found) << "block " << b << " record " << i;
        }
}

TEST(ParadoxWriter, RejectsWhatATableCannotHold) {
    pxtest::TempFolder dir;
    TParadoxWriter w("Fehler.db");
    w.AddField("Nr", T::Short).AddField("Name", T::Alpha, 3).SetKeyFields(1);
    EXPECT_THROW(w.Append({1, "vier"}), std::invalid_argument);
    EXPECT_THROW(w.Append({40000}), std::invalid_argument);
    EXPECT_THROW(w.Append({1, "a", "zu viel"}), std::invalid_argument);
    EXPECT_EQ(w.RecordCount(), 0u);
    w.Append({1, "a"});
    w.Append({1, "b"});
    EXPECT_THROW(w.Write(dir.path()), std::invalid_argument); // duplicate key
    EXPECT_THROW(TParadoxWriter("X").AddField("", T::Long), std::invalid_argument);
    EXPECT_THROW(TParadoxWriter("X").AddField("A", T::Alpha, 0), std::invalid_argument);
    EXPECT_THROW(TParadoxWriter("X").SetBlockSizeKb(5), std::invalid_argument);
    // Only an index that heeds letter case may take its field's name.
    EXPECT_THROW(TParadoxWriter("X").AddField("A", T::Alpha, 3).AddIndex("A", {"A"}, false),
                 std::invalid_argument);
    TParadoxWriter noKey("Ohne.db");
    noKey.AddField("A", T::Alpha, 3).AddIndex("A", {"A"});
    EXPECT_THROW(noKey.Write(dir.path()), std::invalid_argument);
}

} // namespace
} // namespace zbpv

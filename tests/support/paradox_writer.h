#pragma once
// Writes Paradox tables (Paradox 7 by default; 3.0 to 5.0 on request) for tests and for the sample
// installation: the .DB data file, the .PX primary index of a keyed table, the .MB blob file, and one
// .Xnn/.Ynn (single-field index named after its field) or .XGn/.YGn (named index) pair per secondary
// index. Values come as Variants in the core's Windows-1252 text and are stored in the table's code page.
//
//     TParadoxWriter w("Kunden.db");
//     w.AddField("Kundennr", PxFieldType::Alpha, 10).AddField("Name", PxFieldType::Alpha, 40)
//      .AddField("Bemerkung", PxFieldType::Memo, 20).SetKeyFields(1).AddIndex("NAME", {"Name"});
//     w.Append({"10001", "Müller", Variant::Null()});
//     w.Write(folder);

#include "dbaccess/paradox/px_format.h"
#include "support/variant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zbpv {

class TParadoxWriter {
public:
    // File name with or without ".DB" (the extension is written as given, ".DB" when missing).
    explicit TParadoxWriter(std::string fileName);

    // Size: alpha and bytes length (1..255), BCD decimal places (0..32), for memo, formatted memo,
    // binary, OLE and graphic the leader bytes kept in the record (0..240; a blob up to that length
    // stays in the record). Ignored for the fixed-size types.
    TParadoxWriter& AddField(std::string name, PxFieldType type, int size = 0);
    // The first `count` fields form the primary key (0: no key, records stay in append order).
    TParadoxWriter& SetKeyFields(int count);
    // A secondary index over the named fields. A single field whose name is the index name gives the
    // .Xnn/.Ynn pair, every other index a .XGn/.YGn pair carrying the name. An index that ignores letter
    // case is always such a pair, its records ordered by the Windows-1252 capitals of its text, and may
    // not take its only field's name. Needs a primary key.
    TParadoxWriter& AddIndex(std::string name, std::vector<std::string> fields, bool caseSensitive = true);
    TParadoxWriter& SetCodePage(int codePage); // default 1252
    TParadoxWriter& SetPassword(std::string password);
    TParadoxWriter& SetBlockSizeKb(int kb);  // 1, 2, 3, 4, 8, 16, 32; default 4
    TParadoxWriter& SetVersion(int version); // 30, 35, 40, 50, 70; default 70

    // One record, values in field order; missing trailing values are null. Text for alpha and memo
    // fields, numbers for numeric fields (text is converted), date-times for date, time and timestamp.
    // Throws std::invalid_argument for a value that does not fit its field.
    void Append(const std::vector<Variant>& values);
    size_t RecordCount() const { return count_; }

    // Writes the files into `folder` (existing files of the same names are replaced) and returns the
    // path of the .DB file. Throws std::invalid_argument for a duplicate primary key, std::runtime_error
    // when a file cannot be written.
    std::string Write(const std::string& folder) const;

private:
    struct Field {
        std::string name; // code page of the table
        PxFieldType type;
        int declared;
        int bytes;
        int offset;
    };
    struct Index {
        std::string name;
        std::vector<int> fields;
        bool caseSensitive;
    };

    void EncodeValue(const Field& f, const Variant& v, uint8_t* out, std::string* blob) const;
    std::vector<uint8_t> HeaderBytes(uint8_t fileType, const std::vector<Field>& fields, bool withNames,
                                     int recordSize, int keyFields, const std::string& nameSlot,
                                     uint32_t records, uint16_t blocks, uint16_t indexRoot, uint8_t levels,
                                     const std::vector<int>& fieldNumbers = {},
                                     const std::string& indexLabel = "") const;

    std::string fileName_;
    std::vector<Field> fields_;
    std::vector<Index> indexes_;
    int keyFields_ = 0;
    int codePage_ = 1252;
    std::string password_;
    int blockKb_ = 4;
    int version_ = 70;
    int recordSize_ = 0;
    size_t count_ = 0;
    std::vector<uint8_t> records_;   // count_ * recordSize_
    std::vector<std::string> blobs_; // count_ * number of blob fields
    std::vector<int> blobFields_;
};

} // namespace zbpv

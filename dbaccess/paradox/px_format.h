#pragma once
// Byte layout of Paradox table files (.DB data, .PX primary index, .Xnn/.XGn secondary indexes): header
// parsing with full bounds checks and the decoding of the big-endian, sign-flipped field values.

#include "dbaccess/paradox/px_errors.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zbpv {

// Field types with the type codes the files use.
enum class PxFieldType : uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FmtMemo = 0x0E,
    OLE = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    BCD = 0x17,
    Bytes = 0x18,
};

// "Alpha", "Date", … as pxdump and error messages show them.
const char* PxFieldTypeName(PxFieldType t);
bool PxIsBlobType(PxFieldType t);
// The bytes a field of this type takes in a record; `declared` is the size byte of the header (alpha
// length, blob record size, BCD scale, bytes length). 0 for an impossible combination.
int PxRecordBytes(PxFieldType t, int declared);

namespace px {

// File types of the header byte at 0x04.
enum FileType : uint8_t {
    kIndexedDb = 0,
    kPrimaryIndex = 1,
    kNonIndexedDb = 2,
    kSecondaryX = 3,
    kSecondaryY = 4,
    kSecondaryXInc = 5,
    kSecondaryXG = 6,
    kSecondaryYG = 7,
    kSecondaryXGInc = 8,
};

constexpr size_t kFixedHeader = 0x58;   // fixed part of every header
constexpr size_t kDataHeaderEnd = 0x78; // Paradox 4+ data-like files carry 0x58..0x77 as well
constexpr size_t kBlockHeader = 6;      // next, previous, offset of the last record
constexpr size_t kMbBlock = 4096;       // blob file allocation unit
constexpr uint8_t kVersion70 = 0x0C;

inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Whether the header of this file type has the Paradox 4+ data part (code page, second encryption word).
bool HasDataHeader(uint8_t fileType, uint8_t versionId);
// 30, 35, 40, 50 or 70 from the version byte; 0 when unknown.
int VersionNumber(uint8_t versionId);
// Length of the table-name slot that precedes the field names.
size_t TableNameSlot(uint8_t versionId);

struct FieldDef {
    std::string name; // as stored (table code page)
    PxFieldType type = PxFieldType::Alpha;
    int declared = 0; // size byte of the header
    int bytes = 0;    // bytes in the record
    int offset = 0;   // offset in the record
};

struct Header {
    uint16_t recordSize = 0;
    uint16_t headerSize = 0;
    uint8_t fileType = 0;
    uint32_t blockSize = 0;
    uint32_t numRecords = 0;
    uint16_t fileBlocks = 0;
    uint16_t firstBlock = 0;
    uint16_t lastBlock = 0;
    uint16_t indexRoot = 0;
    uint8_t indexLevels = 0;
    int keyFields = 0;
    uint32_t encryption = 0; // non-zero: data blocks are encrypted
    uint8_t sortOrder = 0;
    uint8_t versionId = 0;
    uint32_t autoInc = 0;
    uint16_t codePage = 0; // 0 when the header has none
    std::string tableName; // the name slot
    std::vector<FieldDef> fields;
    // Secondary index data files (.Xnn, .XGn) of version 4 and later end their header with the table's
    // field numbers (1-based) of the fields, the sort order's name and the index name; empty when the
    // header does not hold them.
    std::vector<int> fieldNumbers;
    std::string sortOrderName;
    std::string indexLabel;
};

inline bool IsSecondaryData(uint8_t fileType) {
    return fileType == kSecondaryX || fileType == kSecondaryXInc || fileType == kSecondaryXG ||
           fileType == kSecondaryXGInc;
}

// Parses and checks a header. `what` names the file in messages. Throws EParadoxError (not a Paradox
// file / truncated / corrupt); never reads outside [data, data + size).
Header ParseHeader(const uint8_t* data, size_t size, const std::string& what);

// Value decoding of the record bytes. Every numeric field is big-endian with the sign bit flipped, so the
// all-zero pattern is the empty (null) value.
inline bool AllZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}
inline int64_t DecodeInt(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    const uint64_t sign = uint64_t{1} << (8 * bytes - 1);
    v ^= sign; // now two's complement of `bytes` width
    if (v & sign)
        return static_cast<int64_t>(v | ~((sign << 1) - 1));
    return static_cast<int64_t>(v);
}
inline double DecodeDouble(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    if (v & 0x8000000000000000ull)
        v &= 0x7FFFFFFFFFFFFFFFull;
    else
        v = ~v;
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

// Days of a Paradox date (1 = 1 January of year 1) relative to 30 December 1899.
constexpr int64_t kDateDelta = 693594;

} // namespace px
} // namespace zbpv

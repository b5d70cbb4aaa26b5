#include "dbaccess/paradox/px_format.h"

namespace zbpv {

const char* PxFieldTypeName(PxFieldType t) {
    switch (t) {
    case PxFieldType::Alpha:
        return "Alpha";
    case PxFieldType::Date:
        return "Date";
    case PxFieldType::Short:
        return "Short";
    case PxFieldType::Long:
        return "Long";
    case PxFieldType::Currency:
        return "Currency";
    case PxFieldType::Number:
        return "Number";
    case PxFieldType::Logical:
        return "Logical";
    case PxFieldType::Memo:
        return "Memo";
    case PxFieldType::Blob:
        return "Binary";
    case PxFieldType::FmtMemo:
        return "FmtMemo";
    case PxFieldType::OLE:
        return "OLE";
    case PxFieldType::Graphic:
        return "Graphic";
    case PxFieldType::Time:
        return "Time";
    case PxFieldType::Timestamp:
        return "Timestamp";
    case PxFieldType::AutoInc:
        return "AutoInc";
    case PxFieldType::BCD:
        return "BCD";
    case PxFieldType::Bytes:
        return "Bytes";
    }
    return "?";
}

bool PxIsBlobType(PxFieldType t) {
    switch (t) {
    case PxFieldType::Memo:
    case PxFieldType::Blob:
    case PxFieldType::FmtMemo:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
        return true;
    default:
        return false;
    }
}

int PxRecordBytes(PxFieldType t, int declared) {
    switch (t) {
    case PxFieldType::Alpha:
    case PxFieldType::Bytes:
        return declared >= 1 ? declared : 0;
    case PxFieldType::Date:
    case PxFieldType::Long:
    case PxFieldType::Time:
    case PxFieldType::AutoInc:
        return 4;
    case PxFieldType::Short:
        return 2;
    case PxFieldType::Currency:
    case PxFieldType::Number:
    case PxFieldType::Timestamp:
        return 8;
    case PxFieldType::Logical:
        return 1;
    case PxFieldType::BCD:
        return declared <= 32 ? 17 : 0;
    case PxFieldType::Memo:
    case PxFieldType::Blob:
    case PxFieldType::FmtMemo:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
        return declared >= 10 ? declared : 0; // leader + 10-byte blob pointer
    }
    return 0;
}

namespace px {

namespace {

bool KnownType(uint8_t code) {
    switch (code) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x09:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x10:
    case 0x14:
    case 0x15:
    case 0x16:
    case 0x17:
    case 0x18:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void NotParadox(const std::string& what) {
    throw EParadoxError("Die Datei \"" + what + "\" ist keine Paradox-Tabelle.");
}

[[noreturn]] void Corrupt(const std::string& what, const std::string& detail) {
    throw EParadoxError("Die Paradox-Tabelle \"" + what + "\" ist beschädigt oder unvollständig (" + detail +
                        ").");
}

// The field numbers, sort order and index name after the field names of an index data file. A tail that
// does not fit leaves them empty: the caller then goes by the field names.
void ReadIndexTail(const uint8_t* data, size_t pos, size_t end, Header& h) {
    const size_t n = h.fields.size();
    if (pos > end || end - pos < 2 * n)
        return;
    std::vector<int> numbers(n);
    for (size_t i = 0; i < n; ++i, pos += 2)
        numbers[i] = Le16(data + pos);
    auto text = [&](std::string& out) {
        const char* s = reinterpret_cast<const char*>(data + pos);
        size_t k = 0;
        while (pos + k < end && s[k])
            ++k;
        if (pos + k >= end)
            return false;
        out.assign(s, k);
        pos += k + 1;
        return true;
    };
    std::string sortOrder, label;
    if (!text(sortOrder))
        return;
    text(label); // may be missing in files that name the index elsewhere
    h.fieldNumbers = std::move(numbers);
    h.sortOrderName = std::move(sortOrder);
    h.indexLabel = std::move(label);
}

} // namespace

bool HasDataHeader(uint8_t fileType, uint8_t versionId) {
    if (versionId < 5)
        return false;
    switch (fileType) {
    case kIndexedDb:
    case kNonIndexedDb:
    case kSecondaryX:
    case kSecondaryXInc:
    case kSecondaryXG:
    case kSecondaryXGInc:
        return true;
    default:
        return false;
    }
}

int VersionNumber(uint8_t versionId) {
    switch (versionId) {
    case 3:
        return 30;
    case 4:
        return 35;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        return 40;
    case 10:
    case 11:
        return 50;
    case 12:
        return 70;
    default:
        return 0;
    }
}

size_t TableNameSlot(uint8_t versionId) {
    return versionId >= kVersion70 ? 261 : 79;
}

Header ParseHeader(const uint8_t* data, size_t size, const std::string& what) {
    if (size < kFixedHeader)
        NotParadox(what);
    Header h;
    h.recordSize = Le16(data + 0x00);
    h.headerSize = Le16(data + 0x02);
    h.fileType = data[0x04];
    const uint8_t maxTableSize = data[0x05];
    h.versionId = data[0x39];
    const int numFields = static_cast<int16_t>(Le16(data + 0x21));
    if (h.fileType > kSecondaryXGInc || VersionNumber(h.versionId) == 0 || h.headerSize < kFixedHeader)
        NotParadox(what);
    switch (maxTableSize) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
    case 16:
    case 32:
        break;
    default:
        NotParadox(what);
    }
    if (numFields < 1 || numFields > 255)
        NotParadox(what);
    if (size < h.headerSize)
        Corrupt(what, "Kopf abgeschnitten");
    h.blockSize = maxTableSize * 1024u;
    h.numRecords = Le32(data + 0x06);
    h.fileBlocks = Le16(data + 0x0C);
    h.firstBlock = Le16(data + 0x0E);
    h.lastBlock = Le16(data + 0x10);
    h.indexRoot = Le16(data + 0x1E);
    h.indexLevels = data[0x20];
    h.keyFields = static_cast<int16_t>(Le16(data + 0x23));
    h.encryption = Le32(data + 0x25);
    h.sortOrder = data[0x29];
    h.autoInc = Le32(data + 0x49);

    size_t pos = kFixedHeader;
    if (HasDataHeader(h.fileType, h.versionId)) {
        if (h.headerSize < kDataHeaderEnd)
            Corrupt(what, "Kopf zu kurz");
        // Paradox 4+ files keep the check value in the data part; the old word may hold other bits.
        h.encryption = Le32(data + 0x5C);
        h.codePage = Le16(data + 0x6A);
        pos = kDataHeaderEnd;
    }
    const size_t end = h.headerSize;
    if (pos + 2 * static_cast<size_t>(numFields) > end)
        Corrupt(what, "Feldliste abgeschnitten");
    int offset = 0;
    h.fields.resize(static_cast<size_t>(numFields));
    for (auto& f : h.fields) {
        const uint8_t code = data[pos];
        f.declared = data[pos + 1];
        pos += 2;
        if (!KnownType(code))
            Corrupt(what, "unbekannter Feldtyp " + std::to_string(code));
        f.type = static_cast<PxFieldType>(code);
        f.bytes = PxRecordBytes(f.type, f.declared);
        if (f.bytes == 0)
            Corrupt(what, "ungültige Feldgröße");
        f.offset = offset;
        offset += f.bytes;
    }
    // Index files carry three trailing words (block number, count, reserved) after the key fields.
    const bool indexFile =
        h.fileType == kPrimaryIndex || h.fileType == kSecondaryY || h.fileType == kSecondaryYG;
    const int expected = offset + (indexFile ? 6 : 0);
    if (h.recordSize == 0 || expected != h.recordSize)
        Corrupt(what, "Satzlänge passt nicht zu den Feldern");
    if (h.recordSize > h.blockSize - kBlockHeader)
        Corrupt(what, "Satzlänge größer als ein Block");
    if (h.keyFields < 0 || h.keyFields > numFields)
        Corrupt(what, "ungültige Zahl der Schlüsselfelder");

    // A pointer to the table name and one per field name precede the names themselves.
    pos += 4 + 4 * static_cast<size_t>(numFields);
    // The table-name slot grew over the versions; when the names do not fit after the slot this
    // version should have, the other length is tried before the header counts as damaged.
    const size_t namesFrom = pos;
    size_t namesEnd = 0;
    auto readNames = [&](size_t slot) {
        if (namesFrom + slot > end)
            return false;
        const char* t = reinterpret_cast<const char*>(data + namesFrom);
        size_t n = 0;
        while (n < slot && t[n])
            ++n;
        h.tableName.assign(t, n);
        size_t p = namesFrom + slot;
        if (indexFile)
            return true;
        for (auto& f : h.fields) {
            const char* s = reinterpret_cast<const char*>(data + p);
            size_t k = 0;
            while (p + k < end && s[k])
                ++k;
            if (p + k >= end || k == 0)
                return false;
            f.name.assign(s, k);
            p += k + 1;
        }
        namesEnd = p;
        return true;
    };
    const size_t slot = TableNameSlot(h.versionId);
    if (!readNames(slot) && !readNames(slot == 79 ? 261 : 79))
        Corrupt(what, "Feldnamen abgeschnitten");
    if (IsSecondaryData(h.fileType) && HasDataHeader(h.fileType, h.versionId))
        ReadIndexTail(data, namesEnd, end, h);
    return h;
}

} // namespace px
} // namespace zbpv

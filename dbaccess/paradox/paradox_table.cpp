#include "dbaccess/paradox/paradox_table.h"

#include "dbaccess/paradox/px_codepage.h"
#include "dbaccess/paradox/px_crypt.h"
#include "dbaccess/paradox/px_files.h"
#include "support/ansi.h"
#include "support/format_settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <numeric>

namespace zbpv {

namespace {

constexpr double kMsPerDay = 86400000.0;

std::string U(std::string_view ansi) {
    return AnsiToUtf8(ansi);
}

bool HasExtension(const std::string& name) {
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

std::string BaseName(const std::string& file) {
    const auto dot = file.find_last_of('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// A BCD value: sign bit in the first byte, then 32 decimal digits, complemented for negative numbers;
// the last `scale` digits are decimal places.
struct BcdDigits {
    bool negative = false;
    char digits[32];
};

BcdDigits DecodeBcd(const uint8_t* p) {
    BcdDigits b;
    b.negative = (p[0] & 0x80) == 0;
    for (int i = 0; i < 32; ++i) {
        const uint8_t byte = p[1 + i / 2];
        int nib = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
        if (b.negative)
            nib = 0x0F - nib;
        b.digits[i] = static_cast<char>(nib > 9 ? 9 : nib);
    }
    return b;
}

// Exact decimal text "[-]int[.frac]" with `sep` as decimal separator, trailing zeros removed.
std::string BcdToText(const uint8_t* p, int scale, char sep) {
    const BcdDigits b = DecodeBcd(p);
    const int intDigits = 32 - scale;
    std::string s;
    int i = 0;
    while (i < intDigits - 1 && b.digits[i] == 0)
        ++i;
    for (; i < intDigits; ++i)
        s.push_back(static_cast<char>('0' + b.digits[i]));
    if (s.empty())
        s = "0";
    int last = 31;
    while (last >= intDigits && b.digits[last] == 0)
        --last;
    if (last >= intDigits) {
        s.push_back(sep);
        for (int k = intDigits; k <= last; ++k)
            s.push_back(static_cast<char>('0' + b.digits[k]));
    }
    bool zero = true;
    for (char d : b.digits)
        zero = zero && d == 0;
    if (b.negative && !zero)
        s.insert(s.begin(), '-');
    return s;
}

double BcdToDouble(const uint8_t* p, int scale) {
    double v = 0;
    std::from_chars_result r{};
    const std::string s = BcdToText(p, scale, '.');
    r = std::from_chars(s.data(), s.data() + s.size(), v);
    (void)r;
    return v;
}

bool BcdToDecimal(const uint8_t* p, int scale, Decimal& out) {
    if (scale > 18)
        return false;
    const BcdDigits b = DecodeBcd(p);
    int64_t v = 0;
    for (int i = 0; i < 32; ++i) {
        if (v > (INT64_MAX - b.digits[i]) / 10)
            return false;
        v = v * 10 + b.digits[i];
    }
    out.value = b.negative ? -v : v;
    out.scale = scale;
    return true;
}

// Dates and times in the usual German forms are written digit by digit: the general formatter parses
// its format string on every call, which dominated a full table scan.
void Put2(std::string& s, int v) {
    s.push_back(static_cast<char>('0' + v / 10 % 10));
    s.push_back(static_cast<char>('0' + v % 10));
}

bool FastDate(const FormatSettings& fs, TDateTime dt, std::string& out) {
    char sep;
    if (fs.shortDateFormat == "dd.mm.yyyy")
        sep = '.';
    else if (fs.shortDateFormat == "dd/mm/yyyy")
        sep = fs.dateSeparator;
    else
        return false;
    const DateParts d = DecodeDate(dt);
    if (d.year < 1000 || d.year > 9999)
        return false;
    Put2(out, d.day);
    out.push_back(sep);
    Put2(out, d.month);
    out.push_back(sep);
    Put2(out, d.year / 100);
    Put2(out, d.year % 100);
    return true;
}

bool FastTime(const FormatSettings& fs, TDateTime dt, std::string& out) {
    if (fs.longTimeFormat != "hh:nn:ss")
        return false;
    const TimeParts t = DecodeTime(dt);
    Put2(out, t.hour);
    out.push_back(fs.timeSeparator);
    Put2(out, t.minute);
    out.push_back(fs.timeSeparator);
    Put2(out, t.second);
    return true;
}

std::string DateText(TDateTime dt) {
    std::string s;
    if (FastDate(GlobalFormatSettings(), dt, s))
        return s;
    return DateToStr(dt);
}

std::string TimeText(TDateTime dt) {
    std::string s;
    if (FastTime(GlobalFormatSettings(), dt, s))
        return s;
    return TimeToStr(dt);
}

std::string DateTimeText(TDateTime dt) {
    const FormatSettings& fs = GlobalFormatSettings();
    std::string s;
    if (!FastDate(fs, dt, s))
        return DateTimeToStr(dt);
    if (TimeOf(dt) == 0)
        return s;
    s.push_back(' ');
    if (!FastTime(fs, dt, s))
        return DateTimeToStr(dt);
    return s;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

struct IndexInfo {
    std::string name;        // Windows-1252
    std::vector<int> fields; // table field positions
    bool caseless = false;   // text compares ignoring letter case
};

struct TParadoxTable::Impl {
    std::string folder, tableName, indexName;
    bool active = false;
    std::string path, mbPath;
    bool mbFound = false;
    PxMappedFile file, mb;
    std::vector<uint8_t> plain; // decrypted copy of a protected table
    const uint8_t* base = nullptr;
    px::Header header;
    const PxByteTable* toAnsi = nullptr;
    const PxByteTable* fromAnsi = nullptr;
    bool identity = false; // the code page is Windows-1252 already
    uint32_t mbCheck = 0;  // blob blocks are scrambled with this check value
    std::vector<TParadoxField> fields;
    std::map<std::string, size_t> byName; // upper-case Windows-1252 name -> position
    std::vector<std::string> folderNames;

    std::vector<const uint8_t*> primary; // records in file (primary-key) order
    bool primarySorted = false;
    std::vector<const uint8_t*> secondary;
    const std::vector<const uint8_t*>* order = &primary;
    std::vector<int> keyFields; // of the current index
    bool caseless = false;      // the current index ignores letter case
    std::array<uint8_t, 256> fold{};
    bool indexesLoaded = false;
    std::vector<IndexInfo> indexes;

    size_t lo = 0, hi = 0, pos = 0;
    bool bof = true;

    // A pass over a large table would otherwise keep every page of the files it has read in memory:
    // after about this many bytes read, the pages are given back.
    static constexpr size_t kResidentLimit = size_t{8} << 20;
    mutable size_t touched = 0;
    void Touched(size_t bytes) const {
        touched += bytes;
        if (touched >= kResidentLimit && file.size() + mb.size() > kResidentLimit) {
            touched = 0;
            file.DropPages();
            mb.DropPages();
        }
    }
    // The steps of a binary search mostly meet the same few records; new ones are near the target.
    void Searched() const { Touched(4096); }

    const uint8_t* Current() const { return pos >= lo && pos < hi ? (*order)[pos] : nullptr; }

    void Reset() {
        active = false;
        file = PxMappedFile();
        mb = PxMappedFile();
        mbPath.clear();
        mbFound = false;
        plain.clear();
        plain.shrink_to_fit();
        base = nullptr;
        mbCheck = 0;
        fields.clear();
        byName.clear();
        primary.clear();
        primary.shrink_to_fit();
        secondary.clear();
        secondary.shrink_to_fit();
        order = &primary;
        keyFields.clear();
        caseless = false;
        indexes.clear();
        indexesLoaded = false;
        primarySorted = false;
        lo = hi = pos = 0;
        touched = 0;
        header = px::Header();
    }

    [[noreturn]] void Corrupt(const std::string& detail) const {
        throw EParadoxError("Die Paradox-Tabelle \"" + path + "\" ist beschädigt oder unvollständig (" +
                            detail + ").");
    }

    std::string FieldText(const uint8_t* p, size_t n) const {
        const void* nul = std::memchr(p, 0, n);
        const size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
        if (identity)
            return std::string(reinterpret_cast<const char*>(p), len);
        std::string out;
        PxTranslate(*toAnsi, reinterpret_cast<const char*>(p), len, out);
        return out;
    }

    std::string MbRange(size_t off, size_t len) const {
        if (off > mb.size() || len > mb.size() - off)
            Corrupt("BLOB-Verweis außerhalb der BLOB-Datei");
        Touched(len);
        std::string out(reinterpret_cast<const char*>(mb.data() + off), len);
        if (mbCheck) {
            // Unscramble each 4 KiB unit touched, keyed by the unit's number.
            size_t done = 0;
            while (done < len) {
                const size_t abs = off + done;
                const size_t unit = abs / px::kMbBlock;
                const size_t unitStart = unit * px::kMbBlock;
                const size_t unitLen = std::min(px::kMbBlock, mb.size() - unitStart);
                std::vector<uint8_t> buf(mb.data() + unitStart, mb.data() + unitStart + unitLen);
                PxCryptBlock(buf.data(), buf.size(), mbCheck, static_cast<uint32_t>(unit));
                const size_t from = abs - unitStart;
                const size_t take = std::min(len - done, unitLen - from);
                std::memcpy(out.data() + done, buf.data() + from, take);
                done += take;
            }
        }
        return out;
    }

    // The whole value of a blob field; empty for a null blob.
    std::string BlobBytes(const uint8_t* rec, const px::FieldDef& f) const {
        const uint8_t* p = rec + f.offset;
        const size_t leader = static_cast<size_t>(f.bytes - 10);
        const uint8_t* tail = p + leader;
        const uint32_t offset = px::Le32(tail);
        const uint32_t length = px::Le32(tail + 4);
        if (length == 0)
            return {};
        if (offset == 0) {
            if (length > leader)
                Corrupt("BLOB-Länge größer als der Satzanteil");
            return std::string(reinterpret_cast<const char*>(p), length);
        }
        if (mb.empty()) {
            const std::string value =
                "der Wert des Feldes \"" + U(PxTranslate(*toAnsi, f.name)) + "\" kann nicht gelesen werden.";
            if (!mbFound)
                throw EParadoxError("Die BLOB-Datei \"" + mbPath + "\" der Tabelle \"" + path + "\" fehlt; " +
                                    value);
            throw EParadoxError("Die BLOB-Datei \"" + mbPath + "\" der Tabelle \"" + path + "\" ist leer; " +
                                value);
        }
        const size_t block = offset & 0xFFFFFF00u;
        const unsigned slot = offset & 0xFFu;
        if (slot == 0xFF) {
            const std::string head = MbRange(block, 9);
            if (head[0] != 2 || px::Le32(reinterpret_cast<const uint8_t*>(head.data()) + 3) != length)
                Corrupt("BLOB-Block passt nicht zum Verweis");
            return MbRange(block + 9, length);
        }
        if (slot >= 64)
            Corrupt("ungültiger BLOB-Eintrag");
        const std::string head = MbRange(block, px::kMbBlock);
        const auto* h = reinterpret_cast<const uint8_t*>(head.data());
        if (h[0] != 3)
            Corrupt("BLOB-Block passt nicht zum Verweis");
        const uint8_t* e = h + 12 + slot * 5;
        const size_t dataOff = static_cast<size_t>(e[0]) * 16;
        const size_t paras = e[1];
        const size_t stored = paras == 0 ? 0 : (paras - 1) * 16 + e[4];
        if (stored != length || dataOff < 12 + 64 * 5 || dataOff + length > px::kMbBlock)
            Corrupt("BLOB-Eintrag passt nicht zum Verweis");
        return head.substr(dataOff, length);
    }

    void LoadBlocks() {
        const px::Header& h = header;
        const size_t size = file.size();
        const size_t maxBlocks = (size - h.headerSize) / h.blockSize;
        if (h.encryption) {
            plain.assign(file.data(), file.data() + size);
            for (size_t b = 0; b < maxBlocks; ++b)
                PxCryptBlock(plain.data() + h.headerSize + b * h.blockSize, h.blockSize, h.encryption,
                             static_cast<uint32_t>(b + 1));
            base = plain.data();
        } else {
            base = file.data();
        }
        if (h.firstBlock == 0)
            return;
        std::vector<bool> seen(maxBlocks + 1, false);
        unsigned b = h.firstBlock;
        primary.reserve(std::min<size_t>(h.numRecords, size / h.recordSize + 1));
        while (b != 0) {
            if (b > maxBlocks)
                Corrupt("Block " + std::to_string(b) + " fehlt");
            if (seen[b])
                Corrupt("Blockkette läuft im Kreis");
            seen[b] = true;
            Touched(h.blockSize);
            const uint8_t* blk = base + h.headerSize + static_cast<size_t>(b - 1) * h.blockSize;
            const int add = static_cast<int16_t>(px::Le16(blk + 4));
            if (add >= 0) {
                if (add % h.recordSize != 0 || px::kBlockHeader + add + h.recordSize > h.blockSize)
                    Corrupt("Satzanzahl in Block " + std::to_string(b) + " ungültig");
                const int n = add / h.recordSize + 1;
                for (int i = 0; i < n; ++i)
                    primary.push_back(blk + px::kBlockHeader + static_cast<size_t>(i) * h.recordSize);
            }
            b = px::Le16(blk);
        }
    }

    // Sort weight of a stored text byte in an index that ignores letter case: its Windows-1252 capital.
    void BuildFold() {
        for (int i = 0; i < 256; ++i)
            fold[static_cast<size_t>(i)] =
                static_cast<uint8_t>(AnsiUpperChar(static_cast<char>((*toAnsi)[static_cast<size_t>(i)])));
        fold[0] = 0;
    }

    int CompareText(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool ignoreCase) const {
        const size_t n = std::min(na, nb);
        for (size_t i = 0; i < n; ++i) {
            const int x = ignoreCase ? fold[a[i]] : a[i];
            const int y = ignoreCase ? fold[b[i]] : b[i];
            if (x != y)
                return x < y ? -1 : 1;
        }
        return na < nb ? -1 : (na > nb ? 1 : 0);
    }

    // Fields `flds` of two records laid out as `defs`; text ignoring letter case when `ignoreCase`.
    int CompareFields(const uint8_t* a, const uint8_t* b, const std::vector<px::FieldDef>& defs,
                      const std::vector<int>& flds, bool ignoreCase) const {
        for (int fi : flds) {
            const auto& f = defs[static_cast<size_t>(fi)];
            const size_t n = static_cast<size_t>(f.bytes);
            const int c = ignoreCase && f.type == PxFieldType::Alpha
                              ? CompareText(a + f.offset, n, b + f.offset, n, true)
                              : std::memcmp(a + f.offset, b + f.offset, n);
            if (c != 0)
                return c < 0 ? -1 : 1;
        }
        return 0;
    }

    int CompareRaw(const uint8_t* a, const uint8_t* b, const std::vector<int>& flds, bool ignoreCase) const {
        return CompareFields(a, b, header.fields, flds, ignoreCase);
    }

    // The headers hold no documented mark of an index that ignores letter case, but the engine keeps the
    // records of the index file in the index's own order. An index counts as ignoring case when that
    // order leaves byte order somewhere while keeping the order without letter case, and never keeps
    // byte order while leaving the other. Neighbours that leave both (an order this reader does not
    // model, such as umlauts beside their base letters) tell nothing. No text field, no evidence or a
    // damaged file keep the byte order.
    bool IndexIgnoresCase(const PxMappedFile& xf, const px::Header& xh, size_t indexFields) const {
        bool text = false;
        for (size_t k = 0; k < indexFields; ++k)
            text = text || xh.fields[k].type == PxFieldType::Alpha;
        if (!text || xh.firstBlock == 0 || xh.recordSize == 0)
            return false;
        std::vector<int> keyPart(xh.fields.size() - 1), indexPart(indexFields), restPart;
        std::iota(keyPart.begin(), keyPart.end(), 0);
        std::iota(indexPart.begin(), indexPart.end(), 0);
        for (size_t k = indexFields; k + 1 < xh.fields.size(); ++k)
            restPart.push_back(static_cast<int>(k));
        const size_t maxBlocks = (xf.size() - xh.headerSize) / xh.blockSize;
        std::vector<bool> seen(maxBlocks + 1, false);
        std::vector<uint8_t> buf(xh.blockSize), prev(xh.recordSize);
        bool havePrev = false, evidence = false;
        for (unsigned b = xh.firstBlock; b != 0;) {
            if (b > maxBlocks || seen[b])
                return false;
            seen[b] = true;
            std::memcpy(buf.data(), xf.data() + xh.headerSize + static_cast<size_t>(b - 1) * xh.blockSize,
                        xh.blockSize);
            if (xh.encryption)
                PxCryptBlock(buf.data(), buf.size(), xh.encryption, b);
            const int add = static_cast<int16_t>(px::Le16(buf.data() + 4));
            if (add >= 0) {
                if (add % xh.recordSize != 0 || px::kBlockHeader + add + xh.recordSize > xh.blockSize)
                    return false;
                for (int i = 0, n = add / xh.recordSize + 1; i < n; ++i) {
                    const uint8_t* rec =
                        buf.data() + px::kBlockHeader + static_cast<size_t>(i) * xh.recordSize;
                    if (havePrev) {
                        const int bytes = CompareFields(prev.data(), rec, xh.fields, keyPart, false);
                        int folded = CompareFields(prev.data(), rec, xh.fields, indexPart, true);
                        if (folded == 0)
                            folded = CompareFields(prev.data(), rec, xh.fields, restPart, false);
                        if (folded > 0 && bytes <= 0)
                            return false; // in byte order but not in the order ignoring case
                        if (bytes > 0 && folded <= 0)
                            evidence = true;
                    }
                    std::memcpy(prev.data(), rec, xh.recordSize);
                    havePrev = true;
                }
            }
            b = px::Le16(buf.data());
        }
        return evidence;
    }

    // The table field behind field `k` of an index file: by the field numbers of its header, by the
    // number in a single-field index's name (.Xnn), or by name; -1 when none fits.
    int IndexField(const px::Header& xh, size_t k, int extNumber) const {
        const auto& xf = xh.fields[k];
        auto fits = [&](int fi) {
            if (fi < 0 || fi >= static_cast<int>(header.fields.size()))
                return false;
            const auto& f = header.fields[static_cast<size_t>(fi)];
            return f.type == xf.type && f.bytes == xf.bytes;
        };
        if (k < xh.fieldNumbers.size() && fits(xh.fieldNumbers[k] - 1))
            return xh.fieldNumbers[k] - 1;
        if (k == 0 && fits(extNumber - 1))
            return extNumber - 1;
        const auto it = byName.find(AnsiUpperCase(PxTranslate(*toAnsi, xf.name)));
        if (it != byName.end() && fits(static_cast<int>(it->second)))
            return static_cast<int>(it->second);
        return -1;
    }

    void LoadIndexes() {
        if (indexesLoaded)
            return;
        indexesLoaded = true;
        if (header.keyFields == 0)
            return;
        const std::string file = path.substr(path.find_last_of('/') + 1);
        const std::string stem = Utf8ToAnsi(BaseName(file));
        for (const auto& n : folderNames) {
            const std::string a = Utf8ToAnsi(n);
            if (a.size() != stem.size() + 4 || !AnsiSameText(a.substr(0, stem.size()), stem) ||
                a[stem.size()] != '.')
                continue;
            const std::string ext = AnsiUpperCase(a.substr(stem.size() + 1));
            if (ext[0] != 'X')
                continue;
            const bool group = ext[1] == 'G';
            int extNumber = 0;
            if (!group) {
                unsigned v = 0;
                const auto r = std::from_chars(ext.data() + 1, ext.data() + 3, v, 16);
                if (r.ec != std::errc() || r.ptr != ext.data() + 3)
                    continue;
                extNumber = static_cast<int>(v);
            }
            try {
                const std::string xpath = PxJoinPath(folder, n);
                PxMappedFile xf(xpath);
                const px::Header xh = px::ParseHeader(xf.data(), xf.size(), xpath);
                if (!px::IsSecondaryData(xh.fileType))
                    continue;
                const int nIdx = static_cast<int>(xh.fields.size()) - header.keyFields - 1;
                if (nIdx < 1 || (!group && nIdx != 1))
                    continue;
                IndexInfo info;
                for (int i = 0; i < nIdx; ++i) {
                    const int fi = IndexField(xh, static_cast<size_t>(i), extNumber);
                    if (fi < 0)
                        break;
                    info.fields.push_back(fi);
                }
                if (static_cast<int>(info.fields.size()) != nIdx)
                    continue;
                if (group) {
                    // The name follows the sort order in the header; files that lack it keep the name
                    // in the name slot.
                    info.name = PxTranslate(*toAnsi, xh.indexLabel);
                    const std::string slot = PxTranslate(*toAnsi, xh.tableName);
                    if (info.name.empty() && !AnsiSameText(slot, Utf8ToAnsi(file)))
                        info.name = slot;
                    // Only a single-field index that heeds letter case is kept as .Xnn; the others
                    // may ignore it.
                    info.caseless = IndexIgnoresCase(xf, xh, static_cast<size_t>(nIdx));
                }
                if (info.name.empty())
                    info.name = fields[static_cast<size_t>(info.fields[0])].FieldName();
                indexes.push_back(std::move(info));
            } catch (const EParadoxError&) {
                // An unreadable index file only makes its index unavailable.
            }
        }
    }

    // Sign of (record's field value - key value).
    int CompareField(const uint8_t* rec, int fi, const Variant& key) const {
        const auto& f = header.fields[static_cast<size_t>(fi)];
        const uint8_t* p = rec + f.offset;
        const bool recNull = px::AllZero(p, static_cast<size_t>(f.bytes));
        if (key.IsNull())
            return recNull ? 0 : 1;
        if (recNull && f.type != PxFieldType::Alpha)
            return -1;
        auto cmp = [](auto x, auto y) {
            return x < y ? -1 : (x > y ? 1 : 0);
        };
        switch (f.type) {
        case PxFieldType::Alpha: {
            size_t len = 0;
            while (len < static_cast<size_t>(f.bytes) && p[len])
                ++len;
            const std::string k = PxTranslate(*fromAnsi, key.AsString());
            return CompareText(p, len, reinterpret_cast<const uint8_t*>(k.data()), k.size(), caseless);
        }
        case PxFieldType::Short:
        case PxFieldType::Long:
        case PxFieldType::AutoInc:
            return cmp(px::DecodeInt(p, f.bytes), key.AsInteger());
        case PxFieldType::Logical:
            return cmp(static_cast<int>(p[0] & 0x7F), key.AsBoolean() ? 1 : 0);
        case PxFieldType::Date:
            return cmp(px::DecodeInt(p, 4), static_cast<int64_t>(DateOf(key.AsDateTime())) + px::kDateDelta);
        case PxFieldType::Time:
            return cmp(px::DecodeInt(p, 4), std::llround(TimeOf(key.AsDateTime()) * kMsPerDay));
        case PxFieldType::Timestamp: {
            const double t = key.AsDateTime();
            const double ms = (DateOf(t) + px::kDateDelta) * kMsPerDay + std::round(TimeOf(t) * kMsPerDay);
            return cmp(px::DecodeDouble(p), ms);
        }
        case PxFieldType::Number:
        case PxFieldType::Currency:
            return cmp(px::DecodeDouble(p), key.AsFloat());
        case PxFieldType::BCD:
            return cmp(BcdToDouble(p, f.declared), key.AsFloat());
        default:
            return 0;
        }
    }

    int CompareKey(const uint8_t* rec, const std::vector<Variant>& key) const {
        for (size_t i = 0; i < key.size(); ++i) {
            const int c = CompareField(rec, keyFields[i], key[i]);
            if (c != 0)
                return c;
        }
        return 0;
    }

    void RequireKeyed(const std::vector<Variant>& values) {
        if (!active)
            throw EParadoxError("Die Tabelle ist nicht geöffnet.");
        if (keyFields.empty())
            throw EParadoxError("Die Tabelle \"" + path +
                                "\" hat keinen Primärschlüssel; Schlüsselzugriff ist nicht möglich.");
        if (values.size() > keyFields.size())
            throw EParadoxError("Zu viele Schlüsselwerte für den Index der Tabelle \"" + path + "\".");
        if (order == &primary && !primarySorted) {
            // Engines keep the blocks of a keyed table in key order; a file that is not is sorted here
            // so that searching stays correct.
            bool sorted = true;
            for (size_t i = 1; i < primary.size() && sorted; ++i) {
                sorted = CompareRaw(primary[i - 1], primary[i], keyFields, false) <= 0;
                Touched(static_cast<size_t>(header.recordSize));
            }
            if (!sorted)
                std::stable_sort(primary.begin(), primary.end(), [&](const uint8_t* a, const uint8_t* b) {
                    return CompareRaw(a, b, keyFields, false) < 0;
                });
            primarySorted = true;
            Touched(file.size());
        }
    }

    size_t LowerBound(const std::vector<Variant>& key) const {
        Searched();
        const auto& o = *order;
        return static_cast<size_t>(
            std::partition_point(o.begin(), o.end(),
                                 [&](const uint8_t* r) { return CompareKey(r, key) < 0; }) -
            o.begin());
    }
    size_t UpperBound(const std::vector<Variant>& key) const {
        Searched();
        const auto& o = *order;
        return static_cast<size_t>(
            std::partition_point(o.begin(), o.end(),
                                 [&](const uint8_t* r) { return CompareKey(r, key) <= 0; }) -
            o.begin());
    }

    void ApplyIndex() {
        secondary.clear();
        order = &primary;
        keyFields.clear();
        caseless = false;
        if (indexName.empty()) {
            for (int i = 0; i < header.keyFields; ++i)
                keyFields.push_back(i);
        } else {
            LoadIndexes();
            const IndexInfo* found = nullptr;
            for (const auto& ix : indexes)
                if (AnsiSameText(ix.name, indexName))
                    found = &ix;
            if (!found)
                for (const auto& ix : indexes)
                    if (ix.fields.size() == 1 &&
                        AnsiSameText(fields[static_cast<size_t>(ix.fields[0])].FieldName(), indexName))
                        found = &ix;
            if (!found)
                throw EParadoxError("Der Index \"" + U(indexName) + "\" der Tabelle \"" + path +
                                    "\" wurde nicht gefunden.");
            keyFields = found->fields;
            caseless = found->caseless;
            // Ties keep the primary order, as the index file lists the primary key after the fields.
            secondary = primary;
            std::stable_sort(secondary.begin(), secondary.end(), [&](const uint8_t* a, const uint8_t* b) {
                return CompareRaw(a, b, keyFields, caseless) < 0;
            });
            order = &secondary;
            Touched(file.size());
        }
        lo = 0;
        hi = order->size();
        pos = 0;
        bof = true;
    }
};

// ---------------------------------------------------------------------------------------------------

const uint8_t* TParadoxField::Raw() const {
    const uint8_t* rec = table_->d_->Current();
    return rec ? rec + table_->d_->header.fields[index_].offset : nullptr;
}

bool TParadoxField::IsNull() const {
    const uint8_t* p = Raw();
    if (!p)
        return true;
    const auto& f = table_->d_->header.fields[index_];
    if (PxIsBlobType(type_))
        return px::Le32(p + f.bytes - 6) == 0;
    return px::AllZero(p, static_cast<size_t>(f.bytes));
}

std::string TParadoxField::AsBytes() const {
    const uint8_t* p = Raw();
    if (!p)
        return {};
    const auto& t = *table_->d_;
    const auto& f = t.header.fields[index_];
    if (PxIsBlobType(type_))
        return t.BlobBytes(t.Current(), f);
    if (type_ == PxFieldType::Alpha) {
        size_t len = 0;
        while (len < static_cast<size_t>(f.bytes) && p[len])
            ++len;
        return std::string(reinterpret_cast<const char*>(p), len);
    }
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(f.bytes));
}

std::string TParadoxField::AsString() const {
    const uint8_t* p = Raw();
    if (!p)
        return {};
    const auto& t = *table_->d_;
    const auto& f = t.header.fields[index_];
    switch (type_) {
    case PxFieldType::Alpha:
        return t.FieldText(p, static_cast<size_t>(f.bytes));
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        return PxTranslate(*t.toAnsi, t.BlobBytes(t.Current(), f));
    case PxFieldType::Blob:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
        return t.BlobBytes(t.Current(), f);
    case PxFieldType::Bytes:
        return AsBytes();
    default:
        break;
    }
    if (px::AllZero(p, static_cast<size_t>(f.bytes)))
        return {};
    switch (type_) {
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc: {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, px::DecodeInt(p, f.bytes));
        return std::string(buf, r.ptr);
    }
    case PxFieldType::Number:
    case PxFieldType::Currency:
        return FloatToStr(px::DecodeDouble(p));
    case PxFieldType::BCD:
        return BcdToText(p, f.declared, GlobalFormatSettings().decimalSeparator);
    case PxFieldType::Logical:
        return (p[0] & 0x7F) ? "True" : "False";
    case PxFieldType::Date:
        return DateText(AsDateTime());
    case PxFieldType::Time:
        return TimeText(AsDateTime());
    case PxFieldType::Timestamp:
        return DateTimeText(AsDateTime());
    default:
        return {};
    }
}

Variant TParadoxField::AsVariant() const {
    const uint8_t* p = Raw();
    if (!p || IsNull())
        return Variant();
    const auto& f = table_->d_->header.fields[index_];
    switch (type_) {
    case PxFieldType::Alpha:
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        return Variant(AsString());
    case PxFieldType::Blob:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
    case PxFieldType::Bytes:
        return Variant::FromBlob(AsBytes());
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        return Variant(px::DecodeInt(p, f.bytes));
    case PxFieldType::Number:
    case PxFieldType::Currency:
        return Variant(px::DecodeDouble(p));
    case PxFieldType::BCD: {
        Decimal d;
        if (BcdToDecimal(p, f.declared, d))
            return Variant(d);
        return Variant(BcdToDouble(p, f.declared));
    }
    case PxFieldType::Logical:
        return Variant((p[0] & 0x7F) != 0);
    case PxFieldType::Date:
    case PxFieldType::Time:
    case PxFieldType::Timestamp:
        return Variant::FromDateTime(AsDateTime());
    }
    return Variant();
}

int64_t TParadoxField::AsInteger() const {
    const uint8_t* p = Raw();
    if (!p || IsNull())
        return 0;
    const auto& f = table_->d_->header.fields[index_];
    switch (type_) {
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        return px::DecodeInt(p, f.bytes);
    default:
        return AsVariant().AsInteger();
    }
}

double TParadoxField::AsFloat() const {
    const uint8_t* p = Raw();
    if (!p || IsNull())
        return 0;
    const auto& f = table_->d_->header.fields[index_];
    switch (type_) {
    case PxFieldType::Number:
    case PxFieldType::Currency:
        return px::DecodeDouble(p);
    case PxFieldType::Short:
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        return static_cast<double>(px::DecodeInt(p, f.bytes));
    case PxFieldType::BCD:
        return BcdToDouble(p, f.declared);
    case PxFieldType::Date:
    case PxFieldType::Time:
    case PxFieldType::Timestamp:
        return AsDateTime();
    default:
        return AsVariant().AsFloat();
    }
}

bool TParadoxField::AsBoolean() const {
    const uint8_t* p = Raw();
    if (!p || IsNull())
        return false;
    if (type_ == PxFieldType::Logical)
        return (p[0] & 0x7F) != 0;
    return AsVariant().AsBoolean();
}

TDateTime TParadoxField::AsDateTime() const {
    const uint8_t* p = Raw();
    if (!p || IsNull())
        return 0;
    switch (type_) {
    case PxFieldType::Date:
        return static_cast<double>(px::DecodeInt(p, 4) - px::kDateDelta);
    case PxFieldType::Time:
        return static_cast<double>(px::DecodeInt(p, 4)) / kMsPerDay;
    case PxFieldType::Timestamp: {
        const double ms = px::DecodeDouble(p);
        if (!std::isfinite(ms) || std::fabs(ms) > 1e15)
            throw EConvertError("Ungültiger Zeitstempel im Feld \"" + U(name_) + "\"");
        const double days = std::floor(ms / kMsPerDay);
        const double rest = ms - days * kMsPerDay;
        return CombineDateTime(days - px::kDateDelta, rest / kMsPerDay);
    }
    default:
        return AsVariant().AsDateTime();
    }
}

TSQLTimeStamp TParadoxField::AsSQLTimeStamp() const {
    TSQLTimeStamp ts;
    if (IsNull())
        return ts;
    const TDateTime dt = AsDateTime();
    if (type_ != PxFieldType::Time) {
        const DateParts d = DecodeDate(dt);
        ts.Year = d.year;
        ts.Month = static_cast<unsigned>(d.month);
        ts.Day = static_cast<unsigned>(d.day);
    }
    const TimeParts t = DecodeTime(dt);
    ts.Hour = static_cast<unsigned>(t.hour);
    ts.Minute = static_cast<unsigned>(t.minute);
    ts.Second = static_cast<unsigned>(t.second);
    ts.Fractions = static_cast<unsigned>(t.msec) * 10;
    return ts;
}

// ---------------------------------------------------------------------------------------------------

TParadoxTable::TParadoxTable() : d_(std::make_unique<Impl>()) {}

TParadoxTable::TParadoxTable(std::string databaseName, std::string tableName) : TParadoxTable() {
    d_->folder = std::move(databaseName);
    d_->tableName = std::move(tableName);
}

TParadoxTable::~TParadoxTable() = default;

void TParadoxTable::SetDatabaseName(std::string folder) {
    Close();
    d_->folder = std::move(folder);
}
const std::string& TParadoxTable::DatabaseName() const {
    return d_->folder;
}

void TParadoxTable::SetTableName(std::string name) {
    Close();
    d_->tableName = std::move(name);
}
const std::string& TParadoxTable::TableName() const {
    return d_->tableName;
}

void TParadoxTable::SetIndexName(std::string name) {
    if (!d_->active) {
        d_->indexName = std::move(name);
        return;
    }
    const std::string old = d_->indexName;
    d_->indexName = std::move(name);
    try {
        d_->ApplyIndex();
    } catch (...) {
        d_->indexName = old;
        d_->ApplyIndex();
        throw;
    }
}
const std::string& TParadoxTable::IndexName() const {
    return d_->indexName;
}

std::vector<std::string> TParadoxTable::IndexNames() const {
    std::vector<std::string> names;
    if (!d_->active)
        return names;
    d_->LoadIndexes();
    for (const auto& ix : d_->indexes)
        names.push_back(ix.name);
    return names;
}

bool TParadoxTable::Active() const {
    return d_->active;
}
const std::string& TParadoxTable::FilePath() const {
    return d_->path;
}

void TParadoxTable::Open() {
    if (d_->active)
        return;
    Impl& t = *d_;
    t.Reset();
    try {
        if (t.tableName.empty())
            throw EParadoxError("Es wurde kein Tabellenname angegeben.");
        t.folderNames = PxListFolder(t.folder);
        std::string want = t.tableName;
        if (!HasExtension(want))
            want += ".DB";
        const std::string onDisk = PxMatchName(t.folderNames, want);
        t.path = PxJoinPath(t.folder, onDisk.empty() ? want : onDisk);
        if (onDisk.empty())
            throw EParadoxError("Die Tabelle \"" + t.path + "\" existiert nicht.");
        t.file = PxMappedFile(t.path);
        t.header = px::ParseHeader(t.file.data(), t.file.size(), t.path);
        const px::Header& h = t.header;
        if (h.fileType != px::kIndexedDb && h.fileType != px::kNonIndexedDb)
            throw EParadoxError("Die Datei \"" + t.path + "\" ist keine Paradox-Tabelle.");
        if (h.encryption && !PxHasPasswordFor(h.encryption))
            throw EParadoxError("Die Tabelle \"" + t.path +
                                "\" ist durch ein Kennwort geschützt; das Kennwort fehlt oder ist falsch.");
        const int cp = h.codePage ? h.codePage : 437;
        t.toAnsi = &PxCodePageToAnsi(cp);
        t.fromAnsi = &PxAnsiToCodePage(cp);
        t.BuildFold();
        t.identity = true;
        for (int i = 0; i < 256 && t.identity; ++i)
            t.identity = (*t.toAnsi)[static_cast<size_t>(i)] == i;
        if (h.fileType == px::kIndexedDb && h.keyFields == 0)
            t.Corrupt("Tabelle mit Schlüssel ohne Schlüsselfelder");
        t.LoadBlocks();
        t.primarySorted = h.fileType != px::kIndexedDb;

        bool hasBlobs = false;
        for (size_t i = 0; i < h.fields.size(); ++i) {
            const auto& f = h.fields[i];
            std::string name = PxTranslate(*t.toAnsi, f.name);
            int size = 0;
            if (f.type == PxFieldType::Alpha || f.type == PxFieldType::Bytes || f.type == PxFieldType::BCD)
                size = f.declared;
            else if (PxIsBlobType(f.type))
                size = f.declared - 10;
            hasBlobs = hasBlobs || PxIsBlobType(f.type);
            t.byName.emplace(AnsiUpperCase(name), i);
            t.fields.push_back(TParadoxField(this, i, std::move(name), f.type, size));
        }
        if (hasBlobs) {
            // A missing blob file fails only the values stored in it, when they are read.
            const std::string mbName = PxMatchName(t.folderNames, BaseName(onDisk) + ".MB");
            t.mbFound = !mbName.empty();
            t.mbPath = PxJoinPath(t.folder, t.mbFound ? mbName : BaseName(onDisk) + ".MB");
            if (t.mbFound) {
                t.mb = PxMappedFile(t.mbPath);
                t.mbCheck = h.encryption;
            }
        }
        t.active = true;
        t.ApplyIndex();
    } catch (...) {
        t.Reset();
        throw;
    }
    if (AfterOpen)
        AfterOpen(*this);
}

void TParadoxTable::Close() {
    if (d_->active)
        d_->Reset();
}

void TParadoxTable::First() {
    d_->pos = d_->lo;
    d_->bof = true;
}
void TParadoxTable::Next() {
    if (d_->pos < d_->hi)
        ++d_->pos;
    d_->Touched(static_cast<size_t>(d_->header.recordSize));
    d_->bof = false;
}
void TParadoxTable::Prior() {
    if (d_->pos > d_->lo) {
        --d_->pos;
    } else {
        d_->bof = true;
    }
}
void TParadoxTable::Last() {
    d_->pos = d_->hi > d_->lo ? d_->hi - 1 : d_->lo;
    d_->bof = d_->hi == d_->lo;
}
bool TParadoxTable::Eof() const {
    return !d_->active || d_->pos >= d_->hi;
}
bool TParadoxTable::Bof() const {
    return !d_->active || d_->bof || d_->hi == d_->lo;
}
int TParadoxTable::RecordCount() const {
    return d_->active ? static_cast<int>(d_->hi - d_->lo) : 0;
}
int TParadoxTable::RecNo() const {
    return d_->active && d_->pos < d_->hi ? static_cast<int>(d_->pos - d_->lo + 1) : 0;
}

int TParadoxTable::FieldCount() const {
    return static_cast<int>(d_->fields.size());
}

TParadoxField& TParadoxTable::Fields(int index) {
    if (index < 0 || index >= FieldCount())
        throw EParadoxError("Feldindex " + std::to_string(index) + " außerhalb des gültigen Bereichs.");
    return d_->fields[static_cast<size_t>(index)];
}

TParadoxField* TParadoxTable::FindField(std::string_view name) {
    const auto it = d_->byName.find(AnsiUpperCase(name));
    return it == d_->byName.end() ? nullptr : &d_->fields[it->second];
}

TParadoxField& TParadoxTable::FieldByName(std::string_view name) {
    if (TParadoxField* f = FindField(name))
        return *f;
    throw EParadoxError("Feld \"" + U(name) + "\" nicht gefunden (Tabelle \"" + U(d_->tableName) + "\").");
}

int TParadoxTable::KeyFieldCount() const {
    return static_cast<int>(d_->keyFields.size());
}

bool TParadoxTable::FindKey(const std::vector<Variant>& values) {
    Impl& t = *d_;
    t.RequireKeyed(values);
    const size_t at = std::max(t.LowerBound(values), t.lo);
    if (at < t.hi && t.CompareKey((*t.order)[at], values) == 0) {
        t.pos = at;
        t.bof = false;
        return true;
    }
    return false;
}

void TParadoxTable::SetRange(const std::vector<Variant>& low, const std::vector<Variant>& high) {
    Impl& t = *d_;
    t.RequireKeyed(low);
    t.RequireKeyed(high);
    t.lo = t.LowerBound(low);
    t.hi = std::max(t.lo, t.UpperBound(high));
    t.pos = t.lo;
    t.bof = true;
}

void TParadoxTable::CancelRange() {
    Impl& t = *d_;
    if (!t.active)
        return;
    t.lo = 0;
    t.hi = t.order->size();
    t.pos = 0;
    t.bof = true;
}

bool TParadoxTable::Keyed() const {
    return d_->active && d_->header.fileType == px::kIndexedDb;
}
int TParadoxTable::FileVersion() const {
    return d_->active ? px::VersionNumber(d_->header.versionId) : 0;
}
int TParadoxTable::CodePage() const {
    return d_->active ? d_->header.codePage : 0;
}
int TParadoxTable::BlockSize() const {
    return d_->active ? static_cast<int>(d_->header.blockSize) : 0;
}
bool TParadoxTable::Encrypted() const {
    return d_->active && d_->header.encryption != 0;
}

void ParadoxAddPassword(std::string_view password) {
    PxAddPassword(password);
}
void ParadoxRemovePassword(std::string_view password) {
    PxRemovePassword(password);
}
void ParadoxClearPasswords() {
    PxClearPasswords();
}

} // namespace zbpv

#include "tests/support/paradox_writer.h"

#include "dbaccess/paradox/px_codepage.h"
#include "dbaccess/paradox/px_crypt.h"
#include "support/ansi.h"
#include "support/datetime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <stdexcept>

namespace zbpv {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int64_t kDateDelta = 693594; // day 1 = 1 January of year 1

void PutBigFlipped(uint8_t* out, uint64_t twos, int bytes) {
    const uint64_t sign = uint64_t{1} << (8 * bytes - 1);
    uint64_t v = twos ^ sign;
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
}

void PutInt(uint8_t* out, int64_t v, int bytes, const std::string& field) {
    const int64_t max = (int64_t{1} << (8 * bytes - 1)) - 1;
    if (v > max || v < -max) // the most negative value would read as empty
        throw std::invalid_argument("value out of range for field " + field);
    PutBigFlipped(out, static_cast<uint64_t>(v), bytes);
}

void PutDouble(uint8_t* out, double d) {
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    if (v & 0x8000000000000000ull)
        v = ~v;
    else
        v |= 0x8000000000000000ull;
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
}

void PutShortWord(uint8_t* out, int v) {
    PutBigFlipped(out, static_cast<uint64_t>(static_cast<int64_t>(v)), 2);
}

// Decimal digits of `v` with exactly `scale` decimal places: integer part, fraction, sign.
void DecimalDigits(const Variant& v, int scale, bool& negative, std::string& intPart, std::string& frac) {
    std::string text;
    if (v.Kind() == VariantKind::Decimal) {
        const Decimal d = v.AsDecimal(std::min(scale, 18));
        negative = d.value < 0;
        std::string digits =
            std::to_string(d.value < 0 ? -static_cast<uint64_t>(d.value) : static_cast<uint64_t>(d.value));
        if (static_cast<int>(digits.size()) <= d.scale)
            digits.insert(0, static_cast<size_t>(d.scale - static_cast<int>(digits.size()) + 1), '0');
        intPart = digits.substr(0, digits.size() - static_cast<size_t>(d.scale));
        frac = digits.substr(digits.size() - static_cast<size_t>(d.scale));
    } else {
        const double x = v.AsFloat();
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.*f", scale, std::fabs(x));
        negative = x < 0;
        const std::string s = buf;
        const auto dot = s.find('.');
        intPart = s.substr(0, dot);
        frac = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    }
    frac.resize(static_cast<size_t>(scale), '0');
    while (intPart.size() > 1 && intPart[0] == '0')
        intPart.erase(0, 1);
}

struct BlockInfo {
    size_t first; // index of the first record in the block
    size_t count;
};

// Records into chained blocks numbered from 1; every block filled.
std::vector<uint8_t> PackBlocks(const std::vector<uint8_t>& recs, size_t recSize, size_t blockSize,
                                std::vector<BlockInfo>& info) {
    const size_t n = recSize ? recs.size() / recSize : 0;
    const size_t perBlock = (blockSize - 6) / recSize;
    const size_t blocks = (n + perBlock - 1) / perBlock;
    std::vector<uint8_t> out(blocks * blockSize, 0);
    for (size_t b = 0; b < blocks; ++b) {
        uint8_t* blk = out.data() + b * blockSize;
        const size_t first = b * perBlock;
        const size_t cnt = std::min(perBlock, n - first);
        px::PutLe16(blk, b + 1 < blocks ? static_cast<uint32_t>(b + 2) : 0);
        px::PutLe16(blk + 2, static_cast<uint32_t>(b));
        px::PutLe16(blk + 4, static_cast<uint32_t>((cnt - 1) * recSize));
        std::memcpy(blk + 6, recs.data() + first * recSize, cnt * recSize);
        info.push_back({first, cnt});
    }
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& head, const std::vector<uint8_t>& body) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    f.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

uint8_t VersionId(int version) {
    switch (version) {
    case 30:
        return 3;
    case 35:
        return 4;
    case 40:
        return 9;
    case 50:
        return 11;
    case 70:
        return 12;
    default:
        throw std::invalid_argument("unknown Paradox version " + std::to_string(version));
    }
}

} // namespace

TParadoxWriter::TParadoxWriter(std::string fileName) : fileName_(std::move(fileName)) {
    if (fileName_.find('.') == std::string::npos)
        fileName_ += ".DB";
}

TParadoxWriter& TParadoxWriter::AddField(std::string name, PxFieldType type, int size) {
    if (count_)
        throw std::logic_error("fields must be defined before records are appended");
    if (name.empty() || name.size() > 25)
        throw std::invalid_argument("field name must have 1 to 25 characters: " + name);
    if (fields_.size() == 255)
        throw std::invalid_argument("at most 255 fields");
    int declared = 0;
    switch (type) {
    case PxFieldType::Alpha:
    case PxFieldType::Bytes:
        if (size < 1 || size > 255)
            throw std::invalid_argument("size 1..255 needed for field " + name);
        declared = size;
        break;
    case PxFieldType::BCD:
        if (size < 0 || size > 32)
            throw std::invalid_argument("BCD decimal places 0..32 for field " + name);
        declared = size;
        break;
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
    case PxFieldType::Blob:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
        if (size < 0 || size > 240)
            throw std::invalid_argument("blob leader 0..240 for field " + name);
        declared = size + 10;
        break;
    default:
        declared = PxRecordBytes(type, 0); // fixed types declare their byte length
    }
    Field f;
    f.name = PxTranslate(PxAnsiToCodePage(codePage_), name);
    f.type = type;
    f.declared = declared;
    f.bytes = PxRecordBytes(type, declared);
    f.offset = recordSize_;
    recordSize_ += f.bytes;
    if (PxIsBlobType(type))
        blobFields_.push_back(static_cast<int>(fields_.size()));
    fields_.push_back(std::move(f));
    return *this;
}

TParadoxWriter& TParadoxWriter::SetKeyFields(int count) {
    if (count < 0 || count > static_cast<int>(fields_.size()))
        throw std::invalid_argument("more key fields than fields");
    for (int i = 0; i < count; ++i)
        if (PxIsBlobType(fields_[static_cast<size_t>(i)].type))
            throw std::invalid_argument("a blob field cannot be a key field");
    keyFields_ = count;
    return *this;
}

TParadoxWriter& TParadoxWriter::AddIndex(std::string name, std::vector<std::string> fieldNames,
                                         bool caseSensitive) {
    Index ix;
    ix.name = std::move(name);
    ix.caseSensitive = caseSensitive;
    const auto& toCp = PxAnsiToCodePage(codePage_);
    for (const auto& fn : fieldNames) {
        const std::string cp = PxTranslate(toCp, fn);
        auto it = std::find_if(fields_.begin(), fields_.end(), [&](const Field& f) { return f.name == cp; });
        if (it == fields_.end())
            throw std::invalid_argument("index field not defined: " + fn);
        ix.fields.push_back(static_cast<int>(it - fields_.begin()));
    }
    if (ix.fields.empty())
        throw std::invalid_argument("an index needs fields");
    if (!caseSensitive && ix.fields.size() == 1 &&
        fields_[static_cast<size_t>(ix.fields[0])].name == PxTranslate(toCp, ix.name))
        throw std::invalid_argument("an index ignoring case cannot take its field's name: " + ix.name);
    indexes_.push_back(std::move(ix));
    return *this;
}

TParadoxWriter& TParadoxWriter::SetCodePage(int codePage) {
    if (!fields_.empty())
        throw std::logic_error("set the code page before the fields");
    codePage_ = codePage;
    return *this;
}

TParadoxWriter& TParadoxWriter::SetPassword(std::string password) {
    password_ = std::move(password);
    return *this;
}

TParadoxWriter& TParadoxWriter::SetBlockSizeKb(int kb) {
    switch (kb) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
    case 16:
    case 32:
        blockKb_ = kb;
        return *this;
    default:
        throw std::invalid_argument("block size must be 1, 2, 3, 4, 8, 16 or 32 KiB");
    }
}

TParadoxWriter& TParadoxWriter::SetVersion(int version) {
    VersionId(version);
    version_ = version;
    return *this;
}

void TParadoxWriter::EncodeValue(const Field& f, const Variant& v, uint8_t* out, std::string* blob) const {
    if (v.IsNull())
        return; // all zero
    const auto& toCp = PxAnsiToCodePage(codePage_);
    switch (f.type) {
    case PxFieldType::Alpha: {
        const std::string s = PxTranslate(toCp, v.AsString());
        if (static_cast<int>(s.size()) > f.bytes)
            throw std::invalid_argument("text too long for field " + f.name);
        std::memcpy(out, s.data(), s.size());
        return;
    }
    case PxFieldType::Bytes: {
        const std::string& s =
            v.Kind() == VariantKind::Blob || v.Kind() == VariantKind::Text ? v.Bytes() : v.AsString();
        if (static_cast<int>(s.size()) > f.bytes)
            throw std::invalid_argument("bytes too long for field " + f.name);
        std::memcpy(out, s.data(), s.size());
        return;
    }
    case PxFieldType::Short:
        PutInt(out, v.AsInteger(), 2, f.name);
        return;
    case PxFieldType::Long:
    case PxFieldType::AutoInc:
        PutInt(out, v.AsInteger(), 4, f.name);
        return;
    case PxFieldType::Number:
    case PxFieldType::Currency:
        PutDouble(out, v.AsFloat());
        return;
    case PxFieldType::Logical:
        out[0] = v.AsBoolean() ? 0x81 : 0x80;
        return;
    case PxFieldType::Date: {
        const TDateTime dt = v.AsDateTime();
        PutInt(out, static_cast<int64_t>(DateOf(dt)) + kDateDelta, 4, f.name);
        return;
    }
    case PxFieldType::Time: {
        const TDateTime dt = v.AsDateTime();
        PutInt(out, std::llround(TimeOf(dt) * kMsPerDay), 4, f.name);
        return;
    }
    case PxFieldType::Timestamp: {
        const TDateTime dt = v.AsDateTime();
        PutDouble(out, (DateOf(dt) + kDateDelta) * kMsPerDay + std::round(TimeOf(dt) * kMsPerDay));
        return;
    }
    case PxFieldType::BCD: {
        bool negative = false;
        std::string ip, fp;
        DecimalDigits(v, f.declared, negative, ip, fp);
        const std::string digits =
            std::string(static_cast<size_t>(32 - f.declared) - std::min<size_t>(ip.size(), 32 - f.declared),
                        '0') +
            ip + fp;
        if (digits.size() != 32)
            throw std::invalid_argument("number too large for BCD field " + f.name);
        bool zero = std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
        negative = negative && !zero;
        out[0] = static_cast<uint8_t>((negative ? 0x00 : 0x80) | (f.declared & 0x3F));
        for (int i = 0; i < 32; ++i) {
            int d = digits[static_cast<size_t>(i)] - '0';
            if (negative)
                d = 0x0F - d;
            uint8_t& b = out[1 + i / 2];
            b = static_cast<uint8_t>(i % 2 == 0 ? (b & 0x0F) | (d << 4) : (b & 0xF0) | d);
        }
        return;
    }
    case PxFieldType::Memo:
    case PxFieldType::FmtMemo:
        *blob = v.Kind() == VariantKind::Blob ? v.Bytes() : PxTranslate(toCp, v.AsString());
        return;
    case PxFieldType::Blob:
    case PxFieldType::OLE:
    case PxFieldType::Graphic:
        *blob = v.Kind() == VariantKind::Blob || v.Kind() == VariantKind::Text ? v.Bytes() : v.AsString();
        return;
    }
}

void TParadoxWriter::Append(const std::vector<Variant>& values) {
    if (fields_.empty())
        throw std::logic_error("no fields defined");
    if (values.size() > fields_.size())
        throw std::invalid_argument("more values than fields");
    records_.resize(records_.size() + static_cast<size_t>(recordSize_), 0);
    blobs_.resize(blobs_.size() + blobFields_.size());
    uint8_t* rec = records_.data() + count_ * static_cast<size_t>(recordSize_);
    std::string* blobs = blobs_.data() + count_ * blobFields_.size();
    size_t blobIndex = 0;
    try {
        for (size_t i = 0; i < fields_.size(); ++i) {
            const Field& f = fields_[i];
            std::string* blob = PxIsBlobType(f.type) ? &blobs[blobIndex++] : nullptr;
            if (i < values.size())
                EncodeValue(f, values[i], rec + f.offset, blob);
        }
    } catch (...) {
        records_.resize(count_ * static_cast<size_t>(recordSize_));
        blobs_.resize(count_ * blobFields_.size());
        throw;
    }
    ++count_;
}

std::vector<uint8_t> TParadoxWriter::HeaderBytes(uint8_t fileType, const std::vector<Field>& fields,
                                                 bool withNames, int recordSize, int keyFields,
                                                 const std::string& nameSlot, uint32_t records,
                                                 uint16_t blocks, uint16_t indexRoot, uint8_t levels,
                                                 const std::vector<int>& fieldNumbers,
                                                 const std::string& indexLabel) const {
    const uint8_t vid = VersionId(version_);
    const bool dataHeader = px::HasDataHeader(fileType, vid);
    const size_t slot = px::TableNameSlot(vid);
    const size_t n = fields.size();
    size_t need = (dataHeader ? px::kDataHeaderEnd : px::kFixedHeader) + 2 * n + 4 + 4 * n + slot;
    if (withNames) {
        for (const auto& f : fields)
            need += f.name.size() + 1;
        if (dataHeader)
            need += 2 * n + 6 + indexLabel.size() + 1; // field numbers, sort order and index names
    }
    const size_t size = (need + 0x7FF) / 0x800 * 0x800;
    std::vector<uint8_t> h(size, 0);
    uint8_t* d = h.data();
    const uint32_t check = password_.empty() ? 0 : PxPasswordCheck(password_);
    px::PutLe16(d + 0x00, static_cast<uint32_t>(recordSize));
    px::PutLe16(d + 0x02, static_cast<uint32_t>(size));
    d[0x04] = fileType;
    d[0x05] = static_cast<uint8_t>(blockKb_);
    px::PutLe32(d + 0x06, records);
    px::PutLe16(d + 0x0A, blocks);
    px::PutLe16(d + 0x0C, blocks);
    px::PutLe16(d + 0x0E, blocks ? 1 : 0);
    px::PutLe16(d + 0x10, blocks);
    px::PutLe16(d + 0x1E, indexRoot);
    d[0x20] = levels;
    px::PutLe16(d + 0x21, static_cast<uint32_t>(n));
    px::PutLe16(d + 0x23, static_cast<uint32_t>(keyFields));
    if (!dataHeader && (fileType == px::kIndexedDb || fileType == px::kNonIndexedDb))
        px::PutLe32(d + 0x25, check);
    d[0x39] = vid;
    px::PutLe16(d + 0x3A, blocks);
    if (fileType == px::kIndexedDb || fileType == px::kNonIndexedDb) {
        uint32_t autoInc = 0;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (fields_[i].type == PxFieldType::AutoInc)
                for (size_t r = 0; r < count_; ++r) {
                    const uint8_t* p =
                        records_.data() + r * static_cast<size_t>(recordSize_) + fields_[i].offset;
                    if (!px::AllZero(p, 4))
                        autoInc = std::max<uint32_t>(autoInc, static_cast<uint32_t>(px::DecodeInt(p, 4)));
                }
        px::PutLe32(d + 0x49, autoInc);
    }
    px::PutLe16(d + 0x51, static_cast<uint32_t>(size));
    size_t pos = px::kFixedHeader;
    if (dataHeader) {
        px::PutLe16(d + 0x58, vid);
        px::PutLe16(d + 0x5A, vid);
        if (fileType == px::kIndexedDb || fileType == px::kNonIndexedDb)
            px::PutLe32(d + 0x5C, check);
        px::PutLe16(d + 0x64, static_cast<uint32_t>(n + 1));
        px::PutLe16(d + 0x68, static_cast<uint32_t>(n));
        px::PutLe16(d + 0x6A, static_cast<uint32_t>(codePage_));
        pos = px::kDataHeaderEnd;
    }
    for (const auto& f : fields) {
        d[pos] = static_cast<uint8_t>(f.type);
        d[pos + 1] = static_cast<uint8_t>(f.declared);
        pos += 2;
    }
    pos += 4 + 4 * n; // run-time pointers, zero on disk
    std::memcpy(d + pos, nameSlot.data(), std::min(nameSlot.size(), slot - 1));
    pos += slot;
    if (withNames) {
        for (const auto& f : fields) {
            std::memcpy(d + pos, f.name.data(), f.name.size());
            pos += f.name.size() + 1;
        }
        if (dataHeader) {
            for (size_t i = 0; i < n; ++i, pos += 2)
                px::PutLe16(d + pos,
                            static_cast<uint32_t>(i < fieldNumbers.size() ? fieldNumbers[i] : i + 1));
            std::memcpy(d + pos, "ascii", 6);
            pos += 6;
            if (px::IsSecondaryData(fileType))
                std::memcpy(d + pos, indexLabel.data(), indexLabel.size());
        }
    }
    return h;
}

std::string TParadoxWriter::Write(const std::string& folder) const {
    if (fields_.empty())
        throw std::logic_error("no fields defined");
    const size_t blockSize = static_cast<size_t>(blockKb_) * 1024;
    const size_t recSize = static_cast<size_t>(recordSize_);
    if (recSize > blockSize - 6)
        throw std::invalid_argument("record larger than a block");
    if (!indexes_.empty() && keyFields_ == 0)
        throw std::invalid_argument("secondary indexes need a primary key");
    const uint32_t check = password_.empty() ? 0 : PxPasswordCheck(password_);
    const std::string stem = fileName_.substr(0, fileName_.find_last_of('.'));
    size_t keySize = 0;
    for (int i = 0; i < keyFields_; ++i)
        keySize += static_cast<size_t>(fields_[static_cast<size_t>(i)].bytes);

    std::vector<size_t> order(count_);
    std::iota(order.begin(), order.end(), 0);
    auto recAt = [&](size_t i) {
        return records_.data() + i * recSize;
    };
    if (keyFields_ > 0) {
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return std::memcmp(recAt(a), recAt(b), keySize) < 0; });
        for (size_t i = 1; i < order.size(); ++i)
            if (std::memcmp(recAt(order[i - 1]), recAt(order[i]), keySize) == 0)
                throw std::invalid_argument("duplicate primary key in " + fileName_);
    }

    // Records in final order, with the blob pointers of values the record cannot hold.
    std::vector<uint8_t> recs(count_ * recSize);
    std::vector<uint8_t> mb(px::kMbBlock, 0);
    mb[0] = 0;
    px::PutLe16(mb.data() + 1, 1);
    px::PutLe16(mb.data() + 0x0B, 0x1000);
    px::PutLe16(mb.data() + 0x0D, 0x1000);
    mb[0x10] = 0x10;
    px::PutLe16(mb.data() + 0x11, 0x40);
    px::PutLe16(mb.data() + 0x13, 0x800);
    size_t subBlock = 0, subEntries = 64, subFree = 0; // current sub-allocated block
    constexpr size_t kSubData = 336;                   // after the 12-byte head and 64 five-byte entries
    for (size_t i = 0; i < count_; ++i) {
        uint8_t* rec = recs.data() + i * recSize;
        std::memcpy(rec, recAt(order[i]), recSize);
        for (size_t k = 0; k < blobFields_.size(); ++k) {
            const Field& f = fields_[static_cast<size_t>(blobFields_[k])];
            const std::string& blob = blobs_[order[i] * blobFields_.size() + k];
            uint8_t* p = rec + f.offset;
            const size_t leader = static_cast<size_t>(f.bytes - 10);
            std::memcpy(p, blob.data(), std::min(leader, blob.size()));
            uint8_t* tail = p + leader;
            if (blob.empty())
                continue;
            px::PutLe32(tail + 4, static_cast<uint32_t>(blob.size()));
            px::PutLe16(tail + 8, 1);
            if (blob.size() <= leader)
                continue; // wholly in the record
            const size_t paras = (blob.size() + 15) / 16;
            if (blob.size() <= 2048) {
                if (subEntries == 64 || subFree + paras * 16 > px::kMbBlock) {
                    subBlock = mb.size();
                    mb.resize(mb.size() + px::kMbBlock, 0);
                    mb[subBlock] = 3;
                    px::PutLe16(mb.data() + subBlock + 1, 1);
                    subEntries = 0;
                    subFree = kSubData;
                }
                uint8_t* e = mb.data() + subBlock + 12 + subEntries * 5;
                e[0] = static_cast<uint8_t>(subFree / 16);
                e[1] = static_cast<uint8_t>(paras);
                px::PutLe16(e + 2, 1);
                e[4] = static_cast<uint8_t>(blob.size() - (paras - 1) * 16);
                std::memcpy(mb.data() + subBlock + subFree, blob.data(), blob.size());
                px::PutLe32(tail, static_cast<uint32_t>(subBlock | subEntries));
                ++subEntries;
                subFree += paras * 16;
            } else {
                const size_t at = mb.size();
                const size_t units = (9 + blob.size() + px::kMbBlock - 1) / px::kMbBlock;
                mb.resize(at + units * px::kMbBlock, 0);
                mb[at] = 2;
                px::PutLe16(mb.data() + at + 1, static_cast<uint32_t>(units));
                px::PutLe32(mb.data() + at + 3, static_cast<uint32_t>(blob.size()));
                px::PutLe16(mb.data() + at + 7, 1);
                std::memcpy(mb.data() + at + 9, blob.data(), blob.size());
                px::PutLe32(tail, static_cast<uint32_t>(at | 0xFF));
            }
        }
    }

    std::vector<BlockInfo> info;
    std::vector<uint8_t> body = PackBlocks(recs, recSize, blockSize, info);
    if (info.size() > 65535)
        throw std::invalid_argument("table too large for 16-bit block numbers; use larger blocks");
    if (check) {
        for (size_t b = 0; b < info.size(); ++b)
            PxCryptBlock(body.data() + b * blockSize, blockSize, check, static_cast<uint32_t>(b + 1));
        for (size_t u = 1; u < mb.size() / px::kMbBlock; ++u)
            PxCryptBlock(mb.data() + u * px::kMbBlock, px::kMbBlock, check, static_cast<uint32_t>(u));
    }
    const std::string dbPath = Join(folder, fileName_);
    WriteFile(dbPath,
              HeaderBytes(keyFields_ ? px::kIndexedDb : px::kNonIndexedDb, fields_, true, recordSize_,
                          keyFields_, fileName_, static_cast<uint32_t>(count_),
                          static_cast<uint16_t>(info.size()), 0, 0),
              body);
    if (!blobFields_.empty())
        WriteFile(Join(folder, stem + ".MB"), {}, mb);

    // An index over a data file whose key is its leading `keyBytes`: one entry (key of the block's first
    // record, block number, record count, 0) per block, levels added until one block holds the root.
    auto writeIndex = [&](const std::string& path, uint8_t type, const std::vector<Field>& keyDefs,
                          size_t keyBytes, const std::vector<uint8_t>& data, size_t dataRecSize,
                          const std::vector<BlockInfo>& blocks) {
        const size_t entrySize = keyBytes + 6;
        std::vector<uint8_t> entries;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const size_t at = entries.size();
            entries.resize(at + entrySize, 0);
            std::memcpy(entries.data() + at, data.data() + blocks[b].first * dataRecSize, keyBytes);
            PutShortWord(entries.data() + at + keyBytes, static_cast<int>(b + 1));
            PutShortWord(entries.data() + at + keyBytes + 2, static_cast<int>(blocks[b].count));
            PutShortWord(entries.data() + at + keyBytes + 4, 0);
        }
        std::vector<uint8_t> all;
        uint8_t levels = 0;
        size_t offsetBlocks = 0;
        std::vector<size_t> counts(blocks.size());
        for (size_t b = 0; b < blocks.size(); ++b)
            counts[b] = blocks[b].count;
        do {
            std::vector<BlockInfo> lvl;
            std::vector<uint8_t> packed = PackBlocks(entries, entrySize, blockSize, lvl);
            // Chain pointers are file-wide block numbers.
            for (size_t b = 0; b < lvl.size(); ++b) {
                uint8_t* blk = packed.data() + b * blockSize;
                px::PutLe16(blk, b + 1 < lvl.size() ? static_cast<uint32_t>(offsetBlocks + b + 2) : 0);
                px::PutLe16(blk + 2, b ? static_cast<uint32_t>(offsetBlocks + b) : 0);
            }
            all.insert(all.end(), packed.begin(), packed.end());
            ++levels;
            if (lvl.size() <= 1) {
                offsetBlocks += lvl.size();
                break;
            }
            std::vector<uint8_t> up;
            std::vector<size_t> upCounts;
            for (size_t b = 0; b < lvl.size(); ++b) {
                const size_t at = up.size();
                up.resize(at + entrySize, 0);
                std::memcpy(up.data() + at, entries.data() + lvl[b].first * entrySize, keyBytes);
                size_t sum = 0;
                for (size_t k = lvl[b].first; k < lvl[b].first + lvl[b].count; ++k)
                    sum += counts[k];
                PutShortWord(up.data() + at + keyBytes, static_cast<int>(offsetBlocks + b + 1));
                PutShortWord(up.data() + at + keyBytes + 2, static_cast<int>(std::min<size_t>(sum, 32767)));
                PutShortWord(up.data() + at + keyBytes + 4, 0);
                upCounts.push_back(sum);
            }
            offsetBlocks += lvl.size();
            entries = std::move(up);
            counts = std::move(upCounts);
        } while (true);
        WriteFile(path,
                  HeaderBytes(type, keyDefs, false, static_cast<int>(entrySize),
                              static_cast<int>(keyDefs.size()), "", static_cast<uint32_t>(blocks.size()),
                              static_cast<uint16_t>(offsetBlocks), static_cast<uint16_t>(offsetBlocks),
                              levels),
                  all);
    };

    if (keyFields_ > 0) {
        std::vector<Field> keyDefs(fields_.begin(), fields_.begin() + keyFields_);
        writeIndex(Join(folder, stem + ".PX"), px::kPrimaryIndex, keyDefs, keySize, recs, recSize, info);
    }

    int groupNo = 0;
    for (const Index& ix : indexes_) {
        // The index table: index fields, primary key fields, and the hint (data block of the record).
        std::vector<Field> xf;
        std::vector<int> src = ix.fields;
        for (int i = 0; i < keyFields_; ++i)
            src.push_back(i);
        int off = 0;
        for (int fi : src) {
            Field f = fields_[static_cast<size_t>(fi)];
            f.offset = off;
            off += f.bytes;
            xf.push_back(f);
        }
        Field hint{"Hint", PxFieldType::Short, 0, 2, off};
        xf.push_back(hint);
        const size_t xRec = static_cast<size_t>(off + 2);
        size_t xKey = static_cast<size_t>(off);
        std::vector<uint8_t> xrecs(count_ * xRec, 0);
        const size_t perBlock = (blockSize - 6) / recSize;
        for (size_t r = 0; r < count_; ++r) {
            uint8_t* x = xrecs.data() + r * xRec;
            for (size_t k = 0; k < src.size(); ++k) {
                const Field& f = fields_[static_cast<size_t>(src[k])];
                std::memcpy(x + xf[k].offset, recs.data() + r * recSize + f.offset,
                            static_cast<size_t>(f.bytes));
            }
            PutShortWord(x + off, static_cast<int>(r / perBlock + 1));
        }
        // The engine's order: an index ignoring case compares the capitals of its text fields first and
        // the primary key after them.
        const auto& toAnsi = PxCodePageToAnsi(codePage_);
        auto compareX = [&](const uint8_t* a, const uint8_t* b) {
            for (size_t k = 0; k < src.size(); ++k) {
                const Field& f = xf[k];
                const uint8_t* pa = a + f.offset;
                const uint8_t* pb = b + f.offset;
                if (!ix.caseSensitive && k < ix.fields.size() && f.type == PxFieldType::Alpha) {
                    for (int i = 0; i < f.bytes; ++i) {
                        const auto ca = static_cast<uint8_t>(AnsiUpperChar(static_cast<char>(toAnsi[pa[i]])));
                        const auto cb = static_cast<uint8_t>(AnsiUpperChar(static_cast<char>(toAnsi[pb[i]])));
                        if (ca != cb)
                            return ca < cb ? -1 : 1;
                    }
                    continue;
                }
                const int c = std::memcmp(pa, pb, static_cast<size_t>(f.bytes));
                if (c != 0)
                    return c;
            }
            return 0;
        };
        std::vector<size_t> xo(count_);
        std::iota(xo.begin(), xo.end(), 0);
        std::stable_sort(xo.begin(), xo.end(), [&](size_t a, size_t b) {
            return compareX(xrecs.data() + a * xRec, xrecs.data() + b * xRec) < 0;
        });
        std::vector<uint8_t> sorted(count_ * xRec);
        for (size_t r = 0; r < count_; ++r)
            std::memcpy(sorted.data() + r * xRec, xrecs.data() + xo[r] * xRec, xRec);
        const bool single = ix.caseSensitive && ix.fields.size() == 1 &&
                            fields_[static_cast<size_t>(ix.fields[0])].name ==
                                PxTranslate(PxAnsiToCodePage(codePage_), ix.name);
        char ext[16];
        if (single)
            std::snprintf(ext, sizeof ext, "%02X", ix.fields[0] + 1);
        else
            std::snprintf(ext, sizeof ext, "G%d", groupNo++);
        std::vector<BlockInfo> xinfo;
        std::vector<uint8_t> xbody = PackBlocks(sorted, xRec, blockSize, xinfo);
        const std::string label = PxTranslate(PxAnsiToCodePage(codePage_), ix.name);
        const std::string slot = single ? fileName_ : label;
        // The header names the table's fields by number; a single index field is called "Sec Key" there.
        std::vector<int> numbers;
        for (int fi : src)
            numbers.push_back(fi + 1);
        numbers.push_back(0);
        std::vector<Field> named = xf;
        if (ix.fields.size() == 1 && px::HasDataHeader(px::kSecondaryXG, VersionId(version_)))
            named[0].name = "Sec Key";
        WriteFile(Join(folder, stem + ".X" + ext),
                  HeaderBytes(single ? px::kSecondaryX : px::kSecondaryXG, named, true,
                              static_cast<int>(xRec), static_cast<int>(xf.size()) - 1, slot,
                              static_cast<uint32_t>(count_), static_cast<uint16_t>(xinfo.size()), 0, 0,
                              numbers, label),
                  xbody);
        std::vector<Field> ykeys(xf.begin(), xf.end() - 1);
        writeIndex(Join(folder, stem + ".Y" + ext), single ? px::kSecondaryY : px::kSecondaryYG, ykeys, xKey,
                   sorted, xRec, xinfo);
    }
    return dbPath;
}

} // namespace zbpv

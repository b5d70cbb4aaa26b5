// Opens a table made from the fuzzer's bytes and reads every field of every record in every way, also
// through the secondary index and key ranges. Input: u32 length of the .DB part, u32 length of the .MB
// part (little-endian), the .DB bytes, the .MB bytes, and the rest as the table's .XG0 index file.
// Only the layer's own errors may come out; anything else (a crash, another exception, a hang, an
// unbounded allocation) is a finding.

#include "dbaccess/paradox/paradox_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Folder() {
    static const std::string dir = [] {
        std::string d = "/dev/shm/pxfuzz-" + std::to_string(getpid());
        if (access("/dev/shm", W_OK) != 0)
            d = "/tmp/pxfuzz-" + std::to_string(getpid());
        mkdir(d.c_str(), 0700);
        zbpv::ParadoxAddPassword("geheim");
        return d;
    }();
    return dir;
}

void Put(const std::string& path, const uint8_t* p, size_t n) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (n)
        std::fwrite(p, 1, n, f);
    std::fclose(f);
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void ReadAll(zbpv::TParadoxTable& t) {
    for (t.First(); !t.Eof(); t.Next()) {
        for (int i = 0; i < t.FieldCount(); ++i) {
            zbpv::TParadoxField& f = t.Fields(i);
            try {
                (void)f.IsNull();
                (void)f.AsString();
                (void)f.AsBytes();
                (void)f.AsVariant();
                (void)f.AsInteger();
                (void)f.AsFloat();
                (void)f.AsDateTime();
                (void)f.AsSQLTimeStamp();
                (void)f.AsBoolean();
            } catch (const zbpv::Exception&) {
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    size_t dbLen = Le32(data), mbLen = Le32(data + 4);
    data += 8;
    size -= 8;
    dbLen = std::min(dbLen, size);
    mbLen = std::min(mbLen, size - dbLen);
    const std::string dir = Folder();
    Put(dir + "/T.DB", data, dbLen);
    Put(dir + "/T.MB", data + dbLen, mbLen);
    Put(dir + "/T.XG0", data + dbLen + mbLen, size - dbLen - mbLen);
    try {
        zbpv::TParadoxTable t(dir, "t");
        t.Open();
        ReadAll(t);
        if (t.Keyed()) {
            try {
                (void)t.FindKey({zbpv::Variant(int64_t{1})});
                t.SetRange({zbpv::Variant("A")}, {zbpv::Variant("z")});
                ReadAll(t);
                t.CancelRange();
            } catch (const zbpv::Exception&) {
            }
            for (const auto& name : t.IndexNames()) {
                try {
                    t.SetIndexName(name);
                    ReadAll(t);
                    t.SetRange({zbpv::Variant()}, {zbpv::Variant(2.5)});
                    (void)t.RecordCount();
                    (void)t.FindKey({zbpv::Variant::FromDateTime(1.5)});
                } catch (const zbpv::Exception&) {
                }
            }
        }
    } catch (const zbpv::Exception&) {
    }
    return 0;
}

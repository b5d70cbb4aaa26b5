// Writes small tables with the test writer and packs each (.DB, .MB, first secondary index) into one
// fuzzer input:  paradox_fuzz_seeds OUTDIR

#include "dbaccess/paradox/paradox_table.h"
#include "tests/support/paradox_writer.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace zbpv;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void Pack(const fs::path& dir, const std::string& stem, const fs::path& out) {
    std::string db = Slurp(dir / (stem + ".DB")), mb, x;
    if (fs::exists(dir / (stem + ".MB")))
        mb = Slurp(dir / (stem + ".MB"));
    for (const char* ext : {".XG0", ".X02", ".X03"})
        if (x.empty() && fs::exists(dir / (stem + ext)))
            x = Slurp(dir / (stem + ext));
    std::string packed(8, '\0');
    for (int i = 0; i < 4; ++i) {
        packed[i] = static_cast<char>(db.size() >> (8 * i));
        packed[4 + i] = static_cast<char>(mb.size() >> (8 * i));
    }
    std::ofstream(out, std::ios::binary) << packed << db << mb << x;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const fs::path out = argv[1];
    const fs::path tmp = fs::temp_directory_path() / "pxseeds";
    fs::create_directories(tmp);
    fs::create_directories(out);
    using T = PxFieldType;
    int n = 0;
    for (int version : {30, 50, 70}) {
        for (bool keyed : {false, true}) {
            for (const char* pw : {"", "geheim"}) {
                TParadoxWriter w("S.DB");
                w.SetVersion(version).SetBlockSizeKb(1).SetCodePage(version == 30 ? 437 : 1252);
                w.AddField("Nr", T::Long).AddField("Name", T::Alpha, 12).AddField("Tag", T::Date);
                w.AddField("Wert", T::Number).AddField("Ok", T::Logical).AddField("Memo", T::Memo, 4);
                if (version == 70)
                    w.AddField("Zeit", T::Timestamp).AddField("Dez", T::BCD, 2).AddField("Bin", T::Blob, 0);
                if (keyed) // the newest files get an index that ignores letter case
                    w.SetKeyFields(1).AddIndex("IDX", {"Name", "Tag"}, version != 70);
                if (*pw)
                    w.SetPassword(pw);
                for (int i = 0; i < 6; ++i) {
                    std::vector<Variant> v = {i + 1,
                                              (i % 2 ? "n\xE4me" : "N\xE4me") + std::to_string(5 - i),
                                              Variant::FromDateTime(40000.0 + i),
                                              i * 1.5,
                                              i % 2 == 0,
                                              std::string(static_cast<size_t>(i * 700), 'm')};
                    if (version == 70) {
                        v.push_back(Variant::FromDateTime(45000.25 + i));
                        v.push_back(Variant(Decimal{i * 125 - 300, 2}));
                        v.push_back(Variant::FromBlob(std::string(static_cast<size_t>(i * 5), 'b')));
                    }
                    w.Append(v);
                }
                w.Write(tmp.string());
                Pack(tmp, "S", out / ("seed" + std::to_string(n++)));
                for (const auto& e : fs::directory_iterator(tmp))
                    fs::remove(e.path());
            }
        }
    }
    return 0;
}

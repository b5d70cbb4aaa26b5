// Scan speed of the Paradox reader: a table of 1,000,000 records and 30 fields, every field of every
// record read as text. Prints MB/s (of the .DB file) and records/s, best of three runs.
//
//   paradox_bench [RECORDS] [FOLDER]     the table is written once into FOLDER (default: a temp folder)

#include "dbaccess/paradox/paradox_table.h"
#include "support/format_settings.h"
#include "tests/support/paradox_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

using namespace zbpv;

namespace {

void MakeTable(const std::string& folder, long records) {
    using T = PxFieldType;
    TParadoxWriter w("Bench.db");
    w.SetBlockSizeKb(32);
    w.AddField("Nr", T::Long);
    const int alphaSizes[12] = {10, 40, 30, 30, 40, 25, 25, 15, 20, 60, 10, 3};
    for (int i = 0; i < 12; ++i)
        w.AddField("Text" + std::to_string(i), T::Alpha, alphaSizes[i]);
    for (int i = 0; i < 3; ++i)
        w.AddField("Kurz" + std::to_string(i), T::Short);
    for (int i = 0; i < 3; ++i)
        w.AddField("Lang" + std::to_string(i), T::Long);
    for (int i = 0; i < 4; ++i)
        w.AddField("Zahl" + std::to_string(i), T::Number);
    w.AddField("Preis", T::Currency).AddField("Rabatt", T::Currency);
    w.AddField("Datum", T::Date).AddField("Faellig", T::Date);
    w.AddField("Aktiv", T::Logical).AddField("Zeit", T::Time).AddField("Geaendert", T::Timestamp);
    w.SetKeyFields(1);
    const char* words[] = {"M\xFCller", "Schmidt", "Schneider", "Fischer",
                           "Weber",     "Meyer",   "Wagner",    "Becker"};
    for (long r = 0; r < records; ++r) {
        std::vector<Variant> v;
        v.emplace_back(static_cast<int64_t>(r + 1));
        for (int i = 0; i < 12; ++i) {
            if ((r + i) % 7 == 0) {
                v.emplace_back();
                continue;
            }
            std::string s = words[(r * 3 + i) % 8];
            s += " " + std::to_string(r % 1000);
            s.resize(std::min<size_t>(s.size(), static_cast<size_t>(alphaSizes[i])));
            v.emplace_back(s);
        }
        for (int i = 0; i < 3; ++i)
            v.emplace_back(static_cast<int64_t>((r * (i + 3)) % 30000 - 15000));
        for (int i = 0; i < 3; ++i)
            v.emplace_back(static_cast<int64_t>(r * 977 + i));
        for (int i = 0; i < 4; ++i)
            v.emplace_back((r % 10000) * 0.25 + i);
        v.emplace_back((r % 100000) / 100.0);
        v.emplace_back((r % 30) / 10.0);
        v.push_back(Variant::FromDateTime(EncodeDate(2000, 1, 1) + r % 9000));
        v.push_back(r % 5 ? Variant::FromDateTime(EncodeDate(2010, 6, 1) + r % 3000) : Variant());
        v.emplace_back(r % 2 == 0);
        v.push_back(Variant::FromDateTime((r % 86400) / 86400.0));
        v.push_back(Variant::FromDateTime(EncodeDate(2020, 1, 1) + (r % 2000) + (r % 1440) / 1440.0));
        w.Append(v);
    }
    w.Write(folder);
}

} // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string folder =
        argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "zbpv-paradox-bench").string();
    std::filesystem::create_directories(folder);
    SetGlobalFormatSettings(FormatSettings::German());
    {
        bool fresh = false;
        try {
            TParadoxTable t(folder, "Bench.db");
            t.Open();
            fresh = t.RecordCount() == records && t.FieldCount() == 30;
        } catch (const std::exception&) {
        }
        if (!fresh) {
            std::printf("writing %ld records to %s ...\n", records, folder.c_str());
            std::fflush(stdout);
            MakeTable(folder, records);
        }
    }
    const double mb = static_cast<double>(std::filesystem::file_size(folder + "/Bench.db")) / 1e6;
    double best = 1e100, bestCpu = 1e100;
    size_t chars = 0;
    auto cpuNow = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
    };
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuNow();
        TParadoxTable t(folder, "Bench.db");
        t.Open();
        const int n = t.FieldCount();
        chars = 0;
        for (t.First(); !t.Eof(); t.Next())
            for (int i = 0; i < n; ++i)
                chars += t.Fields(i).AsString().size();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, s);
        bestCpu = std::min(bestCpu, cpuNow() - c0);
    }
    std::printf("records: %ld, fields: 30, file: %.1f MB, text produced: %.1f MB\n", records, mb,
                chars / 1e6);
    std::printf("scan (open + every field as text), best of 3: %.3f s = %.1f MB/s, %.0f records/s\n", best,
                mb / best, records / best);
    // The machine is shared; CPU time shows the reader's own cost when other work competes for the cores.
    std::printf("same scan by CPU time: %.3f s = %.1f MB/s, %.0f records/s\n", bestCpu, mb / bestCpu,
                records / bestCpu);
    return 0;
}

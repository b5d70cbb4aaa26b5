// The address steps of the invoicing run (addresses with contact persons and groups, stored group
// assignments, contacts, delivery addresses) on a generated installation, against the floor measured
// in the same run on the same kind of target: one transaction, the key drawn through the generator's
// procedure per row, one prepared INSERT. Prints rows per second of both, their ratio and the peak
// resident memory of each.
//
//   bench_invoicing [--scale N]            embedded, forced writes on (default scale 5000: 100 000
//                                          customers, about 200 000 contact persons, 300 000 contacts)
//   bench_invoicing --server HOST/PORT:DIR --user U [--scale N]   through a server; password from
//                                          ZBPV_DB_PASSWORD; DIR is a folder the server can write
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbaccess/fb_statement.h"
#include "dbaccess/provider.h"
#include "dbaccess/sql_generator.h"
#include "dbaccess/sql_script.h"
#include "invoicing/import_run.h"
#include "invoicing/paradox_source.h"
#include "tests/support/fb_temp_db.h"
#include "tools/make-sample-installation/sample_installation.h"

using namespace zbpv;

namespace {

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class Quiet : public IRunPrompts, public IRunProgress {
public:
    TMsgAnswer Ask(const TQuestion& q) override { return q.Default; }
    void ShowInformation(const std::string&, const std::string&) override {}
    void StartCounter(const std::string&, const std::string&, long long) override {}
    void StepCounter(const std::string&) override {}
    void ShowTotal(const std::string&, long long) override {}
    void ShowPassLabel(const std::string&) override {}
    void ImportKeyProgress(const std::string&) override {}
    void ProcessMessages() override {}
};

struct Result {
    double rate = 0;
    long rows = 0;
    long rssKb = 0;
    double cpu = 0;
};

// User and system time of this process, the embedded engine included.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The steps as the run does them: rows per second over every target row written.
Result Steps(const TConnectionParams& p, const TSampleInstallation& inst) {
    TKVDBDBXProviderFactory f;
    f.Connection().Params = p;
    TKVDBProvider prov(&f);
    TSQLGenerator gen(&prov, "GEN_LFDNR", true);
    TProviderTarget target(prov, gen);
    TParadoxOpener opener;
    Quiet ui;
    TRunSettings s;
    s.ImportSelection = 17;
    s.DataPath = inst.DataFolder.string();
    s.MailDataPath = inst.MailFolder.string();
    s.LogFolder = inst.DataFolder.parent_path() / "Log";
    TImportRun run(s, target, opener, ui, ui);
    auto start = std::chrono::steady_clock::now();
    run.Execute();
    Result r;
    r.rate = 0;
    for (auto& [t, n] : run.Report().Written())
        r.rows += n;
    r.rate = r.rows / Seconds(start);
    return r;
}

// One transaction, the key by executing the procedure per row, one prepared INSERT of an address.
Result Floor(const TConnectionParams& p, long rows) {
    TKVDBConnection c;
    c.Params = p;
    c.CommitInterval = std::chrono::hours(24);
    FbStatement key(c), insert(c);
    key.Prepare("EXECUTE PROCEDURE GEN_LFDNR(?)");
    insert.Prepare(
        "INSERT INTO ADRESSEN (LFDNR, ART, NR, SUCHBEGRIFF, NAME, VORNAME, STRASSE, PLZ, ORT, TELEFON1, "
        "TELEFONMATCHCODE, ANGELEGTAM, ANGELEGTVON) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::vector<TDbValue> in{TDbValue(std::int64_t{1})}, out, values(13);
    TSQLTimeStamp now{2026, 12, 11, 12, 0, 0, 0};
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < rows; ++i) {
        key.Execute(in, &out);
        char nr[16];
        std::snprintf(nr, sizeof nr, "%8ld", i % 100000000);
        values[0] = out[0];
        values[1] = std::string(i % 3 ? "K" : "L");
        values[2] = std::string(nr);
        values[3] = std::string("M\xfcller, Hans");
        values[4] = std::string("M\xfcller");
        values[5] = std::string("Hans");
        values[6] = std::string("Hauptstra\xdf"
                                "e ") +
                    std::to_string(i % 300);
        values[7] = std::string("79098");
        values[8] = std::string("Freiburg im Breisgau");
        values[9] = std::string("(0761) 123-45");
        values[10] = std::string(";076112345;;;;");
        values[11] = now;
        values[12] = std::string("ADM");
        insert.Execute(values);
    }
    c.CommitWork();
    Result r;
    r.rows = rows;
    r.rate = rows / Seconds(start);
    return r;
}

template <class Fn> Result InChild(Fn fn) {
    int fd[2];
    if (pipe(fd) != 0)
        std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        Result r;
        const double cpu = CpuSeconds();
        try {
            r = fn();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        r.rssKb = PeakRssKb();
        r.cpu = CpuSeconds() - cpu;
        (void)!write(fd[1], &r, sizeof r);
        _exit(0);
    }
    close(fd[1]);
    Result r;
    (void)!read(fd[0], &r, sizeof r);
    close(fd[0]);
    waitpid(pid, nullptr, 0);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    std::string server, user = "SYSDBA";
    int scale = 5000;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--server" && i + 1 < argc)
            server = argv[++i];
        else if (a == "--user" && i + 1 < argc)
            user = argv[++i];
        else if (a == "--scale" && i + 1 < argc)
            scale = std::atoi(argv[++i]);
    }
    test::TempDir dir;
    TSampleOptions opt;
    opt.Scale = scale;
    std::printf("generating the installation at scale %d ...\n", scale);
    std::fflush(stdout);
    TSampleInstallation inst = WriteSampleInstallation(dir.Path() / "alt", opt);
    for (auto& [t, n] : inst.Tables)
        std::printf("  %-15s %9lld\n", t.c_str(), n);

    TConnectionParams base;
    if (server.empty()) {
        base.DatabaseName = (dir.Path() / "target").string();
    } else {
        auto colon = server.find(':');
        base.ServerName = server.substr(0, colon);
        base.DatabaseName = server.substr(colon + 1) + "/bench-invoicing-" + std::to_string(getpid());
        base.UserName = user;
    }
    base.ForcedWrites = true;
    TConnectionParams stepsDb = base, floorDb = base;
    stepsDb.DatabaseName += "-steps.fdb";
    floorDb.DatabaseName += "-floor.fdb";
    for (const auto& p : {stepsDb, floorDb})
        CreateTargetDatabase(p, test::SourceSchemaFolder());
    {
        // The generator and its procedure exist before either path starts.
        TKVDBDBXProviderFactory f;
        f.Connection().Params = floorDb;
        TKVDBProvider prov(&f);
        TSQLGenerator(&prov, "GEN_LFDNR").NextValue();
        f.CommitWork();
    }

    Result steps = InChild([&] { return Steps(stepsDb, inst); });
    Result floor = InChild([&] { return Floor(floorDb, steps.rows > 0 ? steps.rows : 100000); });
    // Rates are wall-clock; on a loaded machine the CPU seconds of each path are the steadier comparison.
    std::printf("%-9s %10s %12s %12s %7s %10s %10s %9s %9s\n", "target", "rows", "floor/s", "steps/s",
                "ratio", "floor MB", "steps MB", "floor cpu", "steps cpu");
    std::printf("%-9s %10ld %12.0f %12.0f %7.2f %10.1f %10.1f %9.1f %9.1f\n",
                server.empty() ? "embedded" : "server", steps.rows, floor.rate, steps.rate,
                floor.rate > 0 ? steps.rate / floor.rate : 0, floor.rssKb / 1024.0, steps.rssKb / 1024.0,
                floor.cpu, steps.cpu);
    if (server.empty()) {
        std::filesystem::remove(stepsDb.DatabaseName);
        std::filesystem::remove(floorDb.DatabaseName);
    }
    return 0;
}

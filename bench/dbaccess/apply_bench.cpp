// Appending ADRESSEN-shaped rows: the client dataset path (keys from GEN_LFDNR through TSQLGenerator,
// ApplyUpdates every 100 rows, commits about once a second) against the floor measured in the same run
// on the same kind of database (one transaction, the generator's procedure executed per row, one
// prepared INSERT). Prints both rates, their ratio and the peak resident memory of each path.
//
//   bench_dbaccess [rows...]                  embedded, forced writes on (default rows: 100000 1000000)
//   bench_dbaccess --server HOST/PORT:DIR --user U [rows...]   through a server; password from
//                                             ZBPV_DB_PASSWORD; DIR is a folder the server can write
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbaccess/fb_statement.h"
#include "dbaccess/sql_generator.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

namespace {

const char* kTable =
    "create table ADRESSEN (LFDNR integer not null primary key, ART char(1) not null, NR varchar(15), "
    "SUCHBEGRIFF varchar(40), NAME1 varchar(60), NAME2 varchar(60), NAME3 varchar(60), STRASSE varchar(60), "
    "PLZ varchar(10), ORT varchar(40), LAND varchar(30), TELEFON varchar(30), TELEFAX varchar(30), "
    "EMAIL varchar(80), INTERNET varchar(80), UMSATZ numeric(15,2), RABATT numeric(15,2), "
    "ZAHLZIEL integer, KREDITLIMIT numeric(15,2), ANGELEGTAM timestamp, ANGELEGTVON varchar(10), "
    "GEAENDERTAM timestamp, GEAENDERTVON varchar(10), BEMERKUNG blob sub_type text)";
const char* kGenerator = "create generator GEN_LFDNR";
const char* kProcedure =
    "create procedure GEN_LFDNR(schr integer) returns (id integer) as begin id=gen_id(GEN_LFDNR,:schr); end";

struct Row {
    std::string nr, name, street, plz, ort;
};

Row MakeRow(int i) {
    char nr[16];
    std::snprintf(nr, sizeof nr, "%10d", i);
    return Row{nr, "Firma Nummer " + std::to_string(i) + " GmbH", "Hauptstra\xdf" "e " + std::to_string(i % 300),
               std::to_string(10000 + i % 89999), i % 2 ? "M\xfcnchen" : "K\xf6ln"};
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Prepare(const TConnectionParams& p) {
    TKVDBConnection c;
    c.Params = p;
    c.CreateDatabase();
    for (const char* s : {kTable, kGenerator, kProcedure})
        c.ExecuteOwnTransaction(s, TTransIsolationLevel::xilREADCOMMITTED);
}

// One transaction, the key by executing the procedure per row, one prepared INSERT.
double Floor(const TConnectionParams& p, int rows) {
    TKVDBConnection c;
    c.Params = p;
    c.CommitInterval = std::chrono::hours(24);
    FbStatement key(c), insert(c);
    key.Prepare("EXECUTE PROCEDURE GEN_LFDNR(?)");
    insert.Prepare("INSERT INTO ADRESSEN (LFDNR, ART, NR, SUCHBEGRIFF, NAME1, STRASSE, PLZ, ORT, UMSATZ, "
                   "ZAHLZIEL, ANGELEGTAM, ANGELEGTVON) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    std::vector<TDbValue> in{TDbValue(std::int64_t{1})}, out, values(12);
    TSQLTimeStamp now{2026, 12, 11, 12, 0, 0, 0};
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rows; ++i) {
        key.Execute(in, &out);
        Row r = MakeRow(i);
        values[0] = out[0];
        values[1] = std::string("K");
        values[2] = r.nr;
        values[3] = r.name.substr(0, 40);
        values[4] = r.name;
        values[5] = r.street;
        values[6] = r.plz;
        values[7] = r.ort;
        values[8] = Decimal{i * 7LL, 2};
        values[9] = std::int64_t{30};
        values[10] = now;
        values[11] = std::string("ADM");
        insert.Execute(values);
    }
    c.CommitWork();
    return rows / Seconds(start);
}

// The client dataset path, as an import step does it.
double Dataset(const TConnectionParams& p, int rows) {
    TKVDBDBXProviderFactory f;
    f.Connection().Params = p;
    TKVDBProvider prov(&f);
    TSQLGenerator gen(&prov, "GEN_LFDNR");
    TKVClientDataSet ds(f.Connection());
    ds.SetTableName("ADRESSEN");
    ds.FetchRows = false;
    ds.EmptyAfterApply = true;
    ds.Open();
    TField& lfdnr = ds.FieldByName("LFDNR");
    TField& art = ds.FieldByName("ART");
    TField& nr = ds.FieldByName("NR");
    TField& such = ds.FieldByName("SUCHBEGRIFF");
    TField& name1 = ds.FieldByName("NAME1");
    TField& strasse = ds.FieldByName("STRASSE");
    TField& plz = ds.FieldByName("PLZ");
    TField& ort = ds.FieldByName("ORT");
    TField& umsatz = ds.FieldByName("UMSATZ");
    TField& ziel = ds.FieldByName("ZAHLZIEL");
    TField& am = ds.FieldByName("ANGELEGTAM");
    TField& von = ds.FieldByName("ANGELEGTVON");
    const TDateTime now = 46367.5;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rows; ++i) {
        Row r = MakeRow(i);
        ds.Append();
        lfdnr.SetAsInteger(gen.NextValue());
        art.SetAsString("K");
        nr.SetAsString(r.nr);
        such.SetAsString(r.name.substr(0, 40));
        name1.SetAsString(r.name);
        strasse.SetAsString(r.street);
        plz.SetAsString(r.plz);
        ort.SetAsString(r.ort);
        umsatz.SetAsFloat(i * 0.07);
        ziel.SetAsInteger(30);
        am.SetAsDateTime(now);
        von.SetAsString("ADM");
        ds.Post();
        if (i % 100 == 99)
            ds.ApplyUpdates(0);
    }
    ds.ApplyUpdates(0);
    f.CommitWork();
    return rows / Seconds(start);
}

// Each measurement in a child process of its own, so that peak memory belongs to one path and size.
void Measure(const char* what, double (*fn)(const TConnectionParams&, int), const TConnectionParams& p, int rows,
             double& rate, long& rssKb) {
    int pipefd[2];
    if (pipe(pipefd) != 0)
        std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        double r = 0;
        try {
            r = fn(p, rows);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", what, e.what());
        }
        long kb = PeakRssKb();
        (void)!write(pipefd[1], &r, sizeof r);
        (void)!write(pipefd[1], &kb, sizeof kb);
        _exit(0);
    }
    close(pipefd[1]);
    (void)!read(pipefd[0], &rate, sizeof rate);
    (void)!read(pipefd[0], &rssKb, sizeof rssKb);
    close(pipefd[0]);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    std::string server, user = "SYSDBA";
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--server" && i + 1 < argc)
            server = argv[++i];
        else if (a == "--user" && i + 1 < argc)
            user = argv[++i];
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty())
        sizes = {100000, 1000000};
    test::TempDir dir;
    std::printf("%-9s %-10s %12s %12s %7s %10s %10s\n", "target", "rows", "floor/s", "dataset/s", "ratio",
                "floor MB", "dataset MB");
    for (int rows : sizes) {
        TConnectionParams p;
        p.ForcedWrites = true;
        p.UserName = user;
        if (server.empty()) {
            p.DatabaseName = (dir.Path() / ("b" + std::to_string(rows))).string();
        } else {
            auto colon = server.find(':');
            p.ServerName = server.substr(0, colon);
            p.DatabaseName = server.substr(colon + 1) + "/bench" + std::to_string(rows) + "-" + std::to_string(getpid());
        }
        TConnectionParams a = p, b = p;
        a.DatabaseName += "-floor.fdb";
        b.DatabaseName += "-dataset.fdb";
        Prepare(a);
        Prepare(b);
        double floorRate = 0, dsRate = 0;
        long floorKb = 0, dsKb = 0;
        Measure("floor", Floor, a, rows, floorRate, floorKb);
        Measure("dataset", Dataset, b, rows, dsRate, dsKb);
        std::printf("%-9s %-10d %12.0f %12.0f %7.2f %10.1f %10.1f\n", server.empty() ? "embedded" : "server", rows,
                    floorRate, dsRate, floorRate > 0 ? dsRate / floorRate : 0, floorKb / 1024.0, dsKb / 1024.0);
        std::fflush(stdout);
        if (server.empty()) {
            std::filesystem::remove(a.DatabaseName);
            std::filesystem::remove(b.DatabaseName);
        }
    }
}

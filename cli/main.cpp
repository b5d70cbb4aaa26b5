// zbpv-import: the command-line front end. For now it creates a fresh target database and lists what
// a target database holds.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/import_run_controller.h"
#include "dbaccess/fb_api.h"
#include "dbaccess/fb_statement.h"
#include "dbaccess/provider.h"
#include "dbaccess/sql_script.h"
#include "support/ansi.h"
#include "support/errors.h"

namespace {

using namespace zbpv;

const char* kHelp = R"(Aufruf: zbpv-import [OPTION]

Import von ZB7 + PV2: überträgt die Daten von Zarvo-Billora 7.0 und Velkaro-Postiverso 2.0
in die Firebird-Datenbank von Velkaro-Billora 8.0 und Velkaro-Postiverso 3.0.

Optionen:
  --create-target ZIEL  legt eine neue, leere Zieldatenbank aus den Skripten in schema/ an
                        (eine vorhandene Datei wird nicht überschrieben)
  --list-target ZIEL    zeigt die Tabellen der Zieldatenbank mit ihrer Zeilenzahl
  --help                zeigt diese Hilfe
  --version             zeigt die Programmversion

ZIEL ist ein Dateipfad (eingebettete Datenbank) oder Server:Pfad (Firebird-Server über TCP,
auch Server/Port:Pfad). Benutzer und Passwort kommen aus den Umgebungsvariablen
ZBPV_DB_USER und ZBPV_DB_PASSWORD (ersatzweise ISC_USER und ISC_PASSWORD).

Rückgabewerte: 0 Erfolg, 1 Fehler, 2 ungültige Argumente.
)";

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p.parent_path();
}

std::filesystem::path SchemaFolder() {
    std::filesystem::path exe = ExecutableFolder();
    return FindSchemaFolder({exe / "schema", exe / ".." / "schema", exe / ".." / "share" / "zbpv" / "schema",
                             std::filesystem::path(ZBPV_SOURCE_ROOT) / "schema"});
}

int CreateTarget(const std::string& target) {
    TConnectionParams params = ParseConnectionTarget(target);
    if (params.ServerName.empty() && std::filesystem::exists(params.DatabaseName)) {
        std::cerr << "Die Datei \"" << params.DatabaseName
                  << "\" existiert bereits und wird nicht überschrieben.\n";
        return 1;
    }
    std::filesystem::path schema = SchemaFolder();
    if (schema.empty()) {
        std::cerr << "Die SQL-Skripte der Zieldatenbank (schema/*.sql) wurden nicht gefunden.\n";
        return 1;
    }
    CreateTargetDatabase(params, schema);
    std::cout << "Zieldatenbank angelegt: " << target << "\n";
    return 0;
}

int ListTarget(const std::string& target) {
    TKVDBDBXProviderFactory factory;
    factory.Connection().Params = ParseConnectionTarget(target);
    if (factory.ServerName().empty() && !std::filesystem::exists(factory.DatabaseName())) {
        std::cerr << "Die Datenbank \"" << target << "\" existiert nicht.\n";
        return 1;
    }
    TKVDBProvider provider(&factory);
    auto tables = provider.CreateQuery("select trim(RDB$RELATION_NAME) from RDB$RELATIONS "
                                       "where coalesce(RDB$SYSTEM_FLAG, 0) = 0 and RDB$VIEW_BLR is null "
                                       "order by 1",
                                       false);
    std::vector<std::string> names;
    for (tables->DataSet().Open(); !tables->DataSet().Eof(); tables->DataSet().Next())
        names.push_back(tables->DataSet().Fields(0).AsString());
    size_t width = 5;
    for (const auto& n : names)
        width = std::max(width, n.size());
    for (const auto& n : names) {
        auto count = provider.CreateQuery("select count(*) from \"" + n + "\"", false);
        count->DataSet().Open();
        std::string text = n;
        text.resize(width, ' ');
        std::cout << AnsiToUtf8(text) << "  " << count->DataSet().Fields(0).AsInteger() << "\n";
    }
    std::cout << names.size() << " Tabellen\n";
    return 0;
}

int Usage(const std::string& problem) {
    std::cerr << "zbpv-import: " << problem << "\n"
              << "Aufruf: zbpv-import --help | --version | --create-target ZIEL | --list-target ZIEL\n";
    return 2;
}

} // namespace

int Run(const std::vector<std::string>& args);

int main(int argc, char** argv) {
    int rc = Run(std::vector<std::string>(argv + 1, argv + argc));
    // The embedded engine's threads end before the process does.
    fb::ShutdownClient();
    return rc;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty())
        return Usage("keine Option angegeben");
    const std::string& opt = args[0];
    if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return IsWizardOption(a); })) {
        ImportRunController run;
        run.Summary = &std::cout; // rows read and written per table
        return RunWizardCommand(args, run);
    }
    try {
        if (opt == "--help" || opt == "-h") {
            if (args.size() != 1)
                return Usage("zu viele Argumente");
            std::cout << kHelp << "\nDer Assistent (Seiten 1 und 2 des Programms, dann der Import):\n"
                      << WizardOptionsHelp();
            return 0;
        }
        if (opt == "--version") {
            if (args.size() != 1)
                return Usage("zu viele Argumente");
            std::cout << "zbpv-import " << ZBPV_VERSION << "\n";
            return 0;
        }
        if (opt == "--create-target" || opt == "--list-target") {
            if (args.size() != 2 || args[1].empty())
                return Usage("die Option " + opt + " braucht genau ein Ziel");
            return opt == "--create-target" ? CreateTarget(args[1]) : ListTarget(args[1]);
        }
        return Usage("unbekannte Option \"" + opt + "\"");
    } catch (const std::exception& e) {
        std::cerr << "zbpv-import: " << e.what() << "\n";
        return 1;
    }
}

#include "app/cli_options.h"

#include "app/app_folders.h"
#include "app/cli_progress.h"
#include "app/cli_prompts.h"
#include "app/prg_data.h"
#include "app/progress.h"
#include "app/run_controller.h"
#include "app/wizard_model.h"
#include "platform/platform.h"
#include "support/ansi.h"
#include "support/error_report.h"
#include "support/errors.h"
#include "support/format_settings.h"
#include "support/logfile.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zbpv {

namespace {

const char* const kValueOptions[] = {"--select", "--data",   "--mail-data", "--user",
                                     "--forms",  "--server", "--database",  "--answer"};
const char* const kFlagOptions[] = {"--embedded",       "--no-cache", "--yes",
                                    "--print-settings", "--verbose",  "-v"};

bool IsValueOption(std::string_view name) {
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), name) != std::end(kValueOptions);
}

std::string TerminalLines(std::string text) {
    for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;) {
        text.erase(pos, 1);
    }
    return text;
}

// The message with the wizard's context lines on standard error, the full report into the report
// file, and where that file is.
void ReportFailure(const std::exception& e, const WizardModel& wizard, const CliProgressView& view,
                   std::ostream& err) {
    TExceptionManager* running = TExceptionManager::Instance();
    std::optional<TExceptionManager> own;
    if (!running) {
        own.emplace(WizardModel::ApplicationTitle);
        own->SetBuildTimeStamp(ZBPV_COMPILE_TIME_STAMP());
    }
    TExceptionManager& manager = running ? *running : *own;
    manager.SetOnException([&](void*, const std::exception&, std::string& message) {
        message = wizard.AppendExceptionContext(message, view.KeyText());
    });
    TErrorReport report = manager.StartReport(nullptr, e);
    manager.SetOnException(nullptr);
    err << TerminalLines(report.Message) << "\n";
    manager.CompleteReport(report);
    try {
        err << TerminalLines(SavedReportMessage(SaveErrorReport(report.ReportText()))) << "\n";
    } catch (const std::exception& saveFailure) {
        err << TerminalLines(saveFailure.what()) << "\n";
    }
}

} // namespace

bool IsWizardOption(std::string_view arg) {
    std::string_view name = arg.substr(0, arg.find('='));
    return IsValueOption(name) ||
           std::find(std::begin(kFlagOptions), std::end(kFlagOptions), arg) != std::end(kFlagOptions);
}

const char* WizardOptionsHelp() {
    return "  --select invoicing|mail|both   was übernommen wird (Seite 1 des Assistenten)\n"
           "  --data PFAD                    Datenverzeichnis (Vorgabe: aus der alten Installation)\n"
           "  --mail-data PFAD               Maildatenverzeichnis\n"
           "  --user PFAD                    Benutzerverzeichnis\n"
           "  --forms PFAD                   Formularverzeichnis\n"
           "  --server HOST                  DB-Server (leer: localhost)\n"
           "  --database PFAD                DB-Name, die Datenbankdatei auf dem Server\n"
           "  --embedded                     --database ohne Server im eigenen Prozess öffnen\n"
           "  --no-cache                     ohne Beschleunigung durch Speichercache\n"
           "  --answer NAME=yes|no           Antwort auf eine Frage vorgeben (mehrfach): overwrite-orders,\n"
           "                                 archive-mails, empty-addresses, empty-addresses-confirm,\n"
           "                                 continue-forms\n"
           "  --yes                          jede Frage mit Ja beantworten\n"
           "  --print-settings               zeigen, was Seite 2 anzeigen würde, und beenden\n"
           "  -v, --verbose                  auch den eingelesenen Datensatz zeigen (im Terminal laufend,\n"
           "                                 sonst höchstens alle 10 Sekunden eine Zeile)\n";
}

CliWizardOptions ParseWizardOptions(const std::vector<std::string>& args) {
    CliWizardOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string name = arg, value;
        bool hasValue = false;
        if (std::size_t eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        if (IsValueOption(name)) {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    throw Exception("Zur Option " + name + " fehlt der Wert.");
                }
                value = args[++i];
            }
        } else if (hasValue) {
            throw Exception("Die Option " + name + " hat keinen Wert.");
        }
        if (name == "--select") {
            if (value == "invoicing") {
                o.selection = 1;
            } else if (value == "mail") {
                o.selection = 16;
            } else if (value == "both") {
                o.selection = 17;
            } else {
                throw Exception("Ungültige Auswahl \"" + value +
                                "\": erlaubt sind invoicing, mail und both.");
            }
        } else if (name == "--data") {
            o.dataPath = value;
        } else if (name == "--mail-data") {
            o.mailDataPath = value;
        } else if (name == "--user") {
            o.userPath = value;
        } else if (name == "--forms") {
            o.formPath = value;
        } else if (name == "--server") {
            o.server = value;
        } else if (name == "--database") {
            o.database = value;
        } else if (name == "--answer") {
            std::size_t eq = value.find('=');
            std::string question = value.substr(0, eq);
            std::string answer = eq == std::string::npos ? "" : AnsiLowerCase(value.substr(eq + 1));
            auto known = KnownQuestionNames();
            if (std::find(known.begin(), known.end(), question) == known.end()) {
                throw Exception("Unbekannte Frage \"" + question + "\" bei --answer.");
            }
            if (answer != "yes" && answer != "no") {
                throw Exception("Die Antwort auf \"" + question + "\" muss yes oder no lauten.");
            }
            o.answers[question] = answer == "yes";
        } else if (name == "--embedded") {
            o.embedded = true;
        } else if (name == "--no-cache") {
            o.noCache = true;
        } else if (name == "--yes") {
            o.yesToAll = true;
        } else if (name == "--print-settings") {
            o.printSettings = true;
        } else if (name == "--verbose" || name == "-v") {
            o.verbose = true;
        } else {
            throw Exception("Unbekannte Option " + arg + ".");
        }
    }
    if (!o.selection) {
        throw Exception("Bitte wählen Sie mit --select, welche Daten Sie übernehmen möchten "
                        "(invoicing, mail oder both).");
    }
    return o;
}

int RunWizardCommand(const std::vector<std::string>& args, Platform& platform, const AppFolders& folders,
                     RunController& run, CliStreams s) {
    CliWizardOptions o;
    try {
        o = ParseWizardOptions(args);
    } catch (const Exception& e) {
        s.err << e.what() << "\n";
        return ExitUsage;
    }
    TPrgData prgData(platform, folders);
    WizardModel wizard(platform, prgData, folders, "zbpv-import");
    CliProgressOptions viewOptions;
    viewOptions.terminal = s.terminalOut;
    viewOptions.verbose = o.verbose;
    viewOptions.width = s.terminalWidth;
    CliProgressView view(s.out, viewOptions);
    ImportCounters counters(view, GlobalFormatSettings().thousandSeparator);
    try {
        wizard.Create();
        if (wizard.DebugLogFile) {
            auto log = std::make_shared<TosLogfile>(wizard.DebugLogFile->string());
            counters.DebugLog = [log](const std::string& line) {
                log->Add(line);
            };
        }
        wizard.SetUseCache(!o.noCache);
        wizard.SetSelection(ImportSelection::IncludesMailOffice(*o.selection),
                            ImportSelection::IncludesInvoicing(*o.selection));
        wizard.Next01();
        WizardBoxes& boxes = wizard.Boxes();
        auto apply = [&](WizardBox box, const std::optional<std::string>& value) {
            if (value) {
                boxes[box].text = *value;
            }
        };
        apply(WizardBox::DataPath, o.dataPath);
        apply(WizardBox::MailDataPath, o.mailDataPath);
        apply(WizardBox::UserPath, o.userPath);
        apply(WizardBox::FormPath, o.formPath);
        apply(WizardBox::DBServer, o.server);
        apply(WizardBox::DBName, o.database);
        if (o.printSettings) {
            auto folder = [&](WizardBox box) {
                const std::string& t = boxes[box].text;
                return t.empty() ? t : platform.HostPath(t);
            };
            s.out << "DataPath=" << folder(WizardBox::DataPath) << "\n"
                  << "MailDataPath=" << folder(WizardBox::MailDataPath) << "\n"
                  << "UserPath=" << folder(WizardBox::UserPath) << "\n"
                  << "FormPath=" << folder(WizardBox::FormPath) << "\n"
                  << "DBServer=" << boxes[WizardBox::DBServer].text << "\n"
                  << "DBName=" << boxes[WizardBox::DBName].text << "\n"
                  << "InvoicingVersion=" << wizard.DBConnect().InvoicingVersion.ToString() << "\n"
                  << "MailProductVersion=" << wizard.DBConnect().MailProductVersion.ToString() << "\n";
            return ExitOk;
        }
        wizard.DBConnect().Embedded = o.embedded;
        if (auto failure = wizard.Next02()) {
            s.err << failure->message << "\n";
            return ExitUsage;
        }
        CliPrompts prompts(s.in, s.out, s.err, s.interactive);
        prompts.answers = o.answers;
        prompts.yesToAll = o.yesToAll;
        wizard.StartImport(run, counters, prompts);
        view.Flush();
        return ExitOk;
    } catch (const EAbort&) {
        view.Flush();
        s.err << "Der Import wurde abgebrochen.\n";
        return ExitFailure;
    } catch (const std::exception& e) {
        view.Flush();
        ReportFailure(e, wizard, view, s.err);
        return ExitFailure;
    }
}

int RunWizardCommand(const std::vector<std::string>& args, RunController& run) {
    bool interactive = ::isatty(0) && ::isatty(2);
    CliStreams streams{std::cin, std::cout, std::cerr, interactive, ::isatty(1) != 0};
    if (winsize size{}; streams.terminalOut && ::ioctl(1, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        streams.terminalWidth = size.ws_col;
    }
    return RunWizardCommand(args, CurrentPlatform(), AppFolders::FromProcess(), run, streams);
}

} // namespace zbpv

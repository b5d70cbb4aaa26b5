#include "app/import_run_controller.h"

#include "app/progress.h"
#include "app/user_prompts.h"
#include "app/wizard_model.h"
#include "dbaccess/sql_generator.h"
#include "invoicing/import_run.h"
#include "invoicing/paradox_source.h"
#include "support/ansi.h"
#include "support/format_settings.h"
#include "support/program_folder.h"

#include <iomanip>
#include <ostream>

namespace zbpv {

namespace {

// The run's texts carry "<B>" mark-up and CR LF line breaks; the prompts take plain paragraphs and a
// bold first paragraph as a flag.
Prompt ToPrompt(const std::string& name, const std::string& text, PromptIcon icon, PromptButtons buttons,
                PromptAnswer def) {
    Prompt p;
    p.name = name;
    p.icon = icon;
    p.buttons = buttons;
    p.defaultAnswer = def;
    std::string t = text;
    for (size_t pos; (pos = t.find("\r\n")) != std::string::npos;)
        t.erase(pos, 1);
    if (t.rfind("<B>", 0) == 0) {
        size_t end = t.find("</B>");
        size_t para = t.find("\n\n");
        p.boldHeadline = end != std::string::npos && (para == std::string::npos || end < para);
    }
    for (const char* tag : {"<B>", "</B>", "<b>", "</b>"})
        for (size_t pos; (pos = t.find(tag)) != std::string::npos;)
            t.erase(pos, std::char_traits<char>::length(tag));
    p.text = t;
    return p;
}

class PromptsBridge : public IRunPrompts {
public:
    explicit PromptsBridge(UserPrompts& p) : p_(p) {}
    TMsgAnswer Ask(const TQuestion& q) override {
        PromptIcon icon = q.Icon == TMsgIcon::Warning    ? PromptIcon::Warning
                          : q.Icon == TMsgIcon::Error    ? PromptIcon::Error
                          : q.Icon == TMsgIcon::Question ? PromptIcon::Question
                                                         : PromptIcon::Information;
        PromptAnswer def = q.Default == TMsgAnswer::Yes      ? PromptAnswer::Yes
                           : q.Default == TMsgAnswer::Cancel ? PromptAnswer::Cancel
                                                             : PromptAnswer::No;
        switch (p_.Ask(ToPrompt(q.Name, q.Text, icon,
                                q.WithCancel ? PromptButtons::YesNoCancel : PromptButtons::YesNo, def))) {
        case PromptAnswer::Yes:
            return TMsgAnswer::Yes;
        case PromptAnswer::Cancel:
            return TMsgAnswer::Cancel;
        default:
            return TMsgAnswer::No;
        }
    }
    void ShowInformation(const std::string& title, const std::string& text) override {
        std::string t = title.empty() ? text : "<B>" + title + "</B>\r\n\r\n" + text;
        p_.Ask(ToPrompt("", t, PromptIcon::Information, PromptButtons::Ok, PromptAnswer::Ok));
    }

private:
    UserPrompts& p_;
};

class ProgressBridge : public IRunProgress {
public:
    explicit ProgressBridge(ImportCounters& c) : c_(c) {}
    void StartCounter(const std::string& counter, const std::string& total, long long n) override {
        c_.StartCounter(counter, total, n);
    }
    void StepCounter(const std::string& panel) override { c_.StepCounter(panel); }
    // The contact persons' total is shown as a plain number.
    void ShowTotal(const std::string& panel, long long n) override {
        c_.View().SetPanelText(panel, std::to_string(n));
    }
    void ShowPassLabel(const std::string& label) override { c_.ShowPassLabel(label); }
    void ImportKeyProgress(const std::string& key) override { c_.ImportKeyProgress(key); }
    void ProcessMessages() override { c_.View().ProcessMessages(); }
    void StepStarted(const std::string& step) override { c_.View().StepStarted(step); }
    void BeginBusy() override { c_.BeginBusy(); }
    void EndBusy() override { c_.EndBusy(); }

private:
    ImportCounters& c_;
};

void PrintSummary(std::ostream& out, TImportRun& run) {
    const TRunReport& r = run.Report();
    out << "\nQuelltabelle          gelesen\n";
    for (const auto& [t, n] : r.Read())
        out << std::left << std::setw(20) << t << std::right << std::setw(10) << FormatThousands(n) << "\n";
    out << "\nZieltabelle       geschrieben\n";
    for (const auto& [t, n] : r.Written())
        out << std::left << std::setw(20) << t << std::right << std::setw(10) << FormatThousands(n) << "\n";
    out << "\nAbgewiesene Datensätze: " << FormatThousands(static_cast<long long>(r.RefusedCount()));
    if (!run.ReportPath().empty())
        out << " (" << run.ReportPath().string() << ")";
    out << "\n";
}

} // namespace

void ImportRunController::RunImport(RunEnvironment& env) {
    WizardModel& w = env.wizard;
    TSQLGenerator lfdnr(&w.ndpMain, "GEN_LFDNR", true);
    TProviderTarget target(w.ndpMain, lfdnr);
    TParadoxOpener opener;
    PromptsBridge prompts(env.prompts);
    ProgressBridge progress(env.counters);

    TRunSettings s;
    s.ImportSelection = w.Selection();
    ImportPaths paths = w.Paths();
    s.DataPath = paths.dataPath;
    s.MailDataPath = paths.mailDataPath;
    s.UserPath = paths.userPath;
    s.FormPath = paths.formPath;
    s.Cache = w.UseCache();
    s.LogFolder = ProgramFolder() / "Log";
    TRunHooks hooks;
    hooks.SaveOptions = [&] {
        w.SaveOptions();
    };
    hooks.DisableRunControls = [&] {
        w.DisableRunControls();
    };
    hooks.EnableLogCheck = [&] {
        w.EnableLogCheckAfterRun();
    };

    TImportRun run(s, target, opener, prompts, progress, hooks);
    w.ActiveProcedure.clear();
    bool done = false;
    try {
        done = run.Execute();
    } catch (...) {
        // The clean-up has cleared the step and the key; the error report needs them.
        w.ActiveProcedure = run.FailedProcedure();
        env.counters.ImportKeyProgress(run.FailedKey());
        w.AddressesEmptied = run.AddressesEmptied();
        throw;
    }
    if (!done)
        throw EAbort();
    w.AddressesEmptied = run.AddressesEmptied();
    w.ArchiveMails = run.ArchiveMails();
    if (Summary)
        PrintSummary(*Summary, run);
}

void ImportRunController::RunBillOfMaterials(RunEnvironment&) {
    // The bill-of-materials step belongs to the article import, which this build does not have yet.
}

void ImportRunController::CheckPvLog(const std::string&, UserPrompts&) {}

} // namespace zbpv

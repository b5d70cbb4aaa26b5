#pragma once
// Where "Import starten", the bill-of-materials shortcut and the log check hand over to the run.

#include "support/errors.h" // EAbort: a run ended on purpose, without a message

#include <string>

namespace zbpv {

class WizardModel;
class ImportCounters;
class UserPrompts;

// What a run works with: the wizard's state (selection, paths, target, options, actions), the counters
// of page 3 and the questions to the user.
struct RunEnvironment {
    WizardModel& wizard;
    ImportCounters& counters;
    UserPrompts& prompts;
};

class RunController {
public:
    virtual ~RunController() = default;
    // btnImportClick: the invoicing and mail-office run on page 3. Failures propagate as exceptions
    // (EAbort silently); the wizard stays on page 3.
    virtual void RunImport(RunEnvironment& env) = 0;
    // Ctrl+Alt+Shift+S on page 3, after the user said Yes: prepare the run, import only the bills of
    // materials, finish the run in every case.
    virtual void RunBillOfMaterials(RunEnvironment& env) = 0;
    // actCheckPVLog: the mail-office log check over the log file of the import (`logfileName` empty:
    // the import's default log).
    virtual void CheckPvLog(const std::string& logfileName, UserPrompts& prompts) = 0;
};

// The controller until the run is built: every entry point does nothing.
class IdleRunController : public RunController {
public:
    void RunImport(RunEnvironment&) override {}
    void RunBillOfMaterials(RunEnvironment&) override {}
    void CheckPvLog(const std::string&, UserPrompts&) override {}
};

} // namespace zbpv

#pragma once
// The run behind "Import starten" and zbpv-import: the invoicing run on the wizard's provider, its
// questions through the wizard's prompts and its counters on page 3.

#include "app/run_controller.h"

#include <iosfwd>

namespace zbpv {

class ImportRunController : public RunController {
public:
    // Where the table of rows read and written goes after a run (the command line); none by default.
    std::ostream* Summary = nullptr;

    void RunImport(RunEnvironment& env) override;
    void RunBillOfMaterials(RunEnvironment& env) override;
    void CheckPvLog(const std::string& logfileName, UserPrompts& prompts) override;
};

} // namespace zbpv

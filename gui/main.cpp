// zbpv-wizard: the desktop import wizard.

#include "app/app_folders.h"
#include "app/prg_data.h"
#include "app/import_run_controller.h"
#include "app/wizard_model.h"
#include "gui/error_dialog.h"
#include "gui/exception_routing.h"
#include "gui/import_form.h"
#include "platform/platform.h"
#include "support/error_report.h"
#include "support/format_settings.h"

int main(int argc, char** argv) {
    using namespace zbpv;
    TReportingApplication app(argc, argv);
    QApplication::setApplicationName(WizardModel::ApplicationTitle);
    QApplication::setApplicationDisplayName(WizardModel::ApplicationTitle);
    SetGlobalFormatSettings(FormatSettings::FromLocale());
    TExceptionManager manager(WizardModel::ApplicationTitle);
    manager.SetBuildTimeStamp(ZBPV_COMPILE_TIME_STAMP());
    InstallExceptionDialog(manager);

    WizardModel model(CurrentPlatform(), TPrgData::Instance(), AppFolders::FromProcess(), "zbpv-wizard");
    ImportRunController run;
    int rc = 1;
    GuardHandler(nullptr, [&] {
        TfrmImport form(model, run);
        form.show();
        rc = QApplication::exec();
    });
    return rc;
}

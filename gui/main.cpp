// zbpv-wizard: the desktop import wizard.

#include "app/app_folders.h"
#include "app/prg_data.h"
#include "app/run_controller.h"
#include "app/wizard_model.h"
#include "gui/exception_routing.h"
#include "gui/import_form.h"
#include "platform/platform.h"
#include "support/format_settings.h"

#include <QMessageBox>

int main(int argc, char** argv) {
    using namespace zbpv;
    WizardApplication app(argc, argv);
    QApplication::setApplicationName(WizardModel::ApplicationTitle);
    QApplication::setApplicationDisplayName(WizardModel::ApplicationTitle);
    SetGlobalFormatSettings(FormatSettings::FromLocale());
    ExceptionRouting::SetReporter([](const std::exception&, const std::string& message) {
        QMessageBox::critical(nullptr, QString("%1 - Anwendungsfehler").arg(WizardModel::ApplicationTitle),
                              QString::fromStdString(message));
    });

    AppFolders folders = AppFolders::FromProcess();
    WizardModel model(CurrentPlatform(), TPrgData::Instance(), folders, "zbpv-wizard");
    IdleRunController run;
    int rc = 1;
    ExceptionRouting::Guard([&] {
        TfrmImport form(model, run);
        form.show();
        rc = QApplication::exec();
    });
    return rc;
}

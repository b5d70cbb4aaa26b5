#pragma once
// TfrmImport: the three-page import wizard window over the widget-free WizardModel.

#include "app/progress.h"
#include "app/wizard_model.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTextEdit;
class QToolButton;

namespace zbpv {

class RunController;
class TExceptionManager;
class UserPrompts;

class TfrmImport : public QWidget, public ProgressView {
    Q_OBJECT
public:
    // `prompts` answers the form's questions (message boxes when none is given).
    TfrmImport(WizardModel& model, RunController& run, UserPrompts* prompts = nullptr,
               QWidget* parent = nullptr);
    ~TfrmImport() override;

    WizardModel& Model() { return model_; }
    ImportCounters& Counters() { return *counters_; }
    // The database file dialog as btnDBNameClick runs it.
    QFileDialog* CreateDBNameDialog();
    // AppendExceptionContext with the key shown in lblKeyValue.
    std::string AppendExceptionContext(std::string_view message) const;
    // The folder browser used by the path buttons (replaceable for tests).
    std::function<QString(QWidget*, const QString&)> BrowseFolder;

    // ProgressView
    void SetPanelText(std::string_view panel, std::string_view text) override;
    std::string PanelText(std::string_view panel) const override;
    void ShowPassLabel(std::string_view label) override;
    void SetKeyText(std::string_view key) override;
    std::string KeyText() const override;
    void ProcessMessages() override;
    void SetBusy(bool busy) override;

public slots:
    void cbxPvImportClick();
    void btnNext01Click();
    void btnNext02Click();
    void btnBack03Click();
    void btnClose03Click();
    void btnImportClick();
    void btnDataPathClick();
    void btnMailDataPathClick();
    void btnUserPathClick();
    void btnFormPathClick();
    void btnDBNameClick();
    void actCheckPVLogExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildStartPage();
    QWidget* BuildPathsPage();
    QWidget* BuildImportPage();
    QAction* MakeAction(const char* name, const QString& caption, void (TfrmImport::*handler)());
    QComboBox* Combo(WizardBox box) const;
    void BrowsePath(WizardBox box);
    void SyncFromModel();
    void BoxesToModel();
    void BoxesFromModel();
    void FitWindow();

    WizardModel& model_;
    RunController& run_;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_;
    std::unique_ptr<ImportCounters> counters_;
    bool centred_ = false;
    TExceptionManager* manager_ = nullptr;

    QStackedWidget* pctMain_ = nullptr;
    QLabel* lblTopInfo_ = nullptr;
    QCheckBox* cbxPvImport_ = nullptr;
    QCheckBox* cbxVBImport_ = nullptr;
    QLabel* lblZBImportinfo_ = nullptr;
    QFrame* panFirstHint_ = nullptr;
    QLabel* lblFirstHint_ = nullptr;
    QLabel* lblDirChoice_ = nullptr;
    QGroupBox* gbxPaths_ = nullptr;
    QHash<int, QComboBox*> combos_;
    QHash<int, QList<QWidget*>> pathRows_;
    QLabel* lblImportHint_ = nullptr;
    QLabel* lblHeader1_ = nullptr;
    QLabel* lblHeader2_ = nullptr;
    QLabel* lblKeyValue_ = nullptr;
    QCheckBox* cbxCache_ = nullptr;
    QTextEdit* richEdit_ = nullptr;
    QPushButton* btnClose01_ = nullptr;
    QHash<QString, QLabel*> panels_;
    QHash<QString, QLabel*> passLabels_;

    QAction* actBack_ = nullptr;
    QAction* actNext01_ = nullptr;
    QAction* actNext02_ = nullptr;
    QAction* actClose_ = nullptr;
    QAction* actImport_ = nullptr;
    QAction* actCheckPVLog_ = nullptr;
};

// Rich text of a mark-up label.
QString MarkupText(const std::string& markup);

} // namespace zbpv

#include "gui/import_form.h"

#include "app/counter_rows.h"
#include "app/markup.h"
#include "app/run_controller.h"
#include "gui/exception_routing.h"
#include "gui/folder_dialog.h"
#include "gui/message_boxes.h"
#include "support/error_report.h"
#include "support/format_settings.h"
#include "support/logfile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace zbpv {

QString MarkupText(const std::string& markup) {
    // The labels align their lines with blanks, so blanks are kept.
    return "<span style=\"white-space:pre\">" + QString::fromStdString(MarkupToHtml(markup)) + "</span>";
}

namespace {

constexpr int kMargin = 15; // window edge to the buttons, as the form fits itself around btnClose01

QLabel* MarkupLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, QAction* action) {
    auto* button = new QPushButton(action->text(), parent);
    button->setObjectName(name);
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    return button;
}

QFrame* HintPanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    panel->setPalette(pal);
    return panel;
}

QLabel* CounterPanel(QWidget* parent, const char* name) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panel->setMinimumWidth(62);
    panel->setMargin(1);
    return panel;
}

} // namespace

TfrmImport::TfrmImport(WizardModel& model, RunController& run, UserPrompts* prompts, QWidget* parent)
    : QWidget(parent), model_(model), run_(run) {
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtUserPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    counters_ = std::make_unique<ImportCounters>(*this, GlobalFormatSettings().thousandSeparator);
    BrowseFolder = [](QWidget* owner, const QString& start) {
        return BrowseForFolder(owner, start);
    };

    setObjectName("frmImport");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont("Tahoma", 8));

    actBack_ = MakeAction("actBack", "&Zurück", &TfrmImport::btnBack03Click);
    actNext01_ = MakeAction("actNext01", "&Weiter", &TfrmImport::btnNext01Click);
    actNext02_ = MakeAction("actNext02", "&Weiter", &TfrmImport::btnNext02Click);
    actClose_ = MakeAction("actClose", "S&chließen", &TfrmImport::btnClose03Click);
    actImport_ = MakeAction("actImport", "&Import starten", &TfrmImport::btnImportClick);
    actCheckPVLog_ =
        MakeAction("actCheckPVLog", "Postiverso-Import: Logfile prüfen", &TfrmImport::actCheckPVLogExecute);
    actCheckPVLog_->setToolTip(actCheckPVLog_->text());
    actCheckPVLog_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L));
    actCheckPVLog_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    addAction(actCheckPVLog_);

    pctMain_ = new QStackedWidget(this);
    pctMain_->setObjectName("pctMain");
    pctMain_->addWidget(BuildStartPage());
    pctMain_->addWidget(BuildPathsPage());
    pctMain_->addWidget(BuildImportPage());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pctMain_);

    // FormCreate
    model_.Create(cbxCache_->isChecked());
    model_.OnStateChanged = [this] {
        SyncFromModel();
    };
    if (model_.DebugLogFile) {
        auto log = std::make_shared<TosLogfile>(model_.DebugLogFile->string());
        counters_->DebugLog = [log](const std::string& line) {
            log->Add(line);
        };
    }
    // The exception reporter asks the form for the running step and the key before it shows an error.
    if ((manager_ = TExceptionManager::Instance())) {
        manager_->SetOnException([this](void*, const std::exception&, std::string& message) {
            message = AppendExceptionContext(message);
        });
    }
    qApp->installEventFilter(this); // key preview: the form sees key presses before its controls
    BoxesFromModel();
    SyncFromModel();
    FitWindow();
}

TfrmImport::~TfrmImport() {
    qApp->removeEventFilter(this);
    if (manager_ && manager_ == TExceptionManager::Instance()) {
        manager_->SetOnException(nullptr);
    }
    model_.OnStateChanged = nullptr;
}

QAction* TfrmImport::MakeAction(const char* name, const QString& caption, void (TfrmImport::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this,
            [this, handler] { GuardHandler(this, [&] { (this->*handler)(); }); });
    return action;
}

QWidget* TfrmImport::BuildStartPage() {
    auto* page = new QWidget;
    page->setObjectName("tshVBPVImportStart");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(kMargin, 12, kMargin, kMargin);

    lblTopInfo_ = MarkupLabel(page, "lblTopInfo");
    v->addWidget(lblTopInfo_);
    v->addSpacing(8);

    auto* gbx = new QGroupBox("Bitte wählen Sie, welche Daten Sie übernehmen möchten:", page);
    gbx->setObjectName("gbxImport");
    auto* g = new QVBoxLayout(gbx);
    cbxPvImport_ = new QCheckBox(gbx);
    cbxPvImport_->setObjectName("cbxPvImport");
    cbxPvImport_->setProperty("Tag", 16);
    cbxVBImport_ = new QCheckBox(gbx);
    cbxVBImport_->setObjectName("cbxVBImport");
    cbxVBImport_->setProperty("Tag", 1);
    for (QCheckBox* c : {cbxPvImport_, cbxVBImport_}) {
        connect(c, &QCheckBox::clicked, this, [this] { GuardHandler(this, [this] { cbxPvImportClick(); }); });
        g->addWidget(c);
    }
    lblZBImportinfo_ = new QLabel(gbx);
    lblZBImportinfo_->setObjectName("lblZBImportinfo");
    lblZBImportinfo_->setContentsMargins(20, 0, 0, 0);
    g->addWidget(lblZBImportinfo_);
    g->addStretch();
    panFirstHint_ = HintPanel(gbx, "panFirstHint");
    auto* h = new QHBoxLayout(panFirstHint_);
    h->setContentsMargins(6, 4, 6, 4);
    lblFirstHint_ = MarkupLabel(panFirstHint_, "lblFirstHint");
    h->addWidget(lblFirstHint_);
    panFirstHint_->hide();
    g->addWidget(panFirstHint_);
    v->addWidget(gbx, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button(page, "btnNext01", actNext01_));
    btnClose01_ = Button(page, "btnClose01", actClose_);
    buttons->addWidget(btnClose01_);
    v->addSpacing(8);
    v->addLayout(buttons);
    return page;
}

QWidget* TfrmImport::BuildPathsPage() {
    auto* page = new QWidget;
    page->setObjectName("tshAuswahl");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(kMargin, 12, kMargin, kMargin);

    lblDirChoice_ = new QLabel(page);
    lblDirChoice_->setObjectName("lblDirChoice");
    QFont bold = lblDirChoice_->font();
    bold.setBold(true);
    lblDirChoice_->setFont(bold);
    v->addWidget(lblDirChoice_);
    v->addSpacing(8);

    auto makeRow = [&](QGridLayout* grid, int row, WizardBox box, const char* caption, const char* buttonName,
                       void (TfrmImport::*handler)(), const char* actionName) {
        auto* label = new QLabel(QString::fromUtf8(caption), grid->parentWidget());
        label->setObjectName(QString("lbl") + (BoxObjectName(box) + 3));
        auto* combo = new QComboBox(grid->parentWidget());
        combo->setObjectName(BoxObjectName(box));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(15);
        combo->setMinimumContentsLength(20);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        label->setBuddy(combo);
        grid->addWidget(label, row, 0);
        grid->addWidget(combo, row, 1);
        combos_[static_cast<int>(box)] = combo;
        QList<QWidget*> widgets{label, combo};
        if (buttonName) {
            QAction* action = MakeAction(actionName, QString(), handler);
            action->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
            auto* button = new QToolButton(grid->parentWidget());
            button->setObjectName(buttonName);
            button->setDefaultAction(action);
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            grid->addWidget(button, row, 2);
            widgets << button;
        }
        pathRows_[static_cast<int>(box)] = widgets;
    };

    gbxPaths_ = new QGroupBox("Quelle", page);
    gbxPaths_->setObjectName("gbxPaths");
    auto* paths = new QGridLayout(gbxPaths_);
    paths->setVerticalSpacing(3);
    paths->setColumnStretch(1, 1);
    makeRow(paths, 0, WizardBox::DataPath, "&Daten-Pfad", "btnDataPath", &TfrmImport::btnDataPathClick,
            "actDataPath");
    makeRow(paths, 1, WizardBox::MailDataPath, "&Maildaten-Pfad", "btnMailDataPath",
            &TfrmImport::btnMailDataPathClick, "actMailDataPath");
    makeRow(paths, 2, WizardBox::UserPath, "&User-Pfad", "btnUserPath", &TfrmImport::btnUserPathClick,
            "actUserPath");
    makeRow(paths, 3, WizardBox::FormPath, "&Formular-Pfad", "btnFormPath", &TfrmImport::btnFormPathClick,
            "actFormPath");
    v->addWidget(gbxPaths_);

    auto* gbxZiel = new QGroupBox("Ziel", page);
    gbxZiel->setObjectName("gbxZiel");
    auto* target = new QGridLayout(gbxZiel);
    target->setVerticalSpacing(3);
    target->setColumnStretch(1, 1);
    makeRow(target, 0, WizardBox::DBServer, "DB-&Server", nullptr, nullptr, nullptr);
    makeRow(target, 1, WizardBox::DBName, "DB-&Name", "btnDBName", &TfrmImport::btnDBNameClick, "actDBName");
    v->addWidget(gbxZiel);
    v->addStretch();

    auto* panImportHint = HintPanel(page, "panImportHint");
    auto* h = new QHBoxLayout(panImportHint);
    h->setContentsMargins(6, 4, 6, 4);
    lblImportHint_ = MarkupLabel(panImportHint, "lblImportHint");
    h->addWidget(lblImportHint_);
    v->addWidget(panImportHint);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button(page, "btnBack02", actBack_));
    buttons->addWidget(Button(page, "btnNext02", actNext02_));
    buttons->addWidget(Button(page, "btnClose02", actClose_));
    v->addSpacing(8);
    v->addLayout(buttons);
    return page;
}

QWidget* TfrmImport::BuildImportPage() {
    auto* page = new QWidget;
    page->setObjectName("tshImportBillora");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(kMargin, 8, kMargin, kMargin);
    v->setSpacing(4);

    auto* header = new QFrame(page);
    header->setObjectName("panHeader");
    header->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* hh = new QHBoxLayout(header);
    hh->setContentsMargins(6, 3, 6, 3);
    hh->setSpacing(0); // lblHeader2 starts at the right edge of lblHeader1
    lblHeader1_ = MarkupLabel(header, "lblHeader1");
    lblHeader2_ = MarkupLabel(header, "lblHeader2");
    lblHeader1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblHeader2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hh->addWidget(lblHeader1_);
    hh->addWidget(lblHeader2_, 1);
    v->addWidget(header);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(18);
    QGridLayout* grids[2];
    for (int c = 0; c < 2; ++c) {
        grids[c] = new QGridLayout;
        grids[c]->setVerticalSpacing(1);
        grids[c]->setHorizontalSpacing(4);
        grids[c]->setColumnStretch(0, 1);
        // Room for the second-pass labels, which appear only during the run.
        grids[c]->setColumnMinimumWidth(1, QFontMetrics(font()).horizontalAdvance("2. Lauf") + 4);
        int col = 0;
        for (const char* heading : {"Datenbank", "", "Bearbeitet", "Gesamtanzahl"}) {
            auto* label = new QLabel(QString::fromUtf8(heading), page);
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
            grids[c]->addWidget(label, 0, col++);
        }
        columns->addLayout(grids[c], 1);
    }
    int rows[2] = {1, 1};
    for (const CounterRow& row : CounterRows()) {
        QGridLayout* grid = grids[row.column];
        int r = rows[row.column]++;
        auto* caption = new QLabel(QString::fromUtf8(row.caption), page);
        caption->setObjectName(QString("lbl") + (row.panel + 3));
        grid->addWidget(caption, r, 0);
        if (*row.passLabel) {
            auto* pass =
                new QLabel(std::string_view(row.passLabel) == "lblEMail2ndRun" ? "2.Lauf" : "2. Lauf", page);
            pass->setObjectName(row.passLabel);
            QPalette pal = pass->palette();
            pal.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
            pass->setPalette(pal);
            pass->hide();
            passLabels_[row.passLabel] = pass;
            grid->addWidget(pass, r, 1);
        }
        QLabel* count = CounterPanel(page, row.panel);
        panels_[row.panel] = count;
        grid->addWidget(count, r, 2);
        if (*row.total) {
            QLabel* total = CounterPanel(page, row.total);
            panels_[row.total] = total;
            grid->addWidget(total, r, 3);
        }
    }
    for (int c = 0; c < 2; ++c) {
        grids[c]->setRowStretch(rows[c], 1); // both columns start at the top, row by row level
    }
    v->addLayout(columns);

    auto* key = new QFrame(page);
    key->setObjectName("panKeyProgress");
    key->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* kh = new QHBoxLayout(key);
    kh->setContentsMargins(2, 2, 2, 2);
    kh->setSpacing(0);
    auto* keyCaption = new QLabel(" Eingelesener Datensatz: ", key);
    keyCaption->setObjectName("lblSchluesselwert");
    lblKeyValue_ = new QLabel(key);
    lblKeyValue_->setObjectName("lblKeyValue");
    kh->addWidget(keyCaption);
    kh->addWidget(lblKeyValue_, 1);
    v->addWidget(key);

    auto* bottom = new QHBoxLayout;
    cbxCache_ = new QCheckBox("&Beschleunigung durch Speichercache", page);
    cbxCache_->setObjectName("cbxCache");
    cbxCache_->setChecked(true);
    connect(cbxCache_, &QCheckBox::toggled, this, [this](bool on) { model_.SetUseCache(on); });
    bottom->addWidget(cbxCache_);
    auto* logButton = new QToolButton(page);
    logButton->setObjectName("btnCheckPVLog");
    logButton->setDefaultAction(actCheckPVLog_);
    logButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    logButton->setAutoRaise(true); // flat
    bottom->addWidget(logButton);
    bottom->addStretch();
    bottom->addWidget(Button(page, "btnBack03", actBack_));
    bottom->addWidget(Button(page, "btnImport", actImport_));
    bottom->addWidget(Button(page, "btnClose03", actClose_));
    v->addSpacing(4);
    v->addLayout(bottom);

    richEdit_ = new QTextEdit(page);
    richEdit_->setObjectName("RichEdit");
    richEdit_->hide();
    return page;
}

void TfrmImport::FitWindow() {
    // The design size, or more when this platform's fonts need it; never smaller than that.
    QSize hint = minimumSizeHint().expandedTo(sizeHint());
    for (int i = 0; i < pctMain_->count(); ++i) {
        hint = hint.expandedTo(pctMain_->widget(i)->sizeHint());
    }
    QSize size = hint.expandedTo(QSize(578, 444));
    setMinimumSize(size);
    resize(size);
}

void TfrmImport::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (QScreen* screen = this->screen()) {
            QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
}

QComboBox* TfrmImport::Combo(WizardBox box) const {
    return combos_.value(static_cast<int>(box));
}

void TfrmImport::BoxesToModel() {
    for (WizardBox box : AllWizardBoxes) {
        model_.Boxes()[box].text = Combo(box)->currentText().toStdString();
    }
}

void TfrmImport::BoxesFromModel() {
    for (WizardBox box : AllWizardBoxes) {
        QComboBox* combo = Combo(box);
        const HistoryCombo& h = model_.Boxes()[box];
        QStringList items;
        for (const std::string& item : h.items) {
            items << QString::fromStdString(item);
        }
        combo->blockSignals(true);
        combo->clear();
        combo->addItems(items);
        combo->setEditText(QString::fromStdString(h.text));
        combo->blockSignals(false);
    }
}

void TfrmImport::SyncFromModel() {
    setWindowTitle(QString::fromStdString(model_.WindowCaption()));
    lblTopInfo_->setText(MarkupText(model_.TopInfo()));
    cbxPvImport_->setText(QString::fromStdString(model_.PvImportCaption()));
    cbxVBImport_->setText(QString::fromStdString(model_.VbImportCaption()));
    cbxPvImport_->setChecked(model_.PvImportChecked());
    cbxVBImport_->setChecked(model_.VbImportChecked());
    lblZBImportinfo_->setText(QString::fromStdString(model_.ZbImportInfo()));
    lblFirstHint_->setText(MarkupText(model_.FirstHintText()));
    panFirstHint_->setVisible(model_.FirstHintVisible());
    actNext01_->setEnabled(model_.Next01Enabled());

    lblDirChoice_->setText(QString::fromStdString(model_.DirChoice()));
    gbxPaths_->setTitle(QString::fromStdString(model_.PathsGroupCaption()));
    for (QWidget* w : pathRows_.value(static_cast<int>(WizardBox::MailDataPath))) {
        w->setVisible(model_.MailDataRowVisible());
    }
    for (QWidget* w : pathRows_.value(static_cast<int>(WizardBox::UserPath))) {
        w->setVisible(model_.UserRowVisible());
    }
    lblImportHint_->setText(MarkupText(model_.ImportHintText()));

    lblHeader1_->setText(MarkupText(model_.Header1()));
    lblHeader2_->setText(MarkupText(model_.Header2()));
    const WizardActions& actions = model_.Actions();
    actBack_->setEnabled(actions.back);
    actImport_->setEnabled(actions.import);
    actCheckPVLog_->setEnabled(actions.checkPvLog);
    cbxCache_->setEnabled(actions.cache);
    cbxCache_->setChecked(model_.UseCache());
    pctMain_->setCurrentIndex(static_cast<int>(model_.Page()));
}

void TfrmImport::cbxPvImportClick() {
    model_.SetSelection(cbxPvImport_->isChecked(), cbxVBImport_->isChecked());
    SyncFromModel();
}

void TfrmImport::btnNext01Click() {
    if (!model_.Next01()) {
        QApplication::beep();
        return;
    }
    BoxesFromModel();
    SyncFromModel();
}

void TfrmImport::btnNext02Click() {
    BoxesToModel();
    auto failure = model_.Next02();
    BoxesFromModel(); // the normalised texts
    if (failure) {
        QComboBox* combo = Combo(failure->focus);
        combo->setFocus();
        prompts_->ShowError(failure->message);
        combo->setFocus();
        return;
    }
    SyncFromModel();
}

void TfrmImport::btnBack03Click() {
    BoxesToModel();
    model_.Back();
    SyncFromModel();
}

void TfrmImport::btnClose03Click() {
    close();
    QCoreApplication::quit();
}

void TfrmImport::btnImportClick() {
    model_.SetUseCache(cbxCache_->isChecked());
    struct Resync {
        TfrmImport* form;
        ~Resync() {
            form->BoxesFromModel(); // the histories after SaveOptions
            form->SyncFromModel();
        }
    } resync{this};
    model_.StartImport(run_, *counters_, *prompts_);
}

void TfrmImport::BrowsePath(WizardBox box) {
    QComboBox* combo = Combo(box);
    combo->setEditText(BrowseFolder(this, combo->currentText()));
}

void TfrmImport::btnDataPathClick() {
    BrowsePath(WizardBox::DataPath);
}
void TfrmImport::btnMailDataPathClick() {
    BrowsePath(WizardBox::MailDataPath);
}
void TfrmImport::btnUserPathClick() {
    BrowsePath(WizardBox::UserPath);
}
void TfrmImport::btnFormPathClick() {
    BrowsePath(WizardBox::FormPath);
}

QFileDialog* TfrmImport::CreateDBNameDialog() {
    auto* dialog = new QFileDialog(this, "Datenbankauswahl");
    dialog->setObjectName("odDBName");
    dialog->setNameFilter("Firebird Datenbanken (*.fdb)");
    dialog->setDefaultSuffix("fdb");
    dialog->setFileMode(QFileDialog::ExistingFile); // path and file must exist
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setSizeGripEnabled(true);
    QString current = Combo(WizardBox::DBName)->currentText();
    dialog->selectFile(current.isEmpty() ? ".fdb" : current);
    return dialog;
}

void TfrmImport::btnDBNameClick() {
    std::unique_ptr<QFileDialog> dialog(CreateDBNameDialog());
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        Combo(WizardBox::DBName)->setEditText(dialog->selectedFiles().first());
    }
}

void TfrmImport::actCheckPVLogExecute() {
    model_.CheckPvLog(run_, *prompts_);
}

std::string TfrmImport::AppendExceptionContext(std::string_view message) const {
    return model_.AppendExceptionContext(message, KeyText());
}

bool TfrmImport::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget)) && isActiveWindow()) {
            auto* key = static_cast<QKeyEvent*>(event);
            Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            if (key->key() == Qt::Key_S &&
                mods == (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)) {
                bool taken = false;
                GuardHandler(this, [&] {
                    struct Resync {
                        TfrmImport* form;
                        ~Resync() { form->SyncFromModel(); }
                    } resync{this};
                    taken = model_.HandleKey('S', true, true, true, run_, *counters_, *prompts_);
                });
                if (taken) {
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmImport::SetPanelText(std::string_view panel, std::string_view text) {
    if (QLabel* label =
            panels_.value(QString::fromUtf8(panel.data(), static_cast<qsizetype>(panel.size())))) {
        label->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        label->repaint();
    }
}

std::string TfrmImport::PanelText(std::string_view panel) const {
    QLabel* label = panels_.value(QString::fromUtf8(panel.data(), static_cast<qsizetype>(panel.size())));
    return label ? label->text().toStdString() : std::string();
}

void TfrmImport::ShowPassLabel(std::string_view name) {
    QLabel* label = passLabels_.value(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (label && label->isHidden()) {
        label->show();
        label->repaint();
    }
}

void TfrmImport::SetKeyText(std::string_view key) {
    lblKeyValue_->setText(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
    lblKeyValue_->repaint();
}

std::string TfrmImport::KeyText() const {
    return lblKeyValue_->text().toStdString();
}

void TfrmImport::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TfrmImport::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

} // namespace zbpv

#include "gui/error_dialog.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>

#include <iostream>
#include <memory>

namespace zbpv {
namespace {

constexpr int kTextLeft = 56;
constexpr int kTextTop = 8;
constexpr int kTextHeight = 75;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kMargin = 8;

const char* const kCopyHint = "Mit Strg+C können Sie die Fehlermeldung in die Zwischenablage kopieren";

// The report keeps CR LF as its files have it; Qt widgets and the clipboard take LF (the clipboard
// of a Windows build converts back).
QString ToQt(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

QString DetailsButtonText(bool visible) {
    return visible ? QStringLiteral("<< &Details") : QStringLiteral("&Details >>");
}

std::string ShortClassName(const char* qualified) {
    std::string name(qualified);
    std::size_t colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::vector<TControlInfo> FocusChain() {
    std::vector<TControlInfo> chain;
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        chain.push_back({ShortClassName(w->metaObject()->className()), w->objectName().toStdString()});
        if (w->isWindow())
            break;
    }
    return chain;
}

std::optional<TScreenInfo> PrimaryScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return TScreenInfo{screen->geometry().width(), screen->geometry().height(), screen->depth()};
}

// Shows what any manager hands over; the dialog open now is the parent of the plain box.
class TQtExceptionPresenter : public IExceptionPresenter {
public:
    void ShowErrorDialog(const TExceptionManager& manager, TErrorReport report) override {
        TExceptionDialog dialog(manager, std::move(report));
        QPointer<TExceptionDialog> previous = current_;
        current_ = &dialog;
        dialog.exec();
        current_ = previous;
    }

    void ShowPlainMessage(const TExceptionManager& manager, const std::string& message) override {
        QWidget* parent = current_ ? static_cast<QWidget*>(current_.data()) : QApplication::activeWindow();
        QMessageBox::critical(parent, QString::fromStdString(manager.ApplicationTitle()), ToQt(message));
    }

private:
    QPointer<TExceptionDialog> current_;
};

TQtExceptionPresenter gPresenter;

TExceptionManager& CurrentManager() {
    if (TExceptionManager* m = TExceptionManager::Instance()) {
        if (!m->Presenter())
            InstallExceptionDialog(*m);
        return *m;
    }
    static TExceptionManager standIn(QGuiApplication::applicationDisplayName().toStdString());
    InstallExceptionDialog(standIn);
    return standIn;
}

} // namespace

TExceptionDialog::TExceptionDialog(const TExceptionManager& manager, TErrorReport report, QWidget* parent)
    : QDialog(parent), manager_(manager), report_(std::move(report)) {
    setObjectName(QStringLiteral("ExceptionDialog"));
    setWindowTitle(QString::fromStdString(manager_.ApplicationTitle()) +
                   QStringLiteral(" - Anwendungsfehler"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    textLabel_ = new QPlainTextEdit(this);
    textLabel_->setObjectName(QStringLiteral("TextLabel"));
    textLabel_->setReadOnly(true);
    textLabel_->setFrameShape(QFrame::NoFrame);
    textLabel_->setToolTip(QString::fromUtf8(kCopyHint));
    textLabel_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette parentColour = textLabel_->palette();
    parentColour.setColor(QPalette::Base, palette().color(QPalette::Window));
    textLabel_->setPalette(parentColour);
    textLabel_->setPlainText(ToQt(report_.Message));

    shpDetails_ = new QFrame(this);
    shpDetails_->setObjectName(QStringLiteral("shpDetails"));
    shpDetails_->setFrameShape(QFrame::Box);
    QPalette shadow = shpDetails_->palette();
    shadow.setColor(QPalette::WindowText, palette().color(QPalette::Dark));
    shpDetails_->setPalette(shadow);

    memDetails_ = new QPlainTextEdit(this);
    memDetails_->setObjectName(QStringLiteral("memDetails"));
    memDetails_->setReadOnly(true);
    memDetails_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memDetails_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memDetails_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPixelSize(12);
    memDetails_->setFont(mono);
    // A hint with an empty short part: only the long part, shown as status text.
    memDetails_->setStatusTip(QString::fromUtf8(kCopyHint));
    memDetails_->setPlainText(ToQt(report_.DetailsText()));

    btnOk_ = new QPushButton(QStringLiteral("&OK"), this);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    btnSave_ = new QPushButton(QStringLiteral("&Speichern"), this);
    btnSave_->setObjectName(QStringLiteral("btnSave"));
    btnDetails_ = new QPushButton(DetailsButtonText(false), this);
    btnDetails_->setObjectName(QStringLiteral("btnDetails"));
    btnDetails_->setToolTip(QStringLiteral("Detailierte Fehler-Informationen anzeigen/verbergen"));
    for (QPushButton* b : {btnOk_, btnSave_, btnDetails_}) {
        b->setEnabled(false);
        b->setAutoDefault(false);
    }
    btnOk_->setDefault(true);
    connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnSave_, &QPushButton::clicked, this, &TExceptionDialog::SaveReport);
    connect(btnDetails_, &QPushButton::clicked, this, [this] { SetDetailsVisible(!detailsVisible_); });

    // Key preview: Ctrl+C reaches the dialog before any control can take it.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    resize(350, 255);
    setMinimumWidth(200);
    SetDetailsVisible(false);
    UpdateMessageScrollBar();
}

int TExceptionDialog::CollapsedHeight() const {
    return btnDetails_->geometry().bottom() + 1 + 5;
}

void TExceptionDialog::LayoutControls() {
    int w = width();
    int buttonLeft = w - kMargin - kButtonWidth;
    btnOk_->setGeometry(buttonLeft, kTextTop, kButtonWidth, kButtonHeight);
    btnSave_->setGeometry(buttonLeft, kTextTop + kButtonHeight + 6, kButtonWidth, kButtonHeight);
    btnDetails_->setGeometry(buttonLeft, kTextTop + 2 * (kButtonHeight + 6), kButtonWidth, kButtonHeight);
    textLabel_->setGeometry(kTextLeft, kTextTop, std::max(20, buttonLeft - 12 - kTextLeft), kTextHeight);
    int memTop = btnDetails_->geometry().bottom() + 1 + kMargin;
    int memHeight = std::max(0, height() - memTop - 5);
    memDetails_->setGeometry(kMargin, memTop, std::max(0, w - 2 * kMargin), memHeight);
    shpDetails_->setGeometry(kMargin - 1, memTop - 1, std::max(0, w - 2 * kMargin) + 2, memHeight + 2);
}

void TExceptionDialog::SetDetailsVisible(bool visible) {
    if (detailsVisible_ && !visible)
        fullHeight_ = height();
    detailsVisible_ = visible;
    btnDetails_->setText(DetailsButtonText(visible));
    LayoutControls();
    int collapsed = CollapsedHeight();
    memDetails_->setVisible(visible);
    shpDetails_->setVisible(visible);
    if (visible) {
        int screenHeight = screen() ? screen()->availableGeometry().height() : 10000;
        setMinimumHeight(collapsed + 100);
        setMaximumHeight(std::max(collapsed + 100, screenHeight));
        resize(width(), std::clamp(fullHeight_, collapsed + 100, std::max(collapsed + 100, screenHeight)));
    } else {
        setMinimumHeight(collapsed);
        setMaximumHeight(collapsed);
        resize(width(), collapsed);
    }
    LayoutControls();
}

void TExceptionDialog::UpdateMessageScrollBar() {
    QFontMetrics fm(textLabel_->font());
    int width =
        std::max(1, textLabel_->viewport()->width() - 2 * int(textLabel_->document()->documentMargin()));
    QRect needed = fm.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, textLabel_->toPlainText());
    int lines = std::max(1, needed.height() / std::max(1, fm.boundingRect(QStringLiteral("Wg")).height()));
    bool tooTall = lines * fm.boundingRect(QStringLiteral("Wg")).height() > textLabel_->height();
    textLabel_->setVerticalScrollBarPolicy(tooTall ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TExceptionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    if (buildPosted_)
        return;
    buildPosted_ = true;
    QApplication::beep();
    // The window shows first; the slow part of the report follows from the event loop.
    QTimer::singleShot(0, this, &TExceptionDialog::BuildReport);
}

void TExceptionDialog::BuildReport() {
    if (report_.Complete)
        return;
    // Whatever happens while the report is built, the dialog ends up usable with what it has.
    struct Finish {
        TExceptionDialog& d;
        ~Finish() {
            d.memDetails_->setPlainText(ToQt(d.report_.DetailsText()));
            d.memDetails_->moveCursor(QTextCursor::Start);
            d.memDetails_->ensureCursorVisible();
            d.memDetails_->setUpdatesEnabled(true);
            for (QPushButton* b : {d.btnOk_, d.btnSave_, d.btnDetails_})
                b->setEnabled(true);
            d.btnOk_->setFocus();
            QApplication::restoreOverrideCursor();
        }
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    memDetails_->setUpdatesEnabled(false);
    Finish finish{*this};
    manager_.CompleteReport(report_);
}

void TExceptionDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutControls();
    UpdateMessageScrollBar();
}

void TExceptionDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this);
    int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    QPainter p(this);
    icon.paint(&p, QRect(textLabel_->x() - size - 15, textLabel_->y(), size, size));
}

bool TExceptionDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept(); // deliver it as a key press, to this filter
                return true;
            }
            CopyReportToClipboard();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TExceptionDialog::CopyReportToClipboard() {
    QGuiApplication::clipboard()->setText(ToQt(report_.ReportText()));
    QApplication::beep();
}

void TExceptionDialog::SaveReport() {
    std::filesystem::path path = zbpv::SaveErrorReport(report_.ReportText());
    QMessageBox::information(this, QStringLiteral("Information"), ToQt(SavedReportMessage(path)));
}

void ShowExceptionDialog(const std::exception& e, QWidget* parent) {
    CurrentManager().HandleException(parent, e);
}

void InstallExceptionDialog(TExceptionManager& manager) {
    manager.SetPresenter(&gPresenter);
    manager.SetScreenSource(&PrimaryScreen);
    manager.SetFocusChainSource(&FocusChain);
}

void ReportThreadException(std::exception_ptr exception, std::string threadDescription) {
    QMetaObject::invokeMethod(
        qApp,
        [exception, threadDescription = std::move(threadDescription)] {
            CurrentManager().HandleThreadException(exception, threadDescription);
        },
        Qt::QueuedConnection);
}

bool TReportingApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        try {
            CurrentManager().HandleCurrentException(receiver);
        } catch (const std::exception& e) {
            // The reporter itself failed; an exception must not leave the event loop.
            std::cerr << e.what() << std::endl;
        } catch (...) {
        }
        return false;
    }
}

} // namespace zbpv

#include "gui/error_dialog.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace zbpv {
namespace {

// One application for the whole test program, torn down before main returns.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<TReportingApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "errreport_gui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TReportingApplication> app_;
};
[[maybe_unused]] const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Throws from its event handler, as a timer or any other message of the wizard may.
class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw Exception("Zeitgeber ausgefallen");
        return QObject::event(e);
    }
};

__attribute__((noinline)) void ThrowFromImportStep() {
    throw EDatabaseError("Tabelle ARTIKEL fehlt");
}

// Runs `action` once the modal widget on top is a `T` for which `ready` holds; gives up after 10 s.
template <class T> void WhenModal(std::function<bool(T*)> ready, std::function<void(T*)> action) {
    auto* timer = new QTimer(qApp);
    auto* waited = new int(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        T* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if ((w && ready(w)) || ++*waited > 1000) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            if (w && ready(w))
                action(w);
        }
    });
    timer->start(10);
}

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};

void CloseNextMessageBox(SeenBox& box) {
    WhenModal<QMessageBox>([](QMessageBox*) { return true; },
                           [&box](QMessageBox* m) {
                               box = {m->windowTitle(), m->text(), m->icon(), true};
                               m->accept();
                           });
}

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QString ToLf(const std::string& s) {
    return QString::fromStdString(s).replace("\r\n", "\n");
}

class ErrorDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() / ("zbpv_errdlg_" + std::to_string(::getpid()));
        std::filesystem::remove_all(home_);
        ::setenv("ZBPV_HOME", home_.c_str(), 1);
        SetClockForTests([] { return EncodeDateTime(2026, 12, 9, 14, 5, 30, 0); });
        InstallExceptionDialog(manager_);
        manager_.SetOnException([](void*, const std::exception&, std::string& m) {
            m += "\r\nActive Procedure: ImportArtikel\r\nKey to Import: 4711";
        });
        window_.setObjectName("frmImport");
        edit_ = new QLineEdit(&window_);
        edit_->setObjectName("edtDataPath");
        window_.show();
        QApplication::setActiveWindow(&window_);
        edit_->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    void TearDown() override {
        SetClockForTests({});
        ::unsetenv("ZBPV_HOME");
        std::filesystem::remove_all(home_);
    }

    TExceptionManager manager_{"Import von ZB7 + PV2"};
    QWidget window_;
    QLineEdit* edit_ = nullptr;
    std::filesystem::path home_;
};

TEST_F(ErrorDialogTest, CopySaveAndASecondExceptionWhileOpen) {
    bool scripted = false;
    WhenModal<TExceptionDialog>(
        [](TExceptionDialog* d) { return d->ReportComplete(); },
        [&](TExceptionDialog* d) {
            scripted = true;
            auto* text = d->findChild<QPlainTextEdit*>("TextLabel");
            auto* details = d->findChild<QPlainTextEdit*>("memDetails");
            auto* ok = d->findChild<QPushButton*>("btnOk");
            auto* save = d->findChild<QPushButton*>("btnSave");
            auto* more = d->findChild<QPushButton*>("btnDetails");
            ASSERT_TRUE(text && details && ok && save && more);
            EXPECT_EQ(d->windowTitle(), "Import von ZB7 + PV2 - Anwendungsfehler");
            EXPECT_EQ(text->toPlainText(),
                      "Tabelle ARTIKEL fehlt\nActive Procedure: ImportArtikel\nKey to Import: 4711.");
            EXPECT_TRUE(ok->isEnabled() && save->isEnabled() && more->isEnabled());
            EXPECT_EQ(d->focusWidget(), ok);
            const QString report = ToLf(d->Report().ReportText());
            EXPECT_TRUE(report.contains("Exception Klasse: EDatabaseError\n"));
            EXPECT_TRUE(report.contains("Stackliste, erzeugt am 09.12.2026 14:05:30\n"));
            EXPECT_TRUE(report.contains("ThrowFromImportStep"));
            EXPECT_TRUE(report.contains("\nBildschirm: "));
            EXPECT_TRUE(report.contains(
                "Hierarchie aktiver Controls:\nQLineEdit \"edtDataPath\"\nQWidget \"frmImport\"\n"));
            EXPECT_EQ(details->toPlainText(), ToLf(d->Report().DetailsText()));

            // Collapsed, the details are hidden and Ctrl+C still copies the whole report.
            EXPECT_FALSE(details->isVisible());
            EXPECT_EQ(d->height(), more->geometry().bottom() + 1 + 5);
            QGuiApplication::clipboard()->clear();
            QTest::keyClick(d, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), report);

            // Expanded, Ctrl+C inside the details box copies the report, not the box's selection.
            QTest::mouseClick(more, Qt::LeftButton);
            EXPECT_TRUE(details->isVisible());
            EXPECT_EQ(more->text(), "<< &Details");
            EXPECT_GE(d->height(), more->geometry().bottom() + 1 + 5 + 100);
            details->setFocus();
            details->selectAll();
            QGuiApplication::clipboard()->clear();
            QTest::keyClick(details, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), report);

            // Save writes the report file and tells where.
            SeenBox saved;
            CloseNextMessageBox(saved);
            QTest::mouseClick(save, Qt::LeftButton);
            std::filesystem::path file = home_ / "Log" / "ERR 2026-09-12 140530.log";
            EXPECT_TRUE(saved.seen);
            EXPECT_EQ(saved.text, "Die Fehlermeldung wurde gespeichert unter:\n\"" +
                                      QString::fromStdString(file.string()) + "\"");
            EXPECT_EQ(ReadAll(file), d->Report().ReportText());

            // An exception of a message handled while the dialog is open: plain box, no second dialog.
            SeenBox plain;
            CloseNextMessageBox(plain);
            Thrower thrower;
            QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
            EXPECT_TRUE(WaitFor([&] { return plain.seen; }));
            EXPECT_EQ(plain.title, "Import von ZB7 + PV2");
            EXPECT_EQ(plain.icon, QMessageBox::Critical);
            EXPECT_EQ(plain.text,
                      "Zeitgeber ausgefallen\nActive Procedure: ImportArtikel\nKey to Import: 4711.");
            EXPECT_EQ(QApplication::activeModalWidget(), d);

            details->moveCursor(QTextCursor::Start);
            if (const char* dir = std::getenv("ZBPV_SCREENSHOTS"); dir && *dir) {
                std::filesystem::create_directories(dir);
                d->grab().save(
                    QString::fromStdString((std::filesystem::path(dir) / "error_dialog.png").string()));
            }
            QTest::mouseClick(ok, Qt::LeftButton);
        });
    try {
        ThrowFromImportStep();
    } catch (const std::exception& e) {
        ShowExceptionDialog(e, &window_);
    }
    EXPECT_TRUE(scripted);
    EXPECT_FALSE(manager_.DialogShowing());
}

TEST_F(ErrorDialogTest, ExceptionsOfEventHandlersAndOtherThreadsReachTheDialog) {
    std::vector<TErrorReport> shown;
    auto closeDialog = [&] {
        WhenModal<TExceptionDialog>([](TExceptionDialog* d) { return d->ReportComplete(); },
                                    [&](TExceptionDialog* d) {
                                        shown.push_back(d->Report());
                                        d->accept();
                                    });
    };
    closeDialog();
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    ASSERT_TRUE(WaitFor([&] { return shown.size() == 1; }));
    EXPECT_EQ(shown[0].Message,
              "Zeitgeber ausgefallen\r\nActive Procedure: ImportArtikel\r\nKey to Import: 4711.");

    closeDialog();
    std::thread worker([] {
        try {
            ThrowFromImportStep();
        } catch (...) {
            ReportThreadException(std::current_exception(), "Worker");
        }
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown[1].DetailLines[1], "Thread: Worker");
    EXPECT_EQ(shown[1].Message, "Tabelle ARTIKEL fehlt.") << "no step context for another thread";

    // A question answered No ends the run without any message.
    struct Aborter : QObject {
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User)
                throw EAbort();
            return QObject::event(e);
        }
    } aborter;
    QCoreApplication::postEvent(&aborter, new QEvent(QEvent::User));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(shown.size(), 2u);
}

} // namespace
} // namespace zbpv

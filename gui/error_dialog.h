// The error dialog: message, technical report on request, copy and save; and the wiring that brings
// every exception escaping a Qt event handler to it.
#pragma once

#include "support/error_report.h"

#include <QApplication>
#include <QDialog>

#include <exception>
#include <filesystem>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QFrame;

namespace zbpv {

// Form "ExceptionDialog". Opens collapsed, completes its report once it is visible, then enables
// its buttons.
class TExceptionDialog : public QDialog {
    Q_OBJECT
public:
    TExceptionDialog(const TExceptionManager& manager, TErrorReport report, QWidget* parent = nullptr);

    const TErrorReport& Report() const { return report_; }
    bool ReportComplete() const { return report_.Complete; }
    bool DetailsVisible() const { return detailsVisible_; }
    void SetDetailsVisible(bool visible);

    // Ctrl+C: the whole report onto the clipboard.
    void CopyReportToClipboard();
    // btnSave: writes the report file and shows where it went.
    void SaveReport();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildReport();
    void LayoutControls();
    int CollapsedHeight() const;
    void UpdateMessageScrollBar();

    const TExceptionManager& manager_;
    TErrorReport report_;
    QPlainTextEdit* textLabel_;
    QPlainTextEdit* memDetails_;
    QFrame* shpDetails_;
    QPushButton* btnOk_;
    QPushButton* btnSave_;
    QPushButton* btnDetails_;
    bool detailsVisible_ = false;
    bool buildPosted_ = false;
    int fullHeight_ = 255;
};

// Shows the error dialog for an exception through the program's exception manager (a manager with
// the application's display name stands in when none was created), or the plain message box while
// a dialog is open. `parent` is the sender the context callback receives; the dialog itself is a
// top-level window centred on the screen, as a report of the whole application. Returns when closed.
void ShowExceptionDialog(const std::exception& e, QWidget* parent = nullptr);

// Lets the manager show its exceptions with Qt: the error dialog, the plain message box while a
// dialog is open, the screen of the report and the chain of the focused control.
void InstallExceptionDialog(TExceptionManager& manager);

// An exception caught in another thread, handed to the user-interface thread for reporting.
void ReportThreadException(std::exception_ptr exception, std::string threadDescription);

// A QApplication that hands every exception escaping an event handler to the exception manager
// instead of letting it tear down the event loop.
class TReportingApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace zbpv

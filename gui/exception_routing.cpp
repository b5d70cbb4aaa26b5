#include "gui/exception_routing.h"

#include "app/run_controller.h"

#include <QMessageBox>

namespace zbpv {

namespace {

ExceptionRouting::ContextHook& Hook() {
    static ExceptionRouting::ContextHook hook;
    return hook;
}

ExceptionRouting::Reporter& Report() {
    static ExceptionRouting::Reporter reporter;
    return reporter;
}

bool& Showing() {
    static bool showing = false;
    return showing;
}

void Show(const std::exception& e, const std::string& message) {
    // While one exception is being shown, a further one gets a plain message box.
    if (Showing() || !Report()) {
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                              QString::fromStdString(message));
        return;
    }
    Showing() = true;
    try {
        Report()(e, message);
    } catch (...) {
    }
    Showing() = false;
}

} // namespace

void ExceptionRouting::SetContextHook(ContextHook hook) {
    Hook() = std::move(hook);
}

void ExceptionRouting::SetReporter(Reporter reporter) {
    Report() = std::move(reporter);
}

void ExceptionRouting::HandleCurrentException() {
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        std::string message = Hook() ? Hook()(e.what()) : std::string(e.what());
        Show(e, message);
    } catch (...) {
        std::runtime_error unknown("Unbekannter Fehler");
        std::string message = Hook() ? Hook()(unknown.what()) : std::string(unknown.what());
        Show(unknown, message);
    }
}

void ExceptionRouting::Guard(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        HandleCurrentException();
    }
}

WizardApplication::WizardApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool WizardApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ExceptionRouting::HandleCurrentException();
        return true;
    }
}

} // namespace zbpv

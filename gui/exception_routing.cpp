#include "gui/exception_routing.h"

#include "support/error_report.h"

#include <iostream>

namespace zbpv {

void GuardHandler(QObject* sender, const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        try {
            if (TExceptionManager* manager = TExceptionManager::Instance()) {
                manager->HandleCurrentException(sender);
                return;
            }
            throw;
        } catch (const EAbort&) {
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
        } catch (...) {
            std::cerr << "Unbekannter Fehler" << std::endl;
        }
    }
}

} // namespace zbpv

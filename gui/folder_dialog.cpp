#include "gui/folder_dialog.h"

#include <QFileDialog>

namespace zbpv {

QString BrowseForFolder(QWidget* owner, const QString& start) {
    QString chosen = QFileDialog::getExistingDirectory(owner ? owner->window() : nullptr, QString(), start,
                                                       QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? start : chosen;
}

} // namespace zbpv

#pragma once
// The folder browser behind the path buttons.

#include <QString>

class QWidget;

namespace zbpv {

// Opens on `start`; OK gives the chosen folder, Cancel gives `start` unchanged.
QString BrowseForFolder(QWidget* owner, const QString& start);

} // namespace zbpv

#pragma once

#include <QIcon>

class QApplication;
class QTranslator;

namespace veq {

// The application's own icon, the panel as the splash draws it.
QIcon applicationIcon();

// Loads Qt's French texts (the sub-windows' system menu, the text boxes' context menu, the
// dialogs' buttons) from Qt's translations folder and installs them in `app`, which owns them.
// Null when they are not installed on the machine; Qt's texts then stay English.
QTranslator* installQtFrenchTexts(QApplication& app);

// What the application sets up before its first window: Qt's French texts and the icon that
// every window carries.
void prepareApplication(QApplication& app);

}  // namespace veq

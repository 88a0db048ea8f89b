#include "app/lib/startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

// The icon is compiled into this library; a static library has to ask for it by name.
static void initApplicationResources() {
    Q_INIT_RESOURCE(application);
}

namespace veq {

QIcon applicationIcon() {
    initApplicationResources();
    return QIcon(QStringLiteral(":/icons/veq-cadence.png"));
}

QTranslator* installQtFrenchTexts(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_fr"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void prepareApplication(QApplication& app) {
    installQtFrenchTexts(app);
    QApplication::setWindowIcon(applicationIcon());
}

}  // namespace veq

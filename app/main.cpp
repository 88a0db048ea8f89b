#include <QApplication>
#include <QIcon>

#include "app/lib/principal.h"
#include "app/lib/splash.h"
#include "link/qtserialport.h"
#include "link/ui/qtplatform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(veq::kAppTitle);
    // The icon and menu entry an installation puts in place (none in a build tree).
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("veq-cadence")));
    QGuiApplication::setDesktopFileName(QStringLiteral("veq-cadence"));

    veq::SteadyClock clock;
    veq::QtMessages messages;
    veq::QtFileDialogs files;
    veq::QtDocumentOpener documents;
    veq::WindowContext context{
        clock, messages, files, documents, [] { return std::make_unique<veq::QtSerialPort>(); },
        {}};

    veq::Principal principal(context);
    // The splash comes first; the main window is loaded when it closes.
    veq::SplashWindow splash([&principal] { principal.MDIForm_Load(); });
    splash.show();
    return app.exec();
}

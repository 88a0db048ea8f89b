#include <QApplication>

#include "app/lib/look.h"
#include "app/lib/principal.h"
#include "app/lib/splash.h"
#include "app/lib/startup.h"
#include "link/anyport.h"
#include "link/traceport.h"
#include "ui/qtplatform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    veq::applyLook(app);
    QApplication::setApplicationName(veq::kAppTitle);
    veq::prepareApplication(app);
    // The menu entry an installation puts in place.
    QGuiApplication::setDesktopFileName(QStringLiteral("veq-cadence"));

    veq::SteadyClock clock;
    veq::QtMessages messages;
    veq::QtFileDialogs files;
    veq::QtDocumentOpener documents;
    veq::WindowContext context{
        clock,
        messages,
        files,
        documents,
        [] { return veq::tracedFromEnvironment(std::make_unique<veq::AnyPort>()); },
        {},
        {}};

    veq::Principal principal(context);
    // The splash comes first; the main window is loaded when it closes.
    veq::SplashWindow splash([&principal] { principal.MDIForm_Load(); });
    splash.show();
    return app.exec();
}

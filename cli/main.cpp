// veqctl: the panel from the command line (see cli/lib/veqctl.h and the README).

#include <cstdio>

#include <QCoreApplication>

#include "cli/lib/veqctl.h"
#include "cli/terminal.h"
#include "journal/journal.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veqctl"));
    veq::journal::setProgram(QStringLiteral("veqctl"));
    // Its folder is found here, before any port's thread appends to it.
    veq::journal::thisRun();

    veq::cli::Console console;
    console.out = [](const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    };
    console.err = [](const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };
    veq::cli::prepareConsole();
    console.terminal = veq::cli::progressTerminal();
    const int status = veq::cli::run(QCoreApplication::arguments().mid(1), console);
    veq::cli::endWithoutUnloading(status);
    return status;
}

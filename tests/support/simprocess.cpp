#include "tests/support/simprocess.h"

#include <csignal>

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace veq::test {

QString SimProcess::program() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/veq-panel-sim");
}

bool SimProcess::start(const QStringList& arguments) {
    stop();
    path_.clear();
    process_.setProgram(program());
    process_.setArguments(arguments);
    process_.setProcessChannelMode(captureErrors ? QProcess::SeparateChannels
                                                 : QProcess::ForwardedErrorChannel);
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start();
    if (!process_.waitForStarted(10000)) return false;
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < 10000) {
        if (!process_.waitForReadyRead(200) && process_.state() == QProcess::NotRunning)
            return false;
    }
    if (!process_.canReadLine()) return false;
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return !path_.isEmpty();
}

bool SimProcess::waitForLine(const QByteArray& line, int ms) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        while (process_.canReadLine())
            if (process_.readLine().trimmed() == line) return true;
        if (t.elapsed() >= ms || process_.state() == QProcess::NotRunning) return false;
        process_.waitForReadyRead(50);
    }
}

bool SimProcess::switchMute(const QByteArray& expectedLine) {
    if (!running()) return false;
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
    return waitForLine(expectedLine);
}

bool SimProcess::switchStall(const QByteArray& expectedLine) {
    if (!running()) return false;
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR2);
    return waitForLine(expectedLine);
}

bool SimProcess::waitForKilled(int ms) {
    if (running() && !process_.waitForFinished(ms)) return false;
    return process_.exitStatus() == QProcess::CrashExit;
}

void SimProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) kill();
}

void SimProcess::kill() {
    process_.kill();
    process_.waitForFinished(10000);
}

}  // namespace veq::test

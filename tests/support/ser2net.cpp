#include "tests/support/ser2net.h"

#include <csignal>

#include <sys/prctl.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>

namespace veq::test {

namespace {

// Whether something listens on 127.0.0.1:port, from the kernel's table (no connection is made:
// ser2net would open its device for it).
bool listening(quint16 port) {
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray local =
        QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") return true;
    }
    return false;
}

}  // namespace

quint16 Ser2net::freePort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) return 0;
    return server.serverPort();
}

QString Ser2net::address() const {
    return (kind_ == Kind::Rfc2217 ? QStringLiteral("rfc2217://127.0.0.1:%1")
                                   : QStringLiteral("tcp://127.0.0.1:%1"))
        .arg(port_);
}

bool Ser2net::start(const QString& device, Kind kind, QString* error) {
    stop();
    kind_ = kind;
    const auto failed = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty()) return failed(QStringLiteral("ser2net is not installed (make deps)"));
    port_ = freePort();
    if (port_ == 0) return failed(QStringLiteral("no free port on 127.0.0.1"));
    const QString accepter = kind == Kind::Rfc2217 ? QStringLiteral("telnet(rfc2217),tcp(nodelay)")
                                                   : QStringLiteral("tcp(nodelay)");
    process_.setProgram(program);
    // In the foreground, no lock files, the configuration on the command line only.
    process_.setArguments({QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-Y"),
                           QStringLiteral("connection: &c"), QStringLiteral("-Y"),
                           QStringLiteral("  accepter: %1,127.0.0.1,%2").arg(accepter).arg(port_),
                           QStringLiteral("-Y"),
                           QStringLiteral("  connector: serialdev,%1,9600n81,local").arg(device)});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start();
    if (!process_.waitForStarted(10000)) return failed(QStringLiteral("ser2net did not start"));
    QElapsedTimer t;
    t.start();
    while (!listening(port_)) {
        if (process_.state() == QProcess::NotRunning || t.elapsed() > 10000)
            return failed(QStringLiteral("ser2net does not listen: ") +
                          QString::fromLocal8Bit(process_.readAll()));
        process_.waitForFinished(10);
    }
    return true;
}

void Ser2net::kill() {
    if (!running()) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(10000);
}

void Ser2net::stop() {
    if (!running()) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(10000)) kill();
}

}  // namespace veq::test

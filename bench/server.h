#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QThread>

namespace veq::bench {

// ser2net on the loopback in front of a set of devices, one connection each, every one on a free
// port of 127.0.0.1: a panel behind a serial device server, as a plant has them.
class DeviceServer {
  public:
    enum class Kind { Rfc2217, Tcp };
    ~DeviceServer() { stop(); }

    bool start(const QStringList& devices, Kind kind, QString& error) {
        QStringList args{QStringLiteral("-n"), QStringLiteral("-u")};
        // nodelay: ser2net sends what the panel answers at once, not after the acknowledgement of
        // its previous packet (Nagle), which the client may hold back up to 40 ms.
        const QString accepter = kind == Kind::Rfc2217
                                     ? QStringLiteral("telnet(rfc2217),tcp(nodelay)")
                                     : QStringLiteral("tcp(nodelay)");
        const QString scheme =
            kind == Kind::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp");
        for (int i = 0; i < devices.size(); ++i) {
            const quint16 port = freePort();
            if (port == 0) {
                error = QStringLiteral("no free port on 127.0.0.1");
                return false;
            }
            ports_ << port;
            addresses_ << QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port);
            args << QStringLiteral("-Y") << QStringLiteral("connection: &c%1").arg(i)
                 << QStringLiteral("-Y")
                 << QStringLiteral("  accepter: %1,127.0.0.1,%2").arg(accepter).arg(port)
                 << QStringLiteral("-Y")
                 << QStringLiteral("  connector: serialdev,%1,9600n81,local").arg(devices[i]);
        }
        process_.setProgram(QStringLiteral("ser2net"));
        process_.setArguments(args);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start();
        if (!process_.waitForStarted(10000)) {
            error = QStringLiteral("cannot start ser2net (make deps installs it): %1")
                        .arg(process_.errorString());
            return false;
        }
        for (int waited = 0; waited < 10000; waited += 20) {
            if (allListening()) return true;
            if (process_.state() == QProcess::NotRunning) break;
            QThread::msleep(20);
        }
        error = QStringLiteral("ser2net does not listen");
        return false;
    }
    QStringList addresses() const { return addresses_; }
    bool running() const { return process_.state() == QProcess::Running; }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();  // by its process id
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

  private:
    static quint16 freePort() {
        QTcpServer server;
        return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
    }
    // From the kernel's table: no connection is made (ser2net would open the device for it).
    bool allListening() const {
        QFile f(QStringLiteral("/proc/net/tcp"));
        if (!f.open(QIODevice::ReadOnly)) return false;
        const QByteArray table = f.readAll();
        for (const quint16 port : ports_) {
            const QByteArray local = QStringLiteral("0100007F:%1")
                                         .arg(port, 4, 16, QLatin1Char('0'))
                                         .toUpper()
                                         .toLatin1();
            if (!table.contains(local + " 00000000:0000 0A")) return false;
        }
        return true;
    }

    QProcess process_;
    QList<quint16> ports_;
    QStringList addresses_;
};

}  // namespace veq::bench

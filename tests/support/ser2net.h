#pragma once

#include <QProcess>
#include <QString>

namespace veq::test {

// ser2net (Debian's serial device server) on the loopback, in front of one device: a client that
// connects to 127.0.0.1:port() reaches the device through RFC 2217 (telnet(rfc2217)) or as raw
// bytes. It listens on a free port of 127.0.0.1 only, opens the device when a client connects, and
// ends with the test (stopped by its process id, also when the test program dies).
class Ser2net {
  public:
    enum class Kind { Rfc2217, Tcp };
    Ser2net() = default;
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts it and waits until it listens; false (and `error` says why) when it does not.
    bool start(const QString& device, Kind kind, QString* error = nullptr);
    quint16 port() const { return port_; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
    QString address() const;
    // SIGKILL at once, as a device server that loses its power.
    void kill();
    // SIGTERM, then SIGKILL if it lingers.
    void stop();
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // A port of 127.0.0.1 that nothing listens on now.
    static quint16 freePort();

  private:
    QProcess process_;
    quint16 port_ = 0;
    Kind kind_ = Kind::Rfc2217;
};

}  // namespace veq::test

#pragma once

#include <memory>

#include <QStringList>

#include "link/netaddress.h"
#include "link/netsocket.h"
#include "link/rfc2217.h"
#include "link/serialport.h"

namespace veq {

// The serial port of a panel behind a serial device server, over TCP: the same calls, the same
// waits and the same failures as a local port. "rfc2217://" speaks RFC 2217 (the line set to the
// port's settings, DTR on and RTS off at every opening, DTR off through setDtr, the server's
// received data purged with the input); "tcp://" carries the bytes as they are. Used without an
// event loop: every call pulls what has arrived with a short blocking wait. Frames leave as they
// are written (no Nagle delay). A connection cut closes the port: later calls fail at once, and
// the transfer that was running ends with Cause::ConnectionLost. Errors are French texts of the
// program's own, never the system's.
class NetPort : public SerialPort {
  public:
    // The longest an opening waits for the name, then for the connection (each bounded; a host
    // that drops packets costs this and no more), and for the server's answers to the options
    // and the line settings.
    static constexpr int kConnectMs = 1000;
    static constexpr int kAnswerMs = 300;

    explicit NetPort(NetAddress address) : address_(std::move(address)) {}
    ~NetPort() override;

    void setCommPort(int number) override { number_ = number; }
    int commPort() const override { return number_; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    QString settings() const override { return settings_; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return socket_ != nullptr; }

    bool write(const QByteArray& bytes) override;
    int inBufferCount() override;
    void discardInput() override;
    QByteArray readAll() override;
    void setDtr(bool on) override;
    QString errorString() const override { return error_; }
    OpenFailure openFailure() const override { return failure_; }
    Cause lossCause() const override { return Cause::ConnectionLost; }
    QStringList takeNotes() override;

    const NetAddress& address() const { return address_; }

  private:
    bool rfc2217() const { return address_.kind == NetAddress::Kind::Rfc2217; }
    // Pulls what has arrived, waiting at most `ms`; closes the port when the connection is gone.
    void pull(int ms);
    // Sends protocol bytes (already escaped) at once; false when the connection is gone.
    bool send(const QByteArray& wire);
    // The opening's negotiation; false when the connection went meanwhile.
    bool negotiate();
    void lost(const QString& why);
    bool fail(OpenFailure failure, const QString& why);

    NetAddress address_;
    int number_ = 0;
    QString settings_ = QStringLiteral("9600,N,8,1");
    std::unique_ptr<NetSocket> socket_;
    rfc2217::Session session_;
    QByteArray received_;  // data bytes that have arrived, not yet taken
    QString error_;
    OpenFailure failure_ = OpenFailure::None;
    QStringList notes_;
};

}  // namespace veq

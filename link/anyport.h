#pragma once

#include <memory>

#include "link/qtserialport.h"
#include "link/serialport.h"

namespace veq {

// The port the windows and veqctl open: a COM number (through the application's port map) or a
// name given directly leads, at each opening, either to a local serial device (QtSerialPort) or to
// a panel behind a serial device server ("rfc2217://HOST:PORT", "tcp://HOST:PORT", NetPort), so a
// ports file line or VEQ_COMn may put a networked panel behind any COM number. A malformed
// network address fails the opening (BadAddress) before anything is sent.
class AnyPort : public SerialPort {
  public:
    void setCommPort(int number) override { number_ = number; }
    int commPort() const override { return number_; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    QString settings() const override { return settings_; }
    // A device path or a network address opened instead of what the number leads to; empty (the
    // default) goes back to the number.
    void setDevicePath(const QString& name) { name_ = name; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return active_ && active_->isOpen(); }
    bool write(const QByteArray& bytes) override;
    int inBufferCount() override;
    void discardInput() override;
    QByteArray readAll() override;
    void setDtr(bool on) override;
    QString errorString() const override;
    OpenFailure openFailure() const override;
    Cause lossCause() const override;
    QStringList takeNotes() override;

  private:
    int number_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    QString name_;
    QtSerialPort serial_;
    std::unique_ptr<SerialPort> net_;
    SerialPort* active_ = nullptr;             // the port of the last opening
    OpenFailure failure_ = OpenFailure::None;  // of an opening that went to neither port
    QString error_;
};

}  // namespace veq

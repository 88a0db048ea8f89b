#pragma once

#include <QSerialPort>

#include "link/serialport.h"

namespace veq {

// The serial port on QSerialPort, used without an event loop: every call pulls what the line has
// delivered with a short blocking wait, so polling never holds a processor core. A device that
// goes away (its line reads as ended or refuses bytes) closes the port: later calls fail or
// return nothing at once, and errorString() says why. A line without DTR is no fault. Every
// opening sets the control lines of linesAtOpen().
class QtSerialPort : public SerialPort {
  public:
    QtSerialPort() = default;

    void setCommPort(int number) override { number_ = number; }
    int commPort() const override { return number_; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    QString settings() const override { return settings_; }
    // A device path (/dev/ttyUSB0, a pseudo-terminal) opened instead of the device behind the
    // port number; empty (the default) goes back to the number.
    void setDevicePath(const QString& path) { path_ = path; }
    QString devicePath() const { return path_; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }

    bool write(const QByteArray& bytes) override;
    int inBufferCount() override;
    void discardInput() override;
    QByteArray readAll() override;
    void setDtr(bool on) override;
    QString errorString() const override { return error_; }
    OpenFailure openFailure() const override { return failure_; }

  private:
    // Pulls what has arrived, waiting at most `ms`; closes the port when the device has gone.
    void pull(int ms);
    bool checkGone();
    // Makes the backend read what the driver holds, keeping it in the receive count.
    void takeArrived();
    // Empties the receive queue (see kPurgeCancelsRead).
    void purgeInput();

    QSerialPort port_;
    int number_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    QString path_;
    QString error_;
    OpenFailure failure_ = OpenFailure::None;
    bool readCancelled_ = false;  // a purge cancelled a read whose end is still to be reported
};

// How long a write may wait for the driver to take its bytes: their time on the line and a margin
// for the scheduler. Past it the line has stopped.
inline constexpr qint64 kWriteMarginMs = 100;
qint64 writeLimitMs(qint64 bytes, double characterSeconds);

// Reads a settings text such as "9600,N,8,1"; false when it is not of that form.
bool applySettings(QSerialPort& port, const QString& settings);

}  // namespace veq

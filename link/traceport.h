#pragma once

#include <memory>
#include <mutex>

#include <QElapsedTimer>
#include <QFile>

#include "link/serialport.h"

namespace veq {

// A wire trace: one line per event on any of the ports that write to it, with the seconds since
// the trace began, the port, the direction and the bytes as readable text. Several ports (threads)
// may share one trace; each line is written whole and flushed at once, so a trace survives a crash.
//
//   0.512031 COM3 > _31<STX>SSS<ETX>_31<STX>SSS<ETX>
//   1.498112 COM3 < 01<STX><ACK><ETX>01<STX>5A<ETX>
//   1.498200 COM3 - discard
//
// ">" a write as it went to the driver, "<" a chunk of received bytes as the program took them,
// "-" an event without bytes (open, close, discard, DTR).
class TraceLog {
  public:
    // Opens `path` to append to it: a new file, an empty one or an earlier trace (the new lines
    // follow, their times starting again from 0). Any other existing file is refused and left as
    // it is, so that a mistyped name never costs a file, and so is anything that is not a regular
    // file (a device, a pipe, a folder): false, and `error` says why (also when it cannot be
    // written).
    bool open(const QString& path, QString& error);
    void line(const QString& port, char direction, const QByteArray& bytes);
    void event(const QString& port, const QString& what);

    // Printable ASCII as it is, the control characters of the frames by name (<STX>, <ETX>,
    // <ACK>, <CR>, <LF>), every other byte as \xHH; a backslash or "<" is escaped too.
    static QString readable(const QByteArray& bytes);

  private:
    void put(const QString& text);

    std::mutex mutex_;
    QFile file_;
    QElapsedTimer since_;
};

// A serial port that writes everything passing through it to a trace and otherwise behaves
// exactly as the port it wraps. The port's name in the trace is `name`, or "COMn" of its current
// number when `name` is empty.
class TracePort : public SerialPort {
  public:
    TracePort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceLog> log, QString name = {});

    void setCommPort(int number) override { inner_->setCommPort(number); }
    int commPort() const override { return inner_->commPort(); }
    void setSettings(const QString& settings) override { inner_->setSettings(settings); }
    QString settings() const override { return inner_->settings(); }
    bool open() override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    bool write(const QByteArray& bytes) override;
    int inBufferCount() override { return inner_->inBufferCount(); }
    void discardInput() override;
    QByteArray readAll() override;
    void setDtr(bool on) override;
    QString errorString() const override { return inner_->errorString(); }
    OpenFailure openFailure() const override { return inner_->openFailure(); }
    Cause lossCause() const override { return inner_->lossCause(); }
    QStringList takeNotes() override { return inner_->takeNotes(); }

    SerialPort& inner() { return *inner_; }

  private:
    QString name() const;
    // The inner port's notes, as events.
    void notes();

    std::unique_ptr<SerialPort> inner_;
    std::shared_ptr<TraceLog> log_;
    QString name_;
};

// The application's port with the trace the environment variable VEQ_TRACE asks for: when it names
// a file, `port` comes back wrapped in a TracePort writing to that file (one trace for every port
// of the process); otherwise `port` itself. A file that cannot be written leaves the port bare
// and says so once on the standard error.
std::unique_ptr<SerialPort> tracedFromEnvironment(std::unique_ptr<SerialPort> port);

}  // namespace veq

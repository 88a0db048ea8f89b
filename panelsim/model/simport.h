#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "link/clock.h"
#include "link/serialport.h"
#include "panelsim/model/panel.h"

namespace veq::sim {

// What the simulated line does to the answers on their way back.
struct LineFaults {
    bool mute = false;          // nothing comes back
    int keepAfterDiscard = -1;  // after each discard, at most this many characters get through
    QByteArray extra;           // characters added after each write's answer (if it has one)
    int perPoll = 0;            // at most this many characters arrive between two polls (0: all)
    std::function<QByteArray(const QByteArray&)> garble;  // rewrites each answer when set
    // Clock seconds each character takes on the line (0: an answer is there at the next poll).
    // At 9600 baud 8N1 a character takes 1/960 s; answers queue behind each other.
    double charSeconds = 0.0;
    // Writes the line still takes before it stops taking any (-1: it never stops); each one taken
    // counts down. A refused write reaches nobody.
    int takeWrites = -1;
};

// A bench of simulated serial ports: COM numbers mapped to devices. A port number with no
// device cannot be opened (absent); a device marked busy refuses to open.
class SimBus {
  public:
    void attach(int number, std::shared_ptr<Device> device) { devices_[number] = device; }
    void detach(int number) { devices_.erase(number); }
    void setBusy(int number, bool busy) { busy_[number] = busy; }
    std::shared_ptr<Device> device(int number) const;
    // Busy when marked so, or while one of the bench's ports has it open.
    bool busy(int number) const;
    void claim(int number) { ++claimed_[number]; }
    void release(int number) { --claimed_[number]; }

  private:
    std::map<int, std::shared_ptr<Device>> devices_;
    std::map<int, bool> busy_;
    std::map<int, int> claimed_;
};

// One write as the line saw it.
struct Written {
    double time;       // clock reading when the write was made
    QByteArray bytes;  // exactly what one write sent
};

// The serial port of the tests: writes go to the device of the bus at the port's number, its
// answers come back through the line faults. No real time passes.
class SimSerialPort : public SerialPort {
  public:
    SimSerialPort(SimBus& bus, Clock& clock) : bus_(bus), clock_(clock) {}
    ~SimSerialPort() override { close(); }

    void setCommPort(int number) override { number_ = number; }
    int commPort() const override { return number_; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    QString settings() const override { return settings_; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override;
    int inBufferCount() override;
    void discardInput() override;
    QByteArray readAll() override;
    void setDtr(bool on) override { dtr_ = on; }
    QString errorString() const override { return error_; }
    OpenFailure openFailure() const override { return failure_; }

    LineFaults faults;
    // Every write, in order, on whatever port number was open at the time.
    std::vector<Written> writes;
    bool dtr() const { return dtr_; }
    int opens() const { return opens_; }
    // Characters on their way back that have not arrived yet.
    int pending() const { return static_cast<int>(pending_.size()); }
    // Characters arrived and waiting to be read.
    int received() const { return static_cast<int>(received_.size()); }
    // Makes the open device vanish: the port closes and every call fails.
    void unplug();

  private:
    void deliver(int max);
    // Characters of pending_ whose time on the line is over.
    int due();

    SimBus& bus_;
    Clock& clock_;
    int number_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    bool open_ = false;
    int openNumber_ = 0;  // the number this port holds on the bench while open
    bool dtr_ = true;
    int opens_ = 0;
    QString error_;
    OpenFailure failure_ = OpenFailure::None;
    QByteArray pending_;
    std::deque<double> arrivals_;  // clock reading at which each pending character arrives
    double lineFree_ = 0.0;        // when the line has sent every pending character
    QByteArray received_;
    int passed_ = 0;  // characters let through since the last discard
};

}  // namespace veq::sim

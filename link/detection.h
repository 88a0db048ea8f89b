#pragma once

#include <array>
#include <functional>

#include <QString>

#include "link/clock.h"
#include "link/serialport.h"
#include "link/session.h"

namespace veq {

// One caption of the detection table with its background: white, or green when `green`.
struct DetectionCell {
    QString caption;
    bool green = false;
    bool operator==(const DetectionCell&) const = default;
};

// The three captions of one port's row: the port, its state ("Absent.", "Libre.") and whether a
// panel answered on it (" VEQ_CAD." or ".").
struct DetectionRow {
    DetectionCell port;
    DetectionCell state;
    DetectionCell panel;
    bool operator==(const DetectionRow&) const = default;
};

// The scan of COM1 to COM14 for ports that open and for a panel that acknowledges the frame
// "RRR". It works on the session's serial port and leaves the port-open flag at
// "False": after a scan the operator has to validate the link settings again.
class PortDetection {
  public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 14;
    static constexpr int kPortCount = kLastPort - kFirstPort + 1;

    inline static const QString kAbsent = QStringLiteral("Absent.");
    inline static const QString kFree = QStringLiteral("Libre.");
    inline static const QString kPanel = QStringLiteral(" VEQ_CAD.");
    inline static const QString kNoPanel = QStringLiteral(".");

    // What the window is told while a scan runs. `changed` follows every change of a row's
    // captions or colours; `repaint` asks for the row to be drawn at once, since the scan blocks
    // the user interface and nothing else would show its progress.
    struct Observer {
        std::function<void(int port)> changed;
        std::function<void(int port)> repaint;
    };

    PortDetection(LinkSession& link, Clock& clock);

    // What the test of one port found.
    enum class Probe { Absent, Free, Panel };
    // The test of one port, as the scan runs it: the port is closed if open, set to `number` at
    // "9600,N,8,1" and opened (Absent when it does not open); `opened` is called once it is open;
    // then "RRR" is written and the acknowledgement awaited for up to a second (Panel, or Free
    // without it). A port that refuses the frame, or whose device goes away meanwhile, is Absent.
    // The port is left open unless it failed. Works on any serial port and clock, so several
    // ports can be tested at once, each in its own thread with its own port and clock.
    static Probe probe(SerialPort& port, int number, Clock& clock,
                       const std::function<void()>& opened = {});

    void setObserver(Observer observer) { observer_ = std::move(observer); }

    // Tests every port in turn; never ends early and never asks the operator anything.
    void scan();

    // Row of port 1 to 14.
    const DetectionRow& row(int port) const { return rows_.at(port - kFirstPort); }

    // The row as the window is designed: "COM3:" and single spaces (a few captions empty).
    static DetectionRow designRow(int port);
    // "COM" + the number with the blank a positive number gets in front of it + ":" ("COM 3:").
    static QString portCaption(int port);

  private:
    // Tests one port and leaves its outcome on the row.
    void testPort(int port);
    static bool answersAcknowledgement(SerialPort& port, Clock& clock);
    void markAbsent(int port);
    DetectionRow& rowRef(int port) { return rows_.at(port - kFirstPort); }
    void changed(int port);
    void repaint(int port);

    LinkSession& link_;
    Clock& clock_;
    Observer observer_;
    std::array<DetectionRow, kPortCount> rows_;
};

}  // namespace veq

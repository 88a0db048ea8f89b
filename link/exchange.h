#pragma once

#include <functional>

#include <QByteArray>

#include "link/clock.h"
#include "link/frame.h"
#include "link/serialport.h"

namespace veq {

// How a reply wait compares the receive count with its threshold.
enum class Compare {
    Equal,    // succeeds only when a poll sees exactly the threshold
    Greater,  // succeeds when a poll sees more than the threshold
};

struct Reply {
    bool timedOut = true;
    QByteArray text;  // what Input returned when the wait ended (drained on a time-out)
};

// The steps every conversation with the panel is built from. Each step blocks until it is done;
// the waits poll the clock and the port without processing user-interface events.
class Exchange {
  public:
    static constexpr double kSettle = 0.5;        // seconds after a wake-up burst
    static constexpr double kReplyTimeout = 1.0;  // seconds a reply may take

    Exchange(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

    SerialPort& port() { return port_; }
    Clock& clock() { return clock_; }

    // Writes one frame, or a burst of `repeat` frames in a single write; false when the port
    // refused it. A refused write breaks the exchange: nothing more is sent through it, and its
    // waits end at once (a reply wait as a time-out), so an operation over a line that stopped
    // taking bytes ends without holding the operator for every frame it had left.
    bool send(Prefix prefix, const QByteArray& command, int repeat = 1);
    // True once a write was refused.
    bool broken() const { return broken_; }
    // Waits until more than `seconds` have passed.
    void pause(double seconds);
    void settle() { pause(kSettle); }
    // Waits until the coarse clock has moved one step.
    void interFrame();
    // Empties the receive buffer, reads and drops whatever is left, switches DTR off.
    void flush();
    // Polls the receive count until it satisfies the comparison or a second has passed since the
    // line finished carrying the frames written so far (writes only queue them), testing
    // the time first. On success the reply is taken whole; when `accept` rejects it, polling goes
    // on within the same second. On a time-out whatever arrived is drained. A port that has
    // closed (its device gone) can deliver nothing more: the wait ends at once as a time-out.
    Reply replyWait(Compare compare, int threshold,
                    const std::function<bool(const QByteArray&)>& accept = {});

  private:
    // Seconds the line still needs to carry what was written: writes only queue the bytes.
    double lineOwed();

    SerialPort& port_;
    Clock& clock_;
    // Every wait of the exchange polls at about 1 ms, also on Windows.
    [[no_unique_address, maybe_unused]] FineTimerScope fineTimer_;
    double owed_ = 0.0;  // line seconds owed at the reading owedAt_
    double owedAt_ = 0.0;
    bool broken_ = false;
};

// Seconds one character takes on a line of the given settings ("9600,N,8,1": 10 bits, 1/960 s);
// 0 when the text is not of that form.
double characterSeconds(const QString& settings);

}  // namespace veq

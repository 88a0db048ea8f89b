#pragma once

#include <functional>
#include <vector>

namespace veq {

// The clock of every wait of an exchange. Readings are seconds; a clock that restarts from 0 at
// midnight is tolerated by elapsedSince(), so no wait can become endless.
class Clock {
  public:
    static constexpr double kTicksPerSecond = 64.0;  // the coarse step of the inter-frame wait
    static constexpr double kDaySeconds = 86400.0;

    virtual ~Clock() = default;
    // Current reading, in seconds.
    virtual double seconds() = 0;
    // Lets a short moment pass without holding a processor core.
    virtual void pause() = 0;

    // The reading rounded down to the coarse step: it moves only once per tick.
    double tick();
    // Seconds since an earlier reading of seconds(), across a restart at midnight.
    double elapsedSince(double start);
};

// Monotonic wall-clock time.
class SteadyClock : public Clock {
  public:
    double seconds() override;
    void pause() override;  // sleeps about a millisecond
};

// Asks the system for a 1 ms timer resolution while it lives, so that a pause of a millisecond
// and a 1 ms poll of the port last about that long. Windows otherwise rounds each of them up to its
// 15.6 ms tick, which makes a reply wait poll every 16 to 31 ms and an inter-frame wait last one
// to two ticks. Elsewhere the timers are already fine: nothing to ask, nothing to pay.
class FineTimerScope {
  public:
#ifdef _WIN32
    FineTimerScope();
    FineTimerScope(const FineTimerScope&) : FineTimerScope() {}
    FineTimerScope& operator=(const FineTimerScope&) {
        return *this;
    }
    ~FineTimerScope();
    // Whether the system granted the 1 ms resolution to this scope.
    bool granted() const {
        return granted_;
    }

  private:
    bool granted_ = false;
#endif
};

// A clock that only moves when told or when a wait pauses on it: waits of a second take no real
// time. Observers run after each move, so a simulated panel can deliver its answer "meanwhile".
class ManualClock : public Clock {
  public:
    explicit ManualClock(double start = 0.0, double pauseStep = 0.001)
        : now_(start), step_(pauseStep) {}

    double seconds() override { return now_; }
    void pause() override { advance(step_); }

    void advance(double s);
    void setPauseStep(double s) { step_ = s; }
    double pauseStep() const { return step_; }
    // Makes the reading restart from 0 after kDaySeconds, like a time-of-day clock.
    void setWrapsAtMidnight(bool wraps) { wraps_ = wraps; }
    void onAdvance(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

  private:
    double now_;
    double step_;
    bool wraps_ = false;
    std::vector<std::function<void()>> observers_;
};

}  // namespace veq

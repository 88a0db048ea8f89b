#include "link/clock.h"

#include <chrono>
#include <cmath>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mmsystem.h>
#endif

namespace veq {

double Clock::tick() {
    return std::floor(seconds() * kTicksPerSecond) / kTicksPerSecond;
}

double Clock::elapsedSince(double start) {
    double d = seconds() - start;
    if (d < 0) d += kDaySeconds;  // the reading restarted at midnight
    return d;
}

double SteadyClock::seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

#ifdef _WIN32
// Each request is counted by the system and must be matched by its own release.
FineTimerScope::FineTimerScope() : granted_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimerScope::~FineTimerScope() {
    if (granted_) timeEndPeriod(1);
}
#endif

void ManualClock::advance(double s) {
    now_ += s;
    if (wraps_ && now_ >= kDaySeconds) now_ -= kDaySeconds;
    // Copy: an observer may register another one.
    auto observers = observers_;
    for (auto& o : observers) o();
}

}  // namespace veq

#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include <QString>
#include <QStringList>

#include "link/clock.h"

namespace veq::cli {

// A clock that tells how long the operation running on it has taken so far: every reading is
// passed on, and at most every tenth of a second `report` gets the seconds since the first one.
// The operations read the clock all along their waits, so this is their progress without any
// change to them.
class ProgressClock : public Clock {
  public:
    ProgressClock(Clock& inner, std::function<void(double elapsed)> report)
        : inner_(inner), report_(std::move(report)) {}

    double seconds() override;
    void pause() override { inner_.pause(); }

  private:
    Clock& inner_;
    std::function<void(double)> report_;
    bool started_ = false;
    double start_ = 0.0;
    double lastReport_ = 0.0;
};

// One progress bar per port on a terminal, redrawn in place:
//   COM3          [##########..........]  52 %
// The share is the time taken over the time the operation needs on a 9600 baud line, held below
// 100 % until the port's work is over. Threads report at will; drawing is serialised.
class ProgressBoard {
  public:
    ProgressBoard(std::FILE* terminal, const QStringList& ports, double expectedSeconds);

    void report(int port, double elapsed);
    // The port's work is over: its bar shows 100 % (or its failure).
    void finish(int port, bool ok);

  private:
    void draw();  // with mutex_ held

    std::FILE* terminal_;
    QStringList ports_;
    double expected_;
    std::mutex mutex_;
    std::vector<double> share_;
    std::vector<int> state_;  // 0 running, 1 done, -1 failed
    bool drawn_ = false;
};

}  // namespace veq::cli

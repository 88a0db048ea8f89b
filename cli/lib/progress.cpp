#include "cli/lib/progress.h"

#include <algorithm>

namespace veq::cli {

namespace {
constexpr double kReportEvery = 0.1;
constexpr int kBarWidth = 30;
}  // namespace

double ProgressClock::seconds() {
    const double now = inner_.seconds();
    if (!started_) {
        started_ = true;
        start_ = now;
        lastReport_ = now;
    } else if (now - lastReport_ >= kReportEvery) {
        lastReport_ = now;
        if (report_) report_(now - start_);
    }
    return now;
}

ProgressBoard::ProgressBoard(std::FILE* terminal, const QStringList& ports, double expectedSeconds)
    : terminal_(terminal),
      ports_(ports),
      expected_(expectedSeconds),
      share_(static_cast<std::size_t>(ports.size()), 0.0),
      state_(static_cast<std::size_t>(ports.size()), 0) {}

void ProgressBoard::report(int port, double elapsed) {
    std::lock_guard lock(mutex_);
    auto& share = share_.at(static_cast<std::size_t>(port));
    share = std::clamp(elapsed / expected_, share, 0.99);
    draw();
}

void ProgressBoard::finish(int port, bool ok) {
    std::lock_guard lock(mutex_);
    state_.at(static_cast<std::size_t>(port)) = ok ? 1 : -1;
    if (ok) share_.at(static_cast<std::size_t>(port)) = 1.0;
    draw();
}

void ProgressBoard::draw() {
    // Back to the first bar, then every bar on its own cleared line.
    if (drawn_) std::fprintf(terminal_, "\x1b[%dA", static_cast<int>(ports_.size()));
    drawn_ = true;
    for (int i = 0; i < ports_.size(); ++i) {
        const double share = share_[static_cast<std::size_t>(i)];
        const int full = static_cast<int>(share * kBarWidth);
        QByteArray bar(kBarWidth, '.');
        for (int k = 0; k < full; ++k) bar[k] = '#';
        const int state = state_[static_cast<std::size_t>(i)];
        const QByteArray tail = state < 0
                                    ? QByteArray(" échec")
                                    : QByteArray::number(static_cast<int>(share * 100)) + " %";
        std::fprintf(terminal_, "\r\x1b[2K%-14s[%s] %s\n", ports_[i].toLocal8Bit().constData(),
                     bar.constData(), tail.constData());
    }
    std::fflush(terminal_);
}

}  // namespace veq::cli

#include "link/exchange.h"

#include <algorithm>

#include <QStringList>

namespace veq {

double characterSeconds(const QString& settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) return 0.0;
    bool ok = false;
    const double baud = parts[0].trimmed().toDouble(&ok);
    if (!ok || baud <= 0) return 0.0;
    const double parity =
        parts[1].trimmed().compare(QLatin1String("N"), Qt::CaseInsensitive) ? 1 : 0;
    const double data = parts[2].trimmed().toDouble();
    const double stop = parts[3].trimmed().toDouble();
    return (1 + data + parity + stop) / baud;
}

double Exchange::lineOwed() {
    return std::max(0.0, owed_ - clock_.elapsedSince(owedAt_));
}

bool Exchange::send(Prefix prefix, const QByteArray& command, int repeat) {
    if (broken_) return false;
    const QByteArray bytes = frame(prefix, command, repeat);
    if (bytes.isEmpty()) return false;
    // A write only queues the bytes: the line carries them at its own speed, after what it
    // still owes.
    const double owed = lineOwed();
    if (!port_.write(bytes)) {
        broken_ = true;
        return false;
    }
    owed_ = owed + static_cast<double>(bytes.size()) * characterSeconds(port_.settings());
    owedAt_ = clock_.seconds();
    return true;
}

void Exchange::pause(double seconds) {
    if (broken_) return;
    const double start = clock_.seconds();
    while (clock_.elapsedSince(start) <= seconds) clock_.pause();
}

void Exchange::interFrame() {
    if (broken_) return;
    const double start = clock_.tick();
    // tick() moves once per coarse step; a restart at midnight also counts as a move.
    while (clock_.tick() == start) clock_.pause();
}

void Exchange::flush() {
    port_.discardInput();
    port_.readAll();
    port_.setDtr(false);
}

Reply Exchange::replyWait(Compare compare, int threshold,
                          const std::function<bool(const QByteArray&)>& accept) {
    // The second for the reply starts once the line has carried the last frame.
    const double limit = kReplyTimeout + lineOwed();
    const double start = clock_.seconds();
    for (;;) {
        if (broken_ || clock_.elapsedSince(start) > limit || !port_.isOpen()) {
            return Reply{true, port_.readAll()};
        }
        const int count = port_.inBufferCount();
        const bool met = compare == Compare::Equal ? count == threshold : count > threshold;
        if (met) {
            QByteArray text = port_.readAll();
            if (!accept || accept(text)) return Reply{false, text};
        }
        clock_.pause();
    }
}

}  // namespace veq

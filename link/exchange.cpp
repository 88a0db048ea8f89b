#include "link/exchange.h"

namespace veq {

bool Exchange::send(Prefix prefix, const QByteArray& command, int repeat) {
    const QByteArray bytes = frame(prefix, command, repeat);
    return !bytes.isEmpty() && port_.write(bytes);
}

void Exchange::pause(double seconds) {
    const double start = clock_.seconds();
    while (clock_.elapsedSince(start) <= seconds) clock_.pause();
}

void Exchange::interFrame() {
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
    const double start = clock_.seconds();
    for (;;) {
        if (clock_.elapsedSince(start) > kReplyTimeout || !port_.isOpen()) {
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

#include "panelsim/model/simport.h"

namespace veq::sim {

std::shared_ptr<Device> SimBus::device(int number) const {
    auto it = devices_.find(number);
    return it == devices_.end() ? nullptr : it->second;
}

bool SimBus::busy(int number) const {
    auto it = busy_.find(number);
    if (it != busy_.end() && it->second) return true;
    auto c = claimed_.find(number);
    return c != claimed_.end() && c->second > 0;
}

bool SimSerialPort::open() {
    // Opening again lets go of the number held so far, as a real driver would.
    if (open_) bus_.release(openNumber_);
    open_ = false;
    error_.clear();
    if (!bus_.device(number_)) {
        error_ = QStringLiteral("No such file or directory");
        failure_ = OpenFailure::Absent;
        return false;
    }
    if (bus_.busy(number_)) {
        error_ = QStringLiteral("Permission denied");
        failure_ = OpenFailure::Busy;
        return false;
    }
    open_ = true;
    failure_ = OpenFailure::None;
    openNumber_ = number_;
    bus_.claim(number_);
    ++opens_;
    pending_.clear();
    arrivals_.clear();
    received_.clear();
    passed_ = 0;
    return true;
}

void SimSerialPort::close() {
    if (open_) bus_.release(openNumber_);
    open_ = false;
    pending_.clear();
    arrivals_.clear();
    received_.clear();
}

void SimSerialPort::unplug() {
    bus_.detach(openNumber_);
    close();
    error_ = QStringLiteral("Input/output error");
}

bool SimSerialPort::write(const QByteArray& bytes) {
    if (!open_) return false;
    if (faults.takeWrites == 0) return false;
    if (faults.takeWrites > 0) --faults.takeWrites;
    const double now = clock_.seconds();
    writes.push_back({now, bytes});
    auto device = bus_.device(number_);
    if (!device) return false;
    QByteArray answer = device->receive(bytes);
    // A write that completes no frame gets no answer, and so nothing extra either.
    if (faults.mute || answer.isEmpty()) return true;
    if (faults.garble) answer = faults.garble(answer);
    answer += faults.extra;
    // The answer follows whatever the line is still sending.
    double at = pending_.isEmpty() ? now : qMax(now, lineFree_);
    for (int i = 0; i < answer.size(); ++i) {
        at += faults.charSeconds;
        arrivals_.push_back(at);
    }
    lineFree_ = at;
    pending_ += answer;
    return true;
}

int SimSerialPort::due() {
    if (faults.charSeconds <= 0.0) return static_cast<int>(pending_.size());
    int n = 0;
    // A character is due once its arrival lies in the past; half a day either way tells a
    // reading that restarted at midnight from one still ahead.
    while (n < static_cast<int>(arrivals_.size()) &&
           clock_.elapsedSince(arrivals_[static_cast<std::size_t>(n)]) < Clock::kDaySeconds / 2)
        ++n;
    return n;
}

void SimSerialPort::deliver(int max) {
    const int arrived = due();
    int n = qMin(max, arrived);
    if (faults.keepAfterDiscard >= 0) {
        // Characters past the limit are lost on the line, up to the next discard.
        const int room = qMax(0, faults.keepAfterDiscard - passed_);
        if (n > room) {
            received_ += pending_.left(room);
            passed_ += room;
            pending_.remove(0, arrived);
            arrivals_.erase(arrivals_.begin(), arrivals_.begin() + arrived);
            return;
        }
    }
    if (n <= 0) return;
    received_ += pending_.left(n);
    pending_.remove(0, n);
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + n);
    passed_ += n;
}

int SimSerialPort::inBufferCount() {
    if (!open_) return 0;
    deliver(faults.perPoll > 0 ? faults.perPoll : static_cast<int>(pending_.size()));
    return static_cast<int>(received_.size());
}

void SimSerialPort::discardInput() {
    // Drops what has arrived, also what the poll limit held back; characters still on the line
    // arrive afterwards.
    const int n = due();
    pending_.remove(0, n);
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + n);
    received_.clear();
    passed_ = 0;
}

QByteArray SimSerialPort::readAll() {
    if (!open_) return {};
    QByteArray out = received_;
    received_.clear();
    return out;
}

}  // namespace veq::sim

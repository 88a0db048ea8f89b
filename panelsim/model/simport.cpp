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
    close();
    error_.clear();
    if (!bus_.device(number_)) {
        error_ = QStringLiteral("No such file or directory");
        return false;
    }
    if (bus_.busy(number_)) {
        error_ = QStringLiteral("Permission denied");
        return false;
    }
    open_ = true;
    openNumber_ = number_;
    bus_.claim(number_);
    ++opens_;
    pending_.clear();
    received_.clear();
    passed_ = 0;
    return true;
}

void SimSerialPort::close() {
    if (open_) bus_.release(openNumber_);
    open_ = false;
    pending_.clear();
    received_.clear();
}

void SimSerialPort::unplug() {
    bus_.detach(openNumber_);
    close();
    error_ = QStringLiteral("Input/output error");
}

bool SimSerialPort::write(const QByteArray& bytes) {
    if (!open_) return false;
    writes.push_back({clock_.seconds(), bytes});
    auto device = bus_.device(number_);
    if (!device) return false;
    QByteArray answer = device->receive(bytes);
    if (faults.mute) return true;
    if (faults.garble) answer = faults.garble(answer);
    answer += faults.extra;
    pending_ += answer;
    return true;
}

void SimSerialPort::deliver(int max) {
    int n = qMin(max, static_cast<int>(pending_.size()));
    if (faults.keepAfterDiscard >= 0) {
        // Characters past the limit are lost on the line.
        const int room = qMax(0, faults.keepAfterDiscard - passed_);
        if (n > room) {
            received_ += pending_.left(room);
            passed_ += room;
            pending_.clear();
            return;
        }
    }
    if (n <= 0) return;
    received_ += pending_.left(n);
    pending_.remove(0, n);
    passed_ += n;
}

int SimSerialPort::inBufferCount() {
    if (!open_) return 0;
    deliver(faults.perPoll > 0 ? faults.perPoll : static_cast<int>(pending_.size()));
    return static_cast<int>(received_.size());
}

void SimSerialPort::discardInput() {
    // The waits before a discard are long enough for every answer in flight to have arrived.
    received_.clear();
    pending_.clear();
    passed_ = 0;
}

QByteArray SimSerialPort::readAll() {
    if (!open_) return {};
    QByteArray out = received_;
    received_.clear();
    return out;
}

}  // namespace veq::sim

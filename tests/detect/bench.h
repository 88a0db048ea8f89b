#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "link/detection.h"
#include "link/frame.h"
#include "link/session.h"
#include "panelsim/model/simport.h"

namespace veq {

inline void PrintTo(const DetectionRow& r, std::ostream* os) {
    for (const DetectionCell* c : {&r.port, &r.state, &r.panel})
        *os << '"' << c->caption.toStdString() << '"' << (c->green ? " green " : " white ");
}

}  // namespace veq

namespace veq::test {

// The rows once the scan has passed their ports, COM1 first: 'A' absent, 'F' free, 'P' panel,
// '-' not checked.
inline void expectRows(const PortDetection& d, const char (&rows)[15]) {
    for (int k = 1; k <= 14; ++k) {
        const char o = rows[k - 1];
        if (o == '-') continue;
        SCOPED_TRACE(testing::Message() << "COM" << k);
        const bool free = o != 'A', panel = o == 'P';
        EXPECT_EQ(d.row(k), (DetectionRow{{QStringLiteral("COM %1:").arg(k), panel},
                                          {free ? "Libre." : "Absent.", free},
                                          {panel ? " VEQ_CAD." : ".", panel}}));
    }
}

// A device that answers every write with the same characters (nothing: a mute device).
class Answering : public sim::Device {
  public:
    explicit Answering(QByteArray answer) : answer_(std::move(answer)) {}
    QByteArray receive(const QByteArray&) override { return answer_; }

  private:
    QByteArray answer_;
};

inline std::shared_ptr<sim::Device> mute() {
    return std::make_shared<Answering>(QByteArray());
}
// Five characters shaped like the acknowledgement, but with NAK in place of ACK.
inline std::shared_ptr<sim::Device> wrongFive() {
    return std::make_shared<Answering>(QByteArray::fromHex("3031021503"));
}
// The acknowledgement followed by one more character, all arriving at once.
inline std::shared_ptr<sim::Device> sixAtOnce() {
    return std::make_shared<Answering>(acknowledgement() + '\r');
}

// The simulated port of the bench, with what a real serial layer can do wrong: a refused write,
// an exception out of the driver, an answer that takes its time.
class BenchPort : public sim::SimSerialPort {
  public:
    struct Event {
        char what;  // 'o' open, 'c' close, 'w' write
        int port;
        bool ok;
        double time;
    };

    BenchPort(sim::SimBus& bus, Clock& clock) : SimSerialPort(bus, clock), clock_(clock) {}

    bool open() override {
        if (throwOnOpen.count(commPort())) throw std::runtime_error("driver fault");
        const bool ok = SimSerialPort::open();
        events.push_back({'o', commPort(), ok, clock_.seconds()});
        return ok;
    }
    void close() override {
        events.push_back({'c', commPort(), true, clock_.seconds()});
        SimSerialPort::close();
    }
    bool write(const QByteArray& bytes) override {
        if (refuseWrite.count(commPort())) {
            events.push_back({'w', commPort(), false, clock_.seconds()});
            return false;
        }
        writtenAt_ = clock_.seconds();
        events.push_back({'w', commPort(), true, clock_.seconds()});
        return SimSerialPort::write(bytes);
    }
    int inBufferCount() override {
        auto d = answerDelay.find(commPort());
        if (d != answerDelay.end() && clock_.elapsedSince(writtenAt_) < d->second) return 0;
        return SimSerialPort::inBufferCount();
    }

    int openAttempts() const {
        int n = 0;
        for (const Event& e : events) n += e.what == 'o';
        return n;
    }

    std::vector<Event> events;
    std::set<int> refuseWrite;
    std::set<int> throwOnOpen;
    std::map<int, double> answerDelay;  // seconds before the answer of that port arrives

  private:
    Clock& clock_;
    double writtenAt_ = 0;
};

// A link session over the bench's port, validated.
class BenchLink : public LinkSession {
  public:
    explicit BenchLink(SerialPort& port) : LinkSession(port) { setFlag(PortFlag::True); }
};

}  // namespace veq::test

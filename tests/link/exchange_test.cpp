#include <gtest/gtest.h>

#include "link/exchange.h"
#include "panelsim/model/simport.h"

namespace veq {
namespace {

// A device that answers every write with a scripted text.
struct Scripted : sim::Device {
    QByteArray reply;
    QByteArray receive(const QByteArray&) override { return reply; }
};

struct ExchangeTest : ::testing::Test {
    ExchangeTest() {
        bus.attach(1, device);
        port.setCommPort(1);
        port.open();
    }
    ManualClock clock{500.0};
    sim::SimBus bus;
    std::shared_ptr<Scripted> device = std::make_shared<Scripted>();
    sim::SimSerialPort port{bus, clock};
    Exchange ex{port, clock};
};

TEST_F(ExchangeTest, BurstIsOneWrite) {
    ex.send(Prefix::P_31, "SSS", 11);
    ex.send(Prefix::P31, "RRR");
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[0].bytes.size(), 88);
    EXPECT_EQ(port.writes[1].bytes, QByteArray::fromHex("33310252525203"));
}

TEST_F(ExchangeTest, GreaterNeedsOneMoreThanTheThreshold) {
    device->reply = QByteArray(222, 'x');
    ex.send(Prefix::P31, "RRR");
    Reply r = ex.replyWait(Compare::Greater, 222);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.text.size(), 222) << "the time-out drains what arrived";
    EXPECT_EQ(port.inBufferCount(), 0);

    device->reply = QByteArray(223, 'x');
    ex.send(Prefix::P31, "RRR");
    const double start = clock.seconds();
    r = ex.replyWait(Compare::Greater, 222);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.text.size(), 223);
    EXPECT_LT(clock.seconds() - start, 0.01);
}

TEST_F(ExchangeTest, EqualFailsWhenTheCountJumpsPastTheThreshold) {
    device->reply = QByteArray(201, 'x');
    ex.send(Prefix::P_31, "WWW");
    const double start = clock.seconds();
    const Reply r = ex.replyWait(Compare::Equal, 200);
    EXPECT_TRUE(r.timedOut);
    EXPECT_GT(clock.seconds() - start, 1.0);
    EXPECT_LT(clock.seconds() - start, 1.01);

    // Arriving in pieces, the count rests at exactly 200 and the wait succeeds.
    device->reply = QByteArray(200, 'x');
    port.faults.perPoll = 7;
    ex.send(Prefix::P_31, "WWW");
    EXPECT_FALSE(ex.replyWait(Compare::Equal, 200).timedOut);
}

TEST_F(ExchangeTest, RejectedReplyKeepsWaitingWithinTheSameSecond) {
    // A wrong five-character reply comes first; the acknowledgement follows 0.6 s later.
    device->reply = "01\x02\x15\x03";
    ex.send(Prefix::P31, "RRR");
    bool acknowledged = false;
    clock.onAdvance([&] {
        if (!acknowledged && clock.seconds() > 500.6) {
            acknowledged = true;
            device->reply = acknowledgement();
            port.write("late");
        }
    });
    const double start = clock.seconds();
    std::vector<QByteArray> seen;
    const Reply r = ex.replyWait(Compare::Equal, 5, [&](const QByteArray& text) {
        seen.push_back(text);
        return text == acknowledgement();
    });
    EXPECT_FALSE(r.timedOut);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(r.text, acknowledgement());
    EXPECT_LT(clock.seconds() - start, 1.0);

    // A wrong reply with no acknowledgement after it: the wait ends one second after its start.
    device->reply = "01\x02\x15\x03";
    ex.send(Prefix::P31, "RRR");
    const double start2 = clock.seconds();
    EXPECT_TRUE(ex.replyWait(Compare::Equal, 5, [](const QByteArray& t) {
                      return t == acknowledgement();
                  }).timedOut);
    EXPECT_LT(clock.seconds() - start2, 1.01);
}

TEST_F(ExchangeTest, TheSecondForTheReplyStartsOnceTheLineHasCarriedTheFrames) {
    // 128 byte reads and their closing frame: 1032 characters, 1.075 s of line at 9600 8N1.
    for (int i = 0; i < 128; ++i) ex.send(Prefix::P_31, "X1X");
    ex.send(Prefix::P_31, "X6X");
    const double owed = 129 * 8 / 960.0;
    double start = clock.seconds();
    EXPECT_TRUE(ex.replyWait(Compare::Greater, 787).timedOut);
    EXPECT_NEAR(clock.seconds() - start, owed + 1.0, 0.002);

    // An answer complete 1.8 s after the last write still counts.
    ex.send(Prefix::P_31, "SSS", 128);
    start = clock.seconds();
    clock.onAdvance([&] {
        if (device->reply.isEmpty() && clock.seconds() - start > 1.8) {
            device->reply = QByteArray(800, 'x');
            port.write("late");
        }
    });
    EXPECT_FALSE(ex.replyWait(Compare::Equal, 800).timedOut);

    // What the line owed is carried during a pause: the wait is back to one second.
    device->reply.clear();
    ex.send(Prefix::P_31, "SSS", 128);
    ex.pause(2.0);
    port.faults.mute = true;
    start = clock.seconds();
    EXPECT_TRUE(ex.replyWait(Compare::Equal, 5).timedOut);
    EXPECT_NEAR(clock.seconds() - start, 1.0, 0.002);
}

TEST_F(ExchangeTest, PortThatClosesEndsTheWaitAtOnce) {
    device->reply = "01";
    EXPECT_TRUE(ex.send(Prefix::P31, "RRR"));
    port.unplug();
    const double start = clock.seconds();
    const Reply r = ex.replyWait(Compare::Greater, 222);
    EXPECT_TRUE(r.timedOut);
    EXPECT_LT(clock.seconds() - start, 0.01);
    EXPECT_FALSE(ex.send(Prefix::P31, "RRR"));
}

TEST_F(ExchangeTest, FlushEmptiesTheBufferAndDropsDtr) {
    device->reply = "junk";
    ex.send(Prefix::P31, "SSS");
    EXPECT_EQ(port.inBufferCount(), 4);
    ex.flush();
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_FALSE(port.dtr());
}

TEST(ExchangeWaits, SettleAndInterFrameLengths) {
    ManualClock clock{100.0, 0.0001};
    sim::SimBus bus;
    sim::SimSerialPort port{bus, clock};
    Exchange ex{port, clock};

    double start = clock.seconds();
    ex.settle();
    EXPECT_GT(clock.seconds() - start, 0.5);
    EXPECT_LT(clock.seconds() - start, 0.501);

    // The inter-frame wait ends at the next step of the coarse clock, not after 2 µs.
    clock.advance(0.003);
    const double tickBefore = clock.tick();
    ex.interFrame();
    EXPECT_DOUBLE_EQ(clock.tick(), tickBefore + 1.0 / 64);
    EXPECT_LT(clock.seconds() - tickBefore, 1.0 / 64 + 0.001);
}

TEST(ExchangeWaits, WaitsEndAcrossMidnight) {
    ManualClock clock{Clock::kDaySeconds - 0.2};
    clock.setWrapsAtMidnight(true);
    sim::SimBus bus;
    sim::SimSerialPort port{bus, clock};
    Exchange ex{port, clock};

    ex.settle();
    EXPECT_NEAR(clock.seconds(), 0.3, 0.002);

    bus.attach(1, std::make_shared<sim::Panel>());
    port.setCommPort(1);
    ASSERT_TRUE(port.open());
    port.faults.mute = true;
    clock.advance(Clock::kDaySeconds - 0.2 - clock.seconds());
    ASSERT_NEAR(clock.seconds(), Clock::kDaySeconds - 0.2, 1e-6);
    const Reply r = ex.replyWait(Compare::Equal, 5);
    EXPECT_TRUE(r.timedOut);
    EXPECT_NEAR(clock.seconds(), 0.8, 0.002);

    clock.advance(Clock::kDaySeconds - 0.001 - clock.seconds());
    ex.interFrame();
    EXPECT_LT(clock.seconds(), 0.01);
}

}  // namespace
}  // namespace veq

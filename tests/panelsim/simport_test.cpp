#include <gtest/gtest.h>

#include "link/exchange.h"
#include "link/frame.h"
#include "panelsim/model/simport.h"

namespace veq::sim {
namespace {

struct Bench {
    Bench() {
        bus.attach(3, panel);
        port.setCommPort(3);
    }
    ManualClock clock{1000.0};
    SimBus bus;
    std::shared_ptr<Panel> panel = std::make_shared<Panel>();
    SimSerialPort port{bus, clock};
};

TEST(SimSerialPort, OpensOnlyAPortWithAFreeDevice) {
    Bench b;
    EXPECT_TRUE(b.port.open());
    EXPECT_TRUE(b.port.isOpen());
    b.port.setCommPort(4);
    EXPECT_FALSE(b.port.open());
    EXPECT_FALSE(b.port.isOpen());
    EXPECT_FALSE(b.port.errorString().isEmpty());
    b.bus.setBusy(3, true);
    b.port.setCommPort(3);
    EXPECT_FALSE(b.port.open());
    b.bus.setBusy(3, false);
    EXPECT_TRUE(b.port.open());
    EXPECT_EQ(b.port.opens(), 2);
}

TEST(SimSerialPort, RecordsWritesAndDeliversAnswersAtTheNextPoll) {
    Bench b;
    ASSERT_TRUE(b.port.open());
    b.clock.advance(0.25);
    ASSERT_TRUE(b.port.write(frame(Prefix::P31, "RRR", 5)));
    ASSERT_EQ(b.port.writes.size(), 1u);
    EXPECT_DOUBLE_EQ(b.port.writes[0].time, 1000.25);
    EXPECT_EQ(b.port.writes[0].bytes.size(), 35);
    EXPECT_EQ(b.port.inBufferCount(), 25);
    EXPECT_EQ(b.port.readAll(), acknowledgement().repeated(5));
    EXPECT_EQ(b.port.inBufferCount(), 0);
    b.port.close();
    EXPECT_FALSE(b.port.write(frame(Prefix::P31, "RRR")));
    EXPECT_EQ(b.port.inBufferCount(), 0);
}

TEST(SimSerialPort, FaultsShapeWhatComesBack) {
    {  // mute: the panel still hears everything
        Bench b;
        b.port.faults.mute = true;
        ASSERT_TRUE(b.port.open());
        b.port.write(frame(Prefix::P31, "RRR"));
        EXPECT_EQ(b.port.inBufferCount(), 0);
        EXPECT_EQ(b.panel->frames.size(), 1u);
    }
    {  // in pieces: at most three characters between two polls
        Bench b;
        b.port.faults.perPoll = 3;
        ASSERT_TRUE(b.port.open());
        b.port.write(frame(Prefix::P31, "RRR", 2));
        EXPECT_EQ(b.port.inBufferCount(), 3);
        EXPECT_EQ(b.port.inBufferCount(), 6);
        EXPECT_EQ(b.port.inBufferCount(), 9);
        EXPECT_EQ(b.port.inBufferCount(), 10);
        EXPECT_EQ(b.port.inBufferCount(), 10);
    }
    {  // cut after seven characters following a discard
        Bench b;
        b.port.faults.keepAfterDiscard = 7;
        ASSERT_TRUE(b.port.open());
        b.port.write(frame(Prefix::P31, "RRR", 4));
        EXPECT_EQ(b.port.inBufferCount(), 7);
        b.port.write(frame(Prefix::P31, "RRR"));
        EXPECT_EQ(b.port.inBufferCount(), 7);
        b.port.discardInput();
        EXPECT_EQ(b.port.inBufferCount(), 0);
        b.port.write(frame(Prefix::P31, "RRR", 2));
        EXPECT_EQ(b.port.inBufferCount(), 7);
    }
    {  // extra characters and garbled answers
        Bench b;
        b.port.faults.extra = "!";
        b.port.faults.garble = garbled;
        ASSERT_TRUE(b.port.open());
        b.port.write(frame(Prefix::P31, "RRR"));
        EXPECT_EQ(b.port.inBufferCount(), 6);
        EXPECT_EQ(b.port.readAll(), garbled(acknowledgement()) + "!");
        // Half a frame gets no answer, so nothing extra; the other half completes it.
        const QByteArray f = frame(Prefix::P31, "RRR");
        b.port.write(f.left(3));
        EXPECT_EQ(b.port.inBufferCount(), 0);
        b.port.write(f.mid(3));
        EXPECT_EQ(b.port.inBufferCount(), 6);
    }
}

TEST(SimSerialPort, CharactersTakeTheirTimeOnTheLine) {
    Bench b;
    b.port.faults.charSeconds = 0.001;
    ASSERT_TRUE(b.port.open());
    b.port.write(frame(Prefix::P31, "RRR"));
    b.port.write(frame(Prefix::P31, "RRR"));
    EXPECT_EQ(b.port.inBufferCount(), 0);
    b.clock.advance(0.0025);
    EXPECT_EQ(b.port.inBufferCount(), 2);
    // The second answer queues behind the first: ten characters, 10 ms in all.
    b.clock.advance(0.005);
    EXPECT_EQ(b.port.inBufferCount(), 7);
    // A discard drops what has arrived; what is still on the line comes afterwards.
    b.port.discardInput();
    EXPECT_EQ(b.port.inBufferCount(), 0);
    b.clock.advance(0.01);
    EXPECT_EQ(b.port.inBufferCount(), 3);
    // An idle line sends the next answer at once.
    b.clock.advance(1.0);
    b.port.readAll();
    b.port.write(frame(Prefix::P31, "RRR"));
    b.clock.advance(0.0051);
    EXPECT_EQ(b.port.inBufferCount(), 5);
}

TEST(SimSerialPort, ReplyWaitSeesTwoHundredAndOneArriveBetweenTwoPolls) {
    // The count passes the threshold of an "equal" wait between two polls: a time-out.
    Bench b;
    b.port.faults.extra = "x";
    ASSERT_TRUE(b.port.open());
    Exchange ex(b.port, b.clock);
    ex.send(Prefix::P_31, "SSS", 40);
    const Reply r = ex.replyWait(Compare::Equal, 200);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.text.size(), 201);
}

TEST(SimSerialPort, UnpluggedDeviceClosesThePortForGood) {
    Bench b;
    ASSERT_TRUE(b.port.open());
    b.port.write(frame(Prefix::P31, "RRR"));
    b.port.unplug();
    EXPECT_FALSE(b.port.isOpen());
    EXPECT_EQ(b.port.inBufferCount(), 0);
    EXPECT_TRUE(b.port.readAll().isEmpty());
    EXPECT_FALSE(b.port.write(frame(Prefix::P31, "RRR")));
    EXPECT_FALSE(b.port.open());
    // Plugged in again, it opens with nothing stale waiting.
    b.bus.attach(3, b.panel);
    EXPECT_TRUE(b.port.open());
    EXPECT_EQ(b.port.inBufferCount(), 0);
}

}  // namespace
}  // namespace veq::sim

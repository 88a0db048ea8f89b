#include <gtest/gtest.h>

#include "link/detection.h"
#include "tests/detect/bench.h"

namespace veq {
namespace {

using test::BenchLink;
using test::BenchPort;
using test::expectRows;

class Detection : public testing::Test {
  protected:
    // The ports of the port events of one kind ('o' open, 'c' close, 'w' write), in order.
    std::vector<int> portsOf(char what) const {
        std::vector<int> out;
        for (const auto& e : port.events)
            if (e.what == what) out.push_back(e.port);
        return out;
    }

    ManualClock clock{1000.0};
    sim::SimBus bus;
    BenchPort port{bus, clock};
    BenchLink link{port};
    PortDetection detection{link, clock};
};

TEST_F(Detection, EveryKindOfPortOnOneBench) {
    bus.attach(1, test::mute());
    // COM2 has nothing behind it.
    bus.attach(3, std::make_shared<sim::Panel>());
    bus.attach(4, test::wrongFive());
    bus.attach(5, test::sixAtOnce());
    bus.attach(6, std::make_shared<sim::Panel>());
    bus.setBusy(6, true);
    bus.attach(13, std::make_shared<sim::Panel>());
    bus.attach(14, test::mute());

    const double start = clock.seconds();
    detection.scan();

    // COM13 lies beyond what the link settings offer.
    expectRows(detection, "FAPFFAAAAAAAPF");

    EXPECT_EQ(link.flag(), PortFlag::False);
    // Ports 1, 4, 5 and 14 waited their full second each; absent ports and panels cost nothing.
    const double elapsed = clock.elapsedSince(start);
    EXPECT_GT(elapsed, 4.0);
    EXPECT_LT(elapsed, 4.1);

    // Ports were tried in order, once each, and only open ones were asked "RRR" with prefix 31.
    EXPECT_EQ(portsOf('o'), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(portsOf('w'), (std::vector<int>{1, 3, 4, 5, 13, 14}));
    for (const auto& w : port.writes) EXPECT_EQ(w.bytes, QByteArray::fromHex("33310252525203"));

    // The last port could be opened: it is left open although the flag says "False".
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.commPort(), 14);
    EXPECT_EQ(port.settings(), "9600,N,8,1");
}

TEST_F(Detection, StartsByClosingThePortTwiceAndEndsWithFlagFalseEvenWhenNothingAnswers) {
    bus.attach(9, std::make_shared<sim::Panel>());
    port.setCommPort(9);
    ASSERT_TRUE(port.open());
    port.events.clear();

    detection.scan();

    ASSERT_GE(port.events.size(), 3u);
    EXPECT_EQ(std::string({port.events[0].what, port.events[1].what, port.events[2].what}), "cco");
    EXPECT_EQ(link.flag(), PortFlag::False);
    expectRows(detection, "--------P-----");
    // COM14 is absent: nothing is left open.
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Detection, AcknowledgementCountsOnlyWithinTheSameSecond) {
    // A wrong answer of five characters, then the acknowledgement: the wait goes on and finds it.
    bus.attach(1, std::make_shared<test::Answering>(QByteArray::fromHex("3031021503") +
                                                    acknowledgement()));
    port.faults.perPoll = 5;
    // Acknowledgements that take 0.9 s and 1.05 s to arrive.
    bus.attach(2, std::make_shared<sim::Panel>());
    port.answerDelay[2] = 0.9;
    bus.attach(3, std::make_shared<sim::Panel>());
    port.answerDelay[3] = 1.05;
    // One stray character ahead of the acknowledgement: no poll ever sees it alone.
    bus.attach(4, std::make_shared<test::Answering>(QByteArray(1, '\0') + acknowledgement()));

    detection.scan();

    expectRows(detection, "PPFF----------");
}

TEST_F(Detection, PortLayerFailuresMarkThePortAbsentAndTheScanGoesOn) {
    for (int k : {3, 4, 5, 6, 14}) bus.attach(k, std::make_shared<sim::Panel>());
    port.refuseWrite.insert(3);
    port.throwOnOpen.insert(4);
    // COM5 vanishes while its answer is awaited: the panel there never answered.
    bus.detach(5);
    bus.attach(5, test::mute());
    clock.onAdvance([this] {
        if (port.isOpen() && port.commPort() == 5 && !port.writes.empty()) port.unplug();
    });

    detection.scan();

    expectRows(detection, "--AAAP-------P");
    EXPECT_EQ(link.flag(), PortFlag::False);
    // The refused port was not left open.
    bool closedAfterRefusal = false;
    for (size_t i = 0; i + 1 < port.events.size(); ++i) {
        if (port.events[i].what == 'w' && !port.events[i].ok)
            closedAfterRefusal = port.events[i + 1].what == 'c' && port.events[i + 1].port == 3;
    }
    EXPECT_TRUE(closedAfterRefusal);
}

TEST_F(Detection, EachRowIsRepaintedAsSoonAsItsPortIsDoneAndASecondScanResetsEverything) {
    bus.attach(3, std::make_shared<sim::Panel>());
    bus.attach(7, test::mute());
    detection.scan();
    expectRows(detection, "--P---F-------");

    // The panel moves from COM3 to COM5 and COM7 goes away.
    bus.detach(3);
    bus.detach(7);
    bus.attach(5, std::make_shared<sim::Panel>());

    struct Repaint {
        int port;
        int openAttempts;
        std::vector<DetectionRow> table;
    };
    std::vector<Repaint> repaints;
    int changes = 0;
    port.events.clear();
    detection.setObserver({[&](int) { ++changes; },
                           [&](int k) {
                               std::vector<DetectionRow> table;
                               for (int j = 1; j <= 14; ++j) table.push_back(detection.row(j));
                               repaints.push_back({k, port.openAttempts(), table});
                           }});
    detection.scan();

    ASSERT_EQ(repaints.size(), 14u);
    for (int k = 1; k <= 14; ++k) {
        const Repaint& r = repaints[k - 1];
        SCOPED_TRACE(testing::Message() << "repaint of COM" << k);
        EXPECT_EQ(r.port, k);
        // Port k has been tried and port k + 1 not yet.
        EXPECT_EQ(r.openAttempts, k);
        // The rows still to come hold nothing of the first scan.
        for (int j = k + 1; j <= 14; ++j) {
            EXPECT_EQ(r.table[j - 1], (DetectionRow{{PortDetection::portCaption(j), false},
                                                    {QString(), false},
                                                    {QString(), false}}));
        }
        EXPECT_EQ(r.table[k - 1], detection.row(k));
    }
    EXPECT_GE(changes, 14 * 2);
    expectRows(detection, "--A-P-A-------");
}

TEST(DetectionCaptions, DesignCaptionsThenCaptionsWithTheSignBlank) {
    EXPECT_EQ(PortDetection::designRow(1).port.caption, "COM1:");
    EXPECT_EQ(PortDetection::designRow(14).port.caption, "COM14:");
    EXPECT_EQ(PortDetection::portCaption(1), "COM 1:");
    EXPECT_EQ(PortDetection::portCaption(14), "COM 14:");
    EXPECT_EQ(PortDetection::designRow(2).state.caption, " ");
    EXPECT_EQ(PortDetection::designRow(11).state.caption, "");
    EXPECT_EQ(PortDetection::designRow(11).panel.caption, "");
    EXPECT_EQ(PortDetection::designRow(14).panel.caption, "");
    EXPECT_EQ(PortDetection::designRow(13).panel.caption, " ");
}

}  // namespace
}  // namespace veq

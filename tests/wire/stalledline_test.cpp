// A line that stops taking bytes (a panel or adapter that no longer reads): the operation ends as
// a failure within its own waits and a second, and nothing it had left queued reaches the panel
// later, in the middle of the next operation.

#include <QElapsedTimer>

#include "brightness/lum.h"
#include "panelsim/model/image.h"
#include "tests/wire/bench.h"

namespace veq::test {
namespace {

// The frames veq-panel-sim logged (-v), as "prefix command", waiting until `count` have come or
// `ms` have passed.
QStringList loggedFrames(SimProcess& sim, int count, int ms) {
    QStringList frames;
    QElapsedTimer t;
    t.start();
    QByteArray pending;
    while (frames.size() < count && t.elapsed() < ms) {
        sim.process().waitForReadyRead(50);
        pending += sim.process().readAllStandardError();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1)) {
            const QByteArray line = pending.left(nl);
            if (line.startsWith("veq-panel-sim: _31 ") || line.startsWith("veq-panel-sim: 31 "))
                frames << QString::fromLatin1(line.mid(15));
        }
    }
    return frames;
}

TEST_F(OnTheWire, AStalledLineEndsAReadAtOnceAndLeavesNothingBehind) {
    run([](Bench& b) {
        // The line stops after the 20th frame, the 7th "X1X".
        b.startPanel(b.faulty, {"--pace", "--stall-after", "20"});
        b.validate();
        const double took = b.read();
        ASSERT_TRUE(b.faulty.waitForLine("stall on"));
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        // Its waits are a settle of 0.5 s and a reply wait of 1 s.
        EXPECT_LT(took, 0.5 + 1.0 + 1.0);

        // The line moves again: the next read's frames are the only ones the panel gets.
        ASSERT_TRUE(b.faulty.switchStall("stall off"));
        b.read();
        b.expectMessages({{kReadOk, Icon::Information}});
        b.expectCellsHold(sim::programmedMemory());
        b.expectRecovery();
    });
}

TEST_F(OnTheWire, AStalledLineEndsABrightnessProgrammingAtOnce) {
    run([](Bench& b) {
        // 11 "SSS" and the read's 138 frames: the line stops once the memory has been read, and
        // the write's first frames find it stopped.
        b.faulty.captureErrors = true;
        b.startPanel(b.faulty, {"--pace", "-v", "--stall-after", "149"});
        b.validate();
        LumWindow lum(b.context);
        const double took = b.click("but_ECRIT_LUM", &lum);
        ASSERT_TRUE(b.faulty.waitForLine("stall on"));
        b.expectMessages({{kError, Icon::Warning}});
        // Five settle waits of 0.5 s and two reply waits of 1 s.
        EXPECT_LT(took, 5 * 0.5 + 2 * 1.0 + 1.0);

        // The line moves again: the next operation's frames are the only ones the panel gets,
        // and its memory is as it was.
        ASSERT_TRUE(b.faulty.switchStall("stall off"));
        b.click("but_LIT_LUM", &lum);
        b.expectMessages({{kReadOk, Icon::Information}});
        const sim::Panel::Memory memory = sim::programmedMemory();
        for (int a = 0; a < 128; ++a)
            EXPECT_EQ(lum.grid().text(a),
                      QString::asprintf("%02X", memory[static_cast<size_t>(a)]));
        QStringList want;
        for (int i = 0; i < 11; ++i) want << "_31 SSS";
        want << "_31 PPP";
        for (int i = 0; i < 5; ++i) want << "_31 SSS";
        want << "_31 SSS"
             << "_31 ZA0"
             << "_31 Y00"
             << "_31 ZA1";
        for (int i = 0; i < 128; ++i) want << "_31 X1X";
        want << "_31 X6X";
        for (int i = 0; i < 5; ++i) want << "_31 RRR";
        // The 149 frames taken before the line stopped, then the read's own and nothing more.
        const int count = 149 + static_cast<int>(want.size());
        const QStringList frames = loggedFrames(b.faulty, count, 5000);
        ASSERT_EQ(frames.size(), count);
        EXPECT_EQ(frames.mid(149), want);
        EXPECT_TRUE(loggedFrames(b.faulty, 1, 200).isEmpty());
    });
}

}  // namespace
}  // namespace veq::test

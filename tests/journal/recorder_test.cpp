#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "journal/known.h"
#include "journal/recorder.h"
#include "link/exchange.h"
#include "panelmem/transfer.h"
#include "tests/support/harness.h"

namespace veq::journal {
namespace {

// The operations of the windows on the simulated panel, recorded in a journal of their own.
class Recording : public ::testing::Test {
  protected:
    Recording() : owned(h.context.makePort()), port(*h.lastPort), ex(*owned, h.clock) {
        owned->setCommPort(3);
        owned->open();
        for (std::size_t i = 0; i < 128; ++i) h.panel->memory[i] = (i * 37 + 11) & 0xFF;
        journal.setSync([this](int fd) {
            ++synced;
            return syncToDisk(fd);
        });
    }
    QByteArray panel(int from, int to) const {
        QByteArray b;
        for (int a = from; a <= to; ++a)
            b.append(static_cast<char>(h.panel->memory[static_cast<std::size_t>(a)]));
        return b;
    }
    // The programming's hooks, checking that its record is on the disk, outcome unknown, before
    // the write's first frame.
    ops::WriteHooks checked(Programming& p) {
        ops::WriteHooks hooks = p.hooks();
        return {hooks.afterRead, [this, &p, hooks](const MemoryGrid& g) {
                    const int syncedBefore = synced;
                    hooks.beforeWrite(g);
                    EXPECT_EQ(synced, syncedBefore + 1);  // flushed to the disk, not only written
                    writesAtOpening = port.writes.size();
                    const auto r = findRecord(journal.path(), p.number());
                    ASSERT_TRUE(r);
                    EXPECT_EQ(r->outcome, Result::Unknown);
                    EXPECT_EQ(r->written, g.bytes(r->from, r->to));
                }};
    }

    test::Harness h;
    std::unique_ptr<SerialPort> owned;
    sim::SimSerialPort& port;
    Exchange ex;
    MemoryGrid grid;
    QTemporaryDir dir;
    Journal journal{dir.filePath(QStringLiteral("journal.jsonl"))};
    int synced = 0;
    std::size_t writesAtOpening = 0;
    const Where com3{QStringLiteral("COM3"), QStringLiteral("/dev/test-com3")};
};

TEST_F(Recording, ParameterProgrammingTakesBeforeFromTheLastReadAndKeepsWhatItWrote) {
    knownThisRun().forget(com3.device, 0, 127);
    const QByteArray held = panel(96, 127);
    const ops::RateRead read = ops::readRate(ex, grid);
    EXPECT_TRUE(recordRead(com3, QStringLiteral("Lire les paramètres"), grid, 96, 127, read.outcome,
                           journal)
                    .isEmpty());

    const std::size_t framesBefore = port.writes.size();
    Programming first(com3, QStringLiteral("Programme les paramètres"), 96, 127, journal);
    first.finish(ops::programRate(ex, grid, memmap::RateSettings{}, checked(first)));
    EXPECT_EQ(writesAtOpening, framesBefore);  // not a frame of the write had gone out
    const QByteArray written = panel(96, 127);

    // The second programming's "before" is what the first one wrote.
    memmap::RateSettings other;
    other.stopThreshold = 100;
    Programming second(com3, QStringLiteral("Programme les paramètres"), 96, 127, journal);
    second.finish(ops::programRate(ex, grid, other, second.hooks()));

    const std::vector<Record> r = lastRecords(journal.path(), 10);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].kind, Kind::Read);
    EXPECT_EQ(r[2].read, held);
    EXPECT_EQ(r[1].outcome, Result::Success);
    EXPECT_EQ(r[1].before, held);
    EXPECT_EQ(r[1].written, written);
    EXPECT_EQ(r[0].before, written);
    EXPECT_EQ(r[0].written, panel(96, 127));
}

TEST_F(Recording, BrightnessProgrammingTakesBeforeFromItsOwnRead) {
    const QByteArray held = panel(0, 127);
    Programming p(com3, QStringLiteral("Luminosité : Envoi"), 0, 127, journal);
    memmap::BrightnessSettings s;
    s.period = 9;
    p.finish(ops::programBrightness(ex, grid, s, ops::AfterFailedRead::Release, checked(p)));
    const auto r = findRecord(journal.path(), p.number());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->before, held);
    EXPECT_EQ(r->written, panel(0, 127));
    EXPECT_NE(r->written, held);
    EXPECT_EQ(r->outcome, Result::Success);
}

// What each way a programming can end leaves in its record, and in the bytes known on the port.
TEST_F(Recording, UnconfirmedAndRefusedProgrammings) {
    // A panel that falls silent: the write goes out unconfirmed; the port's bytes are unknown.
    knownThisRun().remember(com3.device, 96, panel(96, 127));
    ASSERT_FALSE(ops::readRate(ex, grid).failed());
    port.faults.mute = true;
    Programming silent(com3, QStringLiteral("Programme les paramètres"), 96, 127, journal);
    silent.finish(ops::programRate(ex, grid, memmap::RateSettings{}, silent.hooks()));
    auto r = findRecord(journal.path(), silent.number());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->outcome, Result::Failed);
    EXPECT_EQ(r->cause, QStringLiteral("no-answer"));
    EXPECT_FALSE(knownThisRun().known(com3.device, 96, 127));

    // The failed write left "Er" in the grid: nothing is sent, the record says so at once.
    const std::size_t frames = port.writes.size();
    Programming refused(com3, QStringLiteral("Programme les paramètres"), 96, 127, journal);
    refused.finish(ops::programRate(ex, grid, memmap::RateSettings{}, refused.hooks()));
    EXPECT_EQ(port.writes.size(), frames);
    r = lastRecords(journal.path(), 1).at(0);
    EXPECT_EQ(r->outcome, Result::Refused);
    EXPECT_EQ(r->cause, QStringLiteral("not-sent"));
    EXPECT_FALSE(r->written);

    // A brightness programming whose read fails writes nothing, but its read went out: failed,
    // and "not-sent" tells it from a write that went out unconfirmed ("no-answer" above).
    Programming unread(com3, QStringLiteral("Luminosité : Envoi"), 0, 127, journal);
    unread.finish(
        ops::programBrightness(ex, grid, {}, ops::AfterFailedRead::Release, unread.hooks()));
    r = lastRecords(journal.path(), 1).at(0);
    EXPECT_EQ(r->outcome, Result::Failed);
    EXPECT_EQ(r->cause, QStringLiteral("not-sent"));

    // A confirmed write whose read-back finds other bytes fails, and the bytes found are known.
    port.faults = {};
    ASSERT_FALSE(ops::readRate(ex, grid).failed());
    const QByteArray found(32, '\x11');
    Programming differs(com3, QStringLiteral("Programme les paramètres"), 96, 127, journal);
    differs.finish(ops::programRate(ex, grid, memmap::RateSettings{}, differs.hooks()), found);
    r = lastRecords(journal.path(), 1).at(0);
    EXPECT_EQ(r->outcome, Result::Failed);
    EXPECT_EQ(r->cause, kReadBackDiffers);
    EXPECT_EQ(knownThisRun().known(com3.device, 96, 127), found);
}

}  // namespace
}  // namespace veq::journal

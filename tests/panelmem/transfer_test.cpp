#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include <QStringList>

#include "link/exchange.h"
#include "panelmem/operations.h"
#include "panelmem/transfer.h"
#include "tests/support/harness.h"

namespace veq {
namespace {

using colour::kGreen;
using colour::kRed;
using colour::kWhite;
using Frames = std::vector<QByteArray>;

long long tickOf(double seconds) {
    return static_cast<long long>(std::floor(seconds * Clock::kTicksPerSecond));
}

// Appends one frame per command; a command with a repeat count is one burst.
void add(Frames& out, Prefix p, std::initializer_list<QByteArray> commands, int times = 1) {
    for (int t = 0; t < times; ++t)
        for (const QByteArray& c : commands) out.push_back(frame(p, c));
}

// A panel on COM3 whose memory holds a pattern, an open simulated port to it, and one grid.
class Transfer : public ::testing::Test {
  protected:
    Transfer() : owned(h.context.makePort()), port(*h.lastPort), ex(*owned, h.clock) {
        owned->setCommPort(3);
        owned->open();
        for (std::size_t i = 0; i < 128; ++i) h.panel->memory[i] = (i * 37 + 11) & 0xFF;
    }
    Frames sent() const {
        Frames out;
        for (const auto& w : port.writes) out.push_back(w.bytes);
        return out;
    }
    QString stored(int a) const {
        return QString::asprintf("%02X", h.panel->memory[static_cast<std::size_t>(a)]);
    }
    void expectAllFailed() const {
        for (int i = 0; i < 128; ++i)
            EXPECT_TRUE(grid.text(i) == "Er" && grid.colour(i) == kRed) << i;
    }
    // Between writes `from` and `to`: one clock step after each frame marked paced, none else.
    void expectPacing(std::size_t from, std::size_t to,
                      const std::function<bool(std::size_t)>& paced) {
        const auto& w = port.writes;
        EXPECT_GT(w[1].time - w[0].time, 0.5);  // settle after the opening
        EXPECT_LT(w[1].time - w[0].time, 0.52);
        for (std::size_t i = from; i < to; ++i) {
            if (paced(i - 1))
                EXPECT_EQ(tickOf(w[i].time), tickOf(w[i - 1].time) + 1) << i;
            else
                EXPECT_EQ(w[i].time, w[i - 1].time) << i;
        }
    }

    test::Harness h;
    std::unique_ptr<SerialPort> owned;
    sim::SimSerialPort& port;
    Exchange ex;
    MemoryGrid grid;
};

TEST_F(Transfer, RateReadSequencePacingAndCells) {
    for (int i = 0; i < 128; ++i) grid.set(i, "AB", kRed);
    struct Redraw {
        int index;
        QString text;
        std::size_t writes;
    };
    std::vector<Redraw> redraws;
    grid.setRedrawHook([&](int i) { redraws.push_back({i, grid.text(i), port.writes.size()}); });

    EXPECT_FALSE(LIT_24C01(ex, grid, kRateTransfer));

    Frames want;
    add(want, Prefix::P31, {"SSS", "SSS", "ZA0", "Y60", "ZA1"});
    add(want, Prefix::P31, {"X1X"}, 32);
    add(want, Prefix::P31, {"X6X", "RRR"});
    EXPECT_EQ(sent(), want);
    EXPECT_FALSE(port.dtr());
    expectPacing(2, want.size(), [](std::size_t i) { return i >= 5 && i <= 36; });

    for (int i = 0; i < 96; ++i) EXPECT_TRUE(grid.text(i) == " " && grid.colour(i) == kWhite) << i;
    for (int a = 96; a < 128; ++a)
        EXPECT_TRUE(grid.text(a) == stored(a) && grid.colour(a) == kGreen) << a;
    // All 128 cleared before the first frame; each "?" shows right after its own "X1X".
    ASSERT_EQ(redraws.size(), 128u + 32u + 32u);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(redraws[std::size_t(i)].writes, 0u);
    for (int k = 0; k < 32; ++k) {
        const Redraw& r = redraws[std::size_t(128 + k)];
        EXPECT_TRUE(r.index == 96 + k && r.text == "?" && r.writes == std::size_t(6 + k)) << k;
    }
}

TEST_F(Transfer, RateReadNeedsMoreThan222Characters) {
    port.faults.keepAfterDiscard = 223;
    port.faults.perPoll = 7;  // arriving in pieces: taken only once it is whole
    EXPECT_FALSE(LIT_24C01(ex, grid, kRateTransfer));
    EXPECT_EQ(grid.text(127), stored(127));

    port.faults.keepAfterDiscard = 222;
    EXPECT_TRUE(LIT_24C01(ex, grid, kRateTransfer));
    EXPECT_GT(h.clock.seconds() - port.writes.back().time, 1.0);
    expectAllFailed();
}

TEST_F(Transfer, RateWriteSequencePacingAndExactly200) {
    for (int i = 0; i < 128; ++i) grid.set(i, QString::number(i % 16, 16), kRed);
    EXPECT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));

    Frames want = {frame(Prefix::P_31, "SSS", 5)};
    for (int page : {0x60, 0x70}) {
        add(want, Prefix::P_31, {"SSS", "ZA0", byteCommand(page)});
        for (int c = 0; c < 16; ++c) add(want, Prefix::P_31, {byteCommand(c)});
        add(want, Prefix::P_31, {"WWW"});
    }
    EXPECT_EQ(sent(), want);
    EXPECT_FALSE(port.dtr());
    expectPacing(2, want.size(), [](std::size_t i) { return (i >= 4 && i <= 19) || i >= 24; });
    for (int i = 0; i < 128; ++i)  // all green, texts untouched
        EXPECT_TRUE(grid.colour(i) == kGreen && grid.text(i) == QString::number(i % 16, 16)) << i;

    port.faults.keepAfterDiscard = 199;
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kRateTransfer));
    EXPECT_GT(h.clock.seconds() - port.writes.back().time, 1.0);
    expectAllFailed();
    for (int i = 96; i < 128; ++i) grid.setText(i, "12");
    port.faults.extra = "x";  // one character more per frame, of which 201 get through
    port.faults.keepAfterDiscard = 201;
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kRateTransfer));
    expectAllFailed();
}

TEST_F(Transfer, WholeMemoryReadsBackToBackPast787) {
    for (const bool microswitch : {false, true}) {
        SCOPED_TRACE(microswitch ? "microswitch" : "brightness");
        const TransferProfile& p = microswitch ? kMicroswitchTransfer : kBrightnessTransfer;
        port.writes.clear();
        port.faults = {};
        port.faults.perPoll = 1;  // arriving one character a poll: taken once it is whole
        EXPECT_FALSE(LIT_24C01(ex, grid, p));

        Frames want = {frame(Prefix::P_31, "SSS", 5)};
        add(want, Prefix::P_31, {"SSS", "ZA0", "Y00", "ZA1"});
        add(want, Prefix::P_31, {"X1X"}, 128);
        add(want, Prefix::P_31, {"X6X"});
        if (microswitch) add(want, Prefix::P_31, {"RRR"});
        EXPECT_EQ(sent(), want);
        expectPacing(2, want.size(), [](std::size_t) { return false; });
        for (int a = 0; a < 128; ++a)
            EXPECT_TRUE(grid.text(a) == stored(a) && grid.colour(a) == kGreen) << a;

        port.faults.keepAfterDiscard = 787;
        EXPECT_TRUE(LIT_24C01(ex, grid, p));
        expectAllFailed();
    }
}

TEST_F(Transfer, BrightnessWriteEightPagesAndExactly800) {
    for (int i = 0; i < 128; ++i) grid.set(i, "7", kRed);
    EXPECT_FALSE(ECRIT_24C01(ex, grid, kBrightnessTransfer));
    Frames want = {frame(Prefix::P_31, "SSS", 5)};
    for (int page = 0; page < 128; page += 16) {
        add(want, Prefix::P_31, {"SSS", "ZA0", byteCommand(page)});
        add(want, Prefix::P_31, {"Y07"}, 16);
        add(want, Prefix::P_31, {"WWW"});
    }
    EXPECT_EQ(sent(), want);
    expectPacing(2, want.size(), [](std::size_t) { return false; });
    EXPECT_EQ(grid.colour(0), kGreen);

    for (const int keep : {799, 801}) {
        for (int i = 0; i < 128; ++i) grid.setText(i, "7");
        port.faults.extra = keep > 800 ? "x" : "";
        port.faults.keepAfterDiscard = keep;
        EXPECT_TRUE(ECRIT_24C01(ex, grid, kBrightnessTransfer)) << keep;
        expectAllFailed();
    }
    port.writes.clear();
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kMicroswitchTransfer));  // that window never writes
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(Transfer, WrittenBytesReadBackTheSame) {
    const QStringList texts = {"5", "a5", "FF", " 7", "C 3"};
    const QStringList sentAs = {"05", "A5", "FF", "07", "C3"};
    for (int a = 96; a < 128; ++a) grid.setText(a, texts[a % texts.size()]);
    ASSERT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));
    ASSERT_FALSE(LIT_24C01(ex, grid, kRateTransfer));
    for (int a = 96; a < 128; ++a) EXPECT_EQ(grid.text(a), sentAs[a % sentAs.size()]) << a;

    for (int a = 0; a < 128; ++a) grid.setText(a, QString::number((a * 113 + 5) & 0xFF, 16));
    ASSERT_FALSE(ECRIT_24C01(ex, grid, kBrightnessTransfer));
    MemoryGrid back;
    ASSERT_FALSE(LIT_24C01(ex, back, kMicroswitchTransfer));
    for (int a = 0; a < 128; ++a) EXPECT_EQ(back.text(a).toInt(nullptr, 16), (a * 113 + 5) & 0xFF);
}

TEST_F(Transfer, CellsThatAreNotAByteStopTheWriteBeforeItsFirstFrame) {
    // An empty cell holds nothing anybody read or typed: never sent as "00".
    QStringList bad = {"Er", "?", "G1", "5Z", "123"};
    bad << QString(3000, QChar('A')) << "-1" << QString(QChar(0)) << QStringLiteral("１") << "0x"
        << ""
        << " ";
    for (const auto* profile : {&kRateTransfer, &kBrightnessTransfer}) {
        for (int a = 0; a < 128; ++a) grid.set(a, "3C", kGreen);
        for (int k = 0; k < bad.size(); ++k) grid.setText(100 + 2 * k, bad[k]);
        EXPECT_TRUE(ECRIT_24C01(ex, grid, *profile));
        EXPECT_TRUE(port.writes.empty());
        for (int a = 0; a < 128; ++a) {
            const bool isBad = a >= 100 && a < 100 + 2 * bad.size() && a % 2 == 0;
            EXPECT_EQ(grid.colour(a), isBad ? kRed : kWhite) << a;
        }
        EXPECT_EQ(grid.text(110), QString(3000, QChar('A')));  // texts are kept
    }
    for (int a = 0; a < 128; ++a) grid.setText(a, a < 96 ? "Er" : "1");
    EXPECT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));  // the rate window sends 96..127 only
}

// A whole-memory read succeeds only with every answer its frames call for: one byte answer lost
// on the line (the panel's address moves on) would shift every later byte one cell early, with
// hexadecimal digits in every place. The brightness programming then writes nothing.
TEST_F(Transfer, AWholeMemoryReadOneAnswerShortFails) {
    enum Op { Brightness, Switches, ProgramBrightness };
    const sim::Panel::Memory before = h.panel->memory;
    for (const Op op : {Brightness, Switches, ProgramBrightness}) {
        for (const int lost : {0, 1, 64, 128, 129}) {  // 129: the answer to "X6X"
            SCOPED_TRACE(testing::Message() << "operation " << op << ", lost answer " << lost);
            *h.panel = sim::Panel(before);
            h.panel->loseByteAnswer = lost;
            port.faults = {};
            port.faults.perPoll = 3;
            Cause cause = Cause::NotSent;  // of the read, in every operation
            if (op == Brightness) {
                cause = ops::readBrightness(ex, grid, ops::AfterFailedRead::Release).outcome.cause;
            } else if (op == Switches) {
                cause = ops::readSwitches(ex, grid, ops::AfterFailedRead::Release).outcome.cause;
            } else {
                memmap::BrightnessSettings settings;
                settings.option = 2;
                const ops::ProgramResult r =
                    ops::programBrightness(ex, grid, settings, ops::AfterFailedRead::Release);
                cause = r.status == ops::Programming::NotRead ? r.outcome.first : r.outcome.cause;
            }
            EXPECT_EQ(cause, lost != 0 ? Cause::Incomplete : Cause::Done);
            if (lost != 0) {
                expectAllFailed();
                EXPECT_EQ(h.panel->commits, 0);
                EXPECT_EQ(h.panel->memory, before);
            } else if (op == ProgramBrightness) {
                EXPECT_EQ(h.panel->commits, 8);
            } else {
                for (int a = 0; a < 128; ++a) EXPECT_EQ(grid.text(a), stored(a)) << a;
            }
        }
    }
}

// Each byte's two characters must be hexadecimal digits where the answer puts them; otherwise
// none of the bytes is trusted and the read fails as a time-out does.
TEST_F(Transfer, AnAnswerOutOfStepOrGarbledFailsTheWholeRead) {
    struct Case {
        const char* name;
        const TransferProfile* profile;
        std::function<void(sim::LineFaults&)> fault;
        int readAbove = 0;  // taken earlier than the panel's own counts allow, when set
    };
    int answers = 0;
    const Case cases[] = {
        {"one character too many per answer", &kRateTransfer,
         [](sim::LineFaults& f) { f.extra = "~"; }},
        {"a late acknowledgement in front", &kRateTransfer,
         [&](sim::LineFaults& f) {
             f.garble = [&](const QByteArray& a) {
                 return ++answers == 2 ? QByteArray("01\x02\x06\x03") + a : a;
             };
         }},
        {"a byte garbled", &kBrightnessTransfer,
         [&](sim::LineFaults& f) {
             f.garble = [&](const QByteArray& a) {
                 return ++answers == 80 ? a.left(3) + "G" + a.mid(4) : a;
             };
         }},
        {"an answer too short for its bytes", &kRateTransfer,
         [](sim::LineFaults& f) { f.perPoll = 60; }, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        answers = 0;
        port.faults = {};
        c.fault(port.faults);
        TransferProfile p = *c.profile;
        if (c.readAbove) p.readAbove = c.readAbove;
        for (int i = 0; i < 128; ++i) grid.set(i, "AB", kWhite);
        EXPECT_TRUE(LIT_24C01(ex, grid, p));
        expectAllFailed();
    }
}

// A line that stops taking bytes ends the transfer at its first refused frame: nothing more is
// sent and no wait is made for a reply.
TEST_F(Transfer, ARefusedFrameEndsTheTransferAtOnce) {
    for (const bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        for (int i = 0; i < 128; ++i) grid.set(i, "5A", kWhite);
        port.writes.clear();
        port.faults = {};
        port.faults.takeWrites = 12;
        Exchange stalled(*owned, h.clock);
        const double start = h.clock.seconds();
        EXPECT_TRUE(write ? ECRIT_24C01(stalled, grid, kRateTransfer)
                          : LIT_24C01(stalled, grid, kRateTransfer));
        EXPECT_TRUE(stalled.broken());
        EXPECT_EQ(port.writes.size(), 12u);
        EXPECT_LT(h.clock.seconds() - start, 1.0);  // no reply wait
        expectAllFailed();
        EXPECT_FALSE(stalled.send(Prefix::P31, "RRR"));
    }
}

// The device gone while the panel answers: the port closed says why.
TEST_F(Transfer, APortGoneDuringTheAnswerIsPortLost) {
    port.faults.charSeconds = 1.0 / 960;  // the answer takes its time on the line
    h.clock.onAdvance([this] {
        if (port.isOpen() && !port.writes.empty() && port.writes.back().bytes.contains("RRR"))
            port.unplug();
    });
    EXPECT_EQ(readMemory(ex, grid, kRateTransfer).cause, Cause::PortLost);
    h.clock.onAdvance({});
}

}  // namespace
}  // namespace veq

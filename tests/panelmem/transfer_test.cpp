#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include <QStringList>

#include "link/exchange.h"
#include "panelmem/transfer.h"
#include "tests/support/harness.h"

namespace veq {
namespace {

using colour::kGreen;
using colour::kRed;
using colour::kWhite;

QByteArray f(Prefix p, const QByteArray& command, int repeat = 1) {
    return frame(p, command, repeat);
}

long long tickOf(double seconds) {
    return static_cast<long long>(std::floor(seconds * Clock::kTicksPerSecond));
}

// A panel on COM3, an open simulated port to it, and one grid.
class Transfer : public ::testing::Test {
  protected:
    Transfer() : owned(h.context.makePort()), port(*h.lastPort), ex(*owned, h.clock) {
        owned->setCommPort(3);
        owned->open();
        for (int i = 0; i < 128; ++i)
            h.panel->memory[static_cast<std::size_t>(i)] = (i * 37 + 11) & 0xFF;
    }

    std::vector<QByteArray> sent() const {
        std::vector<QByteArray> out;
        for (const auto& w : port.writes) out.push_back(w.bytes);
        return out;
    }
    QString memoryText(int address) const {
        return QString::number(h.panel->memory[static_cast<std::size_t>(address)], 16)
            .toUpper()
            .rightJustified(2, QLatin1Char('0'));
    }
    void expectAllFailed() const {
        for (int i = 0; i < 128; ++i) {
            EXPECT_EQ(grid.text(i), "Er") << i;
            EXPECT_EQ(grid.colour(i), kRed) << i;
        }
        EXPECT_EQ(grid.text(128), "0");  // the fill value is no part of a transfer
    }
    // Records each redraw with the number of writes made so far.
    struct Redraw {
        int index;
        QString text;
        int colour;
        std::size_t writes;
    };
    void recordRedraws() {
        grid.setRedrawHook([this](int i) {
            redraws.push_back({i, grid.text(i), grid.colour(i), port.writes.size()});
        });
    }

    test::Harness h;
    std::unique_ptr<SerialPort> owned;
    sim::SimSerialPort& port;
    Exchange ex;
    MemoryGrid grid;
    std::vector<Redraw> redraws;
};

// ---------------------------------------------------------------------------------------------
// Rate-parameter window

TEST_F(Transfer, RateReadSendsItsFramesPacedAndFillsTheLastThirtyTwoCells) {
    for (int i = 0; i < 128; ++i) grid.set(i, "AB", kRed);
    recordRedraws();
    const double start = h.clock.seconds();

    EXPECT_FALSE(LIT_24C01(ex, grid, kRateTransfer));

    std::vector<QByteArray> want = {f(Prefix::P31, "SSS"), f(Prefix::P31, "SSS"),
                                    f(Prefix::P31, "ZA0"), f(Prefix::P31, "Y60"),
                                    f(Prefix::P31, "ZA1")};
    for (int k = 0; k < 32; ++k) want.push_back(f(Prefix::P31, "X1X"));
    want.push_back(f(Prefix::P31, "X6X"));
    want.push_back(f(Prefix::P31, "RRR"));
    EXPECT_EQ(sent(), want);

    const auto& w = port.writes;
    EXPECT_EQ(w[0].time, start);
    EXPECT_GT(w[1].time - w[0].time, 0.5);  // settle
    EXPECT_LT(w[1].time - w[0].time, 0.52);
    EXPECT_FALSE(port.dtr());
    for (int i = 2; i <= 5; ++i) EXPECT_EQ(w[i].time, w[1].time);  // back to back up to X1X
    for (int i = 6; i <= 37; ++i) EXPECT_EQ(tickOf(w[i].time), tickOf(w[i - 1].time) + 1) << i;
    EXPECT_EQ(w[38].time, w[37].time);

    for (int i = 0; i < 96; ++i) {
        EXPECT_EQ(grid.text(i), " ") << i;
        EXPECT_EQ(grid.colour(i), kWhite) << i;
    }
    for (int a = 96; a < 128; ++a) {
        EXPECT_EQ(grid.text(a), memoryText(a)) << a;
        EXPECT_EQ(grid.colour(a), kGreen) << a;
    }

    // Every cell is cleared and redrawn before the first frame; each "?" shows right after its
    // own "X1X", before the next frame.
    ASSERT_EQ(redraws.size(), 128u + 32u + 32u);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(redraws[static_cast<std::size_t>(i)].index, i);
        EXPECT_EQ(redraws[static_cast<std::size_t>(i)].writes, 0u);
    }
    for (int k = 0; k < 32; ++k) {
        const Redraw& r = redraws[static_cast<std::size_t>(128 + k)];
        EXPECT_EQ(r.index, 96 + k);
        EXPECT_EQ(r.text, "?");
        EXPECT_EQ(r.colour, kWhite);
        EXPECT_EQ(r.writes, static_cast<std::size_t>(6 + k));
    }
}

TEST_F(Transfer, RateReadTakesTheAnswerOnlyPastTwoHundredTwentyTwoCharacters) {
    port.faults.keepAfterDiscard = 223;
    port.faults.perPoll = 7;  // arriving in pieces: taken only once it is whole
    EXPECT_FALSE(LIT_24C01(ex, grid, kRateTransfer));
    for (int a = 96; a < 128; ++a) EXPECT_EQ(grid.text(a), memoryText(a)) << a;

    port.faults.keepAfterDiscard = 222;
    const double start = h.clock.seconds();
    EXPECT_TRUE(LIT_24C01(ex, grid, kRateTransfer));
    EXPECT_GT(h.clock.seconds() - port.writes.back().time, 1.0);
    EXPECT_LT(h.clock.seconds() - start, 2.2);
    expectAllFailed();
    EXPECT_EQ(port.inBufferCount(), 0);  // drained
}

TEST_F(Transfer, RateWriteSendsTwoPagesPacedAndConfirmsOnExactlyTwoHundred) {
    for (int i = 0; i < 128; ++i) grid.set(i, QString::number(i % 16, 16), kRed);
    recordRedraws();

    EXPECT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));

    std::vector<QByteArray> want = {f(Prefix::P_31, "SSS", 5)};
    for (int page : {0x60, 0x70}) {
        want.push_back(f(Prefix::P_31, "SSS"));
        want.push_back(f(Prefix::P_31, "ZA0"));
        want.push_back(f(Prefix::P_31, byteCommand(page)));
        for (int c = 0; c < 16; ++c) want.push_back(f(Prefix::P_31, byteCommand(c)));
        want.push_back(f(Prefix::P_31, "WWW"));
    }
    EXPECT_EQ(sent(), want);
    EXPECT_EQ(port.writes[0].bytes.size(), 40);

    const auto& w = port.writes;
    EXPECT_GT(w[1].time - w[0].time, 0.5);
    EXPECT_FALSE(port.dtr());
    // A data frame is followed by one clock step; "SSS", "ZA0", the page and "WWW" are not.
    const auto isData = [](std::size_t i) { return (i >= 4 && i <= 19) || (i >= 24 && i <= 39); };
    for (std::size_t i = 2; i < w.size(); ++i) {
        if (isData(i - 1))
            EXPECT_EQ(tickOf(w[i].time), tickOf(w[i - 1].time) + 1) << i;
        else
            EXPECT_EQ(w[i].time, w[i - 1].time) << i;
    }

    // Each cell turns green right after its own data frame.
    std::vector<Redraw> greens;
    for (const Redraw& r : redraws)
        if (r.writes > 0 && r.colour == kGreen && greens.size() < 32) greens.push_back(r);
    ASSERT_EQ(greens.size(), 32u);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(greens[static_cast<std::size_t>(k)].index, 96 + k);
        EXPECT_EQ(greens[static_cast<std::size_t>(k)].writes,
                  static_cast<std::size_t>(k < 16 ? 5 + k : 25 + (k - 16)));
    }
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(grid.colour(i), kGreen) << i;
        EXPECT_EQ(grid.text(i), QString::number(i % 16, 16)) << i;  // texts untouched
    }
}

TEST_F(Transfer, RateWriteFailsUnlessTheCountRestsAtTwoHundred) {
    for (int i = 96; i < 128; ++i) grid.setText(i, "12");
    port.faults.keepAfterDiscard = 199;
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kRateTransfer));
    EXPECT_GT(h.clock.seconds() - port.writes.back().time, 1.0);
    expectAllFailed();

    for (int i = 96; i < 128; ++i) grid.setText(i, "12");
    port.faults.extra = "x";             // every frame answered with one character more...
    port.faults.keepAfterDiscard = 201;  // ...of which 201 get through
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kRateTransfer));
    expectAllFailed();
}

// ---------------------------------------------------------------------------------------------
// Brightness and microswitch windows

std::vector<QByteArray> wholeRead(bool rrr) {
    std::vector<QByteArray> want = {f(Prefix::P_31, "SSS", 5), f(Prefix::P_31, "SSS"),
                                    f(Prefix::P_31, "ZA0"), f(Prefix::P_31, "Y00"),
                                    f(Prefix::P_31, "ZA1")};
    for (int k = 0; k < 128; ++k) want.push_back(f(Prefix::P_31, "X1X"));
    want.push_back(f(Prefix::P_31, "X6X"));
    if (rrr) want.push_back(f(Prefix::P_31, "RRR"));
    return want;
}

TEST_F(Transfer, WholeMemoryReadsSendBackToBackAndTakeAnyAnswerPastSevenEightySeven) {
    for (const bool microswitch : {false, true}) {
        SCOPED_TRACE(microswitch ? "microswitch" : "brightness");
        port.writes.clear();
        for (int i = 0; i < 128; ++i) grid.set(i, "zz", kRed);
        port.faults.perPoll = 1;  // taken at 788 characters: the last byte is there already

        EXPECT_FALSE(LIT_24C01(ex, grid, microswitch ? kMicroswitchTransfer : kBrightnessTransfer));

        EXPECT_EQ(sent(), wholeRead(microswitch));
        const auto& w = port.writes;
        EXPECT_GT(w[1].time - w[0].time, 0.5);
        for (std::size_t i = 2; i < w.size(); ++i) EXPECT_EQ(w[i].time, w[1].time) << i;
        for (int a = 0; a < 128; ++a) {
            EXPECT_EQ(grid.text(a), memoryText(a)) << a;
            EXPECT_EQ(grid.colour(a), kGreen) << a;
        }

        port.faults.perPoll = 0;
        port.faults.keepAfterDiscard = 787;
        EXPECT_TRUE(LIT_24C01(ex, grid, microswitch ? kMicroswitchTransfer : kBrightnessTransfer));
        expectAllFailed();
        port.faults.keepAfterDiscard = -1;
    }
}

TEST_F(Transfer, BrightnessWriteSendsEightPagesAndConfirmsOnExactlyEightHundred) {
    for (int i = 0; i < 128; ++i) grid.set(i, "7", kRed);
    EXPECT_FALSE(ECRIT_24C01(ex, grid, kBrightnessTransfer));

    std::vector<QByteArray> want = {f(Prefix::P_31, "SSS", 5)};
    for (int page = 0; page < 128; page += 16) {
        for (const QByteArray& c : {QByteArray("SSS"), QByteArray("ZA0"), byteCommand(page)})
            want.push_back(f(Prefix::P_31, c));
        for (int c = 0; c < 16; ++c) want.push_back(f(Prefix::P_31, "Y07"));
        want.push_back(f(Prefix::P_31, "WWW"));
    }
    EXPECT_EQ(sent(), want);
    const auto& w = port.writes;
    EXPECT_GT(w[1].time - w[0].time, 0.5);
    for (std::size_t i = 2; i < w.size(); ++i) EXPECT_EQ(w[i].time, w[1].time) << i;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(grid.colour(i), kGreen) << i;

    for (const int keep : {799, 801}) {
        SCOPED_TRACE(keep);
        for (int i = 0; i < 128; ++i) grid.setText(i, "7");
        port.faults.extra = keep > 800 ? "x" : "";
        port.faults.keepAfterDiscard = keep;
        EXPECT_TRUE(ECRIT_24C01(ex, grid, kBrightnessTransfer));
        expectAllFailed();
    }
}

TEST_F(Transfer, MicroswitchWindowNeverWrites) {
    grid.setText(3, "12");
    EXPECT_TRUE(ECRIT_24C01(ex, grid, kMicroswitchTransfer));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(grid.text(3), "12");
}

// ---------------------------------------------------------------------------------------------
// Round trips and what a cell may hold

TEST_F(Transfer, WrittenBytesReadBackTheSame) {
    const QStringList texts = {"5", "", " ", "a5", "FF", "00", " 7", "C 3"};
    const QStringList sentAs = {"05", "00", "00", "A5", "FF", "00", "07", "C3"};
    for (int a = 96; a < 128; ++a) grid.setText(a, texts[a % texts.size()]);
    ASSERT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));
    MemoryGrid back;
    ASSERT_FALSE(LIT_24C01(ex, back, kRateTransfer));
    for (int a = 96; a < 128; ++a) EXPECT_EQ(back.text(a), sentAs[a % sentAs.size()]) << a;

    for (int a = 0; a < 128; ++a) grid.setText(a, QString::number((a * 113 + 5) & 0xFF, 16));
    ASSERT_FALSE(ECRIT_24C01(ex, grid, kBrightnessTransfer));
    for (int a = 0; a < 128; ++a)
        EXPECT_EQ(h.panel->memory[static_cast<std::size_t>(a)], (a * 113 + 5) & 0xFF) << a;
    ASSERT_FALSE(LIT_24C01(ex, back, kMicroswitchTransfer));
    for (int a = 0; a < 128; ++a)
        EXPECT_EQ(back.text(a).toInt(nullptr, 16), (a * 113 + 5) & 0xFF) << a;
}

TEST_F(Transfer, CellsThatAreNotABytePreventTheWholeWrite) {
    const QStringList bad = {"Er",
                             "?",
                             "G1",
                             "5Z",
                             "123",
                             QString(3000, QChar('A')),
                             "-1",
                             QString(QChar(0)),
                             QStringLiteral("１"),
                             QStringLiteral("é"),
                             "0x"};
    for (const auto* profile : {&kRateTransfer, &kBrightnessTransfer}) {
        for (int a = 0; a < 128; ++a) grid.set(a, "3C", kGreen);
        for (int k = 0; k < bad.size(); ++k) grid.setText(100 + 2 * k, bad[k]);

        EXPECT_TRUE(ECRIT_24C01(ex, grid, *profile));
        EXPECT_TRUE(port.writes.empty());
        for (int a = 0; a < 128; ++a) {
            const bool isBad = a >= 100 && a < 100 + 2 * bad.size() && a % 2 == 0;
            EXPECT_EQ(grid.colour(a), isBad ? kRed : kWhite) << a;
        }
        EXPECT_EQ(grid.text(100), "Er");
        EXPECT_EQ(grid.text(110), QString(3000, QChar('A')));  // texts are kept
    }
    // The rate window sends 96..127 only: what lies below does not stop it.
    for (int a = 0; a < 128; ++a) grid.setText(a, a < 96 ? "Er" : "1");
    EXPECT_FALSE(ECRIT_24C01(ex, grid, kRateTransfer));
    EXPECT_FALSE(port.writes.empty());
}

TEST_F(Transfer, AnAnswerTooShortForItsBytesMarksThemFailed) {
    // A profile that takes its answer early: the panel's own counts never allow this.
    TransferProfile early = kRateTransfer;
    early.readAbove = 40;
    port.faults.perPoll = 60;
    EXPECT_TRUE(LIT_24C01(ex, grid, early));
    EXPECT_EQ(grid.text(96), memoryText(96));  // 1-based 24..25 arrived
    EXPECT_EQ(grid.colour(96), kGreen);
    EXPECT_EQ(grid.text(127), "Er");
    EXPECT_EQ(grid.colour(127), kRed);
}

}  // namespace
}  // namespace veq

// Many transfers in a row against the simulated panel: what is programmed reads back field by
// field, and a transfer that fails never touches bytes of the panel it was not asked to write.
#include <gtest/gtest.h>

#include <random>

#include "panelmem/memmap.h"
#include "panelmem/operations.h"
#include "panelmem/transfer.h"
#include "panelsim/model/simport.h"

namespace veq {
namespace {

using memmap::RateSettings;

struct Soak : ::testing::Test {
    Soak() {
        panel->keepFrames = false;
        bus.attach(1, panel);
        port.setCommPort(1);
        port.open();
    }
    // A time step of 5 ms keeps every wait exact enough and the soak quick.
    ManualClock clock{1000.0, 0.005};
    sim::SimBus bus;
    std::shared_ptr<sim::Panel> panel = std::make_shared<sim::Panel>();
    sim::SimSerialPort port{bus, clock};
    Exchange ex{port, clock};
    std::mt19937 rng{20261207};

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    RateSettings randomSettings() {
        const int colours[] = {colour::kRed, colour::kGreen, colour::kOrange};
        RateSettings s;
        int low = 0;
        for (int i = 0; i < 5; ++i) {
            low = pick(low + (i ? 2 : 0), 9999 - 2 * (4 - i));
            s.ranges[static_cast<size_t>(i)] = {low, colours[pick(0, 2)]};
        }
        s.brightnessOption = pick(0, 5);
        s.averaging2 = pick(0, 4);
        s.averaging1 = pick(0, 3);
        s.timeBase = static_cast<quint32>(pick(1, 0x7FFFFFFF));
        s.antiBounce = pick(0, 255);
        s.relay1 = pick(1, 9999);
        s.relay2 = pick(1, 9999);
        s.flags = {pick(0, 3), pick(0, 2), pick(0, 2)};
        s.stopThreshold = pick(3, 3600);
        return s;
    }
};

TEST_F(Soak, ThousandsOfParameterSetsReadBackFieldByField) {
    constexpr int kCycles = 2000;
    int mismatches = 0;
    for (int n = 0; n < kCycles; ++n) {
        const RateSettings s = randomSettings();
        MemoryGrid out;
        ASSERT_EQ(ops::programRate(ex, out, s).status, ops::Programming::Done) << "cycle " << n;
        MemoryGrid in;
        ASSERT_FALSE(LIT_24C01(ex, in, kRateTransfer)) << "cycle " << n;
        ASSERT_FALSE(memmap::isBlank(in));
        const memmap::RateReading r = memmap::decodeRate(in);
        bool same = true;
        same &= r.ranges == s.ranges;
        same &= r.averaging2 == s.averaging2 && r.averaging1 == s.averaging1;
        same &= static_cast<quint32>(r.timeBase) == s.timeBase;
        same &= r.antiBounce == s.antiBounce && r.relay1 == s.relay1 && r.relay2 == s.relay2;
        same &= r.flags == s.flags && r.stopThreshold == s.stopThreshold;
        // The brightness code replaces the signature's third character.
        const int b108 = panel->memory[108];
        same &= s.brightnessOption ? b108 == (1 << s.brightnessOption) : b108 == 0x4B;
        if (!same) {
            ++mismatches;
            ADD_FAILURE() << "cycle " << n << " read back differently";
        }
    }
    EXPECT_EQ(mismatches, 0);
    RecordProperty("cycles", kCycles);
}

TEST_F(Soak, RandomWholeMemoriesWriteAndReadBackByteByByte) {
    for (int n = 0; n < 300; ++n) {
        MemoryGrid out;
        std::array<int, 128> bytes{};
        for (int a = 0; a < 128; ++a) {
            bytes[static_cast<size_t>(a)] = pick(0, 255);
            // Cells as an operator may leave them: one digit, lower case, or two digits.
            const QString hex = QString::number(bytes[static_cast<size_t>(a)], 16);
            out.setText(a, pick(0, 1) ? hex : hex.toUpper());
        }
        ASSERT_FALSE(ECRIT_24C01(ex, out, kBrightnessTransfer));
        MemoryGrid in;
        ASSERT_FALSE(LIT_24C01(ex, in, kMicroswitchTransfer));
        for (int a = 0; a < 128; ++a) {
            ASSERT_EQ(panel->memory[static_cast<size_t>(a)], bytes[static_cast<size_t>(a)]);
            ASSERT_EQ(memmap::cellValue(in, a), bytes[static_cast<size_t>(a)]) << a;
        }
    }
}

TEST_F(Soak, FailedTransfersNeverTouchBytesTheyWereNotAskedToWrite) {
    const TransferProfile* profiles[] = {&kRateTransfer, &kBrightnessTransfer};
    int failed = 0, refused = 0, good = 0;
    for (int n = 0; n < 600; ++n) {
        const TransferProfile& p = *profiles[pick(0, 1)];
        const auto before = panel->memory;
        port.faults = {};
        const int fault = pick(0, 5);
        if (fault == 1) port.faults.mute = true;
        if (fault == 2) port.faults.keepAfterDiscard = pick(0, p.writeConfirm - 1);
        if (fault == 3) port.faults.extra = "~";
        if (fault == 4) port.faults.garble = [](const QByteArray& a) { return sim::garbled(a); };

        MemoryGrid grid;
        for (int a = 0; a < 128; ++a) grid.setText(a, QString::number(pick(0, 255), 16));
        const int bad = fault == 5 ? p.firstAddress + pick(0, p.byteCount - 1) : -1;
        if (bad >= 0) grid.setText(bad, pick(0, 1) ? "Er" : "?");

        // What each cell asks the panel to hold (the grid shows "Er" after a failure).
        std::array<int, 128> sent{};
        for (int a = 0; a < 128; ++a)
            sent[static_cast<size_t>(a)] = byteToSend(grid.text(a)).value_or(-1);
        const bool writing = pick(0, 1) == 1;
        const bool fail = writing ? ECRIT_24C01(ex, grid, p) : LIT_24C01(ex, grid, p);
        for (int a = 0; a < 128; ++a) {
            const auto now = panel->memory[static_cast<size_t>(a)];
            const bool asked =
                writing && bad < 0 && a >= p.firstAddress && a < p.firstAddress + p.byteCount;
            if (!asked) {
                ASSERT_EQ(now, before[static_cast<size_t>(a)]) << "cycle " << n << " byte " << a;
            } else if (!fail) {
                ASSERT_EQ(now, sent[static_cast<size_t>(a)]) << "cycle " << n << " byte " << a;
            } else {
                ASSERT_TRUE(now == before[static_cast<size_t>(a)] ||
                            now == sent[static_cast<size_t>(a)])
                    << "cycle " << n << " byte " << a;
            }
        }
        // A write's answer is tested by its length alone: wrong characters pass, extra ones fail
        // (its count must rest exactly on its figure). A read takes only bytes that are two
        // hexadecimal digits where the answer puts them: extra characters put every byte out of
        // step, and garbling (the low bit flipped) leaves a digit a digit except "A" and "F".
        // A bad cell stops a write.
        bool garbledStillDigits = true;
        for (int a = p.firstAddress; a < p.firstAddress + p.byteCount; ++a)
            for (const QChar c : QString::asprintf("%02X", before[static_cast<size_t>(a)]))
                garbledStillDigits &= c != QLatin1Char('A') && c != QLatin1Char('F');
        const bool mustFail = fault == 1 || fault == 2 || fault == 3 ||
                              (!writing && fault == 4 && !garbledStillDigits) ||
                              (writing && fault == 5);
        ASSERT_EQ(fail, mustFail) << "cycle " << n << " fault " << fault;
        if (!fail)
            ++good;
        else if (writing && bad >= 0)
            ++refused;
        else
            ++failed;
    }
    EXPECT_GT(good, 0);
    EXPECT_GT(failed, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace veq

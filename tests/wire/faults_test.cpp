// Faults on the line while the operator reads or programs the rate parameters: the application
// keeps working, reports a failure where the panel did not confirm, and works again once the
// panel answers. A read is 39 frames ("SSS", then after the flush "SSS", "ZA0", "Y60", "ZA1",
// 32 "X1X", "X6X", "RRR"); a programming is a burst of 5 "SSS" and 40 frames (two pages of
// "SSS", "ZA0", the page address, 16 data frames, "WWW"), then "OOO" and "RRR".

#include <QLineEdit>

#include "link/frame.h"
#include "panelmem/colours.h"
#include "panelsim/model/image.h"
#include "tests/wire/bench.h"

namespace veq::test {
namespace {

using sim::Panel;

const Decoded kScrambled{{1, 3, 5, 7, 9}, 0, 0, 0, 3, 1, 1, 2};

TEST_F(OnTheWire, PanelFallingSilentMidReadIsAnErrorAndTheSamePanelServesAgain) {
    run([](Bench& b) {
        // Silent from the 21st frame: the 8th "X1X" on.
        b.startPanel(b.faulty, {"--mute-after", "20"});
        b.validate();
        const double took = b.read();
        ASSERT_TRUE(b.faulty.waitForLine("mute on"));
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        // The second of reply wait is the only wait beyond the transfer's own.
        EXPECT_GT(took, 1.9);
        EXPECT_LT(took, 10.0);

        // The panel answers again on the same terminal: no new simulator.
        ASSERT_TRUE(b.faulty.switchMute("mute off"));
        b.setControls(kScrambled);
        b.validate();
        b.read();
        b.expectMessages({{kReadOk, Icon::Information}});
        b.expectCellsHold(sim::programmedMemory());
        b.expectControls(kFactoryPanel);
    });
}

TEST_F(OnTheWire, PanelFallingSilentMidProgrammingIsAnErrorThoughTheBytesLanded) {
    run([](Bench& b) {
        const QString saved = b.dir.filePath("panel.hex");
        // Silent from the 26th frame: the first page's "WWW" is the last one answered.
        b.startPanel(b.faulty, {"--mute-after", "25", "--save", saved});
        b.validate();
        b.setControls(kProgrammed);
        b.program();
        ASSERT_TRUE(b.faulty.waitForLine("mute on"));
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        // A silent panel still hears: both pages were committed, unconfirmed.
        b.faulty.stop();
        b.expectRecovery(b.savedImage(saved), kProgrammed);
    });
}

TEST_F(OnTheWire, PanelKilledMidReadIsAnErrorAndThePortIsGoneUntilTheNextValidation) {
    run([](Bench& b) {
        // Killed on its 20th frame, the 7th "X1X".
        b.startPanel(b.faulty, {"--die-after", "20"});
        b.validate();
        const double took = b.read();
        ASSERT_TRUE(b.faulty.waitForKilled());
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        EXPECT_LT(took, 10.0);
        // The device has gone: the port closed itself, the flag still says a port was
        // validated.
        EXPECT_FALSE(b.cfg->MSComm1().isOpen());
        EXPECT_EQ(b.cfg->portFlag(), "True");

        // A read on the vanished device fails without waiting for a reply.
        const double again = b.read();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        EXPECT_LT(again, 10.0);
        // A programming sends nothing: the grid holds "Er" after the failed read.
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kReadFirst, Icon::Warning}});

        b.expectRecovery();
    });
}

TEST_F(OnTheWire, PanelKilledMidProgrammingIsAnErrorAndKeepsTheFirstPageOnly) {
    run([](Bench& b) {
        const QString saved = b.dir.filePath("panel.hex");
        // Killed on its 35th frame: the first page committed, the second cut after 6 data
        // frames.
        b.startPanel(b.faulty, {"--die-after", "35", "--save", saved});
        b.validate();
        b.setControls(kProgrammed);
        const double took = b.program();
        ASSERT_TRUE(b.faulty.waitForKilled());
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        EXPECT_LT(took, 10.0);
        EXPECT_FALSE(b.cfg->MSComm1().isOpen());

        // The panel comes back with what its memory kept: the first page new (the ranges at
        // 60..69, the level-2 averaging at 6F), the second as it was (the level-1 averaging at
        // 70, the stop threshold at 7B..7C).
        const Panel::Memory kept = b.savedImage(saved);
        Panel::Memory expected = sim::programmedMemory();
        for (int a = 0x60; a < 0x70; ++a)
            expected[static_cast<size_t>(a)] = kept[static_cast<size_t>(a)];
        EXPECT_EQ(kept, expected) << "only the first page changed";
        Decoded shown = kFactoryPanel;
        shown.ranges = kProgrammed.ranges;
        shown.averaging2 = kProgrammed.averaging2;
        b.expectRecovery(kept, shown);
    });
}

TEST_F(OnTheWire, GarbledAnswersOfTheRightLength) {
    run([](Bench& b) {
        const QString saved = b.dir.filePath("panel.hex");
        b.startPanel(b.faulty, {"--garble", "--save", saved});
        b.validate();

        // The programming counts 200 characters and never looks at them: success, and true,
        // since the panel took every frame.
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kWriteOk, Icon::Information}});
        const Panel::Memory held = b.savedImage(saved);
        for (int n = 96; n < 128; ++n) {
            EXPECT_EQ(b.cellColour(n), colour::kGreen) << "cell " << n;
            EXPECT_EQ(b.cellText(n).toUInt(nullptr, 16), held[static_cast<size_t>(n)])
                << "cell " << n;
        }

        // The read finds no byte where the answer should hold one ("A" and "F" flip to "@" and
        // "G"): it fails, as a time-out does, rather than decode the flipped characters.
        b.read();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();

        b.expectRecovery();
    });
}

TEST_F(OnTheWire, AnswersShortOfACharacterFailBothWays) {
    run([](Bench& b) {
        b.startPanel(b.faulty, {"--short", "1"});
        b.validate();
        // 40 answers of 4 characters: 160, never the 200 that confirm.
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        // 185 characters, not more than 222: the read gives up after its second.
        b.read();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        b.expectRecovery();
    });
}

TEST_F(OnTheWire, AnswersWithAnExtraCharacter) {
    run([](Bench& b) {
        const QString saved = b.dir.filePath("panel.hex");
        b.startPanel(b.faulty, {"--extra", "1", "--save", saved});
        b.validate();
        // 40 answers of 6 characters: 240, and no poll can see exactly 200. The panel took the
        // frames all the same.
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        const Panel::Memory held = b.savedImage(saved);

        // 261 characters pass the count, but the bytes no longer stand where a panel's answer
        // puts them: the read fails rather than take every byte out of step.
        b.read();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        EXPECT_EQ(b.savedImage(saved), held);

        // Nothing was read: a programming sends nothing and says to read first.
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kReadFirst, Icon::Warning}});

        b.expectRecovery();
    });
}

// The reply wait is one second from the closing frame. A panel that answers it 0.6 s late is
// in time; one 1.5 s late is not.
TEST_F(OnTheWire, SlowPanelJustInsideTheReplyWait) {
    run([](Bench& b) {
        b.startPanel(b.faulty, {"--lag", "0.6"});
        b.validate();
        const double took = b.read();
        b.expectMessages({{kReadOk, Icon::Information}});
        b.expectCellsHold(sim::programmedMemory());
        b.expectControls(kFactoryPanel);
        // 0.5 s settle, 32 clock steps (0.5 s), then the late answer.
        EXPECT_GT(took, 1.5);

        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kWriteOk, Icon::Information}});
        for (int n = 0; n < 128; ++n) EXPECT_EQ(b.cellColour(n), colour::kGreen) << "cell " << n;

        b.expectRecovery();
    });
}

TEST_F(OnTheWire, SlowPanelJustOutsideTheReplyWaitFailsARead) {
    run([](Bench& b) {
        b.startPanel(b.faulty, {"--lag", "1.5"});
        b.validate();
        const double took = b.read();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        EXPECT_GT(took, 1.9);
        EXPECT_LT(took, 10.0);
        b.expectRecovery();
    });
}

TEST_F(OnTheWire, SlowPanelJustOutsideTheReplyWaitFailsAProgramming) {
    run([](Bench& b) {
        const QString saved = b.dir.filePath("panel.hex");
        b.startPanel(b.faulty, {"--lag", "1.5", "--save", saved});
        b.validate();
        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kError, Icon::Warning}});
        b.expectAllCellsFailed();
        // Late, not lost: the panel took both pages.
        b.faulty.stop();
        b.expectRecovery(b.savedImage(saved), kProgrammed);
    });
}

}  // namespace
}  // namespace veq::test

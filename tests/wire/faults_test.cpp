// Faults on the line while the operator reads or programs the rate parameters: the application
// keeps working, reports a failure where the panel did not confirm, and works again once the
// panel answers. A read is 39 frames ("SSS", then after the flush "SSS", "ZA0", "Y60", "ZA1",
// 32 "X1X", "X6X", "RRR"); a programming is a burst of 5 "SSS" and 40 frames (two pages of
// "SSS", "ZA0", the page address, 16 data frames, "WWW"), then "OOO" and "RRR".

#include <QFile>
#include <QLineEdit>

#include "panelmem/colours.h"
#include "panelsim/model/image.h"
#include "tests/wire/bench.h"

namespace veq::test {
namespace {

using sim::Panel;

// The memory a panel holds after the tests' programming (kProgrammed): read back from a healthy
// simulator that took it.
Panel::Memory programmedByTheTests(const QString& savedImage) {
    Panel::Memory m{};
    QString error;
    EXPECT_TRUE(sim::loadImage(savedImage, m, error)) << error.toStdString();
    return m;
}

TEST_F(OnTheWire, PanelFallingSilentMidReadIsAnErrorAndTheSamePanelServesAgain) {
    // Silent from the 21st frame: the 8th "X1X" on.
    startPanel(faulty, {"--mute-after", "20"});
    validate();
    const double took = read();
    ASSERT_TRUE(faulty.waitForLine("mute on"));
    expectMessages({{kBlank, Icon::Warning}, {kError, Icon::Warning}});
    expectAllCellsFailed();
    // The second of reply wait is the only wait beyond the transfer's own.
    EXPECT_GT(took, 1.9);
    EXPECT_LT(took, 10.0);

    // The panel answers again on the same terminal: no new simulator.
    ASSERT_TRUE(faulty.switchMute("mute off"));
    setControls({{1, 3, 5, 7, 9}, 0, 0, 0, 3, 1, 1, 2});
    validate();
    read();
    expectMessages({{kReadOk, Icon::Information}});
    expectCellsHold(sim::programmedMemory());
    expectControls(kFactoryPanel);
}

TEST_F(OnTheWire, PanelFallingSilentMidProgrammingIsAnErrorThoughTheBytesLanded) {
    const QString saved = dir.filePath("panel.hex");
    // Silent from the 26th frame: the first page's "WWW" is the last one answered.
    startPanel(faulty, {"--mute-after", "25", "--save", saved});
    validate();
    setControls(kProgrammed);
    program();
    ASSERT_TRUE(faulty.waitForLine("mute on"));
    expectMessages({{kError, Icon::Warning}});
    expectAllCellsFailed();
    // A silent panel still hears: both pages were committed, unconfirmed.
    faulty.stop();
    expectRecovery(programmedByTheTests(saved), kProgrammed);
}

TEST_F(OnTheWire, PanelKilledMidReadIsAnErrorAndThePortIsGoneUntilTheNextValidation) {
    // Killed on its 20th frame, the 7th "X1X".
    startPanel(faulty, {"--die-after", "20"});
    validate();
    const double took = read();
    ASSERT_TRUE(faulty.waitForKilled());
    expectMessages({{kBlank, Icon::Warning}, {kError, Icon::Warning}});
    expectAllCellsFailed();
    EXPECT_LT(took, 10.0);
    // The device has gone: the port closed itself, the flag still says a port was validated.
    EXPECT_FALSE(cfg->MSComm1().isOpen());
    EXPECT_EQ(cfg->portFlag(), "True");

    // A read on the vanished device fails without waiting for a reply.
    const double again = read();
    expectMessages({{kBlank, Icon::Warning}, {kError, Icon::Warning}});
    expectAllCellsFailed();
    EXPECT_LT(again, 10.0);
    // So does a programming, which sends nothing: the grid holds "Er" after the failed read.
    setControls(kProgrammed);
    program();
    expectMessages({{kError, Icon::Warning}});

    expectRecovery();
}

TEST_F(OnTheWire, PanelKilledMidProgrammingIsAnErrorAndKeepsTheFirstPageOnly) {
    const QString saved = dir.filePath("panel.hex");
    // Killed on its 35th frame: the first page committed, the second cut after 6 data frames.
    startPanel(faulty, {"--die-after", "35", "--save", saved});
    validate();
    setControls(kProgrammed);
    const double took = program();
    ASSERT_TRUE(faulty.waitForKilled());
    expectMessages({{kError, Icon::Warning}});
    expectAllCellsFailed();
    EXPECT_LT(took, 10.0);
    EXPECT_FALSE(cfg->MSComm1().isOpen());

    // The panel comes back with what its memory kept: the first page new (the ranges at 60..69,
    // the level-2 averaging at 6F), the second as it was (the level-1 averaging at 70, the stop
    // threshold at 7B..7C).
    const Panel::Memory kept = programmedByTheTests(saved);
    Panel::Memory expected = sim::programmedMemory();
    for (int a = 0x60; a < 0x70; ++a)
        expected[static_cast<size_t>(a)] = kept[static_cast<size_t>(a)];
    EXPECT_EQ(kept, expected) << "only the first page changed";
    Decoded shown = kFactoryPanel;
    shown.ranges = kProgrammed.ranges;
    shown.averaging2 = kProgrammed.averaging2;
    expectRecovery(kept, shown);
}

TEST_F(OnTheWire, GarbledAnswersOfTheRightLength) {
    const QString saved = dir.filePath("panel.hex");
    startPanel(faulty, {"--garble", "--save", saved});
    validate();

    // The programming counts 200 characters and never looks at them: success, and true, since
    // the panel took every frame.
    setControls(kProgrammed);
    program();
    expectMessages({{kWriteOk, Icon::Information}});
    faulty.stop();  // the image is saved on the way out
    const Panel::Memory held = programmedByTheTests(saved);
    for (int n = 96; n < 128; ++n) {
        EXPECT_EQ(cellColour(n), colour::kGreen) << "cell " << n;
        EXPECT_EQ(cellText(n).toUInt(nullptr, 16), held[static_cast<size_t>(n)]) << "cell " << n;
    }

    // The read takes its 223 characters and decodes what stands where the bytes should: every
    // character flipped. The signature is not recognised: the blank warning, then the success.
    startPanel(faulty, {"--garble", "--load", saved});
    validate();
    read();
    expectMessages({{kBlank, Icon::Warning}, {kReadOk, Icon::Information}});
    for (int n = 96; n < 128; ++n) {
        QByteArray flipped =
            QByteArray::number(held[static_cast<size_t>(n)], 16).toUpper().rightJustified(2, '0');
        for (char& c : flipped) c = static_cast<char>(c ^ 0x01);
        EXPECT_EQ(cellText(n), QString::fromLatin1(flipped)) << "cell " << n;
        EXPECT_EQ(cellColour(n), colour::kGreen) << "cell " << n;
    }
    // The blank path: ranges back to 1, the rest as it was.
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(slider(QStringLiteral("HScroll1(%1)").arg(i))->value(), 1);
    EXPECT_EQ(slider("HScroll5")->value(), kProgrammed.stopThreshold);

    expectRecovery();
}

TEST_F(OnTheWire, AnswersShortOfACharacterFailBothWays) {
    startPanel(faulty, {"--short", "1"});
    validate();
    // 40 answers of 4 characters: 160, never the 200 that confirm.
    setControls(kProgrammed);
    program();
    expectMessages({{kError, Icon::Warning}});
    expectAllCellsFailed();
    // 185 characters, not more than 222: the read gives up after its second.
    read();
    expectMessages({{kBlank, Icon::Warning}, {kError, Icon::Warning}});
    expectAllCellsFailed();
    expectRecovery();
}

TEST_F(OnTheWire, AnswersWithAnExtraCharacter) {
    startPanel(faulty, {"--extra", "1"});
    validate();
    // 40 answers of 6 characters: 240, and no poll can see exactly 200.
    setControls(kProgrammed);
    program();
    expectMessages({{kError, Icon::Warning}});
    expectAllCellsFailed();

    // 261 characters pass the count; the bytes are taken where they would stand in a panel's
    // answer, now out of step with it: 24 holds the "~" ending the answer to "ZA1".
    read();
    expectMessages({{kBlank, Icon::Warning}, {kReadOk, Icon::Information}});
    EXPECT_EQ(cellText(96), QStringLiteral("~0"));
    int misplaced = 0;
    const Panel::Memory panel = sim::programmedMemory();
    for (int n = 96; n < 128; ++n) {
        const QString hex = QStringLiteral("%1")
                                .arg(panel[static_cast<size_t>(n)], 2, 16, QLatin1Char('0'))
                                .toUpper();
        misplaced += cellText(n) != hex;
    }
    EXPECT_GE(misplaced, 28);

    // The grid now holds texts that are not bytes (125..127): a programming sends nothing.
    setControls(kProgrammed);
    program();
    expectMessages({{kError, Icon::Warning}});

    expectRecovery();
}

// The reply wait is one second from the closing frame. A panel that answers it 0.6 s late is
// in time; one 1.5 s late is not. Either way the margin is 0.4 s or more against a busy machine.
TEST_F(OnTheWire, SlowPanelJustInsideTheReplyWait) {
    startPanel(faulty, {"--lag", "0.6"});
    validate();
    const double took = read();
    expectMessages({{kReadOk, Icon::Information}});
    expectCellsHold(sim::programmedMemory());
    expectControls(kFactoryPanel);
    // 0.5 s settle, 32 clock steps (0.5 s), then the late answer.
    EXPECT_GT(took, 1.5);

    setControls(kProgrammed);
    program();
    expectMessages({{kWriteOk, Icon::Information}});
    for (int n = 0; n < 128; ++n) EXPECT_EQ(cellColour(n), colour::kGreen) << "cell " << n;

    expectRecovery();
}

TEST_F(OnTheWire, SlowPanelJustOutsideTheReplyWaitFailsARead) {
    startPanel(faulty, {"--lag", "1.5"});
    validate();
    const double took = read();
    expectMessages({{kBlank, Icon::Warning}, {kError, Icon::Warning}});
    expectAllCellsFailed();
    EXPECT_GT(took, 1.9);
    EXPECT_LT(took, 10.0);
    expectRecovery();
}

TEST_F(OnTheWire, SlowPanelJustOutsideTheReplyWaitFailsAProgramming) {
    const QString saved = dir.filePath("panel.hex");
    startPanel(faulty, {"--lag", "1.5", "--save", saved});
    validate();
    setControls(kProgrammed);
    program();
    expectMessages({{kError, Icon::Warning}});
    expectAllCellsFailed();
    // Late, not lost: the panel took both pages.
    faulty.stop();
    expectRecovery(programmedByTheTests(saved), kProgrammed);
}

}  // namespace
}  // namespace veq::test

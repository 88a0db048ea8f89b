#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "brightness/sw.h"
#include "tests/brightness/bench.h"
#include "ui/windows.h"

namespace veq::test {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);

const char* const kSw2Captions[8] = {"DIP1 Anti-rebond\r\n",
                                     "DIP2 Signal actif\r\n",
                                     "DIP3 Luminosité (voir Doc)\r\n",
                                     "DIP4 Luminosité (voir Doc)\r\n",
                                     "DIP5 Point décimal (voir Doc)\r\n",
                                     "DIP6 Point décimal (voir Doc)\r\n",
                                     "DIP7 Point décimal (voir Doc)\r\n",
                                     "DIP8 Point décimal (voir Doc)\r\n"};
const char* const kSw3Captions[8] = {
    "DIP1 Nbr digit  (Voir doc.)\r\n", "DIP2 Nbr digit  (Voir doc.)\r\n",
    "DIP3 Nbr digit  (Voir doc.)\r\n", "DIP4 Valeur négative\r\n",
    "DIP5 RAZ automatique\r\n",        "DIP6 Zéro de tête\r\n",
    "DIP7 Report de visu\r\n",         "DIP8 Test de l'affichage\r\n"};

class Sw : public Bench {
  protected:
    explicit Sw(bool validate = true) : Bench(validate) {}

    // Bank "SW2" is SW2/Text2 (cell 75), bank "SW3" is SW1/Text3 (cell 74).
    QScrollBar* sw2(int i) { return find<QScrollBar>(sw, QStringLiteral("SW2(%1)").arg(i)); }
    QScrollBar* sw3(int i) { return find<QScrollBar>(sw, QStringLiteral("SW1(%1)").arg(i)); }
    QLineEdit* box2(int i) { return find<QLineEdit>(sw, QStringLiteral("Text2(%1)").arg(i)); }
    QLineEdit* box3(int i) { return find<QLineEdit>(sw, QStringLiteral("Text3(%1)").arg(i)); }
    QString model() { return find<QLabel>(sw, "Label30")->text(); }

    // Each switch and its caption box, as "1" for ON and "0" for OFF, switch 1 first; a switch
    // whose box has the wrong colour shows "?".
    QString bank(bool sw3Bank) {
        QString out;
        for (int i = 0; i < 8; ++i) {
            const int v = sw3Bank ? sw3(i)->value() : sw2(i)->value();
            const QColor c = background(sw3Bank ? box3(i) : box2(i));
            out += (v == 0 && c == kGreen) ? '1' : (v == 1 && c == kWhite) ? '0' : '?';
        }
        return out;
    }
    void read() { click(sw, "LIT_SW"); }

    SwWindow sw{h.context};
};

class SwWithoutPort : public Sw {
  protected:
    SwWithoutPort() : Sw(false) {}
};

TEST_F(Sw, LayoutCaptionsAndInitialState) {
    EXPECT_EQ(sw.objectName(), "SW");
    EXPECT_EQ(sw.windowTitle(), " Lecture de la configuration des microswitches.");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(box2(i)->text(), QString::fromUtf8(kSw2Captions[i])) << i;
        EXPECT_EQ(box3(i)->text(), QString::fromUtf8(kSw3Captions[i])) << i;
        for (QScrollBar* s : {sw2(i), sw3(i)}) {
            EXPECT_EQ(s->orientation(), Qt::Vertical);
            EXPECT_EQ(s->minimum(), 0);
            EXPECT_EQ(s->maximum(), 1);
        }
        EXPECT_EQ(sw2(i)->accessibleName(),
                  QStringLiteral("Interrupteur %1 du banc SW2").arg(i + 1));
        EXPECT_EQ(sw3(i)->accessibleName(),
                  QStringLiteral("Interrupteur %1 du banc SW3").arg(i + 1));
        EXPECT_FALSE(box2(i)->accessibleName().isEmpty());
        EXPECT_NE(box2(i)->accessibleName(), box3(i)->accessibleName());
        // Left to right within a bank, caption boxes stacked under it.
        if (i > 0) {
            EXPECT_GT(sw2(i)->mapTo(&sw, QPoint()).x(), sw2(i - 1)->mapTo(&sw, QPoint()).x());
            EXPECT_GT(box2(i)->y(), box2(i - 1)->y());
        }
        EXPECT_GT(box2(i)->y(), sw2(i)->mapTo(&sw, QPoint()).y() + sw2(i)->height());
    }
    EXPECT_EQ(bank(false), "00000000");
    EXPECT_EQ(bank(true), "00000000");
    // "SW2" to the left of "SW3".
    auto* left = find<QGroupBox>(sw, "Frame_SW2");
    auto* right = find<QGroupBox>(sw, "Frame_SW3");
    EXPECT_EQ(left->title(), "SW2");
    EXPECT_EQ(right->title(), "SW3");
    EXPECT_LT(left->geometry().right(), right->x());
    EXPECT_LT(box2(0)->geometry().right(), box3(0)->x());
    EXPECT_EQ(sw2(0)->parentWidget(), left);
    EXPECT_EQ(sw3(0)->parentWidget(), right);
    EXPECT_EQ(find<QLabel>(sw, "Label_DIP_SW2")->text(), "1   2  3  4  5  6  7  8");
    EXPECT_EQ(find<QLabel>(sw, "Label_ON_SW3")->text(), "ON");

    QLabel* label30 = find<QLabel>(sw, "Label30");
    EXPECT_FALSE(label30->isEnabled());
    EXPECT_TRUE(label30->text().isEmpty());
    EXPECT_GT(label30->y(), box2(7)->y());
    EXPECT_EQ(find<QPushButton>(sw, "LIT_SW")->text(), "Lire la position des microswitches");
    EXPECT_EQ(find<QPushButton>(sw, "but_RD")->text(), "Lire ");
    for (const char* absent : {"but_WR", "but_edit", "but_lin"})
        EXPECT_EQ(sw.findChild<QPushButton*>(absent), nullptr) << absent;
    EXPECT_TRUE(find<QLabel>(sw, "Label26")
                    ->text()
                    .startsWith("24C01  (128octets)    -24C01  (128octets)    -24C01"));
    EXPECT_GT(find<QLineEdit>(sw, "Text1(0)")->x(), right->geometry().right());
}

TEST_F(Sw, ReadSendsItsFramesAndDecodesBanksAndColourModel) {
    store(74, 0x81);
    store(75, 0x00);
    store(76, 0x54);
    read();

    Frames want;
    burst(want, "SSS", 11);
    add(want, {"PPP"});
    wholeRead(want, true);
    burst(want, "RRR", 5);
    ASSERT_EQ(sent(), want);
    EXPECT_GT(timeOf(2) - timeOf(1), 0.5);
    EXPECT_LT(timeOf(2) - timeOf(1), 0.52);
    expectGridHoldsPanel(sw.grid());

    EXPECT_EQ(bank(true), "10000001");  // DIP1 Nbr digit and DIP8 Test de l'affichage
    EXPECT_EQ(bank(false), "00000000");
    EXPECT_EQ(model(), "VEQ trois couleurs.");
    expectMessages({{kReadDone, Icon::Information}});

    struct Case {
        int sw3, sw2, model;
        const char *bank3, *bank2, *label;
    };
    for (const Case& c : {Case{0x00, 0xFF, 0x4D, "00000000", "11111111", "VEQ une couleur.   "},
                          Case{0xFF, 0x05, 0x00, "11111111", "10100000", "   --   "},
                          Case{0x40, 0x80, 0x74, "00000010", "00000001", "   --   "}}) {
        store(74, c.sw3);
        store(75, c.sw2);
        store(76, c.model);
        read();
        EXPECT_EQ(bank(true), c.bank3) << c.sw3;
        EXPECT_EQ(bank(false), c.bank2) << c.sw2;
        EXPECT_EQ(model(), c.label) << c.model;
    }

    setResponseControl("NON");
    forget();
    read();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(sent().back(), frame(Prefix::P_31, "RRR", 5));
}

TEST_F(Sw, FailedReadLeavesEverySwitchOffAndFollowsTheResponseControl) {
    for (const char* rep : {"OUI", "NON"}) {
        SCOPED_TRACE(rep);
        h.lastPort->faults = {};
        store(74, 0xFF);
        store(75, 0xFF);
        store(76, 0x4D);
        read();
        ASSERT_EQ(bank(true), "11111111");
        setResponseControl(rep);
        forget();
        h.lastPort->faults.keepAfterDiscard = 787;
        read();

        Frames want;
        burst(want, "SSS", 11);
        add(want, {"PPP"});
        wholeRead(want, true);
        const bool oui = QString(rep) == "OUI";
        if (!oui) burst(want, "RRR", 5);
        EXPECT_EQ(sent(), want);
        expectAllFailed(sw.grid());
        EXPECT_EQ(bank(true), "00000000");
        EXPECT_EQ(bank(false), "00000000");
        EXPECT_EQ(model(), "   --   ");
        expectPanelErrorIf(oui);
    }
}

TEST_F(Sw, CaptionBoxesToggleTheirSwitchAndSwitchesRecolourTheirBox) {
    QTest::mouseClick(box2(2), Qt::LeftButton);
    EXPECT_EQ(bank(false), "00100000");
    EXPECT_EQ(box2(2)->accessibleDescription(), "ON");
    QTest::mouseClick(box2(2), Qt::LeftButton);
    EXPECT_EQ(bank(false), "00000000");
    QTest::mouseClick(box3(7), Qt::LeftButton);
    QTest::keyClick(box3(0), Qt::Key_Space);
    EXPECT_EQ(bank(true), "10000001");
    EXPECT_EQ(bank(false), "00000000");

    // Moving a thumb by hand recolours its box.
    sw2(5)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(sw2(5)->value(), 0);
    EXPECT_EQ(bank(false), "00000100");
    sw2(5)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bank(false), "00000000");

    // A box of another colour is left as it is, and so is its switch.
    setBackground(box3(4), QColor(255, 0, 0));
    QTest::mouseClick(box3(4), Qt::LeftButton);
    EXPECT_EQ(background(box3(4)), QColor(255, 0, 0));
    EXPECT_EQ(sw3(4)->value(), 1);

    // Nothing of this goes to the panel.
    EXPECT_TRUE(h.port().writes.empty());
}

TEST_F(Sw, GridReadAloneIsSilent) {
    click(sw, "but_RD");
    Frames want;
    wholeRead(want, true);
    EXPECT_EQ(sent(), want);
    expectGridHoldsPanel(sw.grid());
    EXPECT_EQ(bank(true), "00000000") << "the grid button decodes nothing";
    EXPECT_TRUE(model().isEmpty());

    h.lastPort->faults.mute = true;
    click(sw, "but_RD");
    expectAllFailed(sw.grid());
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST_F(SwWithoutPort, EveryOperationIsRefusedByTheGuard) {
    QTest::mouseClick(box2(0), Qt::LeftButton);
    for (const char* b : {"LIT_SW", "but_RD"}) {
        h.messages.shown.clear();
        click(sw, b);
        expectMessages({{kNoPort, Icon::Warning}});
    }
    EXPECT_TRUE(h.port().writes.empty());
    EXPECT_EQ(bank(false), "10000000") << "the display is unchanged";
    EXPECT_TRUE(model().isEmpty());
}

}  // namespace
}  // namespace veq::test

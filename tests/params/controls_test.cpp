#include <QApplication>
#include <QToolTip>

#include "link/kldbase.h"
#include "panelmem/settings.h"
#include "tests/params/fixture.h"
#include "ui/twips.h"

namespace veq::test {
namespace {

using colour::kGreen;
using colour::kOrange;
using colour::kRed;
using colour::kWhite;

// The window's sliders are the settings table's: a limit changed there changes here.
TEST_F(ParamsWindow, SlidersTakeTheirRangesAndNamesFromTheSettingsTable) {
    std::vector<settings::Numeric> table(settings::kRangeBounds.begin(),
                                         settings::kRangeBounds.end());
    table.insert(table.end(), {settings::kAveraging1, settings::kAveraging2, settings::kAntiBounce,
                               settings::kStopThreshold, settings::kRelay1, settings::kRelay2});
    for (const settings::Numeric& n : table) {
        QScrollBar* b = slider(QLatin1String(n.control));
        ASSERT_NE(b, nullptr) << n.control;
        EXPECT_EQ(std::tuple(b->minimum(), b->maximum(), b->value(), b->accessibleName()),
                  std::tuple(n.minimum, n.maximum, n.initial, QString::fromUtf8(n.label)))
            << n.control;
    }
}

TEST_F(ParamsWindow, OpensNarrowWithEveryControlInPlaceAndItsInitialState) {
    EXPECT_EQ(w.windowTitle(), " Paramètres.");
    EXPECT_EQ(w.size(), QSize(7410 / 15, 4950 / 15));

    // Range sliders, their captions and colour boxes.
    struct Slider {
        const char* name;
        int min, max, value;
        bool enabled;
    };
    const Slider sliders[] = {
        {"HScroll1(0)", 0, 9999, 1, false},  {"HScroll1(1)", 1, 9999, 199, true},
        {"HScroll1(2)", 1, 9999, 399, true}, {"HScroll1(3)", 1, 9999, 599, true},
        {"HScroll1(4)", 1, 9999, 799, true}, {"HScroll1(5)", 0, 9999, 9999, false},
        {"HScroll3", 0, 3, 0, true},         {"HScroll2", 0, 4, 0, true},
        {"HScroll4", 0, 255, 1, true},       {"HScroll5", 3, 3600, 36, true},
        {"HScroll6", 1, 9999, 200, true},    {"HScroll7", 1, 9999, 800, true}};
    for (const Slider& s : sliders) {
        QScrollBar* b = slider(QLatin1String(s.name));
        EXPECT_EQ(b->orientation(), Qt::Horizontal) << s.name;
        EXPECT_EQ(b->minimum(), s.min) << s.name;
        EXPECT_EQ(b->maximum(), s.max) << s.name;
        EXPECT_EQ(b->value(), s.value) << s.name;
        EXPECT_EQ(b->isEnabled(), s.enabled) << s.name;
        EXPECT_FALSE(b->accessibleName().isEmpty()) << s.name;
    }
    EXPECT_EQ(slider("HScroll1(2)")->accessibleName(), "Fin de la plage 2");
    EXPECT_EQ(slider("HScroll1(2)")->geometry(), twipsRect(60, 1260 + 960, 1215, 255));
    EXPECT_EQ(slider("HScroll5")->geometry(), twipsRect(3300, 3360, 3735, 255));

    const QString plag[6] = {"De 0 à ",          "199    De 200 à ", "399    De 400 à ",
                             "599    De 600 à ", "799    De 800 à ", "à 9999 ."};
    const int colours[5] = {kRed, kOrange, kGreen, kOrange, kRed};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(label(QStringLiteral("PLAG(%1)").arg(i)), plag[i]) << i;
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("COULE(%1)").arg(i);
        EXPECT_EQ(edit(name)->text(), QStringLiteral("Plage %1:").arg(i + 1));
        EXPECT_EQ(colourOf(name), colours[i]) << i;
        EXPECT_EQ(edit(name)->toolTip(), "Un clic pour changer de couleur.");
        EXPECT_EQ(edit(name)->geometry(), twipsRect(60, 1500 + 480 * i, 3015, 285));
    }

    // Caption boxes keep their stored texts until their slider moves, but for the anti-bounce,
    // which says what its slider holds; the previews are computed.
    EXPECT_EQ(box("RAFR_AFF"), "Niveau 1. Moyenne sur 1,2,4,8 cadences. => 1\n");
    EXPECT_EQ(box("MOYENNE"), "Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => 1\n");
    EXPECT_EQ(box("Text2"), "Anti rebond numérique 0,1 mS.");
    EXPECT_EQ(box("Text4"), "Cadence inférieur ou égale interpretée comme arrêt  (0).\n");
    EXPECT_EQ(label("Label21"), "20,99 Sec / pièce");
    EXPECT_EQ(label("Label28"), "171,5 pièce/Heure");

    // Options: one selected per group, the brightness none; "Heure" on green.
    for (const char* on : {"Option2(0)", "NB_DIGIT(3)", "SUPRESS(1)", "DECI_ENT(1)"})
        EXPECT_TRUE(option(QLatin1String(on))->isChecked()) << on;
    for (const char* off :
         {"Option2(1)", "Option2(2)", "Option2(3)", "NB_DIGIT(1)", "NB_DIGIT(2)", "SUPRESS(2)",
          "DECI_ENT(2)", "Option1(1)", "Option1(2)", "Option1(3)", "Option1(4)", "Option1(5)"})
        EXPECT_FALSE(option(QLatin1String(off))->isChecked()) << off;
    EXPECT_EQ(colourOf("Option2(0)"), kGreen);
    EXPECT_NE(colourOf("Option2(1)"), kGreen);
    EXPECT_EQ(option("Option2(0)")->toolTip(), "Pièce par heure");
    EXPECT_EQ(option("Option2(3)")->toolTip(), "autre base de temps");
    EXPECT_EQ(edit("Text3")->text(), "Base de temps :");
    QLineEdit* text5 = edit("Text5");
    EXPECT_EQ(text5->text(), "36100000");  // what "Heure" stands for
    EXPECT_FALSE(text5->isEnabled());
    EXPECT_TRUE(text5->isVisibleTo(&w));

    EXPECT_EQ(button("but_lit_para")->text(), "Lire les paramètres");
    EXPECT_EQ(button("but_ecrit_para")->text(), "Programme les paramètres");
    EXPECT_EQ(colourOf("but_ecrit_para"), kGreen);
    EXPECT_TRUE(button("but_lit_para")->font().bold());

    // The relay row, brightness and display mode exist below the height; the grid lies right
    // of the width, and only the Command2 strip shows at the edge.
    for (const char* below : {"HScroll6", "HScroll7", "intitu(2)", "intitu(3)", "Label60",
                              "Label70", "Option1(1)", "DECI_ENT(2)"}) {
        QWidget* c = find<QWidget>(QLatin1String(below));
        EXPECT_GE(c->mapTo(&w, QPoint(0, 0)).y(), w.height()) << below;
    }
    EXPECT_FALSE(find<QLabel>("intitu(2)")->isEnabled());
    EXPECT_EQ(label("intitu(3)"), "Relais 2:");
    EXPECT_GE(find<QWidget>("Label26")->x(), w.width());
    EXPECT_GE(cell(0)->x(), w.width());
    EXPECT_LT(button("Command2")->x(), w.width());
    EXPECT_GT(button("Command2")->x(), button("but_ecrit_para")->geometry().right());
}

TEST_F(ParamsWindow, SlidersRewriteTheirCaptionsAtEveryValueUpToTheirEnds) {
    QScrollBar* level2 = slider("HScroll2");
    level2->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(box("MOYENNE"), "Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => 16");
    level2->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(box("MOYENNE"), "Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => 1");
    slider("HScroll3")->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(box("RAFR_AFF"), "Niveau 1. Moyenne sur 1,2,4,8 cadences. => 8");

    const std::pair<int, QString> bounce[] = {{255, "25,5"}, {0, "0"}, {20, "2"}, {5, "0,5"}};
    for (const auto& [v, shown] : bounce) {
        setSlider("HScroll4", v);
        EXPECT_EQ(box("Text2"), "Anti rebond numérique " + shown + " mS.");
    }

    setSlider("HScroll5", 3);
    EXPECT_EQ(label("Label21"), "1,75 Sec / pièce");
    EXPECT_EQ(label("Label28"), "2058,3 pièce/Heure");
    setSlider("HScroll5", 3600);
    EXPECT_EQ(label("Label21"), "2098,80 Sec / pièce");  // no group separator in the pattern
    EXPECT_EQ(label("Label28"), "1,7 pièce/Heure");

    setSlider("HScroll1(1)", 9999);
    EXPECT_EQ(label("PLAG(1)"), "9999    De 10000 à ");
    setSlider("HScroll1(4)", 1);
    EXPECT_EQ(label("PLAG(4)"), "1    De 2 à ");

    // Dragging the thumb rewrites the caption before the thumb is let go.
    QScrollBar* range3 = slider("HScroll1(3)");
    range3->setSliderDown(true);
    range3->setSliderPosition(1234);
    EXPECT_EQ(label("PLAG(3)"), "1234    De 1235 à ");
    range3->setSliderDown(false);

    // The fixed first slider drives no caption.
    QStringList before;
    for (int i = 0; i < 6; ++i) before << label(QStringLiteral("PLAG(%1)").arg(i));
    setSlider("HScroll1(0)", 500);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(label(QStringLiteral("PLAG(%1)").arg(i)), before[i]);
}

TEST_F(ParamsWindow, TabReachesEverySliderAndItsKeysMoveItAndNothingElse) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QStringList sliders = {"HScroll1(1)", "HScroll1(2)", "HScroll1(3)", "HScroll1(4)",
                                 "HScroll3",    "HScroll2",    "HScroll4",    "HScroll5"};
    QWidget* first = option("Option2(0)");
    first->setFocus(Qt::TabFocusReason);
    QStringList reached;
    for (int k = 0; k < 100; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        if (f == first) break;
        if (qobject_cast<QScrollBar*>(f)) reached << f->objectName();
    }
    EXPECT_EQ(reached, sliders);  // each column from the top

    // A slider clicked (on its right arrow: one step) takes the keys, and the time base options
    // get none. Page Up goes left, as in a Windows scroll bar; a page is one step.
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Right, 1}, {Qt::Key_PageDown, 1}, {Qt::Key_Left, -1}, {Qt::Key_PageUp, -1}};
    for (const QString& name : sliders) {
        SCOPED_TRACE(name.toStdString());
        QScrollBar* s = slider(name);
        first->setFocus(Qt::TabFocusReason);
        int v = s->value() + 1;
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() - 3, s->height() / 2));
        EXPECT_EQ(QApplication::focusWidget(), s);
        EXPECT_EQ(s->value(), v);
        for (const auto& [key, step] : keys) {
            QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(s->value(), v += step) << key;
        }
        EXPECT_TRUE(option("Option2(0)")->isChecked());
        EXPECT_EQ(edit("Text5")->text(), "36100000");
    }
}

TEST_F(ParamsWindow, CaptionsUseTheSeparatorOfTheLocale) {
    QLocale::setDefault(QLocale::c());
    setSlider("HScroll4", 255);
    setSlider("HScroll5", 36);
    setSlider("HScroll5", 37);
    setSlider("HScroll5", 36);
    EXPECT_EQ(box("Text2"), "Anti rebond numérique 25.5 mS.");
    EXPECT_EQ(label("Label21"), "20.99 Sec / pièce");
    EXPECT_EQ(label("Label28"), "171.5 pièce/Heure");
}

TEST_F(ParamsWindow, ColourBoxesCycleRedGreenOrangeOnClickAndOnTextChange) {
    std::vector<int> seen;
    for (int k = 0; k < 4; ++k) {
        clickBox("COULE(0)");
        seen.push_back(colourOf("COULE(0)"));
    }
    EXPECT_EQ(seen, (std::vector<int>{kGreen, kOrange, kRed, kGreen}));
    EXPECT_EQ(colourOf("COULE(1)"), kOrange);  // the others stay
    // A double click comes as press, release, double-click, release: one step, not two.
    QLineEdit* first = edit("COULE(0)");
    QTest::mousePress(first, Qt::LeftButton);
    QTest::mouseRelease(first, Qt::LeftButton);
    QTest::mouseDClick(first, Qt::LeftButton);
    QTest::mouseRelease(first, Qt::LeftButton);
    EXPECT_EQ(colourOf("COULE(0)"), kOrange);

    // Any other colour turns orange.
    setBackground(edit("COULE(2)"), fromColourNumber(kWhite));
    clickBox("COULE(2)");
    EXPECT_EQ(colourOf("COULE(2)"), kOrange);

    // A change of the box's text is a step too; the keyboard's space bar is a click.
    edit("COULE(4)")->setText("Plage 5 :");
    EXPECT_EQ(colourOf("COULE(4)"), kGreen);
    QTest::keyClick(edit("COULE(4)"), Qt::Key_Space);
    EXPECT_EQ(colourOf("COULE(4)"), kOrange);
}

TEST_F(ParamsWindow, TimeBaseChoicesFillShowAndEnableTheRegister) {
    QLineEdit* text5 = edit("Text5");
    click("Option2(3)");
    EXPECT_TRUE(option("Option2(3)")->isChecked());
    EXPECT_EQ(text5->text(), "Éditer ici");
    EXPECT_TRUE(text5->isEnabled());
    EXPECT_TRUE(text5->isVisibleTo(&w));
    EXPECT_EQ(colourOf("Option2(3)"), kGreen);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(colourOf(QStringLiteral("Option2(%1)").arg(k)), kWhite);

    const std::pair<int, QString> fixed[] = {{1, "600000"}, {2, "11000"}, {0, "36100000"}};
    for (const auto& [k, stored] : fixed) {
        click(QStringLiteral("Option2(%1)").arg(k));
        EXPECT_TRUE(option(QStringLiteral("Option2(%1)").arg(k))->isChecked());
        EXPECT_EQ(text5->text(), stored);
        EXPECT_FALSE(text5->isEnabled());
        EXPECT_FALSE(text5->isVisibleTo(&w));
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(colourOf(QStringLiteral("Option2(%1)").arg(j)), j == k ? kGreen : kWhite);
    }
}

TEST_F(ParamsWindow, ExtensionWidensToShowTheGridAndNarrowsAgain) {
    const int height = w.height();
    click("Command2");
    EXPECT_EQ(w.width(), 13860 / 15);
    EXPECT_EQ(w.height(), height);
    EXPECT_LE(cell(127)->geometry().right(), w.width());
    EXPECT_LE(button("but_WR")->geometry().right(), w.width());
    EXPECT_EQ(button("Extension")->text(), "Férmer l'extension.");
    // The whole grid shows while the extension is open, none of it once it is closed: the closed
    // window is a little wider than at load, over the first pixels of the headings.
    const char* grid[] = {"Label26",    "Label17", "Label25", "Text1(0)",
                          "Text1(128)", "but_RD",  "but_WR",  "Extension"};
    for (const char* c : grid) EXPECT_TRUE(find<QWidget>(QLatin1String(c))->isVisibleTo(&w)) << c;
    click("Extension");
    EXPECT_EQ(w.width(), 7470 / 15);
    EXPECT_EQ(w.height(), height);
    EXPECT_GE(cell(0)->x(), w.width());
    for (const char* c : grid) EXPECT_FALSE(find<QWidget>(QLatin1String(c))->isVisibleTo(&w)) << c;
    EXPECT_TRUE(button("Command2")->isVisibleTo(&w));
}

TEST_F(ParamsWindow, GridEditAndLinPatternsAndHexOnlyCells) {
    QLineEdit* fill = cell(128);
    EXPECT_EQ(fill->text(), "0");
    fill->clear();
    QTest::keyClicks(fill, "5");
    click("but_edit");
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(cell(n)->text(), "5") << n;
        EXPECT_EQ(colourNumber(background(cell(n))), kWhite) << n;
    }
    fill->selectAll();
    QTest::keyClick(fill, Qt::Key_Backspace);
    click("but_edit");
    EXPECT_TRUE(cell(77)->text().isEmpty());
    EXPECT_TRUE(w.grid().text(77).isEmpty());

    click("but_lin");
    EXPECT_EQ(cell(10)->text(), "A");
    EXPECT_EQ(cell(16)->text(), "10");
    EXPECT_EQ(cell(127)->text(), "7F");

    // Only hexadecimal digits get in, two at most, shown upper-case, and the grid has them.
    QLineEdit* c = cell(100);
    c->clear();
    QTest::keyClicks(c, "g1z a7");
    EXPECT_EQ(c->text(), "1A");
    EXPECT_EQ(w.grid().text(100), "1A");

    // Also into a cell a transfer left holding something else than a byte.
    w.grid().setText(50, " ");
    QTest::keyClicks(cell(50), "7");
    EXPECT_EQ(cell(50)->text(), "7");
    EXPECT_EQ(w.grid().text(50), "7");
    w.grid().setText(51, "Er");
    cell(51)->setCursorPosition(1);
    QTest::keyClick(cell(51), Qt::Key_Backspace);
    EXPECT_EQ(cell(51)->text(), "");  // "r" is not a digit
    QTest::keyClicks(cell(51), "c");
    EXPECT_EQ(w.grid().text(51), "C");
}

TEST_F(ParamsWindow, GridButtonsTransferWithoutAReport) {
    QTest::keyClicks(cell(128), "5");  // after the "0" already there: "05"
    click("but_edit");
    click("but_WR");
    for (int a = 96; a < 128; ++a) EXPECT_EQ(panelByte(a), 0x05) << a;
    for (int n = 0; n < 128; ++n) EXPECT_EQ(colourNumber(background(cell(n))), kGreen) << n;
    EXPECT_TRUE(h.messages.shown.empty());

    setPanel({0x12, 0xAB});
    click("but_RD");
    EXPECT_EQ(cell(96)->text(), "12");
    EXPECT_EQ(cell(97)->text(), "AB");
    EXPECT_EQ(cell(95)->text(), " ");
    EXPECT_TRUE(h.messages.shown.empty());

    h.port().faults.mute = true;
    click("but_RD");
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(cell(n)->text(), "Er") << n;
        EXPECT_EQ(colourNumber(background(cell(n))), kRed) << n;
    }
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST_F(ParamsWindow, EveryPanelButtonNeedsAnOpenPort) {
    cfg.setPortFlag("False");
    const std::size_t before = writes();
    w.grid().setText(96, "77");
    for (const char* b : {"but_lit_para", "but_ecrit_para", "but_RD", "but_WR"}) click(b);
    EXPECT_EQ(writes(), before);
    const std::pair<QString, Icon> guard = {kNoPortMessage, Icon::Warning};
    expectShown(h.messages, {guard, guard, guard, guard});
    EXPECT_EQ(cell(96)->text(), "77");
    EXPECT_EQ(colourOf("COULE(0)"), kRed);  // the read's resets come after the guard
}

}  // namespace
}  // namespace veq::test

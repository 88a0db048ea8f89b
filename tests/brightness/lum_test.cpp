#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "brightness/lum.h"
#include "tests/brightness/bench.h"

namespace veq::test {
namespace {

const char* const kCaptions[7] = {"Capteur", "100%", "80%", "60%", "50%", "40%", "20%"};

class Lum : public Bench {
  protected:
    explicit Lum(bool validate = true) : Bench(validate) {}

    QRadioButton* option(int i) {
        return find<QRadioButton>(lum, QStringLiteral("Option1(%1)").arg(i));
    }
    QSlider* threshold() { return find<QSlider>(lum, "COMP_LDR"); }
    QSlider* period() { return find<QSlider>(lum, "DURE_LDR"); }
    // The index of the only selected option, -1 for none, -2 when several are.
    int selected() {
        int found = -1;
        for (int i = 0; i < 7; ++i)
            if (option(i)->isChecked()) found = found == -1 ? i : -2;
        return found;
    }
    void read() { click(lum, "but_LIT_LUM"); }
    void program() { click(lum, "but_ECRIT_LUM"); }

    LumWindow lum{h.context};
};

class LumWithoutPort : public Lum {
  protected:
    LumWithoutPort() : Lum(false) {}
};

TEST_F(Lum, LayoutCaptionsAndInitialState) {
    EXPECT_EQ(lum.objectName(), "LUM");
    EXPECT_EQ(lum.windowTitle(), " Luminosité.");
    // Top to bottom: 100% ... 20%, then Capteur; only 20% is greyed; 100% starts selected.
    const int order[7] = {1, 2, 3, 4, 5, 6, 0};
    for (int k = 0; k < 7; ++k) {
        QRadioButton* o = option(order[k]);
        EXPECT_EQ(o->text(), QString::fromUtf8(kCaptions[order[k]]));
        EXPECT_EQ(o->isEnabled(), order[k] != 6) << order[k];
        if (k > 0) {
            EXPECT_GT(o->y(), option(order[k - 1])->y()) << order[k];
        }
    }
    EXPECT_EQ(selected(), 1);

    struct Slider {
        QSlider* s;
        int min, max, value;
        const char* tip;
    };
    for (const Slider& e : {Slider{threshold(), 0, 15, 4, "0=Jour. 15=Nuit(4 par défaut)"},
                            Slider{period(), 1, 128, 5, "de 1 à 128 secondes (5sec par défaut)"}}) {
        EXPECT_TRUE(e.s->minimum() == e.min && e.s->maximum() == e.max && e.s->value() == e.value)
            << e.s->objectName().toStdString();
        EXPECT_EQ(e.s->toolTip(), QString::fromUtf8(e.tip));
        EXPECT_FALSE(e.s->accessibleName().isEmpty());
    }
    auto* t4 = find<QLineEdit>(lum, "Text4");
    auto* t5 = find<QLineEdit>(lum, "Text5(1)");
    EXPECT_EQ(t4->text(), "Commutation JOUR/NUIT");
    EXPECT_EQ(t4->toolTip(), "Seuil de commutation jour/nuit avec 0=Jour. 15=Nuit(4 par défaut)");
    EXPECT_EQ(t5->text(), "Fréquence de Commutation");
    EXPECT_EQ(t5->toolTip(),
              "Fréquence de Commutation sur les 4 mesures de luminosité précédentes.");
    auto* lit = find<QPushButton>(lum, "but_LIT_LUM");
    auto* envoi = find<QPushButton>(lum, "but_ECRIT_LUM");
    EXPECT_EQ(lit->text(), "Lit");
    EXPECT_EQ(lit->toolTip(), "Lecture des paramètres de luminosité.");
    EXPECT_EQ(envoi->text(), "Envoi");
    EXPECT_EQ(envoi->toolTip(), "Programmation des paramètres de luminosité.");
    // The column: options, each heading over its slider, the buttons; the grid to its right,
    // with all its buttons, inside the window.
    const int column[] = {option(0)->mapTo(&lum, QPoint()).y(),
                          t4->y(),
                          threshold()->y(),
                          t5->y(),
                          period()->y(),
                          lit->y()};
    EXPECT_TRUE(std::is_sorted(std::begin(column), std::end(column)));
    EXPECT_GT(find<QLineEdit>(lum, "Text1(0)")->x(), threshold()->geometry().right());
    EXPECT_LE(find<QPushButton>(lum, "but_WR")->geometry().right(), lum.width());
    for (const char* b : {"but_RD", "but_edit", "but_lin"})
        EXPECT_NE(lum.findChild<QPushButton*>(b), nullptr);
    EXPECT_TRUE(h.port().writes.empty());
}

TEST_F(Lum, ReadSendsItsFramesAndDecodesTheThreeCells) {
    store(60, 0x21);
    store(61, 0x0A);
    store(62, 0x04);
    read();

    Frames want;
    burst(want, "SSS", 11);
    add(want, {"PPP"});
    wholeRead(want, false);
    burst(want, "RRR", 5);
    ASSERT_EQ(sent(), want);
    // 0.5 s after "PPP", 0.5 s after the read's own opening, then nothing paced.
    EXPECT_EQ(timeOf(1), timeOf(0));
    for (std::size_t k : {2u, 3u}) {
        EXPECT_GT(timeOf(k) - timeOf(k - 1), 0.5) << k;
        EXPECT_LT(timeOf(k) - timeOf(k - 1), 0.52) << k;
    }
    EXPECT_EQ(timeOf(want.size() - 2), timeOf(3));

    expectGridHoldsPanel(lum.grid());
    EXPECT_EQ(selected(), 0) << "0x21 is the sensor, not 40%";
    EXPECT_EQ(period()->value(), 6);
    EXPECT_EQ(threshold()->value(), 4);
    expectMessages({{kReadDone, Icon::Information}});
}

TEST_F(Lum, ReadDecodesModeBitsSensorLastAndThePeriod) {
    struct Case {
        int mode, periodByte;
        int option, period;
    };
    const Case cases[] = {
        {0x21, 0x00, 0, 1}, {0x02, 0xFF, 1, 128}, {0x04, 0x0A, 2, 6},  {0x08, 0x0B, 3, 6},
        {0x10, 0x01, 4, 1}, {0x20, 0x02, 5, 2},   {0x40, 0x13, 6, 10}, {0x24, 0x09, 5, 5},
        {0x61, 0x09, 0, 5}, {0x00, 0x09, -1, 5},  {0x80, 0x09, -1, 5}, {0xC2, 0x09, 6, 5},
    };
    for (const Case& c : cases) {
        store(60, c.mode);
        store(61, c.periodByte);
        option(3)->setChecked(true);  // whatever was selected goes
        read();
        EXPECT_EQ(selected(), c.option) << std::hex << c.mode;
        EXPECT_EQ(period()->value(), c.period) << std::hex << c.periodByte;
    }
    EXPECT_EQ(h.messages.shown.size(), std::size(cases));
}

TEST_F(Lum, ProgrammingReadsWritesTheWholeMemoryAndEncodesTheControls) {
    std::array<std::uint8_t, 128> before = h.panel->memory;
    // The panel's bytes with the three cells of the controls set below.
    const auto after = [&](int a) {
        return a == 60 ? 0x10 : a == 61 ? 0x0B : a == 62 ? 0x0A : before[std::size_t(a)];
    };
    option(4)->click();  // 50%
    period()->setValue(6);
    threshold()->setValue(10);
    program();

    Frames want;
    burst(want, "SSS", 11);
    wholeRead(want, false);
    burst(want, "SSS", 5);
    for (int page = 0; page < 128; page += 16) {
        add(want, {"SSS", "ZA0", byteCommand(page)});
        for (int a = page; a < page + 16; ++a) add(want, {byteCommand(after(a))});
        add(want, {"WWW"});
    }
    add(want, {"OOO", "LLL"});
    burst(want, "RRR", 5);
    ASSERT_EQ(sent(), want);
    const std::size_t readEnd = 1 + 1 + 4 + 128 + 1;  // the "X6X" write is readEnd - 1
    const std::size_t ooo = want.size() - 3;
    EXPECT_GT(timeOf(1) - timeOf(0), 0.5);                  // settle after the wake-up
    EXPECT_GT(timeOf(readEnd) - timeOf(readEnd - 1), 0.5);  // answer at once, then 0.5 s
    EXPECT_LT(timeOf(readEnd) - timeOf(readEnd - 1), 0.52);
    EXPECT_GT(timeOf(ooo + 1) - timeOf(ooo), 0.5);  // "OOO", 0.5 s, "LLL"
    EXPECT_LT(timeOf(ooo + 1) - timeOf(ooo), 0.52);
    EXPECT_EQ(timeOf(ooo + 2), timeOf(ooo + 1));

    EXPECT_EQ(lum.grid().text(60), "10");
    EXPECT_EQ(lum.grid().text(61), "B");
    EXPECT_EQ(lum.grid().text(62), "A");
    for (int a = 0; a < 128; ++a) {
        EXPECT_EQ(stored(a), after(a)) << a;
        EXPECT_EQ(lum.grid().colour(a), colour::kGreen) << a;
    }
    expectMessages({{kProgrammingDone, Icon::Information}});

    // Each option writes its own code; the period and threshold ends write 1, FF, 0 and F.
    const int codes[7] = {0x21, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40};
    for (int i : {0, 1, 2, 3, 5}) {
        option(i)->click();
        period()->setValue(i == 0 ? 1 : 128);
        threshold()->setValue(i == 0 ? 0 : 15);
        program();
        EXPECT_EQ(stored(60), codes[i]) << i;
        EXPECT_EQ(stored(61), i == 0 ? 0x01 : 0xFF) << i;
        EXPECT_EQ(stored(62), i == 0 ? 0x00 : 0x0F) << i;
    }
    option(6)->click();  // greyed: the operator cannot choose it
    EXPECT_EQ(selected(), 5);
}

TEST_F(Lum, DisabledTwentyPercentAndNoOptionSurviveARoundTrip) {
    // 0x40 selects the greyed "20%"; programming writes 40 again, whatever the panel holds then.
    store(60, 0x40);
    read();
    EXPECT_EQ(selected(), 6);
    EXPECT_FALSE(option(6)->isEnabled());
    store(60, 0x02);
    program();
    EXPECT_EQ(stored(60), 0x40);

    // 0x00 and 0x80 select nothing; programming then keeps the byte it has just read.
    for (int mode : {0x00, 0x80}) {
        store(60, mode);
        read();
        EXPECT_EQ(selected(), -1) << mode;
        store(60, mode ^ 0x05);  // changed behind the window's back: the fresh read counts
        program();
        EXPECT_EQ(stored(60), mode ^ 0x05) << mode;
        EXPECT_EQ(lum.grid().text(60), QString::asprintf("%02X", mode ^ 0x05));
    }
}

TEST_F(Lum, ThresholdAboveFifteenIsShownAtFifteenAndReported) {
    for (const char* rep : {"OUI", "NON"}) {
        setResponseControl(rep);
        forget();
        store(62, 0x1F);
        read();
        EXPECT_EQ(threshold()->value(), 15) << rep;
        // The warning comes after the closing burst, and whatever SEL_REP says.
        EXPECT_EQ(sent().back(), frame(Prefix::P_31, "RRR", 5));
        ASSERT_GE(h.messages.shown.size(), 1u) << rep;
        const auto& w = h.messages.shown[0];
        EXPECT_EQ(w.icon, Icon::Warning);
        EXPECT_TRUE(w.text.contains("Commutation JOUR/NUIT") && w.text.contains("31") &&
                    w.text.contains("15") && w.text.contains("programmation"))
            << w.text.toStdString();
        EXPECT_EQ(h.messages.shown.size(), QString(rep) == "OUI" ? 2u : 1u);
    }
    // Programming sends what the slider shows, as the warning says.
    program();
    EXPECT_EQ(stored(62), 0x0F);
    // In range: no warning.
    setResponseControl("OUI");
    forget();
    store(62, 0x0F);
    read();
    EXPECT_EQ(threshold()->value(), 15);
    expectMessages({{kReadDone, Icon::Information}});
}

// A failed exchange under a SEL_REP text: whether the panel error is shown and the panel
// released.
struct FailureCase {
    const char* rep;
    bool warned, released;
};

TEST_F(Lum, FailedReadFollowsTheResponseControl) {
    for (const FailureCase c : {FailureCase{"OUI", true, false}, FailureCase{"NON", false, true},
                                FailureCase{"oui", false, true}}) {
        SCOPED_TRACE(c.rep);
        h.lastPort->faults = {};
        store(60, 0x08);
        read();  // a good read first: the failed one must clear what it showed
        ASSERT_EQ(selected(), 3);
        setResponseControl(c.rep);
        forget();
        h.lastPort->faults.mute = true;
        read();

        Frames want;
        burst(want, "SSS", 11);
        add(want, {"PPP"});
        wholeRead(want, false);
        if (c.released) burst(want, "RRR", 5);
        EXPECT_EQ(sent(), want);
        expectAllFailed(lum.grid());
        EXPECT_EQ(selected(), -1);
        EXPECT_EQ(period()->value(), 1);
        EXPECT_EQ(threshold()->value(), 1);
        expectPanelErrorIf(c.warned);
    }
}

TEST_F(Lum, ProgrammingStopsAfterAFailedReadAndLeavesThePanelUntouched) {
    for (const FailureCase c : {FailureCase{"OUI", true, false}, FailureCase{"NON", false, true},
                                FailureCase{"oui", true, true}}) {
        SCOPED_TRACE(c.rep);
        setResponseControl(c.rep);
        forget();
        const std::array<std::uint8_t, 128> before = h.panel->memory;
        const std::size_t heard = h.panel->frames.size();
        h.lastPort->faults = {};
        h.lastPort->faults.keepAfterDiscard = 700;  // the answer stops short
        option(2)->click();
        program();

        Frames want;
        burst(want, "SSS", 11);
        wholeRead(want, false);
        if (c.released) burst(want, "RRR", 5);
        EXPECT_EQ(sent(), want);
        EXPECT_EQ(h.panel->memory, before);
        for (std::size_t k = heard; k < h.panel->frames.size(); ++k)
            EXPECT_NE(h.panel->frames[k].command, "WWW");
        expectAllFailed(lum.grid());
        expectPanelErrorIf(c.warned);
    }
}

TEST_F(Lum, WriteConfirmedOnlyByExactlyEightHundred) {
    // The answer arrives three characters per poll: 798, then the last 2 make exactly 800.
    h.lastPort->faults.perPoll = 3;
    program();
    expectMessages({{kProgrammingDone, Icon::Information}});
    EXPECT_EQ(lum.grid().colour(0), colour::kGreen);

    // Two characters more after the last "WWW": 798, then 801 at the next poll.
    int pages = 0;
    const QByteArray www = frame(Prefix::P_31, "WWW");
    h.lastPort->faults.garble = [&](const QByteArray& answer) {
        return h.lastPort->writes.back().bytes == www && ++pages == 8 ? answer + "!!" : answer;
    };
    forget();
    option(1)->click();
    program();
    EXPECT_EQ(pages, 8);
    expectAllFailed(lum.grid());
    expectMessages({{kPanelError, Icon::Warning}});
    // The closing frames go out all the same.
    const Frames s = sent();
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(Frames(s.end() - 3, s.end()),
              (Frames{frame(Prefix::P_31, "OOO"), frame(Prefix::P_31, "LLL"),
                      frame(Prefix::P_31, "RRR", 5)}));

    // With "NON" the same failure is not reported.
    setResponseControl("NON");
    forget();
    pages = 0;
    program();
    EXPECT_TRUE(h.messages.shown.empty());
    expectAllFailed(lum.grid());
}

TEST_F(Lum, GridButtonsRunTheWholeMemoryTransfersSilently) {
    click(lum, "but_RD");
    Frames want;
    wholeRead(want, false);
    EXPECT_EQ(sent(), want);
    expectGridHoldsPanel(lum.grid());

    click(lum, "but_lin");
    EXPECT_EQ(lum.grid().text(10), "A");
    EXPECT_EQ(lum.grid().text(127), "7F");
    EXPECT_EQ(find<QLineEdit>(lum, "Text1(127)")->text(), "7F");
    click(lum, "but_WR");
    for (int a = 0; a < 128; ++a) EXPECT_EQ(stored(a), a) << a;

    QLineEdit* fill = find<QLineEdit>(lum, "Text1(128)");
    fill->selectAll();
    QTest::keyClicks(fill, "5");
    ASSERT_EQ(lum.grid().text(128), "5");
    click(lum, "but_edit");
    h.lastPort->faults.mute = true;
    click(lum, "but_WR");
    expectAllFailed(lum.grid());
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST_F(LumWithoutPort, EveryOperationIsRefusedByTheGuard) {
    for (const char* b : {"but_LIT_LUM", "but_ECRIT_LUM", "but_RD", "but_WR"}) {
        h.messages.shown.clear();
        click(lum, b);
        expectMessages({{kNoPort, Icon::Warning}});
    }
    EXPECT_TRUE(h.port().writes.empty());
    EXPECT_EQ(selected(), 1) << "nothing changed";
    EXPECT_EQ(threshold()->value(), 4);
}

}  // namespace
}  // namespace veq::test

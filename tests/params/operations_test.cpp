#include "brightness/lum.h"
#include "link/frame.h"
#include "tests/params/fixture.h"

namespace veq::test {
namespace {

using colour::kGreen;
using colour::kOrange;
using colour::kRed;

// A programmed memory, addresses 96 to 127: ranges red 1, green 299, orange 500, red (both colour
// bits) 799, green 9999; signature with 08 in 108; averaging 08 and 04; time base 600000
// ("Minute"); anti-bounce 45; HScroll6 from C1 2C (bits 14 and 15 dropped: 300); HScroll7 1000;
// flags A6; stop threshold 100; then three bytes nobody reads.
const std::initializer_list<int> kMinuteMemory = {
    0x80, 0x02, 0x41, 0x2C, 0x01, 0xF5, 0xC3, 0x20, 0x67, 0x10, 0x5A, 0x55, 0x4B, 0x00, 0x00, 0x08,
    0x04, 0xC0, 0x27, 0x09, 0x00, 0x2D, 0xC1, 0x2C, 0x03, 0xE8, 0xA6, 0x00, 0x64, 0x11, 0x22, 0x33};

TEST_F(ParamsWindow, ReadingAProgrammedMemoryFillsEveryControl) {
    setPanel(kMinuteMemory);
    h.panel->memory[108] = 0x08;  // a brightness code is not decoded from a programmed memory
    click("but_lit_para");

    const int ranges[5] = {1, 299, 500, 799, 9999};
    const int colours[5] = {kRed, kGreen, kOrange, kRed, kGreen};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(slider(QStringLiteral("HScroll1(%1)").arg(i))->value(), ranges[i]) << i;
        EXPECT_EQ(colourOf(QStringLiteral("COULE(%1)").arg(i)), colours[i]) << i;
    }
    EXPECT_EQ(label("PLAG(2)"), "500    De 501 à ");
    EXPECT_EQ(slider("HScroll2")->value(), 3);
    EXPECT_EQ(slider("HScroll3")->value(), 2);
    EXPECT_EQ(box("MOYENNE"), "Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => 8");
    EXPECT_TRUE(option("Option2(1)")->isChecked());
    EXPECT_EQ(edit("Text5")->text(), "600000");
    EXPECT_FALSE(edit("Text5")->isVisibleTo(&w));
    EXPECT_EQ(colourOf("Option2(1)"), kGreen);
    EXPECT_EQ(slider("HScroll4")->value(), 45);
    EXPECT_EQ(box("Text2"), "Anti rebond numérique 4,5 mS.");
    EXPECT_EQ(slider("HScroll6")->value(), 300);
    EXPECT_EQ(slider("HScroll7")->value(), 1000);
    EXPECT_TRUE(option("NB_DIGIT(3)")->isChecked());
    EXPECT_TRUE(option("DECI_ENT(2)")->isChecked());
    EXPECT_TRUE(option("SUPRESS(1)")->isChecked());
    EXPECT_EQ(slider("HScroll5")->value(), 100);
    EXPECT_EQ(label("Label21"), "58,30 Sec / pièce");
    EXPECT_EQ(label("Label28"), "61,7 pièce/Heure");
    for (int k = 1; k <= 5; ++k)
        EXPECT_FALSE(option(QStringLiteral("Option1(%1)").arg(k))->isChecked()) << k;

    // The grid holds what the panel answered.
    EXPECT_EQ(cell(96)->text(), "80");
    EXPECT_EQ(cell(127)->text(), "33");
    EXPECT_EQ(colourNumber(background(cell(110))), kGreen);
    EXPECT_EQ(cell(0)->text(), " ");

    expectShown(h.messages, {{kReadOk, Icon::Information}});
}

TEST_F(ParamsWindow, ReadingAnOtherTimeBaseKeepsUnknownAveragingAndClearsUnsetFlags) {
    setPanel(kMinuteMemory);
    h.panel->memory[111] = 0x03;  // not a power of two: the slider stays
    h.panel->memory[112] = 0x10;  // above level 1's range: the slider stays
    for (auto [a, b] : {std::pair{113, 0x00}, {114, 0x51}, {115, 0x25}, {116, 0x02}})
        h.panel->memory[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(b);
    h.panel->memory[122] = 0x40;  // 3 digits, neither display mode nor suppression
    h.panel->memory[117] = 0x01;  // the anti-bounce slider's own initial value
    setSlider("HScroll2", 1);
    setSlider("HScroll3", 2);
    click("but_lit_para");

    EXPECT_EQ(slider("HScroll2")->value(), 1);
    EXPECT_EQ(slider("HScroll3")->value(), 2);
    EXPECT_EQ(box("Text2"), "Anti rebond numérique 0,1 mS.");  // not load's "1,0"
    EXPECT_TRUE(option("Option2(3)")->isChecked());
    EXPECT_EQ(edit("Text5")->text(), "36000000");
    EXPECT_TRUE(edit("Text5")->isVisibleTo(&w));
    EXPECT_TRUE(edit("Text5")->isEnabled());
    EXPECT_TRUE(option("NB_DIGIT(2)")->isChecked());
    for (const char* off : {"DECI_ENT(1)", "DECI_ENT(2)", "SUPRESS(1)", "SUPRESS(2)"})
        EXPECT_FALSE(option(QLatin1String(off))->isChecked()) << off;
    EXPECT_EQ(messages(), std::vector<QString>{kReadOk});
}

TEST_F(ParamsWindow, ValuesBeyondASlidersRangeAreBroughtInAndNamed) {
    setPanel(kMinuteMemory);
    setPanel({0x80, 0x02, 0x00, 0x01, 0x01, 0xF5, 0xC3, 0x20, 0x3F, 0xFF});  // 1 -> 0; 16382
    h.panel->memory[118] = 0x00;                                             // HScroll6 0, below 1
    h.panel->memory[119] = 0x00;
    h.panel->memory[123] = 0xFF;  // stop threshold -1, below 3
    h.panel->memory[124] = 0xFF;
    click("but_lit_para");

    EXPECT_EQ(slider("HScroll1(1)")->value(), 1);
    EXPECT_EQ(slider("HScroll1(4)")->value(), 9999);
    EXPECT_EQ(slider("HScroll6")->value(), 1);
    EXPECT_EQ(slider("HScroll5")->value(), 3);
    EXPECT_EQ(slider("HScroll7")->value(), 1000);  // in range: as read

    ASSERT_EQ(h.messages.shown.size(), 2u);
    const QString warning = h.messages.shown[0].text;
    EXPECT_EQ(h.messages.shown[0].icon, Icon::Warning);
    for (const char* named :
         {"Fin de la plage 1 : 0 lu, 1 affiché.", "Fin de la plage 4 : 16382 lu, 9999 affiché.",
          "Relais 1 : 0 lu, 1 affiché.", "Seuil d'arrêt : -1 lu, 3 affiché."})
        EXPECT_TRUE(warning.contains(QString::fromUtf8(named))) << named;
    EXPECT_FALSE(warning.contains("Relais 2"));
    EXPECT_EQ(h.messages.shown[1].text, kReadOk);
}

TEST_F(ParamsWindow, ABlankMemoryGivesItsWarningAndTheBrightnessOption) {
    setPanel(kMinuteMemory);
    h.panel->memory[106] = 0x00;
    h.panel->memory[107] = 0x00;
    h.panel->memory[108] = 0x08;
    setSlider("HScroll5", 1000);
    click("but_lit_para");

    EXPECT_TRUE(option("Option1(3)")->isChecked());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(slider(QStringLiteral("HScroll1(%1)").arg(i))->value(), 1) << i;
        EXPECT_EQ(colourOf(QStringLiteral("COULE(%1)").arg(i)), kOrange) << i;
    }
    EXPECT_EQ(label("PLAG(1)"), "1    De 2 à ");
    EXPECT_EQ(slider("HScroll5")->value(), 1000);    // not decoded
    EXPECT_TRUE(option("Option2(0)")->isChecked());  // not decoded
    for (const char* off : {"NB_DIGIT(3)", "DECI_ENT(1)", "SUPRESS(1)"})
        EXPECT_FALSE(option(QLatin1String(off))->isChecked()) << off;
    expectShown(h.messages, {{kBlank, Icon::Warning}, {kReadOk, Icon::Information}});

    // One signature character is enough for a programmed memory.
    h.panel->memory[107] = 0x55;
    h.messages.shown.clear();
    click("but_lit_para");
    EXPECT_EQ(messages(), std::vector<QString>{kReadOk});
    EXPECT_FALSE(option("Option1(3)")->isChecked());
    EXPECT_EQ(slider("HScroll1(1)")->value(), 299);
}

// The "Er" cells of a failed read are no blank memory: neither its warning nor its resets.
TEST_F(ParamsWindow, AFailedReadIsReportedAsAFailureOnlyAndByTheResponseControl) {
    h.port().faults.mute = true;
    setSlider("HScroll1(1)", 250);
    struct Case {
        const char* responses;
        std::vector<QString> shown;  // each a warning
    };
    for (const Case& c : {Case{"OUI", {kError}}, Case{"NON", {}}}) {
        SCOPED_TRACE(c.responses);
        selectResponseControl(QLatin1String(c.responses));
        h.messages.shown.clear();
        click("but_lit_para");
        EXPECT_EQ(messages(), c.shown);
        for (const auto& m : h.messages.shown) EXPECT_EQ(m.icon, Icon::Warning);
        EXPECT_EQ(cell(127)->text(), "Er");
        EXPECT_EQ(colourNumber(background(cell(0))), kRed);
        EXPECT_EQ(slider("HScroll1(1)")->value(), 250);
        for (int k = 1; k <= 5; ++k)  // "Er" would read as 0E: 60%
            EXPECT_FALSE(option(QStringLiteral("Option1(%1)").arg(k))->isChecked()) << k;
    }
}

TEST_F(ParamsWindow, RangeCheckRefusesSlidersTooCloseAndSendsNothing) {
    const std::size_t before = writes();
    const QString grid96 = cell(96)->text();
    struct Case {
        int ranges[5];
        const char* warning;
    };
    for (const Case& c :
         {Case{{1, 3, 4, 7, 9}, "entre la plage 2 et 3 doit être >=à0,5 !"},
          Case{{1, 199, 200, 599, 799}, "entre la plage 2 et 3 doit être >=à20,1 !"},
          Case{{1, 2, 400, 599, 799}, "entre la plage 1 et 2 doit être >=à0,3 !"}}) {
        for (int i = 0; i < 5; ++i) setSlider(QStringLiteral("HScroll1(%1)").arg(i), c.ranges[i]);
        h.messages.shown.clear();
        click("but_ecrit_para");
        expectShown(h.messages, {{"Le curseur " + QString::fromUtf8(c.warning), Icon::Warning}});
        EXPECT_EQ(writes(), before);
        EXPECT_EQ(cell(96)->text(), grid96);
    }

    h.messages.shown.clear();
    setSliders({1, 3, 5, 7, 9});
    click("but_ecrit_para");
    EXPECT_EQ(messages(), std::vector<QString>{kWriteOk});
    EXPECT_GT(writes(), before);
}

TEST_F(ParamsWindow, ProgrammingWritesTheMapThenOOOAndRRR) {
    setPanel(kMinuteMemory);
    click("but_lit_para");
    h.messages.shown.clear();

    setSliders({1, 199, 1000, 1300, 9998});
    clickBox("COULE(1)");  // green -> orange
    clickBox("COULE(4)");  // green -> orange
    clickBox("COULE(4)");  // orange -> red
    setSlider("HScroll2", 4);
    setSlider("HScroll3", 1);
    click("Option2(2)");  // "Seconde": 11000
    setSlider("HScroll4", 255);
    setSlider("HScroll6", 9999);
    setSlider("HScroll7", 1);
    click("NB_DIGIT(1)");
    click("DECI_ENT(1)");
    click("SUPRESS(2)");
    setSlider("HScroll5", 3600);
    const std::size_t before = writes();
    click("but_ecrit_para");

    const int expected[29] = {0x80, 0x02, 0x00, 0xC8, 0x03, 0xE9, 0x85, 0x15, 0xA7, 0x0F,
                              0x5A, 0x55, 0x4B, 0x00, 0x00, 0x10, 0x02, 0xF8, 0x2A, 0x00,
                              0x00, 0xFF, 0x27, 0x0F, 0x00, 0x01, 0x89, 0x0E, 0x10};
    for (int k = 0; k < 29; ++k) EXPECT_EQ(panelByte(96 + k), expected[k]) << 96 + k;
    EXPECT_EQ(panelByte(125), 0x11);  // kept as read
    EXPECT_EQ(panelByte(127), 0x33);
    EXPECT_EQ(cell(117)->text(), "FF");
    EXPECT_EQ(cell(122)->text(), "89");

    const auto& sent = h.port().writes;
    ASSERT_GE(sent.size(), before + 3);
    const std::size_t n = sent.size();
    EXPECT_EQ(sent[n - 3].bytes, frame(Prefix::P_31, "WWW"));
    EXPECT_EQ(sent[n - 2].bytes, frame(Prefix::P31, "OOO"));
    EXPECT_EQ(sent[n - 1].bytes, frame(Prefix::P31, "RRR"));
    EXPECT_GT(sent[n - 1].time - sent[n - 2].time, 0.5);
    EXPECT_LT(sent[n - 1].time - sent[n - 2].time, 0.52);
    expectShown(h.messages, {{kWriteOk, Icon::Information}});

    // What went out reads back into the same controls.
    setSliders({5, 5, 5, 5, 5});
    click("Option2(0)");
    click("but_lit_para");
    EXPECT_EQ(slider("HScroll1(4)")->value(), 9998);
    EXPECT_EQ(colourOf("COULE(4)"), kRed);
    EXPECT_EQ(colourOf("COULE(1)"), kOrange);
    EXPECT_TRUE(option("Option2(2)")->isChecked());
    EXPECT_TRUE(option("SUPRESS(2)")->isChecked());
    EXPECT_EQ(slider("HScroll7")->value(), 1);
}

TEST_F(ParamsWindow, ProgrammingAfterABlankReadWritesTheBrightnessCodeAndNoFlags) {
    setPanel(kMinuteMemory);
    h.panel->memory[106] = 0x00;
    h.panel->memory[107] = 0x00;
    h.panel->memory[108] = 0x10;  // "50%"
    click("but_lit_para");
    EXPECT_TRUE(option("Option1(4)")->isChecked());
    setSliders({1, 10, 20, 30, 40});
    h.messages.shown.clear();
    click("but_ecrit_para");
    EXPECT_EQ(messages(), std::vector<QString>{kWriteOk});
    EXPECT_EQ(panelByte(106), 0x5A);
    EXPECT_EQ(panelByte(108), 0x10);
    EXPECT_EQ(panelByte(122), 0x00);
    // "Heure", selected at load, is written as it reads back: 36100000.
    EXPECT_EQ(panelByte(113), 0xA0);
    EXPECT_EQ(panelByte(114), 0xD7);
    EXPECT_EQ(panelByte(115), 0x26);
    EXPECT_EQ(panelByte(116), 0x02);
}

TEST_F(ParamsWindow, AnOtherTimeBaseMustBeAWholeNumberTheFourBytesHold) {
    click("Option2(3)");
    QLineEdit* text5 = edit("Text5");
    const std::size_t before = writes();
    for (const char* typed : {"", "abc", "3,6", "-5", "0", "2147483648", "4 2"}) {
        if (*typed) text5->setText(QLatin1String(typed));
        h.messages.shown.clear();
        click("but_ecrit_para");
        ASSERT_EQ(h.messages.shown.size(), 1u) << typed;
        EXPECT_TRUE(h.messages.shown[0].text.startsWith("La base de temps")) << typed;
        EXPECT_EQ(h.messages.shown[0].icon, Icon::Warning);
        EXPECT_EQ(writes(), before) << typed;
        EXPECT_TRUE(cell(106)->text().isEmpty()) << typed;  // nothing encoded either
    }
    EXPECT_TRUE(h.messages.shown[0].text.contains("4 2"));

    text5->setText(" 2147483647 ");  // blanks at its ends only
    h.messages.shown.clear();
    click("but_ecrit_para");
    EXPECT_EQ(messages(), std::vector<QString>{kWriteOk});
    EXPECT_EQ(panelByte(113), 0xFF);
    EXPECT_EQ(panelByte(116), 0x7F);
}

TEST_F(ParamsWindow, AWriteWithoutItsConfirmationStillClosesWithOOOAndRRR) {
    h.port().faults.mute = true;
    click("but_ecrit_para");
    EXPECT_EQ(messages(), std::vector<QString>{kError});
    const auto& sent = h.port().writes;
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2].bytes, frame(Prefix::P31, "OOO"));
    EXPECT_EQ(sent.back().bytes, frame(Prefix::P31, "RRR"));
    EXPECT_EQ(cell(100)->text(), "Er");
}

TEST_F(ParamsWindow, AfterAFailedReadProgrammingSendsNothingAndSaysWhy) {
    h.port().faults.mute = true;
    click("but_lit_para");
    h.port().faults.mute = false;
    setSliders({1, 199, 399, 599, 799});
    const std::size_t before = writes();
    // 125 to 127 still hold "Er": no byte of the panel is overwritten with a guess, and the
    // operator is told to read first, whatever the response control says.
    for (const char* rep : {"OUI", "NON"}) {
        SCOPED_TRACE(rep);
        selectResponseControl(QLatin1String(rep));
        h.messages.shown.clear();
        click("but_ecrit_para");
        EXPECT_EQ(writes(), before);
        expectShown(h.messages, {{kReadFirst, Icon::Warning}});
        EXPECT_EQ(cell(126)->text(), "Er");
        EXPECT_EQ(colourNumber(background(cell(126))), kRed);
        EXPECT_EQ(colourNumber(background(cell(100))), colour::kWhite);
        EXPECT_EQ(cell(106)->text(), "5A");  // the controls are in the grid, ready once re-read
    }
}

// Empty cells hold nothing anybody read or typed: an untouched grid's "Envoi" sends nothing, in
// either window that has one, and says which cells, whatever the response control says.
TEST_F(ParamsWindow, AnUntouchedGridIsNeverSent) {
    LumWindow lum(h.context);
    const std::array<std::uint8_t, 128> memory = h.panel->memory;
    for (const char* rep : {"OUI", "NON"}) {
        selectResponseControl(QLatin1String(rep));
        for (QWidget* window : std::initializer_list<QWidget*>{&w, &lum}) {
            SCOPED_TRACE(std::string(rep) + " " + window->objectName().toStdString());
            h.messages.shown.clear();
            const std::size_t before = writes();
            window->findChild<QPushButton*>(QStringLiteral("but_WR"))->click();
            EXPECT_EQ(writes(), before);
            ASSERT_EQ(h.messages.shown.size(), 1u);
            EXPECT_EQ(h.messages.shown[0].icon, Icon::Warning);
            EXPECT_TRUE(h.messages.shown[0].text.contains(window == &w ? "60h, 61h" : "00h, 01h"));
            EXPECT_TRUE(h.messages.shown[0].text.contains("Lisez d'abord la mémoire"));
        }
    }
    EXPECT_EQ(h.panel->memory, memory);
}

}  // namespace
}  // namespace veq::test

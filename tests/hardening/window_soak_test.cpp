// The rate-parameter window programs random settings and reads them back, through its own
// controls, many times in a row.
#include <random>

#include "panelmem/memmap.h"
#include "tests/params/fixture.h"

namespace veq::test {
namespace {

struct Settings {
    std::array<int, 5> ranges{};
    std::array<int, 5> colours{};
    int averaging2 = 0, averaging1 = 0, timeChoice = 0, antiBounce = 0, stop = 0, relay1 = 0,
        relay2 = 0;
    QString timeBase;
    QString digits, mode, suppress;
};

class WindowSoak : public ParamsWindow {
  protected:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    // Sets every control the operator (or a read) can set to random values.
    Settings randomise() {
        Settings s;
        int low = pick(0, 50);
        for (int i = 0; i < 5; ++i) {
            s.ranges[static_cast<size_t>(i)] = low;
            setSlider(QStringLiteral("HScroll1(%1)").arg(i), low);
            low = pick(low + 2, low + 1990);
            const QString box = QStringLiteral("COULE(%1)").arg(i);
            for (int n = pick(0, 2); n > 0; --n) clickBox(box);
            s.colours[static_cast<size_t>(i)] = colourOf(box);
        }
        setSlider("HScroll2", s.averaging2 = pick(0, 4));
        setSlider("HScroll3", s.averaging1 = pick(0, 3));
        setSlider("HScroll4", s.antiBounce = pick(0, 255));
        setSlider("HScroll5", s.stop = pick(3, 3600));
        setSlider("HScroll6", s.relay1 = pick(1, 9999));
        setSlider("HScroll7", s.relay2 = pick(1, 9999));
        s.timeChoice = pick(0, 3);
        click(QStringLiteral("Option2(%1)").arg(s.timeChoice));
        if (s.timeChoice == 3) edit("Text5")->setText(QString::number(pick(1, 0x7FFFFFFF)));
        s.timeBase = edit("Text5")->text();
        s.digits = QStringLiteral("NB_DIGIT(%1)").arg(pick(1, 3));
        s.mode = QStringLiteral("DECI_ENT(%1)").arg(pick(1, 2));
        s.suppress = QStringLiteral("SUPRESS(%1)").arg(pick(1, 2));
        for (const QString& o : {s.digits, s.mode, s.suppress}) click(o);
        return s;
    }

    std::mt19937 rng{7122026};
};

TEST_F(WindowSoak, RandomSettingsProgrammedAndReadBackThroughTheWindow) {
    constexpr int kCycles = 1000;
    for (int n = 0; n < kCycles; ++n) {
        const Settings s = randomise();
        click("but_ecrit_para");
        ASSERT_EQ(messages(), std::vector<QString>{kWriteOk}) << "cycle " << n;
        h.messages.shown.clear();

        randomise();  // the window forgets what it programmed
        click("but_lit_para");
        ASSERT_EQ(messages(), std::vector<QString>{kReadOk}) << "cycle " << n;
        h.messages.shown.clear();

        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(slider(QStringLiteral("HScroll1(%1)").arg(i))->value(),
                      s.ranges[static_cast<size_t>(i)])
                << "cycle " << n << " range " << i;
            ASSERT_EQ(colourOf(QStringLiteral("COULE(%1)").arg(i)),
                      s.colours[static_cast<size_t>(i)])
                << "cycle " << n << " colour " << i;
        }
        ASSERT_EQ(slider("HScroll2")->value(), s.averaging2) << "cycle " << n;
        ASSERT_EQ(slider("HScroll3")->value(), s.averaging1) << "cycle " << n;
        ASSERT_EQ(slider("HScroll4")->value(), s.antiBounce) << "cycle " << n;
        ASSERT_EQ(slider("HScroll5")->value(), s.stop) << "cycle " << n;
        ASSERT_EQ(slider("HScroll6")->value(), s.relay1) << "cycle " << n;
        ASSERT_EQ(slider("HScroll7")->value(), s.relay2) << "cycle " << n;
        ASSERT_EQ(edit("Text5")->text().trimmed(), s.timeBase.trimmed()) << "cycle " << n;
        // "Heure", "Minute", "Seconde" come back as themselves, any other number as "Autre".
        const int choice = memmap::timeBaseChoice(s.timeBase.trimmed().toInt());
        ASSERT_TRUE(s.timeChoice == 3 || choice == s.timeChoice) << "cycle " << n;
        ASSERT_TRUE(option(QStringLiteral("Option2(%1)").arg(choice))->isChecked())
            << "cycle " << n;
        for (const QString& o : {s.digits, s.mode, s.suppress})
            ASSERT_TRUE(option(o)->isChecked()) << "cycle " << n << " " << o.toStdString();
    }
    RecordProperty("cycles", kCycles);
}

}  // namespace
}  // namespace veq::test

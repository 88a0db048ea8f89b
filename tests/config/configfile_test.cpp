#include <gtest/gtest.h>

#include "config/configfile.h"
#include "tests/config/expected.h"

namespace veq {
namespace {

using configfile::ListChoice;

const std::array<int, 8> kItemCounts = {12, 2, 4, 1, 2, 2, 2, 2};

std::array<ListChoice, 8> initialChoices() {
    return {{{2, "COM3:"},
             {0, "Filaire "},
             {2, "4 Digits 99 sec 99 cen"},
             {0, "Tri couleur "},
             {0, "NON"},
             {0, "NON"},
             {0, "NON"},
             {1, "OUI"}}};
}

TEST(ConfigurationText, InitialChoicesGiveTheExactBytes) {
    const QByteArray bytes =
        configfile::encode(configfile::text(initialChoices(), "05/03/2024", "14:07"));
    EXPECT_EQ(bytes, test::initialConfigurationFile());

    // 31 lines, each ended by CR LF; the fixed lines are 33 characters wide.
    QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 32);
    EXPECT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    for (QByteArray& l : lines) {
        ASSERT_TRUE(l.endsWith('\r'));
        l.chop(1);
        EXPECT_FALSE(l.contains('\r'));
    }
    for (int n : {9, 10, 11, 12, 13, 14, 23, 24, 25, 26, 27, 30, 31})
        EXPECT_EQ(lines[n - 1].size(), 33) << "line " << n;
}

TEST(ConfigurationText, PositionsAndTextsOfOtherChoices) {
    auto lists = initialChoices();
    lists[0] = {11, "COM12:"};
    lists[1] = {1, "Sans fil"};
    lists[2] = {0, "8 Digits 99 heu 59 min 59 sec 99 cen"};
    lists[7] = {0, "NON"};
    const QList<QByteArray> lines =
        configfile::encode(configfile::text(lists, "d", "t")).split('\n');
    EXPECT_EQ(lines[0], "11\r");
    EXPECT_EQ(lines[1], "1\r");
    EXPECT_EQ(lines[2], "0\r");
    EXPECT_EQ(lines[7], "0\r");
    EXPECT_EQ(lines[14], "Connect\xe9 sur Port COM12:\r");
    EXPECT_EQ(lines[15], "INTERFACE Sans fil\r");
    EXPECT_EQ(lines[16], "DIGIT 8 Digits 99 heu 59 min 59 sec 99 cen\r");
    EXPECT_EQ(lines[21], "R\xe9ponse NON\r");
    EXPECT_EQ(lines[27], "cr\xe9\x65 le: d\r");
    EXPECT_EQ(lines[28], "\xe0 t\r");
}

TEST(ConfigurationText, DateAndTimeInTheLocaleShortFormatsAndInTheCodePage) {
    const QDateTime moment(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QLocale french(QLocale::French, QLocale::France);
    EXPECT_EQ(configfile::dateText(moment, french), "05/03/2024");
    EXPECT_EQ(configfile::timeText(moment, french), "14:07");

    // Locales whose texts hold digits of another script, direction marks or wide spaces still
    // give one byte per character and no substitution mark.
    for (const QLocale& l : {QLocale(QLocale::Arabic, QLocale::Egypt),
                             QLocale(QLocale::English, QLocale::UnitedStates),
                             QLocale(QLocale::Chinese, QLocale::China)}) {
        const QString d = configfile::dateText(moment, l);
        const QString t = configfile::timeText(moment, l);
        SCOPED_TRACE(l.name().toStdString());
        EXPECT_TRUE(d.contains(QLatin1String("24")));
        EXPECT_TRUE(t.contains(QLatin1String("07")));
        const QByteArray bytes = configfile::encode(d + t);
        EXPECT_EQ(bytes.size(), (d + t).size());
        EXPECT_FALSE(bytes.contains('\x1a'));
    }
}

TEST(ConfigurationReading, LinesOneToEightInOrderUpToTheFirstInvalidOne) {
    using V = std::vector<int>;
    const auto read = [](const QByteArray& text) {
        return configfile::positions(text, kItemCounts);
    };

    EXPECT_EQ(read(test::initialConfigurationFile()), (V{2, 0, 2, 0, 0, 0, 0, 1}));
    // Only the eight lines, with or without the last line end.
    EXPECT_EQ(read("10\r\n1\r\n3\r\n0\r\n1\r\n1\r\n0\r\n0\r\n"), (V{10, 1, 3, 0, 1, 1, 0, 0}));
    EXPECT_EQ(read("11\r\n1\r\n3\r\n0\r\n1\r\n1\r\n0\r\n0"), (V{11, 1, 3, 0, 1, 1, 0, 0}));
    // Anything after line 8 is of no account, even garbage.
    const QByteArray garbage("\xff\x00zz\r\n-5\r\n", 10);
    EXPECT_EQ(read("1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n" + garbage),
              (V{1, 0, 0, 0, 0, 0, 0, 0}));
    // Line ends of a file edited elsewhere.
    EXPECT_EQ(read("4\n1\n2\n0\n1\n0\n1\n1\n"), (V{4, 1, 2, 0, 1, 0, 1, 1}));
    // Blanks around a number are tolerated.
    EXPECT_EQ(read(" 2 \r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n").size(), 8u);

    EXPECT_EQ(read(""), V{});
    EXPECT_EQ(read("\r\n"), V{});
    EXPECT_EQ(read("COM3:\r\n0\r\n"), V{});
    EXPECT_EQ(read("2\r\n5\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"), V{2});  // line 2 has 2 items
    EXPECT_EQ(read("12\r\n0\r\n"), V{});                                // 12 items: 0 to 11
    EXPECT_EQ(read("-1\r\n"), V{});
    EXPECT_EQ(read("+1\r\n"), V{});
    EXPECT_EQ(read("2.5\r\n"), V{});
    EXPECT_EQ(read("0x2\r\n"), V{});
    EXPECT_EQ(read("99999999999999999999\r\n"), V{});
    EXPECT_EQ(read(QByteArray("2\0\r\n0\r\n", 7)), V{});
    EXPECT_EQ(read("2\r\n0\r\n2\r\n"), (V{2, 0, 2}));   // the file ends after line 3
    EXPECT_EQ(read("2\r\n0\r\n\r\n0\r\n"), (V{2, 0}));  // empty line 3
    EXPECT_EQ(read(QByteArray(5'000'000, '1')), V{});
}

}  // namespace
}  // namespace veq

#include <gtest/gtest.h>

#include "panelmem/memmap.h"

namespace veq::memmap {
namespace {

void put(MemoryGrid& g, int address, std::initializer_list<const char*> texts) {
    for (const char* t : texts) g.setText(address++, QString::fromUtf8(t));
}

TEST(CellValue, HexDigitsUpToTheFirstOtherCharacterWithTheirWidthSettingTheSign) {
    const std::pair<const char*, qint32> cases[] = {{"", 0},
                                                    {"Er", 0x0E},
                                                    {"G1", 0},
                                                    {"5Z", 5},
                                                    {" A 5", 0xA5},
                                                    {"ff", 0xFF},
                                                    {"１２", 0},
                                                    {"7FFF", 32767},
                                                    {"8000", -32768},
                                                    {"FFFF", -1},
                                                    {"0FFFF", 65535},
                                                    {"FFFFFFFF", -1},
                                                    {"0012345678", 0x12345678},
                                                    {"123456789", 0x23456789}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(hexValue(QString::fromUtf8(text)), value) << text;
    EXPECT_EQ(hexValue(QString(50000, QChar('F'))), -1);

    MemoryGrid g;  // fields join the texts before reading them
    put(g, 118, {"12", "C", "FF", "FF", "", "FF", "FF"});
    const RateReading r = decodeRate(g);
    EXPECT_EQ(r.relay1, 0x12C);
    EXPECT_EQ(r.relay2, 0x3FFF);
    EXPECT_EQ(r.stopThreshold, -1);
}

TEST(RangeWords, ColourBitsAndValue) {
    MemoryGrid g;
    const struct {
        const char *hi, *lo;
        Range want;
    } cases[] = {{"80", "C8", {199, colour::kRed}},  {"40", "C8", {199, colour::kGreen}},
                 {"C0", "C8", {199, colour::kRed}},  {"00", "C8", {199, colour::kOrange}},
                 {"00", "00", {1, colour::kOrange}}, {"00", "01", {0, colour::kOrange}},
                 {"Er", "Er", {13, colour::kOrange}}};
    for (const auto& c : cases) {
        put(g, 98, {c.hi, c.lo});
        EXPECT_EQ(readRange(g, 1), c.want) << c.hi << c.lo;
    }
    writeRange(g, 2, {199, colour::kGreen});
    writeRange(g, 3, {199, colour::kOrange});
    writeRange(g, 4, {9999, colour::kRed});
    QString words;
    for (int a = 100; a < 106; ++a) words += g.text(a);
    EXPECT_EQ(words, "40C800C8A710");
}

TEST(Fields, AveragingTimeBaseAndFlags) {
    EXPECT_EQ(decodeAveraging(8, kAveraging2Max), 3);
    EXPECT_EQ(decodeAveraging(16, kAveraging1Max), std::nullopt);
    EXPECT_EQ(decodeAveraging(3, kAveraging2Max), std::nullopt);

    MemoryGrid g;
    put(g, 113, {"A0", "D7", "26", "02"});
    EXPECT_EQ(decodeRate(g).timeBase, 36100000);
    EXPECT_EQ(decodeRate(g).timeBaseChoice, 0);
    put(g, 113, {"00", "51", "25", "02"});
    EXPECT_EQ(decodeRate(g).timeBase, 36000000);
    EXPECT_EQ(decodeRate(g).timeBaseChoice, kTimeBaseOther);
    EXPECT_EQ(timeBaseChoice(600000), 1);
    EXPECT_EQ(timeBaseChoice(11000), 2);
    writeTimeBase(g, 0xFFFF);  // eight digits: positive, not -1
    EXPECT_EQ(g.text(113) + g.text(114) + g.text(115) + g.text(116), "FFFF0000");
    EXPECT_EQ(readTimeBase(g), 0xFFFF);

    EXPECT_EQ(parseTimeBaseText("36000000\r\n"), 36000000u);
    for (const char* bad : {"Éditer ici", "", "0", "-5", "3,6", "2147483648", "12a"})
        EXPECT_EQ(parseTimeBaseText(QString::fromUtf8(bad)), std::nullopt) << bad;

    EXPECT_EQ(decodeDisplayFlags(0xA6), (DisplayFlags{3, 2, 1}));
    EXPECT_EQ(decodeDisplayFlags(0x0F), (DisplayFlags{0, 2, 2}));
    EXPECT_EQ(encodeDisplayFlags({3, 1, 2}), 0x29);
}

TEST(Signature, BlankOnlyWhenNeitherOfTheFirstTwoCharactersIsThere) {
    MemoryGrid g;
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"5A", "Er", false}, {"00", "55", false}, {"5a", "", false},
        {"00", "00", true},  {"Er", "Er", true},  {"5B", "54", true}};
    for (const auto& [a106, a107, blank] : cases) {
        put(g, 106, {a106, a107});
        EXPECT_EQ(isBlank(g), blank) << a106 << "/" << a107;
    }
    g.setText(108, "22");
    EXPECT_EQ(blankBrightnessOption(g), 5);
}

TEST(RateWindow, EncodingReadsBackAndTouchesOnly96To124) {
    MemoryGrid g;
    for (int a : {95, 125, 126, 127}) g.setText(a, "Er");
    RateSettings s;
    s.ranges = {Range{0, colour::kGreen}, Range{199, colour::kRed}, Range{4000, colour::kOrange},
                Range{8191, colour::kGreen}, Range{9999, colour::kRed}};
    s.brightnessOption = 2;
    s.averaging2 = 4;
    s.timeBase = 11000;
    s.antiBounce = 10;
    s.relay1 = 9999;
    s.flags = {3, 1, 2};
    s.stopThreshold = 3600;
    encodeRate(s, g);

    QString image;
    for (int a = 106; a <= 124; ++a) image += g.text(a) + "|";
    EXPECT_EQ(image, "5A|55|04|00|00|10|01|F8|2A|00|00|A|27|0F|03|20|29|0E|10|");
    for (int a : {95, 125, 126, 127}) EXPECT_EQ(g.text(a), "Er") << a;

    const RateReading r = decodeRate(g);
    EXPECT_EQ(r.ranges, s.ranges);
    EXPECT_EQ(r.averaging2, 4);
    EXPECT_EQ(r.averaging1, 0);
    EXPECT_EQ(r.timeBaseChoice, 2);
    EXPECT_EQ(r.antiBounce, 10);
    EXPECT_EQ(r.relay1, 9999);
    EXPECT_EQ(r.flags, s.flags);
    EXPECT_EQ(r.stopThreshold, 3600);

    s.brightnessOption = 0;
    s.flags = {};
    encodeRate(s, g);
    EXPECT_EQ(g.text(108) + g.text(122), "4B0");
}

TEST(OtherWindows, BrightnessAndMicroswitchCells) {
    MemoryGrid g;
    const std::pair<const char*, std::optional<int>> modes[] = {
        {"21", 0}, {"40", 6}, {"06", 2}, {"00", std::nullopt}, {"80", std::nullopt}};
    for (const auto& [cell60, option] : modes) {
        g.setText(60, cell60);
        EXPECT_EQ(decodeBrightness(g).option, option) << cell60;
    }
    for (const auto& [cell61, period] : {std::pair{"00", 1}, {"FF", 128}, {"0A", 6}}) {
        g.setText(61, cell61);
        EXPECT_EQ(decodeBrightness(g).period, period) << cell61;
    }
    encodeBrightness({std::nullopt, 6, 10}, g);
    EXPECT_EQ(g.text(60) + "|" + g.text(61) + "|" + g.text(62), "80|B|A");  // 60 kept
    encodeBrightness({0, 500, 999}, g);
    EXPECT_EQ(g.text(60) + "|" + g.text(61) + "|" + g.text(62), "21|FF|FF");

    put(g, 74, {"81", "FF", "54"});
    Switches s = decodeSwitches(g);
    EXPECT_EQ(s.sw3, (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_EQ(s.sw2, (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
    EXPECT_EQ(s.model, ColourModel::ThreeColours);
    g.setText(76, "4D");
    EXPECT_EQ(decodeSwitches(g).model, ColourModel::OneColour);
}

TEST(Codec, HostileTextsInEveryCell) {
    for (const QString& t :
         {QString(20000, QChar('F')), QStringLiteral("\U0001F600"), QString(QChar(0)),
          QStringLiteral("&h"), QStringLiteral("7fffffff9")}) {
        MemoryGrid g;
        for (int a = 0; a < 128; ++a) g.setText(a, t);
        const RateReading r = decodeRate(g);
        for (const Range& range : r.ranges) EXPECT_TRUE(range.slider >= 0 && range.slider < 0x3FFF);
        EXPECT_TRUE(r.relay1 >= 0 && r.relay1 <= 0x3FFF);
        EXPECT_LE(decodeBrightness(g).option.value_or(0), 6);
        decodeSwitches(g);
        encodeRate(RateSettings{}, g);  // leaves sendable texts
        for (int a = 96; a <= 124; ++a) EXPECT_LE(g.text(a).size(), 2) << a;
    }
}

}  // namespace
}  // namespace veq::memmap

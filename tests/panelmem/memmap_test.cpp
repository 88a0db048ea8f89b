#include <gtest/gtest.h>

#include <limits>

#include "panelmem/memmap.h"

namespace veq::memmap {
namespace {

// Puts two-character texts into consecutive cells from `address`.
void put(MemoryGrid& g, int address, std::initializer_list<const char*> texts) {
    for (const char* t : texts) g.setText(address++, QString::fromUtf8(t));
}

TEST(CellValue, HexadecimalWithSpacesSkippedStoppingAtTheFirstOtherCharacter) {
    EXPECT_EQ(hexValue(""), 0);
    EXPECT_EQ(hexValue("  "), 0);
    EXPECT_EQ(hexValue("Er"), 0x0E);
    EXPECT_EQ(hexValue("G1"), 0);
    EXPECT_EQ(hexValue("5Z"), 5);
    EXPECT_EQ(hexValue(" A 5"), 0xA5);
    EXPECT_EQ(hexValue("ff"), 0xFF);
    EXPECT_EQ(hexValue("&h12"), 0);
    EXPECT_EQ(hexValue(QStringLiteral("１２")), 0);  // full-width digits are not digits
}

TEST(CellValue, DigitCountSetsTheWidthAndTheSign) {
    EXPECT_EQ(hexValue("7FFF"), 32767);
    EXPECT_EQ(hexValue("8000"), -32768);
    EXPECT_EQ(hexValue("FFFF"), -1);
    EXPECT_EQ(hexValue("FFF"), 4095);
    EXPECT_EQ(hexValue("0FFFF"), 65535);
    EXPECT_EQ(hexValue("0000FFFF"), 65535);
    EXPECT_EQ(hexValue("FFFFFFFF"), -1);
    EXPECT_EQ(hexValue("80000000"), std::numeric_limits<qint32>::min());
    // Past eight digits only the last eight count: no overflow.
    EXPECT_EQ(hexValue("0012345678"), 0x12345678);
    EXPECT_EQ(hexValue("123456789"), 0x23456789);
    EXPECT_EQ(hexValue(QString(50000, QChar('F'))), -1);
}

TEST(CellValue, FieldsJoinTheTextsBeforeReading) {
    MemoryGrid g;
    put(g, 118, {"12", "C"});
    EXPECT_EQ(decodeRate(g).relay1, 0x12C);
    put(g, 118, {"12", "0C"});
    EXPECT_EQ(decodeRate(g).relay1, 0x120C);
    put(g, 118, {"FF", "FF"});  // bits 0..13 of a negative 16-bit value
    EXPECT_EQ(decodeRate(g).relay1, 0x3FFF);
    put(g, 123, {"FF", "FF"});
    EXPECT_EQ(decodeRate(g).stopThreshold, -1);
    put(g, 123, {"0E", "10"});
    EXPECT_EQ(decodeRate(g).stopThreshold, 3600);
}

TEST(RangeWords, ColourBitsAndValue) {
    MemoryGrid g;
    const struct {
        const char *hi, *lo;
        Range want;
    } cases[] = {
        {"80", "C8", {199, colour::kRed}},  {"40", "C8", {199, colour::kGreen}},
        {"C0", "C8", {199, colour::kRed}},  {"00", "C8", {199, colour::kOrange}},
        {"00", "00", {1, colour::kOrange}}, {"00", "01", {0, colour::kOrange}},
        {"A7", "10", {9999, colour::kRed}}, {"Er", "Er", {0x0E - 1, colour::kOrange}},
        {"ZZ", "", {1, colour::kOrange}},
    };
    for (const auto& c : cases) {
        put(g, 98, {c.hi, c.lo});
        EXPECT_EQ(readRange(g, 1), c.want) << c.hi << c.lo;
    }

    writeRange(g, 2, {199, colour::kGreen});
    EXPECT_EQ(g.text(100) + g.text(101), "40C8");
    writeRange(g, 2, {199, colour::kOrange});
    EXPECT_EQ(g.text(100) + g.text(101), "00C8");
    writeRange(g, 4, {9999, colour::kRed});
    EXPECT_EQ(g.text(104) + g.text(105), "A710");
    EXPECT_EQ(readRange(g, 4), (Range{9999, colour::kRed}));
    writeRange(g, 0, {0, 12345});  // another colour is orange
    EXPECT_EQ(g.text(96) + g.text(97), "0001");
}

TEST(Averaging, PowersOfTwoOnlyWithinTheSliderRange) {
    EXPECT_EQ(decodeAveraging(8, kAveraging2Max), 3);
    EXPECT_EQ(decodeAveraging(16, kAveraging2Max), 4);
    EXPECT_EQ(decodeAveraging(16, kAveraging1Max), std::nullopt);
    EXPECT_EQ(decodeAveraging(3, kAveraging2Max), std::nullopt);
    EXPECT_EQ(decodeAveraging(0, kAveraging2Max), std::nullopt);
    EXPECT_EQ(decodeAveraging(-32768, kAveraging2Max), std::nullopt);
    EXPECT_EQ(encodeAveraging(0), "01");
    EXPECT_EQ(encodeAveraging(4), "10");
}

TEST(TimeBase, LittleEndianValueAndItsChoice) {
    MemoryGrid g;
    put(g, 113, {"A0", "D7", "26", "02"});
    EXPECT_EQ(readTimeBase(g), 36100000);
    EXPECT_EQ(decodeRate(g).timeBaseChoice, 0);
    put(g, 113, {"00", "51", "25", "02"});
    EXPECT_EQ(readTimeBase(g), 36000000);
    EXPECT_EQ(decodeRate(g).timeBaseChoice, kTimeBaseOther);
    EXPECT_EQ(timeBaseChoice(600000), 1);
    EXPECT_EQ(timeBaseChoice(11000), 2);
    EXPECT_EQ(timeBaseChoice(10000), kTimeBaseOther);

    writeTimeBase(g, 600000);
    EXPECT_EQ(g.text(113) + g.text(114) + g.text(115) + g.text(116), "C0270900");
    writeTimeBase(g, 0xFFFF);  // eight digits: a positive 32-bit value, not -1
    EXPECT_EQ(readTimeBase(g), 0xFFFF);
    writeTimeBase(g, 0x7FFFFFFF);
    EXPECT_EQ(readTimeBase(g), 0x7FFFFFFF);
}

TEST(TimeBase, OnlyAPositiveDecimalNumberIsEncoded) {
    EXPECT_EQ(parseTimeBaseText("36000000\r\n"), 36000000u);
    EXPECT_EQ(parseTimeBaseText(" 11 000 "), 11000u);
    EXPECT_EQ(parseTimeBaseText("2147483647"), 2147483647u);
    for (const char* bad : {"Éditer ici", "", "\r\n", "0", "-5", "3,6", "2147483648",
                            "99999999999999999999", "1e6", "12a"})
        EXPECT_EQ(parseTimeBaseText(QString::fromUtf8(bad)), std::nullopt) << bad;
}

TEST(DisplayFlags, LastBitOfEachGroupStandsAndTheDigitBitReplaces) {
    EXPECT_EQ(decodeDisplayFlags(0xA6), (DisplayFlags{3, 2, 1}));
    EXPECT_EQ(decodeDisplayFlags(0x0F), (DisplayFlags{0, 2, 2}));
    EXPECT_EQ(decodeDisplayFlags(0x10), (DisplayFlags{}));
    EXPECT_EQ(encodeDisplayFlags({3, 1, 2}), 0x29);
    EXPECT_EQ(encodeDisplayFlags({1, 2, 1}), 0x86);
    EXPECT_EQ(encodeDisplayFlags({7, -1, 3}), 0);

    MemoryGrid g;
    RateSettings s;
    s.flags = {3, 1, 2};
    encodeRate(s, g);
    EXPECT_EQ(g.text(122), "29");
    s.flags = {};
    encodeRate(s, g);
    EXPECT_EQ(g.text(122), "0");
}

TEST(Signature, BlankOnlyWhenNeitherOfTheFirstTwoCharactersIsThere) {
    MemoryGrid g;
    const struct {
        const char *a106, *a107;
        bool blank;
    } cases[] = {{"5A", "00", false}, {"5A", "Er", false}, {"00", "55", false},
                 {"5a", "", false},   {" 5A", "", false},  {"00", "00", true},
                 {"Er", "Er", true},  {"", "", true},      {"5B", "54", true}};
    for (const auto& c : cases) {
        put(g, 106, {c.a106, c.a107});
        EXPECT_EQ(isBlank(g), c.blank) << c.a106 << "/" << c.a107;
    }

    g.setText(108, "08");
    EXPECT_EQ(blankBrightnessOption(g), 3);
    g.setText(108, "22");
    EXPECT_EQ(blankBrightnessOption(g), 5);
    g.setText(108, "41");
    EXPECT_EQ(blankBrightnessOption(g), 0);
}

TEST(RateWindow, EncodingReadsBackAndTouchesOnly96To124) {
    MemoryGrid g;
    for (int a : {95, 125, 126, 127}) g.setText(a, "Er");
    RateSettings s;
    s.ranges = {Range{0, colour::kGreen}, Range{199, colour::kRed}, Range{4000, colour::kOrange},
                Range{8191, colour::kGreen}, Range{9999, colour::kRed}};
    s.brightnessOption = 2;
    s.averaging2 = 4;
    s.averaging1 = 2;
    s.timeBase = 11000;
    s.antiBounce = 10;
    s.relay1 = 9999;
    s.relay2 = 1;
    s.flags = {2, 2, 1};
    s.stopThreshold = 3600;
    encodeRate(s, g);

    EXPECT_EQ(g.text(106) + g.text(107) + g.text(108), "5A5504");
    EXPECT_EQ(g.text(109) + g.text(110), "0000");
    EXPECT_EQ(g.text(117), "A");
    for (int a : {95, 125, 126, 127}) EXPECT_EQ(g.text(a), "Er") << a;
    for (int a = 96; a <= 124; ++a) EXPECT_LE(g.text(a).size(), 2) << a;

    EXPECT_FALSE(isBlank(g));
    const RateReading r = decodeRate(g);
    EXPECT_EQ(r.ranges, s.ranges);
    EXPECT_EQ(r.averaging2, 4);
    EXPECT_EQ(r.averaging1, 2);
    EXPECT_EQ(r.timeBase, 11000);
    EXPECT_EQ(r.timeBaseChoice, 2);
    EXPECT_EQ(r.antiBounce, 10);
    EXPECT_EQ(r.relay1, 9999);
    EXPECT_EQ(r.relay2, 1);
    EXPECT_EQ(r.flags, s.flags);
    EXPECT_EQ(r.stopThreshold, 3600);

    s.brightnessOption = 0;
    s.antiBounce = 300;  // kept to one byte
    encodeRate(s, g);
    EXPECT_EQ(g.text(108), "4B");
    EXPECT_EQ(g.text(117), "FF");
}

TEST(BrightnessWindow, ModePeriodAndThreshold) {
    MemoryGrid g;
    const struct {
        const char* cell60;
        std::optional<int> option;
    } modes[] = {{"21", 0},
                 {"40", 6},
                 {"02", 1},
                 {"20", 5},
                 {"06", 2},
                 {"00", std::nullopt},
                 {"80", std::nullopt},
                 {"Er", 3}};
    for (const auto& m : modes) {
        g.setText(60, m.cell60);
        EXPECT_EQ(decodeBrightness(g).option, m.option) << m.cell60;
    }
    for (const auto& [cell61, period] : {std::pair{"00", 1}, {"FF", 128}, {"0A", 6}, {"B", 6}}) {
        g.setText(61, cell61);
        EXPECT_EQ(decodeBrightness(g).period, period) << cell61;
    }
    g.setText(62, "04");
    EXPECT_EQ(decodeBrightness(g).threshold, 4);

    g.setText(60, "80");
    encodeBrightness({std::nullopt, 6, 10}, g);
    EXPECT_EQ(g.text(60), "80");  // no option: the byte read is kept
    EXPECT_EQ(g.text(61), "B");
    EXPECT_EQ(g.text(62), "A");
    encodeBrightness({6, 128, 0}, g);
    EXPECT_EQ(g.text(60), "40");
    EXPECT_EQ(g.text(61), "FF");
    EXPECT_EQ(g.text(62), "0");
    encodeBrightness({0, 500, 999}, g);
    EXPECT_EQ(g.text(60), "21");
    EXPECT_EQ(g.text(61), "FF");
    EXPECT_EQ(g.text(62), "FF");
}

TEST(MicroswitchWindow, BanksAndColourModel) {
    MemoryGrid g;
    put(g, 74, {"81", "FF", "54"});
    Switches s = decodeSwitches(g);
    EXPECT_EQ(s.sw3, (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_EQ(s.sw2, (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
    EXPECT_EQ(s.model, ColourModel::ThreeColours);
    put(g, 74, {"", "00", "4D"});
    s = decodeSwitches(g);
    EXPECT_EQ(s.sw3, (std::array<bool, 8>{}));
    EXPECT_EQ(s.sw2, (std::array<bool, 8>{}));
    EXPECT_EQ(s.model, ColourModel::OneColour);
    g.setText(76, "00");
    EXPECT_EQ(decodeSwitches(g).model, ColourModel::Unknown);
}

TEST(Codec, HostileTextsInEveryCell) {
    const QString texts[] = {QString(20000, QChar('F')),
                             QStringLiteral("\U0001F600"),
                             QString(QChar(0)),
                             "-",
                             "&h",
                             "  ",
                             "Er",
                             "?",
                             "7fffffff9"};
    for (const QString& t : texts) {
        MemoryGrid g;
        for (int a = 0; a < 128; ++a) g.setText(a, t);
        const RateReading r = decodeRate(g);
        for (const Range& range : r.ranges) {
            EXPECT_GE(range.slider, 0);
            EXPECT_LE(range.slider, 0x3FFF - 1);
        }
        EXPECT_GE(r.relay1, 0);
        EXPECT_LE(r.relay1, 0x3FFF);
        EXPECT_GE(r.timeBaseChoice, 0);
        EXPECT_LE(r.timeBaseChoice, 3);
        const BrightnessReading b = decodeBrightness(g);
        EXPECT_LE(b.option.value_or(0), 6);
        decodeSwitches(g);
        isBlank(g);
        blankBrightnessOption(g);
        // Encoding over hostile texts leaves sendable texts in 96..124.
        encodeRate(RateSettings{}, g);
        for (int a = 96; a <= 124; ++a) EXPECT_LE(g.text(a).size(), 2) << a;
    }
}

}  // namespace
}  // namespace veq::memmap

#pragma once

#include <array>
#include <initializer_list>
#include <optional>

#include <QString>
#include <QtGlobal>

#include "panelmem/grid.h"
#include "panelmem/settings.h"

// The map of the panel's 128-byte parameter memory: which addresses hold which setting and how
// each setting is written into the memory grid. Every function here is pure: it reads cells out of
// a grid or writes bytes and texts into it (never states), and accepts any text a cell may hold
// without failing: a cell holding a byte reads as that byte, any other as its text.
//
// Rate-parameter window dump_24c01 (addresses 96 to 124):
//   96..105  five range words, big-endian: bits 0..13 slider + 1, bit 14 green, bit 15 red
//   106..108 signature "ZUK" (5A 55 4B); 108 holds the brightness code when one is chosen
//   109, 110 "00"
//   111, 112 level-2 and level-1 averaging, 2 to the power of the slider, two digits
//   113..116 time base, 32 bits, little-endian (113 holds the low byte)
//   117      anti-bounce in tenths of a millisecond, no leading zero
//   118..121 the two 14-bit values (HScroll6, HScroll7), big-endian
//   122      display flags, no leading zero
//   123, 124 stop threshold, big-endian
//   125..127 not interpreted
// Brightness window LUM: 60 mode, 61 switching period, 62 switching threshold.
// Microswitch window SW: 74 bank "SW3", 75 bank "SW2", 76 colour model.
namespace veq::memmap {

// ---------------------------------------------------------------------------------------------
// Cell values

// The value of a text read as a hexadecimal number: spaces are skipped anywhere, reading stops at
// the first other character that is not a hexadecimal digit (either case), and a text with no
// leading digit reads 0 ("", "Er" -> 0x0E, "G1" -> 0, "5Z" -> 5, " A 5" -> 0xA5).
// The number of digits read sets the type, leading zeros included:
//   1 to 4 digits: signed 16-bit ("FFFF" -> -1, "8000" -> -32768, "FFF" -> 4095);
//   5 to 8 digits: signed 32-bit ("0000FFFF" -> 65535, "FFFFFFFF" -> -1);
//   more than 8 digits: only the last eight count (the value wraps to 32 bits and reads as
//   signed 32-bit), so "0012345678" -> 0x12345678 and nothing overflows.
qint32 hexValue(const QString& text);

// The value of one cell, and of a field made by joining the texts of several cells in the given
// order before reading them. Joining comes first, so a cell holding one character shifts the
// digits: 118 = "12", 119 = "C" reads 0x12C, while "12", "0C" reads 0x120C.
qint32 cellValue(const MemoryGrid& grid, int address);
qint32 joinedValue(const MemoryGrid& grid, std::initializer_list<int> addresses);

// Upper-case hexadecimal of the low 32 bits of `value` without leading zeros ("0", "A", "7F").
QString hexText(qint64 value);
// The last `digits` characters of enough zeros joined with hexText(value): the low 4 * digits
// bits as exactly `digits` upper-case digits (hexDigits(5, 2) == "05", hexDigits(-1, 4) == "FFFF").
QString hexDigits(qint64 value, int digits);
// The value of one hexadecimal digit of either case; -1 for any other character.
int hexDigit(QChar c);

// ---------------------------------------------------------------------------------------------
// Range words (96..105): word i at 96 + 2i (high byte) and 97 + 2i (low byte), i = 0..4.

struct Range {
    int slider = 1;                // HScroll1(i)
    int colour = colour::kOrange;  // COULE(i), colour number
    bool operator==(const Range&) const = default;
};

// Colour orange, then green if bit 14, then red if bit 15 (both bits: red); v = bits 0..13, a v of
// 0 taken as 2; slider = v - 1 (so 0 reads as 1, 1 as 0).
Range decodeRangeWord(qint32 word);
// (slider + 1) in bits 0..13, plus 0x4000 for green or 0x8000 for red; any other colour is
// orange (no colour bit). The slider is kept to 0..16382 so the value stays within its 14 bits.
int encodeRangeWord(const Range& range);

Range readRange(const MemoryGrid& grid, int i);
void writeRange(MemoryGrid& grid, int i, const Range& range);

// ---------------------------------------------------------------------------------------------
// Averaging (111: HScroll2, exponent 0..4; 112: HScroll3, exponent 0..3)

inline constexpr int kAveraging2Max = settings::kAveraging2.maximum;
inline constexpr int kAveraging1Max = settings::kAveraging1.maximum;

// The exponent n when value == 2^n with 0 <= n <= maxExponent; otherwise nothing, meaning the
// slider keeps what it showed.
std::optional<int> decodeAveraging(qint32 value, int maxExponent);
// 2^exponent as two digits ("01", "02", "04", "08", "10"); the exponent is kept to 0..7.
QString encodeAveraging(int exponent);

// ---------------------------------------------------------------------------------------------
// Time base (113..116, 32 bits, little-endian)

// The stored values of the choices Option2(0) "Heure", Option2(1) "Minute", Option2(2) "Seconde",
// Option2(3) "Autre" (whose register Text5 then invites the operator to type a number).
inline const std::array<QString, 4> kTimeBaseStored = {
    QStringLiteral("36100000"), QStringLiteral("600000"), QStringLiteral("11000"),
    QStringLiteral("Éditer ici")};
inline constexpr int kTimeBaseOther = 3;

// The value of 116, 115, 114, 113 joined in this order.
qint32 readTimeBase(const MemoryGrid& grid);
// The choice whose stored text equals the decimal text of the value: 0, 1 or 2 (the last match
// wins), otherwise 3 "Autre". 36000000 is "Autre": only 36100000 is "Heure".
int timeBaseChoice(qint32 value);
// The value as eight digits: digits 7-8 to 113, 5-6 to 114, 3-4 to 115, 1-2 to 116.
void writeTimeBase(MemoryGrid& grid, quint32 value);
// The number typed into Text5, when it is one: decimal digits only, blanks (spaces, tabs, line
// breaks) allowed at its ends but not between digits ("4 2" is no number), 1 to 2147483647 (it must
// read back positive as a signed 32-bit value). Anything else ("Éditer ici", "", "-5", "3,6",
// "99999999999") gives nothing: programming must not go on with an undefined time base.
std::optional<quint32> parseTimeBaseText(const QString& text);

// ---------------------------------------------------------------------------------------------
// Display flags (122)

// Selected option of each group by its control index; 0 when none of the group is selected.
struct DisplayFlags {
    int digits = 0;    // NB_DIGIT(1) "2", NB_DIGIT(2) "3", NB_DIGIT(3) "4"
    int mode = 0;      // DECI_ENT(1) "entier", DECI_ENT(2) "décimal si possible"
    int suppress = 0;  // SUPRESS(1) "OUI", SUPRESS(2) "NON"
    bool operator==(const DisplayFlags&) const = default;
};

// 0x80 -> NB_DIGIT(1), 0x40 -> (2), 0x20 -> (3), 0x08 -> DECI_ENT(1), 0x04 -> (2),
// 0x02 -> SUPRESS(1), 0x01 -> (2), taken in that order so the last set bit of a group stands
// (0xA6: 4 digits, decimal, suppression OUI). Bit 0x10 is unused.
DisplayFlags decodeDisplayFlags(qint32 value);
// The digit bit (0x80, 0x40 or 0x20), or-ed with the other four: 4 digits, entier, NON -> 0x29.
// Indices outside their group select nothing.
int encodeDisplayFlags(const DisplayFlags& flags);

// ---------------------------------------------------------------------------------------------
// Signature and blank memory (106..108)

inline constexpr int kSignature[3] = {0x5A, 0x55, 0x4B};  // "ZUK"

// Blank when 106 does not hold 0x5A AND 107 does not hold 0x55 (one of them is enough for a
// programmed memory; 108 is not tested). "Er" reads 0x0E, so a failed read is always blank.
bool isBlank(const MemoryGrid& grid);

// Codes of the brightness options, Option1(0) "Capteur" to Option1(6) "20%":
// "21", "02", "04", "08", "10", "20", "40". Empty for another index.
QString brightnessCode(int option);
// The rate window's brightness option Option1(1..5) on a blank memory, from the value of 108:
// bits 0x02, 0x04, 0x08, 0x10, 0x20 select options 1 to 5 in this order, the last one standing;
// 0 when none is set.
int blankBrightnessOption(const MemoryGrid& grid);

// ---------------------------------------------------------------------------------------------
// The rate-parameter window as a whole

// What a read of a programmed memory puts into the controls. Values are as stored: no slider
// range is applied (a stored 0 stop threshold is 0 here, below HScroll5's minimum of 3); the
// window chooses how to show values outside a slider's range.
struct RateReading {
    std::array<Range, 5> ranges;    // HScroll1(0..4), COULE(0..4)
    std::optional<int> averaging2;  // HScroll2; nothing: leave the slider as it is
    std::optional<int> averaging1;  // HScroll3; nothing: leave the slider as it is
    qint32 timeBase = 0;            // Text5 := QString::number(timeBase) after the choices
    int timeBaseChoice = 0;         // Option2 index 0..3
    int antiBounce = 0;             // HScroll4 (value of 117)
    int relay1 = 0;                 // HScroll6 (bits 0..13 of 118, 119)
    int relay2 = 0;                 // HScroll7 (bits 0..13 of 120, 121)
    DisplayFlags flags;             // NB_DIGIT, DECI_ENT, SUPRESS
    int stopThreshold = 0;          // HScroll5 (signed 16-bit value of 123, 124)
};

// Decodes 96 to 124, in the order the window applies them. Meant for a memory that is not blank.
RateReading decodeRate(const MemoryGrid& grid);

// What programming writes. Initial values are those of the window at load.
struct RateSettings {
    std::array<Range, 5> ranges = {
        Range{settings::kRangeBounds[0].initial, settings::kRangeColours[0]},
        Range{settings::kRangeBounds[1].initial, settings::kRangeColours[1]},
        Range{settings::kRangeBounds[2].initial, settings::kRangeColours[2]},
        Range{settings::kRangeBounds[3].initial, settings::kRangeColours[3]},
        Range{settings::kRangeBounds[4].initial, settings::kRangeColours[4]}};
    int brightnessOption = 0;                        // Option1(1..5) selected, 0 for none (108
                                                     // keeps "4B")
    int averaging2 = settings::kAveraging2.initial;  // HScroll2
    int averaging1 = settings::kAveraging1.initial;  // HScroll3
    quint32 timeBase = 36100000;                     // from parseTimeBaseText(Text5): "Heure"
    int antiBounce = settings::kAntiBounce.initial;  // HScroll4 (kept to its range)
    int relay1 = settings::kRelay1.initial;          // HScroll6, low 16 bits written
    int relay2 = settings::kRelay2.initial;          // HScroll7, low 16 bits written
    DisplayFlags flags{settings::kDigitsInitial, settings::kDisplayInitial,
                       settings::kSuppressionInitial};
    int stopThreshold = settings::kStopThreshold.initial;  // HScroll5, low 16 bits written
};

// The settings a read of a programmed memory found in `grid`, as programming would write them
// back. A value the window would leave as it was (an averaging byte that is no power of two) takes
// the window's value at load. The brightness is the option whose code 6Ch holds, none for the
// third signature character "K" (or anything else): so what "params set" programmed,
// "params get" gives back, where the window forgets it.
memmap::RateSettings settingsFromMemory(const MemoryGrid& grid);

// Writes 96 to 124 in the window's order: ranges, signature then brightness code, "00" to 109 and
// 110, averaging, time base, anti-bounce, the two 14-bit values, flags ("0" when none), stop
// threshold. 125 to 127 keep their texts.
void encodeRate(const RateSettings& settings, MemoryGrid& grid);

// ---------------------------------------------------------------------------------------------
// Brightness window LUM (60..62)

struct BrightnessReading {
    std::optional<int> option;  // Option1 index 0 ("Capteur") to 6 ("20%"); nothing: none
    int period = 1;             // DURE_LDR: (value of 61 div 2) + 1
    int threshold = 0;          // COMP_LDR: value of 62 (not range-checked)
};

// Bits 0x02, 0x04, 0x08, 0x10, 0x20, 0x40 select options 1 to 6 in this order, then 0x01 selects
// option 0 last, so "21" reads as "Capteur"; 0x00 and 0x80 select nothing.
BrightnessReading decodeBrightness(const MemoryGrid& grid);

struct BrightnessSettings {
    std::optional<int> option;  // Option1 selected; nothing: cell 60 keeps its text
    int period = settings::kSwitchPeriod.initial;  // DURE_LDR (kept to its range): 61 := 2p - 1
    int threshold = settings::kSwitchThreshold.initial;  // COMP_LDR (kept to 0..255): 62 := t
};

// Writes 61, 62, then 60 (the option's code), without leading zeros except the codes' own.
void encodeBrightness(const BrightnessSettings& settings, MemoryGrid& grid);

// ---------------------------------------------------------------------------------------------
// Microswitch window SW (74..76)

enum class ColourModel {
    Unknown,       // anything else: Label30 keeps "   --   "
    ThreeColours,  // 0x54 "T": "VEQ trois couleurs."
    OneColour,     // 0x4D "M": "VEQ une couleur.   "
};

struct Switches {
    std::array<bool, 8> sw3{};  // SW1(0..7), bank "SW3", from 74: bit i set = DIP i + 1 ON
    std::array<bool, 8> sw2{};  // SW2(0..7), bank "SW2", from 75
    ColourModel model = ColourModel::Unknown;  // from 76
};

Switches decodeSwitches(const MemoryGrid& grid);

}  // namespace veq::memmap

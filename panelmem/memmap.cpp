#include "panelmem/memmap.h"

#include <algorithm>

namespace veq::memmap {

namespace {

// Addresses of the fields.
constexpr int kRangeBase = 96;
constexpr int kSignatureAt = 106;
constexpr int kBrightnessAt = 108;
constexpr int kAveraging2At = 111;
constexpr int kAveraging1At = 112;
constexpr int kTimeBaseLow = 113;
constexpr int kAntiBounceAt = 117;
constexpr int kRelay1At = 118;
constexpr int kRelay2At = 120;
constexpr int kFlagsAt = 122;
constexpr int kStopAt = 123;
constexpr int kModeAt = 60;
constexpr int kPeriodAt = 61;
constexpr int kThresholdAt = 62;
constexpr int kSw3At = 74;
constexpr int kSw2At = 75;
constexpr int kModelAt = 76;

constexpr int kValueMask = 0x3FFF;
constexpr int kGreenBit = 0x4000;
constexpr int kRedBit = 0x8000;

// Digit bits of the display flags, by NB_DIGIT index 1..3; then DECI_ENT 1..2 and SUPRESS 1..2.
constexpr int kDigitBits[3] = {0x80, 0x40, 0x20};
constexpr int kModeBits[2] = {0x08, 0x04};
constexpr int kSuppressBits[2] = {0x02, 0x01};

// Codes of Option1(0..6).
constexpr int kBrightnessCodes[7] = {0x21, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40};

// Writes a 16-bit field: high byte to `address`, low byte to `address + 1`.
void writeWord(MemoryGrid& grid, int address, qint64 value) {
    grid.setByte(address, static_cast<quint8>(value >> 8));
    grid.setByte(address + 1, static_cast<quint8>(value));
}

qint32 readWord(const MemoryGrid& grid, int address) {
    return joinedValue(grid, {address, address + 1});
}

}  // namespace

qint32 hexValue(const QString& text) {
    quint32 value = 0;
    int digits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) continue;
        const int d = hexDigit(c);
        if (d < 0) break;
        value = (value << 4) | static_cast<quint32>(d);  // keeps the last eight digits
        ++digits;
    }
    if (digits <= 4) return static_cast<qint16>(static_cast<quint16>(value & 0xFFFF));
    return static_cast<qint32>(value);
}

qint32 cellValue(const MemoryGrid& grid, int address) {
    if (const std::optional<quint8> b = grid.heldByte(address)) return *b;
    return hexValue(grid.text(address));
}

qint32 joinedValue(const MemoryGrid& grid, std::initializer_list<int> addresses) {
    // Cells that all hold bytes are the bytes side by side, big-endian; any text is read as the
    // texts joined.
    quint32 value = 0;
    bool bytes = true;
    for (int a : addresses) {
        const std::optional<quint8> b = grid.heldByte(a);
        if (!b) {
            bytes = false;
            break;
        }
        value = (value << 8) | *b;
    }
    if (bytes && addresses.size() <= 2) return static_cast<qint16>(static_cast<quint16>(value));
    if (bytes) return static_cast<qint32>(value);
    QString joined;
    for (int a : addresses) joined += grid.text(a);
    return hexValue(joined);
}

QString hexText(qint64 value) {
    return QString::number(static_cast<quint32>(value & 0xFFFFFFFF), 16).toUpper();
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    return -1;
}

QString hexDigits(qint64 value, int digits) {
    digits = std::clamp(digits, 1, 8);
    return hexText(value).rightJustified(8, QLatin1Char('0')).right(digits);
}

// --- range words

Range decodeRangeWord(qint32 word) {
    Range r;
    r.colour = colour::kOrange;
    if (word & kGreenBit) r.colour = colour::kGreen;
    if (word & kRedBit) r.colour = colour::kRed;
    int v = word & kValueMask;
    if (v == 0) v = 2;
    r.slider = v - 1;
    return r;
}

int encodeRangeWord(const Range& range) {
    int w = std::clamp(range.slider, 0, kValueMask - 1) + 1;
    if (range.colour == colour::kGreen) w |= kGreenBit;
    if (range.colour == colour::kRed) w |= kRedBit;
    return w;
}

Range readRange(const MemoryGrid& grid, int i) {
    return decodeRangeWord(readWord(grid, kRangeBase + 2 * i));
}

void writeRange(MemoryGrid& grid, int i, const Range& range) {
    if (i < 0 || i > 4) return;
    writeWord(grid, kRangeBase + 2 * i, encodeRangeWord(range));
}

// --- averaging

std::optional<int> decodeAveraging(qint32 value, int maxExponent) {
    for (int n = 0; n <= maxExponent && n < 31; ++n)
        if (value == (1 << n)) return n;
    return std::nullopt;
}

QString encodeAveraging(int exponent) {
    return hexDigits(1 << std::clamp(exponent, 0, 7), 2);
}

// --- time base

qint32 readTimeBase(const MemoryGrid& grid) {
    return joinedValue(grid, {kTimeBaseLow + 3, kTimeBaseLow + 2, kTimeBaseLow + 1, kTimeBaseLow});
}

int timeBaseChoice(qint32 value) {
    const QString decimal = QString::number(value);
    int choice = kTimeBaseOther;
    for (int k = 0; k < kTimeBaseOther; ++k)
        if (decimal == kTimeBaseStored[static_cast<std::size_t>(k)]) choice = k;
    return choice;
}

void writeTimeBase(MemoryGrid& grid, quint32 value) {
    for (int k = 0; k < 4; ++k) grid.setByte(kTimeBaseLow + k, static_cast<quint8>(value >> 8 * k));
}

std::optional<quint32> parseTimeBaseText(const QString& text) {
    quint64 value = 0;
    int digits = 0;
    for (const QChar c : text.trimmed()) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9') return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > 0x7FFFFFFF) return std::nullopt;
        ++digits;
    }
    if (digits == 0 || value == 0) return std::nullopt;
    return static_cast<quint32>(value);
}

// --- display flags

DisplayFlags decodeDisplayFlags(qint32 value) {
    DisplayFlags f;
    for (int k = 0; k < 3; ++k)
        if (value & kDigitBits[k]) f.digits = k + 1;
    for (int k = 0; k < 2; ++k)
        if (value & kModeBits[k]) f.mode = k + 1;
    for (int k = 0; k < 2; ++k)
        if (value & kSuppressBits[k]) f.suppress = k + 1;
    return f;
}

int encodeDisplayFlags(const DisplayFlags& flags) {
    int v = 0;
    if (flags.digits >= 1 && flags.digits <= 3) v = kDigitBits[flags.digits - 1];
    if (flags.mode >= 1 && flags.mode <= 2) v |= kModeBits[flags.mode - 1];
    if (flags.suppress >= 1 && flags.suppress <= 2) v |= kSuppressBits[flags.suppress - 1];
    return v;
}

// --- signature and brightness

bool isBlank(const MemoryGrid& grid) {
    return cellValue(grid, kSignatureAt) != kSignature[0] &&
           cellValue(grid, kSignatureAt + 1) != kSignature[1];
}

QString brightnessCode(int option) {
    if (option < 0 || option > 6) return {};
    return hexDigits(kBrightnessCodes[option], 2);
}

int blankBrightnessOption(const MemoryGrid& grid) {
    const qint32 b = cellValue(grid, kBrightnessAt);
    int option = 0;
    for (int k = 1; k <= 5; ++k)
        if (b & kBrightnessCodes[k]) option = k;
    return option;
}

// --- rate window

RateReading decodeRate(const MemoryGrid& grid) {
    RateReading r;
    for (int i = 0; i < 5; ++i) r.ranges[static_cast<std::size_t>(i)] = readRange(grid, i);
    r.averaging2 = decodeAveraging(cellValue(grid, kAveraging2At), kAveraging2Max);
    r.averaging1 = decodeAveraging(cellValue(grid, kAveraging1At), kAveraging1Max);
    r.timeBase = readTimeBase(grid);
    r.timeBaseChoice = timeBaseChoice(r.timeBase);
    r.antiBounce = cellValue(grid, kAntiBounceAt);
    r.relay1 = readWord(grid, kRelay1At) & kValueMask;
    r.relay2 = readWord(grid, kRelay2At) & kValueMask;
    r.flags = decodeDisplayFlags(cellValue(grid, kFlagsAt));
    r.stopThreshold = readWord(grid, kStopAt);
    return r;
}

RateSettings settingsFromMemory(const MemoryGrid& grid) {
    const RateReading r = decodeRate(grid);
    RateSettings s;
    s.ranges = r.ranges;
    // 6Ch holds "K" unless programming chose a brightness, whose code then stands there: only
    // the five codes are brightnesses ("4B" has the bits of two of them).
    const qint32 at6C = cellValue(grid, kBrightnessAt);
    s.brightnessOption = 0;
    for (int k = 1; k <= settings::kBrightnessNames.size(); ++k)
        if (hexValue(brightnessCode(k)) == at6C) s.brightnessOption = k;
    if (r.averaging2) s.averaging2 = *r.averaging2;
    if (r.averaging1) s.averaging1 = *r.averaging1;
    s.timeBase = static_cast<quint32>(r.timeBase);
    s.antiBounce = r.antiBounce;
    s.relay1 = r.relay1;
    s.relay2 = r.relay2;
    s.flags = r.flags;
    s.stopThreshold = r.stopThreshold;
    return s;
}

void encodeRate(const RateSettings& s, MemoryGrid& grid) {
    for (int i = 0; i < 5; ++i) writeRange(grid, i, s.ranges[static_cast<std::size_t>(i)]);
    for (int k = 0; k < 3; ++k) grid.setByte(kSignatureAt + k, kSignature[k]);
    if (s.brightnessOption >= 1 && s.brightnessOption <= 5)
        grid.setText(kBrightnessAt, brightnessCode(s.brightnessOption));
    grid.setByte(109, 0);
    grid.setByte(110, 0);
    grid.setText(kAveraging2At, encodeAveraging(std::clamp(s.averaging2, 0, kAveraging2Max)));
    grid.setText(kAveraging1At, encodeAveraging(std::clamp(s.averaging1, 0, kAveraging1Max)));
    writeTimeBase(grid, s.timeBase);
    grid.setText(kAntiBounceAt, hexText(std::clamp(s.antiBounce, settings::kAntiBounce.minimum,
                                                   settings::kAntiBounce.maximum)));
    writeWord(grid, kRelay1At, s.relay1);
    writeWord(grid, kRelay2At, s.relay2);
    grid.setText(kFlagsAt, hexText(encodeDisplayFlags(s.flags)));
    writeWord(grid, kStopAt, s.stopThreshold);
}

// --- brightness window

BrightnessReading decodeBrightness(const MemoryGrid& grid) {
    BrightnessReading r;
    const qint32 m = cellValue(grid, kModeAt);
    for (int k = 1; k <= 6; ++k)
        if (m & kBrightnessCodes[k]) r.option = k;
    if (m & 0x01) r.option = 0;
    r.period = cellValue(grid, kPeriodAt) / 2 + 1;
    r.threshold = cellValue(grid, kThresholdAt);
    return r;
}

void encodeBrightness(const BrightnessSettings& s, MemoryGrid& grid) {
    grid.setText(kPeriodAt, hexText(2 * std::clamp(s.period, settings::kSwitchPeriod.minimum,
                                                   settings::kSwitchPeriod.maximum) -
                                    1));
    grid.setText(kThresholdAt, hexText(std::clamp(s.threshold, 0, 255)));
    if (s.option && *s.option >= 0 && *s.option <= 6)
        grid.setText(kModeAt, brightnessCode(*s.option));
}

// --- microswitch window

Switches decodeSwitches(const MemoryGrid& grid) {
    Switches s;
    const qint32 a = cellValue(grid, kSw3At);
    const qint32 b = cellValue(grid, kSw2At);
    for (int i = 0; i < 8; ++i) {
        s.sw3[static_cast<std::size_t>(i)] = (a >> i) & 1;
        s.sw2[static_cast<std::size_t>(i)] = (b >> i) & 1;
    }
    const qint32 c = cellValue(grid, kModelAt);
    if (c == 0x54) s.model = ColourModel::ThreeColours;
    if (c == 0x4D) s.model = ColourModel::OneColour;
    return s;
}

}  // namespace veq::memmap

#include "panelsim/model/image.h"

#include <cctype>

#include <QFile>
#include <QSaveFile>

namespace veq::sim {

Panel::Memory programmedMemory() {
    Panel::Memory m;
    m.fill(0xFF);
    const auto put = [&m](int address, QByteArray hex) {
        hex = QByteArray::fromHex(hex);
        for (int i = 0; i < hex.size(); ++i)
            m[static_cast<std::size_t>(address + i)] = static_cast<std::uint8_t>(hex.at(i));
    };
    // Brightness 100 %, day/night period 8 s, threshold 8.
    put(0x3C, "020F08");
    // Switch banks SW3 and SW2, three-colour model "T".
    put(0x4A, "050054");
    // Five range words, slider value + 1 with the colour bits (0x8000 red, 0x4000 green, neither
    // orange): 0 to 149 red, to 349 orange, to 549 green, to 749 orange, to 9999 red.
    put(0x60,
        "8002"
        "0096"
        "415E"
        "0226"
        "82EE");
    // Signature "ZUK", two reserved bytes.
    put(0x6A,
        "5A554B"
        "0000");
    // Level-2 averaging 4, level-1 averaging 2.
    put(0x6F,
        "04"
        "02");
    // Time base 36100000 (the hour), little-endian.
    put(0x71, "A0D72602");
    // Anti-bounce 10 tenths of a millisecond.
    put(0x75, "0A");
    // Relay values 200 and 800.
    put(0x76,
        "00C8"
        "0320");
    // 4 digits, integer display, zero suppression.
    put(0x7A, "2A");
    // Stop threshold 60.
    put(0x7B, "003C");
    return m;
}

QByteArray imageText(const Panel::Memory& memory) {
    QByteArray out;
    for (int row = 0; row < Panel::kSize; row += 16) {
        for (int i = 0; i < 16; ++i) {
            if (i) out += ' ';
            out += QByteArray::number(memory[static_cast<std::size_t>(row + i)], 16)
                       .toUpper()
                       .rightJustified(2, '0');
        }
        out += '\n';
    }
    return out;
}

std::optional<Panel::Memory> parseImage(const QByteArray& data) {
    QByteArray digits;
    bool text = true;
    bool comment = false;
    for (char c : data) {
        if (comment) {
            if (c == '\n') comment = false;
            continue;
        }
        if (c == '#') {
            comment = true;
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            text = false;
            break;
        }
    }
    Panel::Memory m;
    if (text && digits.size() == 2 * Panel::kSize) {
        const QByteArray bytes = QByteArray::fromHex(digits);
        for (int i = 0; i < Panel::kSize; ++i)
            m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bytes.at(i));
        return m;
    }
    if (data.size() == Panel::kSize) {
        for (int i = 0; i < Panel::kSize; ++i)
            m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(data.at(i));
        return m;
    }
    return std::nullopt;
}

bool loadImage(const QString& path, Panel::Memory& memory, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
        return false;
    }
    // Anything much larger than an image is not one.
    const QByteArray data = f.read(64 * 1024);
    const auto image = parseImage(data);
    if (!image) {
        error = QStringLiteral("not a memory image (256 hexadecimal digits or 128 bytes)");
        return false;
    }
    memory = *image;
    return true;
}

bool saveImage(const QString& path, const Panel::Memory& memory, QString& error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(imageText(memory)) < 0 || !f.commit()) {
        error = f.errorString();
        return false;
    }
    return true;
}

}  // namespace veq::sim

#include "panelsim/model/image.h"

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

}  // namespace veq::sim

#pragma once

// Colour numbers of the grid cells and of the range colour boxes, red in the low byte
// (red + 256 * green + 65536 * blue), as the controls store them.

namespace veq::colour {

inline constexpr int kWhite = 16777215;  // RGB 255,255,255: idle or pending cell
inline constexpr int kGreen = 65280;     // RGB 0,255,0: transferred cell, green range
inline constexpr int kRed = 255;         // RGB 255,0,0: failed cell ("Er"), red range
inline constexpr int kOrange = 8438015;  // RGB 255,192,128: orange (neutral) range

constexpr int number(int red, int green, int blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr int redOf(int colour) {
    return colour & 0xFF;
}
constexpr int greenOf(int colour) {
    return (colour >> 8) & 0xFF;
}
constexpr int blueOf(int colour) {
    return (colour >> 16) & 0xFF;
}

static_assert(number(255, 192, 128) == kOrange);
static_assert(number(0, 255, 0) == kGreen);

}  // namespace veq::colour

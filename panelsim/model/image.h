#pragma once

#include <optional>
#include <type_traits>

#include <QByteArray>
#include <QString>

#include "panelmem/image.h"
#include "panelsim/model/panel.h"

namespace veq::sim {

// A memory such as a programmed panel holds: the signature "ZUK" at 6A..6C, rate parameters at
// 60..7C (ranges 0-149 red, 150-349 orange, 350-549 green, 550-749 orange, 750-9999 red; level-1
// averaging 2, level-2 averaging 4; the hour time base 36100000; anti-bounce 1,0 ms; relay values
// 200 and 800; 4 digits, integer display, zero suppression; stop threshold 60), brightness 100 %
// (period 8 s, threshold 8) at 3C..3E, switch banks 05 and 00 and the three-colour model "T" at
// 4A..4C; every other byte FF.
Panel::Memory programmedMemory();

// The image file codec lives with the panel memory (panelmem/image.h); the simulator uses it for
// --load and --save. Panel::Memory and image::Bytes are the same type.
static_assert(std::is_same_v<Panel::Memory, image::Bytes>);
using image::imageText;
using image::loadImage;
using image::parseImage;
using image::saveImage;

}  // namespace veq::sim

#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "panelsim/model/panel.h"

namespace veq::sim {

// A memory such as a programmed panel holds: the signature "ZUK" at 6A..6C, rate parameters at
// 60..7C (ranges 0-149 red, 150-349 orange, 350-549 green, 550-749 orange, 750-9999 red; level-1
// averaging 2, level-2 averaging 4; the hour time base 36100000; anti-bounce 1,0 ms; relay values
// 200 and 800; 4 digits, integer display, zero suppression; stop threshold 60), brightness 100 %
// (period 8 s, threshold 8) at 3C..3E, switch banks 05 and 00 and the three-colour model "T" at
// 4A..4C; every other byte FF.
Panel::Memory programmedMemory();

// A memory image as text: 128 bytes as upper-case hexadecimal, 16 per line, addresses in order.
QByteArray imageText(const Panel::Memory& memory);

// Reads an image: 256 hexadecimal digits (spaces, line ends and "#" comments to the end of a line
// are ignored), or exactly 128 raw bytes. Nothing when it is neither.
std::optional<Panel::Memory> parseImage(const QByteArray& data);

// Loads or saves an image file; on failure returns false and says why in `error`. A save replaces
// the file as a whole, never leaving half an image behind.
bool loadImage(const QString& path, Panel::Memory& memory, QString& error);
bool saveImage(const QString& path, const Panel::Memory& memory, QString& error);

}  // namespace veq::sim

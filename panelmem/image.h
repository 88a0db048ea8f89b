#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

// The file form of the panel's whole 128-byte memory, shared by veq-panel-sim (--load, --save) and
// veqctl (memory read, memory write). Pure: no panel, no port.
namespace veq::image {

inline constexpr int kSize = 128;
// A file longer than this is no image: comments and spaces never make one that long.
inline constexpr qint64 kMaxImageFile = 64 * 1024;
using Bytes = std::array<std::uint8_t, kSize>;

// A memory image as text: 128 bytes as upper-case hexadecimal, 16 per line, addresses in order.
QByteArray imageText(const Bytes& memory);

// Reads an image: 256 hexadecimal digits (spaces, line ends and "#" comments to the end of a line
// are ignored), or exactly 128 raw bytes that are not such a text. Data made only of digits,
// blanks and comments is text, and no image unless it holds 256 digits. Nothing when it is
// neither.
std::optional<Bytes> parseImage(const QByteArray& data);

// Loads or saves an image file; on failure returns false and says why in `error`. A save replaces
// the file as a whole, never leaving half an image behind.
bool loadImage(const QString& path, Bytes& memory, QString& error);
bool saveImage(const QString& path, const Bytes& memory, QString& error);

}  // namespace veq::image

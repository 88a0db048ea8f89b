#pragma once

#include <QByteArray>

namespace veq {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kAck = 0x06;

// The prefix of every frame of one operation.
enum class Prefix {
    P31,   // "31"
    P_31,  // "_31"
};

QByteArray prefixBytes(Prefix prefix);

// One command frame: prefix, STX, the three command characters, ETX; repeated `repeat` times back
// to back for a burst. A command that is not exactly three characters gives an empty result, so
// a malformed frame never reaches the line.
QByteArray frame(Prefix prefix, const QByteArray& command, int repeat = 1);

// The command "Y" followed by a byte as two upper-case hexadecimal digits ("Y60", "Y05").
QByteArray byteCommand(int value);

// The panel's acknowledgement, "01" STX ACK ETX.
QByteArray acknowledgement();

}  // namespace veq

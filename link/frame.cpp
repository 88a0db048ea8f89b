#include "link/frame.h"

namespace veq {

QByteArray prefixBytes(Prefix prefix) {
    return prefix == Prefix::P31 ? "31" : "_31";
}

QByteArray frame(Prefix prefix, const QByteArray& command, int repeat) {
    if (command.size() != 3 || repeat < 1) return {};
    QByteArray one = prefixBytes(prefix);
    one += kStx;
    one += command;
    one += kEtx;
    return one.repeated(repeat);
}

QByteArray byteCommand(int value) {
    return "Y" + QByteArray::number(value & 0xFF, 16).toUpper().rightJustified(2, '0');
}

QByteArray acknowledgement() {
    QByteArray a("01");
    a += kStx;
    a += kAck;
    a += kEtx;
    return a;
}

}  // namespace veq

#include "panelsim/model/panel.h"

#include "link/frame.h"

namespace veq::sim {

namespace {

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(const QByteArray& two) {
    bool ok = false;
    const int v = two.toInt(&ok, 16);
    return ok ? v : -1;
}

}  // namespace

std::vector<ParsedFrame> FrameParser::feed(const QByteArray& bytes) {
    pending_ += bytes;
    std::vector<ParsedFrame> out;
    int i = 0;
    for (;;) {
        const int stx = pending_.indexOf(kStx, i);
        if (stx < 0) {
            // Keep at most a possible prefix ("_31") waiting for its STX.
            pending_ = pending_.right(3);
            return out;
        }
        if (pending_.size() < stx + 5) {
            pending_ = pending_.mid(qMax(0, stx - 3));
            return out;
        }
        if (pending_.at(stx + 4) != kEtx) {
            i = stx + 1;  // not a frame: look for the next STX
            continue;
        }
        ParsedFrame f;
        if (stx >= 3 && pending_.mid(stx - 3, 3) == "_31")
            f.prefix = "_31";
        else if (stx >= 2 && pending_.mid(stx - 2, 2) == "31")
            f.prefix = "31";
        f.command = pending_.mid(stx + 1, 3);
        out.push_back(f);
        i = stx + 5;
        pending_ = pending_.mid(i);
        i = 0;
    }
}

QByteArray byteAnswer(std::uint8_t value) {
    QByteArray a("01");
    a += kStx;
    a += QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
    a += kEtx;
    return a;
}

QByteArray Panel::receive(const QByteArray& bytes) {
    QByteArray out;
    for (const ParsedFrame& f : parser_.feed(bytes)) {
        frames.push_back(f);
        out += answer(f);
    }
    return out;
}

QByteArray Panel::answer(const ParsedFrame& f) {
    const QByteArray& c = f.command;
    if (c == "ZA0") {
        mode_ = Mode::Addressing;
    } else if (c == "ZA1") {
        if (mode_ == Mode::Address) mode_ = Mode::Reading;
    } else if (c == "X1X" || c == "X6X") {
        const std::uint8_t v = memory[static_cast<std::size_t>(address_ % kSize)];
        if (c == "X1X") address_ = (address_ + 1) % kSize;
        return byteAnswer(v);
    } else if (c.size() == 3 && c.at(0) == 'Y' && isHex(c.at(1)) && isHex(c.at(2))) {
        const int v = hexValue(c.mid(1));
        if (mode_ == Mode::Addressing) {
            address_ = v % kSize;
            pageAddress_ = address_;
            pageData_.clear();
            mode_ = Mode::Address;
        } else if (mode_ == Mode::Address || mode_ == Mode::Writing) {
            pageData_.push_back(static_cast<std::uint8_t>(v));
            mode_ = Mode::Writing;
        }
    } else if (c == "WWW") {
        if (mode_ == Mode::Writing) {
            for (std::size_t k = 0; k < pageData_.size(); ++k)
                memory[(static_cast<std::size_t>(pageAddress_) + k) % kSize] = pageData_[k];
        }
        pageData_.clear();
        mode_ = Mode::Idle;
    } else if (c == "SSS") {
        pageData_.clear();
        mode_ = Mode::Idle;
    }
    return acknowledgement();
}

}  // namespace veq::sim

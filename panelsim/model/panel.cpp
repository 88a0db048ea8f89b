#include "panelsim/model/panel.h"

#include "link/frame.h"

namespace veq::sim {

namespace {

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The value of two hexadecimal characters, or -1.
int hexValue(char high, char low) {
    if (!isHex(high) || !isHex(low)) return -1;
    return QByteArray(1, high).append(low).toInt(nullptr, 16);
}

}  // namespace

std::vector<ParsedFrame> FrameParser::feed(const QByteArray& bytes) {
    pending_ += bytes;
    std::vector<ParsedFrame> out;
    int from = 0;
    for (;;) {
        const int stx = pending_.indexOf(kStx, from);
        if (stx < 0) {
            // Keep at most a possible prefix ("_31") waiting for its STX.
            pending_ = pending_.right(3);
            return out;
        }
        if (pending_.size() < stx + 5) {
            // A frame still arriving: keep it with the room of a prefix before it.
            pending_ = pending_.mid(qMax(0, stx - 3));
            return out;
        }
        if (pending_.at(stx + 4) != kEtx) {
            from = stx + 1;  // not a frame: look for the next STX
            continue;
        }
        ParsedFrame f;
        if (stx >= 3 && pending_.mid(stx - 3, 3) == "_31")
            f.prefix = "_31";
        else if (stx >= 2 && pending_.mid(stx - 2, 2) == "31")
            f.prefix = "31";
        f.command = pending_.mid(stx + 1, 3);
        out.push_back(f);
        pending_ = pending_.mid(stx + 5);
        from = 0;
    }
}

QByteArray byteAnswer(std::uint8_t value) {
    QByteArray a("01");
    a += kStx;
    a += QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
    a += kEtx;
    return a;
}

QByteArray garbled(const QByteArray& answer) {
    QByteArray out = answer;
    // Flipping the lowest bit changes every character: "0" becomes "1", ACK becomes BEL.
    for (char& c : out) c = static_cast<char>(c ^ 0x01);
    return out;
}

QByteArray Panel::receive(const QByteArray& bytes) {
    QByteArray out;
    for (const ParsedFrame& f : parser_.feed(bytes)) {
        if (keepFrames) frames.push_back(f);
        if (f.prefix.isEmpty()) continue;  // not addressed to the panel
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
        const std::uint8_t v = memory[static_cast<std::size_t>(address_)];
        if (c == "X1X") address_ = (address_ + 1) % kSize;
        if (++byteReads_ == loseByteAnswer) return {};
        return byteAnswer(v);
    } else if (c.size() == 3 && c.at(0) == 'Y') {
        const int v = hexValue(c.at(1), c.at(2));
        if (mode_ == Mode::Addressing) {
            if (v >= 0) {
                address_ = v % kSize;
                pageAddress_ = address_;
                pageData_.clear();
                pageCount_ = 0;
                mode_ = Mode::Address;
            }
        } else if (mode_ == Mode::Address || mode_ == Mode::Writing) {
            // A group longer than the memory wraps onto its own start; the later byte stands.
            const auto slot = static_cast<std::size_t>(pageCount_ % kSize);
            if (slot < pageData_.size())
                pageData_[slot] = v;
            else
                pageData_.push_back(v);
            ++pageCount_;
            mode_ = Mode::Writing;
        }
    } else if (c == "WWW") {
        if (mode_ == Mode::Writing) {
            for (std::size_t k = 0; k < pageData_.size(); ++k) {
                if (pageData_[k] < 0) continue;
                memory[(static_cast<std::size_t>(pageAddress_) + k) % kSize] =
                    static_cast<std::uint8_t>(pageData_[k]);
            }
            ++commits;
        }
        pageData_.clear();
        pageCount_ = 0;
        mode_ = Mode::Idle;
    } else if (c == "SSS") {
        pageData_.clear();
        pageCount_ = 0;
        mode_ = Mode::Idle;
    }
    return acknowledgement();
}

}  // namespace veq::sim

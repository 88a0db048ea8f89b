#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QByteArray>

namespace veq::sim {

// A device at the far end of a serial line: it takes the bytes written to it and gives back the
// bytes it answers.
class Device {
  public:
    virtual ~Device() = default;
    virtual QByteArray receive(const QByteArray& bytes) = 0;
};

// One frame as the panel parsed it.
struct ParsedFrame {
    QByteArray prefix;   // "31" or "_31" (empty when the frame had none)
    QByteArray command;  // the three command characters
    bool operator==(const ParsedFrame&) const = default;
};

// Splits a byte stream into frames: a prefix, STX, three characters, ETX. Bytes that do not form
// a frame are skipped; a frame cut between two writes is completed by the next one.
class FrameParser {
  public:
    std::vector<ParsedFrame> feed(const QByteArray& bytes);
    void reset() { pending_.clear(); }

  private:
    QByteArray pending_;
};

// The panel's firmware as far as the tool relies on it: a 24C01 memory of 128 bytes; every frame
// answered with "01" STX ACK ETX; each byte read ("X1X", "X6X") answered with six characters, the
// byte as two upper-case hexadecimal digits in the fourth and fifth; "ZA0", a "Y" address frame and
// "ZA1" set the read address; in a write group ("SSS", "ZA0", the page address, data frames,
// "WWW") "WWW" commits the data.
class Panel : public Device {
  public:
    static constexpr int kSize = 128;

    Panel() { memory.fill(0xFF); }

    QByteArray receive(const QByteArray& bytes) override;
    // The answer to one parsed frame.
    QByteArray answer(const ParsedFrame& f);

    std::array<std::uint8_t, kSize> memory{};
    // Every frame received, in order.
    std::vector<ParsedFrame> frames;

  private:
    enum class Mode { Idle, Addressing, Address, Reading, Writing };
    FrameParser parser_;
    Mode mode_ = Mode::Idle;
    int address_ = 0;
    int pageAddress_ = 0;
    std::vector<std::uint8_t> pageData_;
};

// Answers six characters per byte read for the byte at `address`.
QByteArray byteAnswer(std::uint8_t value);

}  // namespace veq::sim

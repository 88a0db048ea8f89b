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
// with the prefix "31" or "_31" answered with "01" STX ACK ETX (a frame without a prefix is not
// addressed to the panel and gets no answer); each byte read ("X1X", "X6X") answered with six
// characters, the byte as two upper-case hexadecimal digits in the fourth and fifth; "ZA0", a "Y"
// address frame and "ZA1" set the read address, each "X1X" moves it on by one (wrapping at the
// end of the memory), "X6X" leaves it; in a write group ("SSS", "ZA0", the page address, data
// frames, "WWW") "WWW" commits the data at consecutive addresses from the page address. A data
// frame whose two characters are not hexadecimal keeps its place in the group but leaves its
// byte unchanged, so the bytes after it still land at their own addresses.
class Panel : public Device {
  public:
    static constexpr int kSize = 128;
    using Memory = std::array<std::uint8_t, kSize>;

    Panel() { memory.fill(0xFF); }
    explicit Panel(const Memory& initial) : memory(initial) {}

    QByteArray receive(const QByteArray& bytes) override;
    // The answer to one parsed frame.
    QByteArray answer(const ParsedFrame& f);

    Memory memory{};
    // Every frame received, in order (unless keepFrames is false).
    std::vector<ParsedFrame> frames;
    bool keepFrames = true;
    // Number of write groups committed by "WWW".
    int commits = 0;
    // The byte read ("X1X" or "X6X") with this number, counted from 1 over the panel's life, gets
    // no answer, although the read address moves on as usual: an answer lost on the line. 0: none.
    int loseByteAnswer = 0;

  private:
    enum class Mode { Idle, Addressing, Address, Reading, Writing };
    FrameParser parser_;
    Mode mode_ = Mode::Idle;
    int address_ = 0;
    int pageAddress_ = 0;
    std::vector<int> pageData_;  // -1: a data frame that carried no byte
    int pageCount_ = 0;          // data frames of the group so far
    int byteReads_ = 0;          // byte reads answered or lost so far
};

// The six characters that answer the read of a byte holding `value`: "01" STX, two upper-case
// hexadecimal digits, ETX.
QByteArray byteAnswer(std::uint8_t value);

// The same number of characters, every one of them wrong: what a disturbed line delivers.
QByteArray garbled(const QByteArray& answer);

}  // namespace veq::sim

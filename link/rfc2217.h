#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QStringList>

// The client side of RFC 2217 (Telnet with the COM port option, RFC 854/855/856/858): what a port
// behind a serial device server writes and how it reads the server's stream. No sockets here: the
// session is bytes in, bytes out, so that every rule is tested on its own.
namespace veq::rfc2217 {

inline constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                               kSb = 250, kSe = 240;
inline constexpr unsigned char kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;

// The COM port option's commands, client to server; the server answers each with its code + 100.
enum Command : unsigned char {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kPurgeData = 12,
};
// Values of SET-CONTROL and PURGE-DATA used here.
inline constexpr unsigned char kDtrOn = 8, kDtrOff = 9, kRtsOff = 12;
inline constexpr unsigned char kPurgeServerReceive = 1;

// Data bytes with every 0xFF doubled (IAC IAC), as Telnet carries them.
QByteArray escape(const QByteArray& data);
// IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
QByteArray subnegotiation(unsigned char command, const QByteArray& value);

// The line settings of a session: 9600 baud, 8 data bits, no parity, one stop bit.
struct LineSettings {
    std::uint32_t baud = 9600;
    unsigned char dataBits = 8;
    unsigned char parity = 1;    // NONE
    unsigned char stopBits = 1;  // 1
};

// One session's state: the options negotiated (BINARY and SUPPRESS-GO-AHEAD both ways, the COM
// port option), the commands still waiting for the server's answer, and the reader of the
// server's stream, which keeps the data bytes only: IAC IAC is one 0xFF, every other Telnet
// command and every sub-negotiation is taken out wherever it falls, also across reads.
class Session {
  public:
    // The option requests that start a session.
    QByteArray negotiation();
    // Whether the server has agreed to the COM port option (it answered DO).
    bool comPortAgreed() const;
    // Whether the server refused it (DONT), or refused BINARY in either direction.
    bool refused() const { return refused_; }
    // The commands of an opening: DTR on, RTS off, then the line settings, stop size last. A
    // server answers the commands in the order they came, so once the stop size is answered
    // every answer that is coming has come.
    QByteArray opening(const LineSettings& line = {});
    // The answer to the last command of opening() has come.
    bool openingAnswered() const;
    // The commands of the opening that the server has not answered, by name ("SET-CONTROL",
    // "SET-BAUDRATE", ...), in the order they were sent.
    QStringList unanswered() const;

    // DTR on or off, and the purge of what the server holds from the line (not awaited).
    QByteArray setDtr(bool on);
    QByteArray purgeReceived();

    // Reads bytes from the server; returns the data bytes among them. Answers to the server's own
    // option requests are queued for takeReplies().
    QByteArray receive(const QByteArray& bytes);
    QByteArray takeReplies();

    // The option states as RFC 1143 names them.
    enum class State : unsigned char { No, Yes, WantYes, WantNo };
    State local(unsigned char option) const { return us_[option]; }
    State remote(unsigned char option) const { return him_[option]; }

  private:
    void onVerb(unsigned char verb, unsigned char option);
    void onSubnegotiation();
    QByteArray request(unsigned char verb, unsigned char option);

    enum class Read { Data, Iac, Verb, Sub, SubIac };
    Read read_ = Read::Data;
    unsigned char verb_ = 0;
    QByteArray sub_;
    bool subOverflow_ = false;
    QByteArray replies_;
    std::array<State, 256> us_{};
    std::array<State, 256> him_{};
    bool refused_ = false;
    // The opening's commands in the order they were sent, each marked once answered.
    struct Sent {
        unsigned char command;
        unsigned char value;  // SET-CONTROL's value, to name it
        bool answered;
    };
    std::vector<Sent> opening_;
};

// "SET-BAUDRATE", "SET-CONTROL (DTR on)"...: a command as the trace names it.
QString commandName(unsigned char command, unsigned char value = 0);

}  // namespace veq::rfc2217

#pragma once

#include <QString>

// How an exchange with the panel, or the opening of its port, ended. Every operation of link/,
// panelmem/ and veqctl reports one of these, and ok() is the one test of success: no reader has to
// remember which functions answer true for a failure. (The transfers LIT_24C01 and ECRIT_24C01
// keep their failure flag, true for a failure, as the windows have always tested it.)
namespace veq {

enum class Cause {
    Done,         // the panel's whole answer arrived in time
    NoAnswer,     // not one character came back within the wait
    Incomplete,   // part of the answer came back: `received` of `expected` characters
    Unexpected,   // the answer is out of step (a character too many, one late in front), not
                  // hexadecimal where bytes stand, or longer than the panel ever answers
    LineStalled,  // the line stopped taking bytes: a frame was refused
    PortLost,     // the port closed during the exchange: its device went away
    NotSent,      // nothing was written: the bytes to write were not known (cells that hold no
                  // byte, or the read the write needed first failed; see `first`)
    // The network connection to the panel's serial device server was cut during the exchange.
    ConnectionLost,
};

struct Outcome {
    Cause cause = Cause::Done;
    int received = 0;  // characters that came back (for the answer causes)
    int expected = 0;  // characters of the panel's whole answer
    // NotSent after a failed read: why that read failed (Done otherwise).
    Cause first = Cause::Done;

    bool ok() const { return cause == Cause::Done; }
    bool operator==(const Outcome&) const = default;
};

// Why a port did not open.
enum class OpenFailure {
    None,       // it opened
    NoDevice,   // a COM number that no device stands behind (nothing in the port numbering)
    Absent,     // the device does not exist (unplugged, a wrong path)
    Busy,       // another program holds it
    Forbidden,  // the user may not open it (on Linux: not in the dialout group)
    Other,      // anything else; the system's text says what
    // A panel behind a serial device server (rfc2217://, tcp://):
    BadAddress,   // the network address is malformed (nothing was sent)
    Unresolved,   // the server's name does not resolve
    Refused,      // the server refused the connection (nothing listens on that port)
    Unreachable,  // the server did not answer within the connection's bound
    NoNetwork,    // this build has no network ports
};

// For the operator, in French: what happened and what to check. `port` is the port as the user
// named it (never a device path they did not give).
QString causeText(const Outcome& outcome);
QString openFailureText(OpenFailure failure, const QString& port);
// A short stable key for each cause, for JSON output and the journal ("no-answer", ...).
QString causeKey(Cause cause);
QString openFailureKey(OpenFailure failure);

}  // namespace veq

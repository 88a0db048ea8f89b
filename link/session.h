#pragma once

#include <memory>

#include <QString>

#include "link/serialport.h"

namespace veq {

// Whether a port has been validated: "True" once the link settings opened it, "False" before, after
// a failed opening or a scan, and empty while an opening is under way.
enum class PortFlag { False, True, Opening };

// What the response control SEL_REP asks of an operation's end. "OUI": the answers are checked
// (a failed read ends the exchange at once, and is told); "NON": the final message is not shown;
// any other text neither checks nor silences.
enum class ResponseControl { Checked, Silent, Unchecked };

// The eight link settings, as the lists of the link settings window hold them.
struct LinkValues {
    int comNumber = 3;        // SEL_COM: COM1 to COM12 (1 when no item of the list matches)
    int interfaceChoice = 0;  // SEL_INTER: 0 wired, 1 wireless
    int digitsChoice = 2;     // SEL_NBR_DIGI: 0 eight digits, 1 six, 2 four, 3 two
    int colourChoice = 0;     // SEL_COUL: 0 three colours
    bool dcf77 = false;       // SEL_DCF77
    bool relays = false;      // SEL_REL1
    bool score = false;       // SEL_REL2
    ResponseControl response = ResponseControl::Checked;  // SEL_REP
};

// The link with the panel as every window uses it: the one serial port of the application, the
// port-open flag and the link settings. The link settings window shows and edits it; the other
// windows reach the port through it, never through that window. Widget-free.
class LinkSession {
  public:
    explicit LinkSession(std::unique_ptr<SerialPort> port);
    // A session over a port someone else keeps (a test bench's).
    explicit LinkSession(SerialPort& port);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    SerialPort& port() { return *port_; }

    // The port-open flag.
    PortFlag flag() const { return flag_; }
    void setFlag(PortFlag flag) { flag_ = flag; }
    bool isOpen() const { return flag_ == PortFlag::True; }

    const LinkValues& values() const { return values_; }
    LinkValues& values() { return values_; }

    // SEL_REP does not read "NON": the operation's final message is shown.
    bool reportsOutcome() const { return values_.response != ResponseControl::Silent; }
    // SEL_REP reads "OUI".
    bool checksAnswers() const { return values_.response == ResponseControl::Checked; }

    // The COM number the port was last set to, as the journal names it.
    int comNumber() const { return port_->commPort(); }

    // Opens the port on COM `number` at "9600,N,8,1" (closing it first when open). The flag is
    // "Opening" meanwhile, then True or False by the result.
    bool open(int number);

  private:
    std::unique_ptr<SerialPort> owned_;
    SerialPort* port_;
    PortFlag flag_ = PortFlag::False;
    LinkValues values_;
};

// The texts the windows and the configuration file carry for these values: read and written here
// alone, exactly, case included.
namespace linktext {
// "True", "False", "" (opening). Any other text reads as False.
QString flag(PortFlag flag);
PortFlag flagFrom(const QString& text);
// "OUI" and "NON".
ResponseControl responseFrom(const QString& text);
bool yes(const QString& text);
}  // namespace linktext

}  // namespace veq

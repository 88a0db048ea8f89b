#pragma once

#include <QString>

#include "link/serialport.h"

namespace veq {

// What the other windows reach through the link settings window: the one serial port, the
// port-open flag and the response control.
class LinkSettings {
  public:
    virtual ~LinkSettings() = default;
    virtual SerialPort& MSComm1() = 0;
    // The port-open flag: "True", "False", or empty while a port is being opened.
    virtual QString portFlag() const = 0;
    virtual void setPortFlag(const QString& flag) = 0;
    // Selected text of SEL_REP: "NON" silences the final message of an operation.
    virtual QString responseControl() const = 0;
};

}  // namespace veq

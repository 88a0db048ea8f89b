#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "link/outcome.h"

namespace veq {

// The one serial control of the system (MSComm1): a numbered port at "9600,N,8,1", polled by the
// exchanges. Nothing here throws; failures are reported by the return values.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Port number 1 to 14. Takes effect at the next open().
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;
    // Line settings text, "9600,N,8,1". Takes effect at the next open().
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    // Opens the port; false when it is absent, busy or refused (see errorString()). A freshly
    // opened port starts with an empty receive buffer.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes in one write (Output). False when the port refused them.
    virtual bool write(const QByteArray& bytes) = 0;
    // Number of received bytes waiting (InBufferCount); a true poll of what has arrived so far.
    virtual int inBufferCount() = 0;
    // Drops every received byte waiting (InBufferCount = 0).
    virtual void discardInput() = 0;
    // Takes every received byte waiting (Input).
    virtual QByteArray readAll() = 0;
    // Drives the DTR line (DTREnable). Lines that have no DTR ignore it.
    virtual void setDtr(bool on) = 0;

    virtual QString errorString() const = 0;
    // Why the last open() failed (None after a successful one).
    virtual OpenFailure openFailure() const {
        return isOpen() ? OpenFailure::None : OpenFailure::Other;
    }
    // What a port that closed itself during an exchange means: a device gone (PortLost) or a
    // network connection cut (ConnectionLost).
    virtual Cause lossCause() const { return Cause::PortLost; }
    // What the port has to say for the wire trace since last asked (how an opening went on a
    // network port, say), one line each.
    virtual QStringList takeNotes() { return {}; }
};

}  // namespace veq

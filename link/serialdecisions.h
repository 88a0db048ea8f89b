#pragma once

#include <QSerialPort>

namespace veq {

// The control lines a port is given right after each opening.
struct PortLines {
    bool dtr = false;
    bool rts = false;
};

// DTR on, RTS off: the lines the panel has always seen from the operators' Windows machines,
// whose serial control enables DTR and leaves RTS off when it opens the port. Left to itself, the
// system would differ (Linux raises both at open; Qt on Windows keeps the driver's DTR and drops
// RTS), and detection writes "RRR" at once. The exchange's flush still drives DTR low.
PortLines linesAtOpen();

// Whether an input purge cancels a read in progress: Windows' PurgeComm does (Qt may have one
// pending there at any time); a Unix tcflush cancels nothing.
#ifdef Q_OS_WIN
inline constexpr bool kPurgeCancelsRead = true;
#else
inline constexpr bool kPurgeCancelsRead = false;
#endif

// Whether an error a port call left behind means the device has gone (a USB adapter pulled, the
// far end of a pseudo-terminal closed), so that the port must be closed. `readCancelled` is true
// while an input purge has cancelled a read whose end has not been reported yet: Windows reports
// that aborted read as a resource error, which is the purge's doing and no lost device. A poll
// that timed out, or a line control the device lacks (a pseudo-terminal refuses DTR and RTS), is
// never a lost device.
bool deviceGone(QSerialPort::SerialPortError error, bool readCancelled);

}  // namespace veq

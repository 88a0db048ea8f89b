#include "link/serialdecisions.h"

namespace veq {

PortLines linesAtOpen() {
    return PortLines{true, false};
}

bool deviceGone(QSerialPort::SerialPortError error, bool readCancelled) {
    switch (error) {
        case QSerialPort::ResourceError:
            // Also what a read aborted by a purge reports.
            return !readCancelled;
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            return true;
        default:
            return false;
    }
}

}  // namespace veq

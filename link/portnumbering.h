#pragma once

#include <map>
#include <set>
#include <vector>

#include <QByteArray>
#include <QString>

namespace veq {

// A serial port as the system lists it.
struct ListedPort {
    QString systemPath;  // the device the system names it by: /dev/ttyUSB0
    QString
        stablePath;  // a name that survives reboots and sockets (/dev/serial/by-id/...), or empty
};

// The COM numbers of the ports of a Linux machine, as Windows gives them: the built-in UARTs
// ttyS0 to ttyS3 are COM1 to COM4; any other port gets, the first time it is seen, the first free
// number from COM5 to COM12 and keeps it for good, by its stable name when it has one. The numbers
// given live in a plain text file, one line per number ("COM5 /dev/serial/by-id/usb-FTDI_..."),
// which the technician may edit: a line may give any number from 1 to 14 to any path, and it
// overrides the built-in UARTs too. Blank lines, lines starting with '#', lines that are not
// "COMn path" and lines that are not UTF-8 are ignored; of two lines for one number the first
// counts. The file is the technician's: its bytes are never rewritten, new numbers are appended.
struct PortNumbering {
    std::map<int, QString> devices;  // COM number -> the path to open
    std::set<int> builtIn;           // the numbers of devices that are the built-in UARTs' own
    QByteArray added;                // the bytes to append to the file for the numbers given now
    QString refusal;  // why the file is not used (then only COM1 to COM4 are numbered), or empty
};

constexpr int kFirstComNumber = 1;
constexpr int kLastComNumber = 14;      // the detection scans COM1 to COM14
constexpr int kFirstAdapterNumber = 5;  // COM1 to COM4 are ttyS0 to ttyS3
constexpr int kLastAdapterNumber = 12;  // the link settings offer COM1 to COM12

// A hand-edited file may be anything: one longer than this is refused as a whole, since the
// numbers in its unread part would be given again.
constexpr qint64 kMaxPortsFileSize = 1024 * 1024;

// The numbering of `listed` given the bytes of the numbers file (empty when there is none yet).
PortNumbering numberPorts(const std::vector<ListedPort>& listed, const QByteArray& file);

}  // namespace veq

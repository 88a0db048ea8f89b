#pragma once

#include <map>
#include <set>
#include <vector>

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
// overrides the built-in UARTs too. Blank lines, lines starting with '#' and lines that are not
// "COMn path" are ignored; of two lines for one number the first counts.
struct PortNumbering {
    std::map<int, QString> devices;  // COM number -> the path to open
    std::set<int> builtIn;           // the numbers of devices that are the built-in UARTs' own
    QString fileText;                // the file with the numbers given now added at its end
    bool fileChanged = false;        // whether fileText differs from the text read
};

constexpr int kFirstComNumber = 1;
constexpr int kLastComNumber = 14;      // the detection scans COM1 to COM14
constexpr int kFirstAdapterNumber = 5;  // COM1 to COM4 are ttyS0 to ttyS3
constexpr int kLastAdapterNumber = 12;  // the link settings offer COM1 to COM12

// The numbering of `listed` given the text of the numbers file (empty when there is none yet).
PortNumbering numberPorts(const std::vector<ListedPort>& listed, const QString& fileText);

}  // namespace veq

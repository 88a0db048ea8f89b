#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "link/portnumbering.h"

namespace veq {

// The numbers the ports file gives `listed`, the ports the system lists now (see numberPorts).
// An adapter seen for the first time gets its number here: its line is appended to the file,
// after the file has been read again under a lock (the file "ports.lock" next to it), so that
// programs numbering at once give each adapter one number. Nothing else of the file is ever
// written. A file that cannot be read in full is not used: `refusal` says why.
PortNumbering portNumbering(const std::vector<ListedPort>& listed);

// The device behind port number n. On Windows "COMn". Elsewhere, in this order: the path in the
// environment variable VEQ_COMn when it is set (VEQ_COM3=/dev/ttyUSB0); the number the ports file
// gives it (portNumbering on the ports the system lists now); /dev/ttyS(n-1) for COM1 to COM4. An
// empty text when the number leads to no device. `refusal`, when given, receives why the ports
// file was not used (empty when it was).
QString portDevice(int number, QString* refusal = nullptr);

// The device a port named by a path opens, as the technician means it: a network address
// (rfc2217://, tcp://) as it is; on Unix an absolute path as it is; a path with a folder in it
// ("links/com3", "./panel"), or a name of a file in the current folder, from the current folder;
// any other name a device of /dev ("ttyUSB0"). On Windows the name as it is. The opener and the
// checks that compare ports both use it.
QString devicePath(const QString& name);

// Where a COM number's device comes from.
enum class PortOrigin { Environment, PortsFile, BuiltIn, System, None };

struct PortTableEntry {
    int number;
    QString device;  // empty when the number leads to no device
    PortOrigin origin;
};

// COM1 to COM14 with their devices, as portDevice gives them (and numbering new adapters as it
// does): for listing the ports to the technician.
std::vector<PortTableEntry> portTable(QString* refusal = nullptr);

// The ports file: $XDG_CONFIG_HOME/VEQ_Cadence/ports (~/.config/VEQ_Cadence/ports).
QString portsFilePath();

// The ports the system lists, with their /dev/serial/by-id names.
std::vector<ListedPort> systemPorts();

// For tests only: another ports file, and another source of the listed ports (an empty path or
// function restores the defaults).
using PortLister = std::function<std::vector<ListedPort>()>;
void setPortsFilePath(const QString& path);
void setPortLister(PortLister lister);

}  // namespace veq

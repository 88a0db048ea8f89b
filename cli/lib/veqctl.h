#pragma once

#include <cstdio>
#include <functional>
#include <memory>

#include <QString>
#include <QStringList>

#include "link/clock.h"
#include "link/serialport.h"

// veqctl: the panel operations of the windows from the command line, on any number of ports at
// once. Everything but the process's own set-up lives here, so that the tests and the benchmark
// run the very code the program runs.
namespace veq::cli {

// Exit status of veqctl.
enum Exit {
    kDone = 0,      // every port did what was asked
    kFailed = 1,    // a panel operation failed on some port (or its port did not open)
    kUsage = 2,     // bad usage or a bad file: nothing was sent
    kMismatch = 3,  // a read-back differs from what was written
    kDiffer = 4,    // params diff, memory diff: the panel differs from the file
};

// The serial line of one port as one thread uses it. Made in that thread.
struct Line {
    std::shared_ptr<void> keep;  // whatever the port and the clock rely on; goes last
    std::unique_ptr<Clock> clock;
    std::unique_ptr<SerialPort> port;  // not yet opened
};

// Makes the line of a port named as on the command line: "COMn" (n from 1 to 14), a device path
// or a network address ("rfc2217://HOST:PORT", "tcp://HOST:PORT").
using LineFactory = std::function<Line(const QString& port)>;

// The real lines: a port on COMn (the application's mapping), on the path or on the network
// address (link/anyport.h), and a steady clock.
Line serialLine(const QString& port);

// Where a run writes, and how it reaches ports.
struct Console {
    LineFactory lines = serialLine;
    std::function<void(const QString&)> out;  // standard output
    std::function<void(const QString&)> err;  // standard error
    // The standard error when it is a terminal (progress bars go there), otherwise null.
    std::FILE* terminal = nullptr;
};

// Runs one command line (without the program's name); returns the exit status.
int run(const QStringList& arguments, Console& console);

// The help text (French).
QString helpText();

}  // namespace veq::cli

#pragma once

#include <memory>
#include <vector>

#include <QStringList>

#include "cli/lib/commands.h"
#include "cli/lib/veqctl.h"
#include "link/traceport.h"

namespace veq::cli {

// How the ports of one command are run.
struct PortRun {
    std::shared_ptr<TraceLog> trace;  // every port's frames go there, when set
    bool bars = false;                // one progress bar per port on the console's terminal
    double expectedSeconds = 1.0;     // what a full bar stands for
    bool jobOpensPort = false;        // the job opens the port itself (see Ports::Every)
};

// Runs `job` on every port at once, one thread each, and gives the results in the order of
// `ports`. Each thread makes its line (console.lines), wraps it in the trace, puts the progress
// clock in front of its clock, sets the line to 9600,N,8,1 and opens the port (unless the job
// does), runs the job through an exchange and closes the port. A port that does not open gets
// the windows' message, why (OpenFailure) and the system's text (detail); the job does not run.
std::vector<PortResult> runOnPorts(const QStringList& ports, Console& console, const PortRun& how,
                                   const PortJob& job);

}  // namespace veq::cli

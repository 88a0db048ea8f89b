#pragma once

#include <QString>

#include "bench/server.h"

namespace veq::bench {

// veq-bench --fleet N: starts N veq-panel-sim --pace on pseudo-terminals and programs one
// parameter file onto all of them at once through veqctl's engine ("params set": read, program,
// read back; one thread per port), `runs` times. Each run first times the same command on one
// panel alone (single), then on the N panels (wall), and prints, for the run with the median
// ratio:
//   fleet-N wall=<seconds> single=<seconds> ratio=<wall/single> cpu=<percent>%
// where cpu is this process's processor time (user and system) during the fleet's command over
// its wall time, divided by N: the share of one core each panel costs. Every command must end
// with status 0; otherwise a FAILED line is printed and the result is 1.
// With `via`, each panel is reached through its own connection of one ser2net on the loopback.
int runFleet(int panels, int runs, const QString& simulatorProgram,
             const DeviceServer::Kind* via = nullptr);

}  // namespace veq::bench

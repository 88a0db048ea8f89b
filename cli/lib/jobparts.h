#pragma once

#include <QString>

#include "cli/lib/commands.h"
#include "journal/recorder.h"
#include "link/outcome.h"
#include "panelmem/grid.h"

// What the jobs of one port share: how a port's work ends on a failure, and its journal records.
namespace veq::cli::jobs {

// The port's work ends on a failed exchange: the windows' message, and why. `written`: the
// write's frames had gone out (the panel may hold the new bytes).
void failed(PortResult& r, const Outcome& outcome, bool written = false);
// A failed read that a write needed first: nothing was written.
Outcome notWritten(const Outcome& read);
// The port of the result and the device behind it, for the journal.
journal::Where where(const PortResult& r);
// The journal's warning, kept for the end of the run (the first one only).
void note(PortResult& r, const QString& warning);
// A read's record.
void recorded(PortResult& r, const QString& operation, const MemoryGrid& grid, int from, int to,
              const Outcome& outcome);

}  // namespace veq::cli::jobs

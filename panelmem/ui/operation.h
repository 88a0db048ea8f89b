#pragma once

#include <functional>
#include <optional>

#include <QString>

#include "link/exchange.h"
#include "link/outcome.h"
#include "panelmem/grid.h"
#include "panelmem/operations.h"
#include "panelmem/transfer.h"
#include "ui/context.h"

namespace veq {

// What the operator is told at the end of an operation whose exchange failed.
enum class FailureTold {
    UnlessSilenced,  // the panel error, unless SEL_REP reads "NON"
    WhenChecked,     // the panel error only when SEL_REP reads "OUI"
    Never,           // nothing: the grid's cells show the result
};

// One panel operation started from a window. Every operation of every window goes the same road,
// and says here only what is its own:
//  1. the port-open guard and its warning (unless `guarded` is false: the caller guarded);
//  2. `prepare`, what the window clears or checks first: false stops the operation, nothing sent;
//  3. the exchange on the session's port, under the busy cursor;
//  4. the journal's record of the grid's bytes from..to: a read's after the exchange, a
//     programming's right before the first frame of its write and completed after; then the
//     journal's warning, the first time in a run it could not be written;
//  5. `succeeded`, the result into the controls, after an exchange that did not fail;
//  6. the final message: `success` unless SEL_REP reads "NON"; after a failure the panel error as
//     `failureTold` says, or `notRead` when a programming sent nothing and the window has a
//     message of its own for that.
struct PanelOperation {
    QString name;  // as the journal names it: the button's caption
    MemoryGrid& grid;
    int from = 0;
    int to = MemoryGrid::kBytes - 1;
    bool guarded = true;
    std::function<bool()> prepare = {};
    std::function<void()> succeeded = {};
    QString success = {};  // empty: nothing is said of a success
    FailureTold failureTold = FailureTold::UnlessSilenced;
    QString notRead = {};
};

// What the brightness and microswitch operations send after a failed read: with SEL_REP "OUI"
// nothing more; otherwise the closing burst of "RRR".
inline ops::AfterFailedRead afterFailedRead(const LinkSession& link) {
    return link.checksAnswers() ? ops::AfterFailedRead::SendNothing : ops::AfterFailedRead::Release;
}

// A read's exchange: the frames of the operation over the grid, and how they ended.
using ReadExchange = std::function<Outcome(Exchange&)>;
// A programming's exchange: it calls the hooks (which write the journal's record) on the way.
using ProgrammingExchange = std::function<ops::ProgramResult(Exchange&, const ops::WriteHooks&)>;

// A read: the failure flag (true when it was stopped before the exchange, or the exchange failed).
bool runRead(WindowContext& ctx, const PanelOperation& op, const ReadExchange& exchange);
// A programming: how it ended; nothing when it was stopped before the exchange.
std::optional<ops::ProgramResult> runProgramming(WindowContext& ctx, const PanelOperation& op,
                                                 const ProgrammingExchange& exchange);

// The buttons under a grid, "Lire " and "Envoi": the window's transfer of the profile alone, its
// result shown by the cells and nothing said. A write with cells that hold no byte sends nothing,
// and the operator is told which cells whatever SEL_REP says. The failure flag.
bool runGridRead(WindowContext& ctx, const QString& name, MemoryGrid& grid,
                 const TransferProfile& profile, int from, int to, bool guarded);
bool runGridWrite(WindowContext& ctx, const QString& name, MemoryGrid& grid,
                  const TransferProfile& profile, int from, int to, bool guarded);

}  // namespace veq

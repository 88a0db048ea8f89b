#include "panelmem/ui/operation.h"

#include "journal/recorder.h"
#include "link/kldbase.h"
#include "panelmem/messages.h"
#include "ui/windows.h"

namespace veq {

namespace {

bool started(WindowContext& ctx, const PanelOperation& op) {
    if (op.guarded && !PORT_OUVERT(ctx.session(), ctx.messages)) return false;
    return !op.prepare || op.prepare();
}

void finalMessage(WindowContext& ctx, const PanelOperation& op, bool failed) {
    const LinkSession& link = ctx.session();
    if (!failed) {
        if (!op.success.isEmpty() && link.reportsOutcome())
            ctx.messages.show(op.success, Icon::Information);
        return;
    }
    bool told = false;
    switch (op.failureTold) {
        case FailureTold::UnlessSilenced:
            told = link.reportsOutcome();
            break;
        case FailureTold::WhenChecked:
            told = link.checksAnswers();
            break;
        case FailureTold::Never:
            break;
    }
    if (told) ctx.messages.show(ops::kPanelError, Icon::Warning);
}

journal::Where where(LinkSession& link) {
    return journal::comPort(link.comNumber());
}

}  // namespace

bool runRead(WindowContext& ctx, const PanelOperation& op, const ReadExchange& exchange) {
    if (!started(ctx, op)) return true;
    LinkSession& link = ctx.session();
    Outcome outcome;
    {
        BusyCursor busy;
        Exchange ex(link.port(), ctx.clock);
        outcome = exchange(ex);
    }
    journal::tell(ctx.messages,
                  journal::recordRead(where(link), op.name, op.grid, op.from, op.to, outcome));
    const bool failed = !outcome.ok();
    if (!failed && op.succeeded) op.succeeded();
    finalMessage(ctx, op, failed);
    return failed;
}

std::optional<ops::ProgramResult> runProgramming(WindowContext& ctx, const PanelOperation& op,
                                                 const ProgrammingExchange& exchange) {
    if (!started(ctx, op)) return std::nullopt;
    LinkSession& link = ctx.session();
    journal::Programming record(where(link), op.name, op.from, op.to);
    ops::ProgramResult result;
    {
        BusyCursor busy;
        Exchange ex(link.port(), ctx.clock);
        result = exchange(ex, record.hooks());
        record.finish(result);
    }
    journal::tell(ctx.messages, record.warning());
    if (result.status == ops::Programming::Done && op.succeeded) op.succeeded();
    if (result.status == ops::Programming::NotRead && !op.notRead.isEmpty())
        ctx.messages.show(op.notRead, Icon::Warning);
    else
        finalMessage(ctx, op, result.status != ops::Programming::Done);
    return result;
}

bool runGridRead(WindowContext& ctx, const QString& name, MemoryGrid& grid,
                 const TransferProfile& profile, int from, int to, bool guarded) {
    const PanelOperation op{.name = name,
                            .grid = grid,
                            .from = from,
                            .to = to,
                            .guarded = guarded,
                            .failureTold = FailureTold::Never};
    return runRead(ctx, op, [&](Exchange& ex) { return readMemory(ex, grid, profile); });
}

bool runGridWrite(WindowContext& ctx, const QString& name, MemoryGrid& grid,
                  const TransferProfile& profile, int from, int to, bool guarded) {
    QVector<int> refused;
    const PanelOperation op{.name = name,
                            .grid = grid,
                            .from = from,
                            .to = to,
                            .guarded = guarded,
                            .prepare =
                                [&] {
                                    refused = ops::cellsNotBytes(grid, profile);
                                    return true;
                                },
                            .failureTold = FailureTold::Never};
    const auto result = runProgramming(ctx, op, [&](Exchange& ex, const ops::WriteHooks& hooks) {
        // A cell nobody read or typed would overwrite the panel's byte: the write refuses the
        // grid, and marks the cells.
        if (refused.isEmpty()) hooks.beforeWrite(grid);
        const Outcome write = writeMemory(ex, grid, profile);
        const ops::Programming status = !refused.isEmpty() ? ops::Programming::NotRead
                                        : write.ok()       ? ops::Programming::Done
                                                           : ops::Programming::Failed;
        return ops::ProgramResult{status, write};
    });
    if (!result) return true;
    if (!refused.isEmpty()) ctx.messages.show(ops::notBytesWarning(refused), Icon::Warning);
    return result->status != ops::Programming::Done;
}

}  // namespace veq

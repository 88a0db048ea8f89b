#include "journal/recorder.h"

#include "journal/known.h"
#include "link/portmap.h"

namespace veq::journal {

Where comPort(int number) {
    return {QStringLiteral("COM%1").arg(number), portDevice(number)};
}

void tell(Messages& messages, const QString& warning) {
    if (!warning.isEmpty()) messages.show(warning, Icon::Warning);
}

namespace {

// The key of a port in this run's memory: its device, or its name when it has none.
QString portKey(const Record& r) {
    return r.device.isEmpty() ? r.port : r.device;
}

}  // namespace

QString recordRead(const Where& where, const QString& operation, const MemoryGrid& grid, int from,
                   int to, const Outcome& outcome, Journal& journal) {
    Record r;
    r.port = where.port;
    r.device = where.device;
    r.operation = operation;
    r.kind = Kind::Read;
    r.from = from;
    r.to = to;
    if (outcome.ok()) r.read = grid.bytes(from, to);
    r.outcome = r.read ? Result::Success : Result::Failed;
    if (!outcome.ok()) r.cause = causeKey(outcome.cause);
    if (r.read) knownThisRun().remember(portKey(r), from, *r.read);
    return journal.append(r).warning;
}

Programming::Programming(Where where, QString operation, int from, int to, Journal& journal)
    : journal_(journal) {
    record_.port = where.port;
    record_.device = where.device;
    record_.operation = std::move(operation);
    record_.kind = Kind::Write;
    record_.from = from;
    record_.to = to;
}

void Programming::setBefore(const MemoryGrid& read) {
    record_.before = read.bytes(record_.from, record_.to);
    beforeSet_ = true;
}

void Programming::opening(const MemoryGrid& toWrite) {
    if (!beforeSet_)
        record_.before = knownThisRun().known(portKey(record_), record_.from, record_.to);
    record_.written = toWrite.bytes(record_.from, record_.to);
    record_.outcome = Result::Unknown;
    opened_ = true;
    const Appended a = journal_.append(record_);
    number_ = a.number;
    take(a);
}

ops::WriteHooks Programming::hooks() {
    return {[this](const MemoryGrid& g) { setBefore(g); },
            [this](const MemoryGrid& g) { opening(g); }};
}

void Programming::take(const Appended& a) {
    if (warning_.isEmpty()) warning_ = a.warning;
}

void Programming::finish(const ops::ProgramResult& result,
                         const std::optional<QByteArray>& readBack) {
    // A read that failed before anything was written went out all the same.
    const bool sent =
        result.status != ops::Programming::NotRead ||
        (result.outcome.first != Cause::Done && result.outcome.first != Cause::NotSent);
    // Nothing written is "not-sent", whatever failed first: a record that says "no-answer" or
    // "incomplete" is one whose write went out.
    Outcome outcome = result.outcome;
    if (result.status == ops::Programming::NotRead) outcome.cause = Cause::NotSent;
    finish(outcome, sent, readBack);
}

void Programming::finish(const Outcome& outcome, bool sent,
                         const std::optional<QByteArray>& readBack) {
    const QString key = portKey(record_);
    if (!opened_) {
        // Nothing was written: the record is whole at once.
        record_.outcome = sent ? Result::Failed : Result::Refused;
        record_.cause = causeKey(outcome.ok() ? Cause::NotSent : outcome.cause);
        record_.read = readBack;
        take(journal_.append(record_));
        return;
    }
    // A read-back that finds other bytes than were written makes the write a failure, whatever
    // the panel's confirmation said.
    const bool differs = outcome.ok() && readBack && readBack != record_.written;
    if (outcome.ok() && !differs && record_.written)
        knownThisRun().remember(key, record_.from, *record_.written);
    else if (differs)
        knownThisRun().remember(key, record_.from, *readBack);
    else
        knownThisRun().forget(key, record_.from, record_.to);
    QString cause;
    if (differs)
        cause = kReadBackDiffers;
    else if (!outcome.ok())
        cause = causeKey(outcome.cause);
    take(journal_.complete(number_, cause.isEmpty() ? Result::Success : Result::Failed, cause,
                           readBack));
}

}  // namespace veq::journal

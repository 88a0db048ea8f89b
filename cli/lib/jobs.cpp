#include "cli/lib/jobs.h"
#include "cli/lib/jobparts.h"

#include <QJsonArray>

#include "cli/lib/commandline.h"
#include "cli/lib/veqctl.h"
#include "journal/compare.h"
#include "journal/known.h"
#include "journal/recorder.h"
#include "link/detection.h"
#include "link/portmap.h"
#include "panelmem/grid.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/paramfile.h"
#include "panelmem/transfer.h"

namespace veq::cli::jobs {

namespace {

const QString kMismatchText = QStringLiteral("La relecture diffère de ce qui a été programmé : ");

QString hex2(int v) {
    return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// The whole memory a read left in the grid (a cell without a byte reads 0).
image::Bytes gridBytes(const MemoryGrid& grid) {
    image::Bytes b{};
    for (int a = 0; a < image::kSize; ++a) b[static_cast<size_t>(a)] = grid.byte(a).value_or(0);
    return b;
}

// The addresses [first, first + count) where the read grid does not hold what was written.
QString differences(const MemoryGrid& written, const MemoryGrid& read, int first, int count) {
    QStringList diffs;
    int n = 0;
    for (int a = first; a < first + count; ++a) {
        const auto w = written.byte(a);
        const auto r = read.byte(a);
        if (w == r) continue;
        if (++n <= 4)
            diffs << QStringLiteral("%1h écrit %2, relu %3")
                         .arg(hex2(a), w ? hex2(*w) : written.text(a), r ? hex2(*r) : read.text(a));
    }
    if (n == 0) return {};
    if (n > 4) diffs << QStringLiteral("… (%1 octets)").arg(n);
    return diffs.join(QStringLiteral(", "));
}

// The end of a programming: the read-back compared with what was written.
void compared(PortResult& r, const MemoryGrid& written, const MemoryGrid& back, int first,
              int count) {
    const QString diff = differences(written, back, first, count);
    if (!diff.isEmpty()) {
        r.exit = kMismatch;
        r.message = kMismatchText + diff;
        return;
    }
    r.message = ops::kProgrammingDone;
}

// The differences as lines ("Base de temps (time_base) : panneau heure, fichier minute") and data;
// status 4 when there are any.
void differencesOut(PortResult& r, const QVector<journal::Difference>& diffs) {
    QJsonArray list;
    for (const journal::Difference& d : diffs) {
        // A byte no setting covers is named by its address alone ("Octet 00h").
        const QString name =
            d.label.endsWith(d.key) ? d.label : QStringLiteral("%1 (%2)").arg(d.label, d.key);
        r.out << QStringLiteral("%1 : panneau %2, fichier %3").arg(name, d.panel, d.other);
        list.append(QJsonObject{{QStringLiteral("key"), d.key},
                                {QStringLiteral("label"), d.label},
                                {QStringLiteral("panel"), d.panel},
                                {QStringLiteral("file"), d.other}});
    }
    r.json.insert(QStringLiteral("differences"), list);
    if (diffs.isEmpty()) {
        r.message = QStringLiteral("Le panneau et le fichier sont identiques.");
        return;
    }
    r.exit = kDiffer;
    r.message =
        diffs.size() == 1
            ? QStringLiteral("1 différence entre le panneau et le fichier.")
            : QStringLiteral("%1 différences entre le panneau et le fichier.").arg(diffs.size());
}

}  // namespace

// The port's work ends on a failed exchange: the windows' message, and why.
void failed(PortResult& r, const Outcome& outcome, bool written) {
    r.exit = kFailed;
    r.message = ops::kPanelError;
    r.outcome = outcome;
    r.unconfirmed = written;
}

Outcome notWritten(const Outcome& read) {
    return {Cause::NotSent, read.received, read.expected, read.cause};
}

// The port of the result and the device behind it, for the journal.
journal::Where where(const PortResult& r) {
    if (const auto n = comNumber(r.port)) return journal::comPort(*n);
    return {r.port, r.port};
}

// The journal's warning, kept for the end of the run (the first one only).
void note(PortResult& r, const QString& warning) {
    if (r.journal.isEmpty()) r.journal = warning;
}

void recorded(PortResult& r, const QString& operation, const MemoryGrid& grid, int from, int to,
              const Outcome& outcome) {
    note(r, journal::recordRead(where(r), operation, grid, from, to, outcome));
}

void putBytes(MemoryGrid& grid, const image::Bytes& bytes) {
    grid.putBytes(0, QByteArray(reinterpret_cast<const char*>(bytes.data()), image::kSize));
}

void detect(Exchange& ex, PortResult& r) {
    const int number = r.port.mid(3).toInt();
    const auto found = PortDetection::probe(ex.port(), number, ex.clock());
    using P = PortDetection::Probe;
    const QString state = found == P::Absent ? PortDetection::kAbsent
                          : found == P::Free ? PortDetection::kFree
                                             : PortDetection::kFree + PortDetection::kPanel;
    const QString key = found == P::Absent ? QStringLiteral("absent")
                        : found == P::Free ? QStringLiteral("libre")
                                           : QStringLiteral("panneau");
    r.json =
        QJsonObject{{QStringLiteral("device"), portDevice(number)}, {QStringLiteral("state"), key}};
    r.out << QStringLiteral("%1\t%2").arg(r.port, state);
}

void paramsGet(Exchange& ex, PortResult& r, bool toFile) {
    MemoryGrid grid;
    const ops::RateRead read = ops::readRate(ex, grid);
    recorded(r, QStringLiteral("params get"), grid, kRateTransfer.firstAddress, 127, read.outcome);
    if (!read.outcome.ok()) return failed(r, read.outcome);
    if (read.blank) {
        r.exit = kFailed;
        r.message = ops::kBlankMemory;
        return;
    }
    const memmap::RateSettings s = settingsFromMemory(grid);
    r.json.insert(QStringLiteral("parameters"), parametersJson(s));
    // Settings whose bytes the file cannot hold: named, so that nobody takes the file for the
    // panel's exact copy.
    QJsonArray off;
    for (const journal::OffTable& o : journal::offTable(*grid.bytes(96, 124))) {
        off.append(QJsonObject{{QStringLiteral("key"), o.key},
                               {QStringLiteral("label"), o.label},
                               {QStringLiteral("address"), o.address},
                               {QStringLiteral("byte"), o.byte}});
        r.notes << journal::offTableText(o) +
                       QStringLiteral(" : la valeur donnée n'est pas celle du panneau.");
    }
    r.json.insert(QStringLiteral("off_table"), off);
    r.message = ops::kReadDone;
    if (!toFile) r.out << parametersText(s).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

namespace {

// A programming of the rate window's range: the panel's own bytes first (those the write does
// not set go back as they were, and a panel that does not answer is left untouched; they are the
// journal's "before"), then `program` over them, then a read-back compared byte for byte.
void rateProgramming(
    Exchange& ex, PortResult& r, const QString& operation,
    const std::function<ops::ProgramResult(MemoryGrid&, const ops::WriteHooks&)>& program) {
    journal::Programming p(where(r), operation, kRateTransfer.firstAddress, 127);
    const auto end = [&](const Outcome& o, bool written) {
        note(r, p.warning());
        failed(r, o, written);
    };
    MemoryGrid grid;
    if (const auto read = ops::readRate(ex, grid); !read.outcome.ok()) {
        p.finish(notWritten(read.outcome), true);
        return end(notWritten(read.outcome), false);
    }
    p.setBefore(grid);
    const auto done = program(grid, p.hooks());
    if (!done.outcome.ok()) {
        p.finish(done);
        return end(done.outcome, done.status != ops::Programming::NotRead);
    }
    MemoryGrid back;
    if (const auto read = ops::readRate(ex, back); !read.outcome.ok()) {
        p.finish(read.outcome, true);
        return end(read.outcome, true);
    }
    p.finish(done, back.bytes(kRateTransfer.firstAddress, 127));
    note(r, p.warning());
    compared(r, grid, back, kRateTransfer.firstAddress, kRateTransfer.byteCount);
}

}  // namespace

void paramsSet(Exchange& ex, PortResult& r, const memmap::RateSettings& settings,
               const QString& operation) {
    rateProgramming(ex, r, operation, [&](MemoryGrid& grid, const ops::WriteHooks& hooks) {
        return ops::programRate(ex, grid, settings, hooks);
    });
}

void rateBytesWrite(Exchange& ex, PortResult& r, const QByteArray& bytes,
                    const QString& operation) {
    rateProgramming(ex, r, operation, [&](MemoryGrid& grid, const ops::WriteHooks& hooks) {
        grid.putBytes(kRateTransfer.firstAddress, bytes);
        return ops::programRateCells(ex, grid, hooks);
    });
}

void memoryRead(Exchange& ex, PortResult& r, bool toFile) {
    MemoryGrid grid;
    const Outcome read = readMemory(ex, grid, kBrightnessTransfer);
    recorded(r, QStringLiteral("memory read"), grid, 0, 127, read);
    if (!read.ok()) return failed(r, read);
    const QByteArray text = image::imageText(gridBytes(grid));
    r.json.insert(QStringLiteral("memory"), QString::fromLatin1(text).simplified());
    r.message = ops::kReadDone;
    if (!toFile) r.out << QString::fromLatin1(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void memoryWrite(Exchange& ex, PortResult& r, const image::Bytes& bytes, const QString& operation) {
    // What the panel holds first, for the journal; a panel that does not answer is left alone.
    journal::Programming p(where(r), operation, 0, 127);
    const auto end = [&](const Outcome& o, bool written) {
        note(r, p.warning());
        failed(r, o, written);
    };
    MemoryGrid before;
    if (const Outcome read = readMemory(ex, before, kBrightnessTransfer); !read.ok()) {
        p.finish(notWritten(read), true);
        return end(notWritten(read), false);
    }
    p.setBefore(before);
    MemoryGrid grid;
    putBytes(grid, bytes);
    p.opening(grid);
    if (const Outcome write = writeMemory(ex, grid, kBrightnessTransfer); !write.ok()) {
        p.finish(write, true);
        return end(write, true);
    }
    MemoryGrid back;
    if (const Outcome read = readMemory(ex, back, kBrightnessTransfer); !read.ok()) {
        p.finish(read, true);
        return end(read, true);
    }
    p.finish(Outcome{}, true, back.bytes(0, 127));
    note(r, p.warning());
    compared(r, grid, back, 0, image::kSize);
}

void paramsDiff(Exchange& ex, PortResult& r, const memmap::RateSettings& file) {
    MemoryGrid grid;
    const ops::RateRead read = ops::readRate(ex, grid);
    recorded(r, QStringLiteral("params diff"), grid, kRateTransfer.firstAddress, 127, read.outcome);
    if (!read.outcome.ok()) return failed(r, read.outcome);
    if (read.blank) {
        r.exit = kFailed;
        r.message = ops::kBlankMemory;
        return;
    }
    // What "params set FILE" would leave in 60h..7Fh: the file's settings over the panel's bytes.
    MemoryGrid set = grid;
    memmap::encodeRate(file, set);
    differencesOut(r, journal::compareMemories(*grid.bytes(96, 127), *set.bytes(96, 127), 96));
}

void memoryDiff(Exchange& ex, PortResult& r, const image::Bytes& file) {
    MemoryGrid grid;
    const Outcome read = readMemory(ex, grid, kBrightnessTransfer);
    recorded(r, QStringLiteral("memory diff"), grid, 0, 127, read);
    if (!read.ok()) return failed(r, read);
    const image::Bytes panel = gridBytes(grid);
    differencesOut(r, journal::compareMemories(
                          QByteArray(reinterpret_cast<const char*>(panel.data()), image::kSize),
                          QByteArray(reinterpret_cast<const char*>(file.data()), image::kSize), 0));
}

}  // namespace veq::cli::jobs

#include "panelmem/operations.h"

#include <QStringList>

namespace veq::ops {

namespace {

// Every frame of the brightness and microswitch operations carries "_31".
constexpr Prefix kWholeMemory = Prefix::P_31;
// Addresses of the rate window that no setting is encoded into.
constexpr int kUnmappedFirst = 125;
constexpr int kUnmappedLast = 127;
// How many addresses a warning names before "…".
constexpr int kNamedAtMost = 8;

// The burst of 11 "SSS" (and "PPP" for a read) that opens a brightness or microswitch operation.
void wakeUp(Exchange& ex, bool read) {
    ex.send(kWholeMemory, "SSS", 11);
    if (read) ex.send(kWholeMemory, "PPP");
    ex.settle();
}

// The burst of 5 "RRR" that closes one.
void release(Exchange& ex) {
    ex.send(kWholeMemory, "RRR", 5);
}

void afterFailedRead(Exchange& ex, AfterFailedRead after) {
    if (after == AfterFailedRead::Release) release(ex);
}

// The read of the brightness and microswitch windows: 11 "SSS", "PPP", settle, the whole memory,
// then the five "RRR" (after a failure only when `after` lets them go).
Outcome readWhole(Exchange& ex, MemoryGrid& grid, const TransferProfile& profile,
                  AfterFailedRead after) {
    wakeUp(ex, true);
    const Outcome read = readMemory(ex, grid, profile);
    if (read.ok())
        release(ex);
    else
        afterFailedRead(ex, after);
    return read;
}

// The end of a programming whose write went out.
ProgramResult written(const Outcome& write) {
    return {write.ok() ? Programming::Done : Programming::Failed, write};
}

bool isEmpty(const QString& text) {
    return text.trimmed().isEmpty();
}

}  // namespace

RateRead readRate(Exchange& ex, MemoryGrid& grid) {
    RateRead r;
    r.outcome = readMemory(ex, grid, kRateTransfer);
    r.blank = memmap::isBlank(grid);
    if (r.blank)
        r.blankBrightnessOption = memmap::blankBrightnessOption(grid);
    else
        r.reading = memmap::decodeRate(grid);
    return r;
}

ProgramResult programRate(Exchange& ex, MemoryGrid& grid, const memmap::RateSettings& settings,
                          const WriteHooks& hooks) {
    memmap::encodeRate(settings, grid);
    // No setting lives in 125..127: never read, they go as "00", as they always have.
    for (int a = kUnmappedFirst; a <= kUnmappedLast; ++a)
        if (isEmpty(grid.text(a))) grid.setByte(a, 0);
    return programRateCells(ex, grid, hooks);
}

ProgramResult programRateCells(Exchange& ex, MemoryGrid& grid, const WriteHooks& hooks) {
    // After a failed read they hold "Er": the panel's bytes there are unknown. The write refuses
    // the grid, sends nothing and marks those cells.
    if (!cellsNotBytes(grid, kRateTransfer).isEmpty()) {
        return {Programming::NotRead, writeMemory(ex, grid, kRateTransfer)};
    }

    if (hooks.beforeWrite) hooks.beforeWrite(grid);
    const Outcome write = writeMemory(ex, grid, kRateTransfer);
    ex.send(Prefix::P31, "OOO");
    ex.settle();
    ex.send(Prefix::P31, "RRR");
    return written(write);
}

BrightnessRead readBrightness(Exchange& ex, MemoryGrid& grid, AfterFailedRead after) {
    BrightnessRead r;
    r.outcome = readWhole(ex, grid, kBrightnessTransfer, after);
    if (r.outcome.ok()) r.reading = memmap::decodeBrightness(grid);
    return r;
}

ProgramResult programBrightness(Exchange& ex, MemoryGrid& grid,
                                const memmap::BrightnessSettings& settings, AfterFailedRead after,
                                const WriteHooks& hooks) {
    wakeUp(ex, false);
    // The three cells are changed in a fresh copy of the whole memory. Without one the grid holds
    // "Er" marks, not the panel's bytes, and writing it back would overwrite the other 125 bytes.
    const Outcome read = readMemory(ex, grid, kBrightnessTransfer);
    if (!read.ok()) {
        afterFailedRead(ex, after);
        return {Programming::NotRead,
                Outcome{Cause::NotSent, read.received, read.expected, read.cause}};
    }
    if (hooks.afterRead) hooks.afterRead(grid);
    memmap::encodeBrightness(settings, grid);
    ex.settle();
    if (hooks.beforeWrite) hooks.beforeWrite(grid);
    const Outcome write = writeMemory(ex, grid, kBrightnessTransfer);
    ex.send(kWholeMemory, "OOO");
    ex.settle();
    ex.send(kWholeMemory, "LLL");
    release(ex);
    return written(write);
}

SwitchesRead readSwitches(Exchange& ex, MemoryGrid& grid, AfterFailedRead after) {
    SwitchesRead r;
    r.outcome = readWhole(ex, grid, kMicroswitchTransfer, after);
    if (r.outcome.ok()) r.switches = memmap::decodeSwitches(grid);
    return r;
}

QVector<int> cellsNotBytes(const MemoryGrid& grid, const TransferProfile& profile) {
    QVector<int> out;
    for (int a = profile.firstAddress; a < profile.firstAddress + profile.byteCount; ++a)
        if (!grid.byte(a)) out << a;
    return out;
}

QString notBytesWarning(const QVector<int>& addresses) {
    QStringList named;
    for (int i = 0; i < addresses.size() && i < kNamedAtMost; ++i)
        named << memmap::hexDigits(addresses[i], 2) + QLatin1Char('h');
    if (addresses.size() > kNamedAtMost) named << QStringLiteral("…");
    const bool one = addresses.size() == 1;
    return QStringLiteral(
               "Rien n'a été envoyé : %1 %2 %3 pas un octet (un ou deux chiffres "
               "hexadécimaux).\nLisez d'abord la mémoire du panneau, ou tapez une "
               "valeur dans %4.")
        .arg(one ? QStringLiteral("la case") : QStringLiteral("les cases"),
             named.join(QStringLiteral(", ")),
             one ? QStringLiteral("ne contient") : QStringLiteral("ne contiennent"),
             one ? QStringLiteral("cette case") : QStringLiteral("ces cases"));
}

}  // namespace veq::ops

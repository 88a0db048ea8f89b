#pragma once

#include <functional>

#include <QString>
#include <QVector>

#include "link/exchange.h"
#include "panelmem/grid.h"
#include "panelmem/memmap.h"
#include "panelmem/transfer.h"

// The panel operations as the operator knows them, without any window: each one is the whole
// sequence of frames, waits and transfers of one button, run over a memory grid. The windows and
// the command line call these, so both send the same frames for the same operation. What the
// operator is told (messages, SEL_REP) stays with the caller.
namespace veq::ops {

// How an operation that writes to the panel ended.
enum class Programming {
    Done,     // every frame went out and the panel confirmed the write
    Failed,   // the write went out but was not confirmed (or a read it needed failed)
    NotRead,  // nothing was written: the memory it needs was not read successfully first
};

// What a programming tells its caller on the way, for the journal; neither sends nor waits.
struct WriteHooks {
    // The grid as the programming's own read left it, before any setting goes into it (only the
    // programmings that read first: the brightness window's).
    std::function<void(const MemoryGrid& read)> afterRead;
    // The grid as it is about to be written, right before the first frame of the write; not
    // called when nothing is written.
    std::function<void(const MemoryGrid& toWrite)> beforeWrite;
};

// What a programming came to, and why when it was not Done.
struct ProgramResult {
    Programming status = Programming::NotRead;
    Outcome outcome;
};

// ---------------------------------------------------------------------------------------------
// Rate parameters (the parameter window)

struct RateRead {
    Outcome outcome{Cause::NoAnswer};  // the transfer's
    bool failed() const { return !outcome.ok(); }
    bool blank = false;  // no signature: a memory never programmed (always so after a failure)
    int blankBrightnessOption = 0;  // on a blank memory, Option1(1..5) from 108, 0 for none
    memmap::RateReading reading;    // the settings read, when neither failed nor blank
};

// "Lire les paramètres": LIT_24C01 of bytes 96..127, then the blank test and the decoding.
RateRead readRate(Exchange& ex, MemoryGrid& grid);

// "Programme les paramètres": the settings are encoded into 96..124; cells 125..127 that were
// never read (empty) are filled with "00"; when any of 96..127 then holds no byte (after a failed
// read they hold "Er") nothing is sent and the result is NotRead. Otherwise ECRIT_24C01 of 96..127,
// then "OOO", a settle wait and "RRR" (prefix "31"); Done or Failed by the write's confirmation.
ProgramResult programRate(Exchange& ex, MemoryGrid& grid, const memmap::RateSettings& settings,
                          const WriteHooks& hooks = {});
// The end of "Programme les paramètres" over cells 96..127 as they stand (bytes put back exactly,
// as a restore does): nothing is sent when any of them holds no byte (NotRead); otherwise
// ECRIT_24C01 of 96..127, "OOO", a settle wait and "RRR".
ProgramResult programRateCells(Exchange& ex, MemoryGrid& grid, const WriteHooks& hooks = {});

// ---------------------------------------------------------------------------------------------
// Brightness and microswitches (whole memory, prefix "_31")

// What follows a failed read in these operations: with the response control "OUI" nothing more
// goes to the panel; otherwise the closing burst of five "RRR" does.
enum class AfterFailedRead { SendNothing, Release };

struct BrightnessRead {
    Outcome outcome{Cause::NoAnswer};
    bool failed() const { return !outcome.ok(); }
    memmap::BrightnessReading reading;  // when not failed
};

// "Lit" of the brightness window: 11 "SSS", "PPP", settle, LIT_24C01 of the whole memory;
// on success the five "RRR".
BrightnessRead readBrightness(Exchange& ex, MemoryGrid& grid, AfterFailedRead after);

// "Envoi" of the brightness window: 11 "SSS", settle, LIT_24C01 of the whole memory (a failed
// read ends here with NotRead: the grid holds no bytes to write back), the settings into 60..62,
// settle, ECRIT_24C01 of the whole memory, "OOO", settle, "LLL", five "RRR".
ProgramResult programBrightness(Exchange& ex, MemoryGrid& grid,
                                const memmap::BrightnessSettings& settings, AfterFailedRead after,
                                const WriteHooks& hooks = {});

struct SwitchesRead {
    Outcome outcome{Cause::NoAnswer};
    bool failed() const { return !outcome.ok(); }
    memmap::Switches switches;  // when not failed
};

// "Lecture" of the microswitch window: 11 "SSS", "PPP", settle, LIT_24C01 of the whole memory
// (with "RRR" after "X6X"); on success the five "RRR".
SwitchesRead readSwitches(Exchange& ex, MemoryGrid& grid, AfterFailedRead after);

// ---------------------------------------------------------------------------------------------
// Grid writes ("Envoi" under a grid)

// The addresses of the profile's cells that hold no byte (empty, "Er", "?", three digits...), in
// order. A grid write with any of them sends nothing.
QVector<int> cellsNotBytes(const MemoryGrid& grid, const TransferProfile& profile);

// The operator's warning for a grid write refused for those cells: it names the first few
// addresses (in hexadecimal, "60h") and says to read the memory or type a value.
QString notBytesWarning(const QVector<int>& addresses);

}  // namespace veq::ops

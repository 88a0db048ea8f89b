#pragma once

#include <optional>

#include <QString>

#include "link/exchange.h"
#include "link/outcome.h"
#include "panelmem/grid.h"

namespace veq {

// What the panel answers to a read: five characters for each of "SSS", "ZA0", the address frame,
// "ZA1" and a closing "RRR", six for each byte read (one "X1X" per byte, then "X6X"). A read takes
// its answer only when all of it has arrived: one answer short (lost on the line, the panel's
// address moved on) would put every later byte one cell early.
constexpr int readAnswerLength(int byteCount, bool endsWithRRR) {
    return 4 * 5 + (byteCount + 1) * 6 + (endsWithRRR ? 5 : 0);
}

// How the memory transfers of one window differ. The three windows run the same two procedures;
// only these points change. Use the constants below.
struct TransferProfile {
    Prefix readPrefix;     // of every frame of the read
    int readOpening;       // "SSS" frames in the read's opening write (1, or a burst of 5)
    bool readEndsWithRRR;  // "RRR" after "X6X"
    int readAbove;         // the read takes its answer once more characters than this wait
    Prefix writePrefix;    // of every frame of the write
    int writeOpening;      // "SSS" frames in the write's opening write
    int writeConfirm;      // the write is confirmed when exactly this many wait; 0: no write
    bool prepareGrid;      // before any frame: a read clears cells 0..127 to " " on white, a
                           // write turns them white; otherwise the grid waits for the answer
    int firstAddress;      // start address of the read, first page of the write
    int byteCount;         // bytes transferred (a multiple of 16 for a window that writes)
    bool markEachByte;     // after each byte frame: the cell shows the progress ("?" on white
                           // for a read, green for a write), is redrawn, then one clock step
};

// dump_24c01: bytes 96..127, read with "31" and one "SSS", written with "_31" and a burst of 5,
// each byte frame paced one clock step apart.
inline constexpr TransferProfile kRateTransfer{.readPrefix = Prefix::P31,
                                               .readOpening = 1,
                                               .readEndsWithRRR = true,
                                               .readAbove = readAnswerLength(32, true) - 1,
                                               .writePrefix = Prefix::P_31,
                                               .writeOpening = 5,
                                               .writeConfirm = 200,
                                               .prepareGrid = true,
                                               .firstAddress = 0x60,
                                               .byteCount = 32,
                                               .markEachByte = true};
static_assert(kRateTransfer.readAbove == 222);
// LUM: the whole memory, "_31" and a burst of 5 both ways, frames back to back.
inline constexpr TransferProfile kBrightnessTransfer{.readPrefix = Prefix::P_31,
                                                     .readOpening = 5,
                                                     .readEndsWithRRR = false,
                                                     .readAbove = readAnswerLength(128, false) - 1,
                                                     .writePrefix = Prefix::P_31,
                                                     .writeOpening = 5,
                                                     .writeConfirm = 800,
                                                     .prepareGrid = false,
                                                     .firstAddress = 0x00,
                                                     .byteCount = 128,
                                                     .markEachByte = false};
// SW: as LUM with "RRR" after "X6X"; the window only reads.
inline constexpr TransferProfile kMicroswitchTransfer{.readPrefix = Prefix::P_31,
                                                      .readOpening = 5,
                                                      .readEndsWithRRR = true,
                                                      .readAbove = readAnswerLength(128, true) - 1,
                                                      .writePrefix = Prefix::P_31,
                                                      .writeOpening = 5,
                                                      .writeConfirm = 0,
                                                      .prepareGrid = false,
                                                      .firstAddress = 0x00,
                                                      .byteCount = 128,
                                                      .markEachByte = false};

// Reads the profile's bytes into their cells; returns the failure flag (true: failed).
//   [prepare grid]; "SSS" (readOpening frames); settle 0.5 s; flush (discard, read and drop,
//   DTR off); "SSS", "ZA0", "Y" + start address, "ZA1"; one "X1X" per byte [cell "?" on white,
//   redraw, one clock step]; "X6X"; ["RRR"]; wait up to 1 s for more than readAbove characters.
// Every frame is one write with readPrefix; a burst is one write.
// Success: byte k goes to cell firstAddress + k from the two characters at position 24 + 6k
// (1-based) of the answer, green, redrawn; returns false. The answer is taken only when every one
// of those pairs is two hexadecimal digits, as a panel always gives them: an answer out of step
// (a character too many, a late answer in front) or garbled fails as a time-out does. Time-out,
// such an answer, or a frame the line refused: cells 0..127 "Er" on red, each redrawn; returns
// true.
// readMemory does the same and says why it failed: no answer, part of it (how many characters of
// how many), an answer out of step or garbled, a stalled line, a lost port.
Outcome readMemory(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile);
inline bool LIT_24C01(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile) {
    return !readMemory(exchange, grid, profile).ok();
}

// Writes the profile's cells into the memory; returns the failure flag (true: failed).
// Every cell to send must hold a byte (MemoryGrid::byte). When one does not, nothing is sent at
// all: those cells turn red (their text is kept), every other cell 0..127 turns white, each is
// redrawn, and the result is true. Otherwise:
//   [cells 0..127 white, redrawn]; "SSS" (writeOpening frames); settle 0.5 s; flush; then per
//   page of 16 bytes: "SSS", "ZA0", "Y" + page address, one "Y" + byte per cell [cell green,
//   redraw, one clock step], "WWW"; wait up to 1 s for exactly writeConfirm characters.
// Every frame is one write with writePrefix. Success: cells 0..127 green, redrawn, false. Time-out
// (fewer, or more, characters than writeConfirm) or a frame the line refused (nothing more is
// sent): cells 0..127 "Er" on red, redrawn, true. Texts are never changed. A profile without a
// write (microswitches) sends nothing and returns true.
// writeMemory does the same and says why it failed (NotSent when nothing was sent).
Outcome writeMemory(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile);
inline bool ECRIT_24C01(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile) {
    return !writeMemory(exchange, grid, profile).ok();
}

}  // namespace veq

#pragma once

#include <optional>

#include <QString>

#include "link/exchange.h"
#include "panelmem/grid.h"

namespace veq {

// How the memory transfers of one window differ. The three windows run the same procedure; only
// these points change. Use the constants below.
struct TransferProfile {
    Prefix prefix;         // of every frame of the transfer
    int openingBurst;      // "SSS" frames in the opening write (1 or 5)
    bool prepareGrid;      // before any frame: a read clears cells 0..127 to " " on white, a write
                           // turns them white; otherwise the grid is untouched until the answer
    int firstAddress;      // start address of the read, first page of the write
    int byteCount;         // bytes transferred (a multiple of 16 for a window that writes)
    bool markEachByte;     // after each byte frame: the cell shows the progress ("?" on white for a
                           // read, green for a write), is redrawn, then one clock step passes
    bool readEndsWithRRR;  // "RRR" after "X6X" in the read
    int readAbove;         // the read takes its answer once more characters than this wait
    int writeConfirm;      // the write is confirmed when exactly this many wait; 0: no write
};

// dump_24c01: bytes 96..127, prefix "31" to read and "_31" to write (see LIT_24C01).
inline constexpr TransferProfile kRateTransfer{Prefix::P31, 1,    true, 0x60, 32,
                                               true,        true, 222,  200};
// LUM: the whole memory, no pacing.
inline constexpr TransferProfile kBrightnessTransfer{Prefix::P_31, 5,     false, 0x00, 128,
                                                     false,        false, 787,   800};
// SW: the whole memory, read only, with "RRR" after "X6X".
inline constexpr TransferProfile kMicroswitchTransfer{Prefix::P_31, 5,    false, 0x00, 128,
                                                      false,        true, 787,   0};

// Reads the profile's bytes into their cells; returns the failure flag (true: failed).
//   [prepare grid]; "SSS" (burst of openingBurst); settle 0.5 s; flush (discard, read and drop,
//   DTR off); "SSS", "ZA0", "Y" + start address, "ZA1"; one "X1X" per byte [cell "?" on white,
//   redraw, one clock step]; "X6X"; ["RRR"]; wait up to 1 s for more than readAbove characters.
// Every frame is one write with the profile's prefix (the rate window's read uses "31").
// Success: byte k goes to cell firstAddress + k from the two characters at position 24 + 6k
// (1-based) of the answer, green, redrawn; returns false. Time-out: cells 0..127 "Er" on red,
// each redrawn; returns true. An answer too short to hold a byte (the panel's counts never give
// one) marks that byte's cell "Er" on red and returns true.
bool LIT_24C01(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile);

// Writes the profile's cells into the memory; returns the failure flag (true: failed).
// Every cell to send must hold a byte (see byteToSend). When one does not, nothing is sent at
// all: those cells turn red (their text is kept), every other cell 0..127 turns white, each is
// redrawn, and the result is true. Otherwise:
//   [cells 0..127 white, redrawn]; "SSS" (burst of openingBurst); settle 0.5 s; flush; then per
//   page of 16 bytes: "SSS", "ZA0", "Y" + page address, one "Y" + byte per cell [cell green,
//   redraw, one clock step], "WWW"; wait up to 1 s for exactly writeConfirm characters.
// Success: cells 0..127 green, redrawn, false. Time-out (fewer, or more, characters than
// writeConfirm): cells 0..127 "Er" on red, redrawn, true. Texts are never changed.
// A profile without a write (microswitches) sends nothing and returns true.
bool ECRIT_24C01(Exchange& exchange, MemoryGrid& grid, const TransferProfile& profile);

// The byte a cell's text is sent as: spaces are skipped; no digit left is 0 (an empty cell goes
// as "Y00"); one or two hexadecimal digits of either case are the byte ("5" goes as "Y05", "a5"
// as "YA5"). Any other text ("Er", "?", "G1", "5Z", "123") is not a byte: nothing.
std::optional<int> byteToSend(const QString& text);

}  // namespace veq

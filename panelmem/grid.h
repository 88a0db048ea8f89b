#pragma once

#include <array>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "panelmem/colours.h"

namespace veq {

// Where a cell stands in the transfers; its colour is drawn from it.
enum class CellState {
    Idle,         // white: nothing transferred yet, or a transfer under way
    Transferred,  // green: read from the panel, or written to it
    Failed,       // red: the transfer failed ("Er"), or a write refused the cell
};

// The colour number a state is drawn in (panelmem/colours.h).
int stateColour(CellState state);

// The byte a cell's text is sent as: spaces are skipped; one or two hexadecimal digits of either
// case are the byte ("5" goes as "Y05", "a5" as "YA5"). Any other text is not a byte: nothing. An
// empty cell is none either: it holds nothing anybody read or typed ("", " ", "Er", "?", "G1",
// "5Z", "123").
std::optional<int> byteToSend(const QString& text);

// The memory grid of a parameter window: cell n (0 to 127) stands for byte n of the panel memory,
// cell 128 is the fill value of the EDIT button.
//
// A cell holds a byte, or a text when what it shows is not one drawn from a byte: a text the
// operator typed ("5", "a5", "G1", "123", ""), a value written without a leading zero ("A"), or a
// transfer's mark ("?" pending, " " cleared, "Er" failed). A cell holds a byte exactly when its
// text would be two upper-case hexadecimal digits, so text() gives back what was put there, of
// any length. Every cell also has a state, drawn as its colour; a colour number other than
// white, green and red given to setColour() is kept as it is.
//
// The grid is the one place where texts and bytes meet: byte() is what a write sends for a cell
// (byteToSend's rule), bytes() and putBytes() take and give a range of them.
//
// The grid has no widgets. A window shows it through the redraw hook: every change made through
// setText(), setColour(), set(), setByte(), setState(), the marks, putBytes(), fill() and
// addressPattern() calls the hook with the index of the cell right after the change (once per
// cell changed), so the window copies the cell's text and colour into its widget and repaints it
// at once (an exchange blocks the event loop, so nothing else would repaint it). The hook must not
// change the grid.
class MemoryGrid {
  public:
    static constexpr int kBytes = 128;     // cells 0 to 127, one per memory address
    static constexpr int kFillCell = 128;  // Text1(128), the fill value
    static constexpr int kCells = 129;

    // The transfers' marks.
    static inline const QString kPending = QStringLiteral("?");  // a read asked for the byte
    static inline const QString kCleared = QStringLiteral(" ");  // a read is about to start
    static inline const QString kError = QStringLiteral("Er");   // the transfer failed

    using RedrawHook = std::function<void(int index)>;

    MemoryGrid();

    void setRedrawHook(RedrawHook hook) { redraw_ = std::move(hook); }

    // What a cell shows, drawn from what it holds: its text and its colour number. An index
    // outside 0..128 reads as an empty white cell.
    QString text(int index) const;
    int colour(int index) const;
    CellState state(int index) const;

    // The byte a write sends for the cell: the byte it holds, or its text read by byteToSend();
    // nothing for a text that is no byte and for an index outside 0..128.
    std::optional<quint8> byte(int index) const;
    // The byte the cell holds as such (its text is two upper-case digits); nothing otherwise.
    std::optional<quint8> heldByte(int index) const;
    // The bytes of cells from..to, when every one of them has one (byte()); nothing when any
    // has none ("Er", "?", empty) or the range leaves 0..128.
    std::optional<QByteArray> bytes(int from, int to) const;

    // Change a cell, then call the redraw hook once. An index outside 0..128 is ignored.
    void setText(int index, const QString& text);
    void setColour(int index, int colour);
    void set(int index, const QString& text, int colour);
    void set(int index, const QString& text, CellState state);
    void setByte(int index, quint8 byte);
    void setByte(int index, quint8 byte, CellState state);
    void setState(int index, CellState state);
    void markPending(int index) { set(index, kPending, CellState::Idle); }
    void markCleared(int index) { set(index, kCleared, CellState::Idle); }
    void markFailed(int index) { set(index, kError, CellState::Failed); }
    // Cells from, from + 1... take the bytes (shown as two upper-case digits), each redrawn;
    // their states stay.
    void putBytes(int from, const QByteArray& bytes);

    // Records what the operator typed into a cell's widget: no redraw (the widget shows it
    // already, and rewriting it would move the cursor).
    void setTypedText(int index, const QString& text);

    // Calls the redraw hook for a cell without changing it.
    void redraw(int index) const;

    // EDIT (but_edit): every cell 0 to 127 takes what the fill cell holds; then every cell 0 to
    // 127 in order turns white and is redrawn.
    void fill();
    // Lin (but_lin): cell n takes n in upper-case hexadecimal without a leading zero ("0" to
    // "7F"); then every cell 0 to 127 in order turns white and is redrawn.
    void addressPattern();

  private:
    struct Cell {
        std::optional<quint8> byte;  // held as such; `text` is then unused
        QString text;                // shown when no byte is held
        CellState state = CellState::Idle;
        std::optional<int> otherColour;  // a colour number no state draws, given to setColour()
    };
    static bool valid(int index) { return index >= 0 && index < kCells; }
    Cell& at(int index) { return cells_[static_cast<std::size_t>(index)]; }
    const Cell& at(int index) const { return cells_[static_cast<std::size_t>(index)]; }
    static void hold(Cell& cell, const QString& text);
    static void paint(Cell& cell, CellState state);

    std::array<Cell, kCells> cells_;
    RedrawHook redraw_;
};

}  // namespace veq

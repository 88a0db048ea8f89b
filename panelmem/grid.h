#pragma once

#include <array>
#include <functional>

#include <QString>

#include "panelmem/colours.h"

namespace veq {

// The memory grid of a parameter window: cell n (0 to 127) holds byte n of the panel memory as
// text, cell 128 is the fill value of the EDIT button. Every cell has a text and a colour number
// (panelmem/colours.h). The grid keeps whatever text it is given, of any length; the transfers and
// the memory map decide what a text means.
//
// The grid has no widgets. A window shows it through the redraw hook: every change made through
// setText(), setColour(), set(), fill() and addressPattern() calls the hook with the index of the
// cell right after the change, so the window copies the cell's text and colour into its widget
// and repaints it at once (an exchange blocks the event loop, so nothing else would repaint it).
// The hook must not change the grid.
class MemoryGrid {
  public:
    static constexpr int kBytes = 128;     // cells 0 to 127, one per memory address
    static constexpr int kFillCell = 128;  // Text1(128), the fill value
    static constexpr int kCells = 129;

    using RedrawHook = std::function<void(int index)>;

    MemoryGrid();

    void setRedrawHook(RedrawHook hook) { redraw_ = std::move(hook); }

    // Text and colour of a cell; an index outside 0..128 reads as an empty white cell.
    QString text(int index) const;
    int colour(int index) const;

    // Change a cell, then call the redraw hook once. An index outside 0..128 is ignored.
    void setText(int index, const QString& text);
    void setColour(int index, int colour);
    void set(int index, const QString& text, int colour);

    // Records what the operator typed into a cell's widget: no redraw (the widget shows it
    // already, and rewriting it would move the cursor).
    void setTypedText(int index, const QString& text);

    // Calls the redraw hook for a cell without changing it.
    void redraw(int index) const;

    // EDIT (but_edit): every cell 0 to 127 takes the text of the fill cell; then every cell 0 to
    // 127 in order turns white and is redrawn.
    void fill();
    // Lin (but_lin): cell n takes n in upper-case hexadecimal without a leading zero ("0" to
    // "7F"); then every cell 0 to 127 in order turns white and is redrawn.
    void addressPattern();

  private:
    struct Cell {
        QString text;
        int colour = colour::kWhite;
    };
    static bool valid(int index) { return index >= 0 && index < kCells; }

    std::array<Cell, kCells> cells_;
    RedrawHook redraw_;
};

}  // namespace veq

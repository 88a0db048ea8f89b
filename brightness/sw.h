#pragma once

#include <array>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "panelmem/grid.h"
#include "panelmem/memmap.h"
#include "ui/context.h"

namespace veq {

class GridPanel;
struct DipRow;

// The microswitch window: reads the panel's two banks of eight DIP switches (cells 74 and 75) and
// its colour variant (cell 76) out of a read of the whole memory into its own grid. It never
// writes to the panel.
class SwWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSwitches = 8;
    // A switch's value: the thumb at the top, level with "ON", is ON.
    static constexpr int kOn = 0;
    static constexpr int kOff = 1;

    explicit SwWindow(WindowContext& ctx, QWidget* parent = nullptr);

    // "Lire la position des microswitches".
    void LIT_SW_Click();
    // The grid's "Lire ": this window's read alone, its result not reported.
    void but_RD_Click();
    // The whole-memory read of this window; true when it failed.
    bool LIT_24C01();

    MemoryGrid& grid() { return grid_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Bank 0 is "SW2" (SW2, Text2, cell 75), bank 1 is "SW3" (SW1, Text3, cell 74).
    struct Bank {
        QGroupBox* frame = nullptr;
        std::array<QScrollBar*, kSwitches> switches{};
        std::array<QLineEdit*, kSwitches> captions{};
    };

    Bank makeBank(int bank, int left, int width, const DipRow& dips);
    // The caption box follows its switch: white when OFF, green when ON.
    void colourRule(int bank, int i);
    // A click on a caption box flips its switch; a box of another colour than white or green is
    // left alone.
    void toggle(int bank, int i);
    // Before a read: every switch OFF, every caption white, no colour variant.
    void clearSwitches();
    void showSwitches(const memmap::Switches& s);

    WindowContext& ctx_;
    MemoryGrid grid_;
    GridPanel* gridPanel_;
    std::array<Bank, 2> banks_;
    QLabel* Label30;
    QPushButton* LIT_SW;
};

}  // namespace veq

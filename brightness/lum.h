#pragma once

#include <array>

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>

#include "panelmem/grid.h"
#include "panelmem/memmap.h"
#include "ui/context.h"

namespace veq {

class GridPanel;

// The brightness window: reads and programs the brightness mode (cell 60), the day/night
// switching period (61) and threshold (62). The window keeps its own copy of the whole 128-byte
// memory in its grid: it reads all of it, and programs by reading it again, changing the three
// cells and writing all of it back.
class LumWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kOptions = 7;

    explicit LumWindow(WindowContext& ctx, QWidget* parent = nullptr);

    // "Lit": the brightness read.
    void but_LIT_LUM_Click();
    // "Envoi": the brightness programming.
    void but_ECRIT_LUM_Click();
    // The grid's "Lire " and "Envoi": this window's transfers alone, results not reported.
    void but_RD_Click();
    void but_WR_Click();

    // The whole-memory transfers of this window; true when they failed.
    bool LIT_24C01();
    bool ECRIT_24C01();

    MemoryGrid& grid() { return grid_; }
    // The selected option Option1(0..6), or -1 when none is.
    int selectedOption() const;

  private:
    void clearOptions();
    // A brightness read into the controls, a value they cannot hold named in a warning.
    void showRead(const memmap::BrightnessReading& r);
    void repaintControls();

    WindowContext& ctx_;
    MemoryGrid grid_;
    GridPanel* gridPanel_;

    std::array<QRadioButton*, kOptions> Option1{};
    QButtonGroup* options_;
    QLineEdit* Text4;
    QSlider* COMP_LDR;
    QLabel* comp_value_;
    QLineEdit* Text5_1;
    QSlider* DURE_LDR;
    QLabel* dure_value_;
    QPushButton* but_LIT_LUM;
    QPushButton* but_ECRIT_LUM;
};

}  // namespace veq

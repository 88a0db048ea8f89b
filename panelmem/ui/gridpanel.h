#pragma once

#include <array>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QWidget>

#include "panelmem/grid.h"

namespace veq {

// The memory grid as a window shows it: 128 cells Text1(0) to Text1(127) in 8 rows of 16 with
// their headings, and under them the fill value Text1(128) and the buttons "Lire ", "EDIT",
// "Lin" and "Envoi". The controls are children of the window itself; `origin` (in twips) is where
// the rate-parameter window places the grid's top left corner (its title, at 7440, 0), so another
// window can shift the whole grid. The panel shows a MemoryGrid and repaints a cell the moment
// the grid changes it. EDIT and Lin work on the grid alone; "Lire " and "Envoi" belong to the
// window, which connects them.
class GridPanel : public QObject {
    Q_OBJECT
  public:
    struct Options {
        QPoint origin{7440, 0};
        QString title = QStringLiteral("24C01  (128octets)  ");
        bool editButtons = true;  // the fill value, "EDIT", "Lin" and "Envoi"
    };

    GridPanel(QWidget* window, MemoryGrid& grid, const Options& options);
    GridPanel(QWidget* window, MemoryGrid& grid) : GridPanel(window, grid, Options{}) {}

    QLineEdit* cell(int index) const { return cells_[static_cast<size_t>(index)]; }
    // Shows or hides every control of the grid: title, headings, cells and buttons.
    void setShown(bool shown);
    QLabel* Label26;  // the title
    QPushButton* but_RD;
    QPushButton* but_edit = nullptr;
    QPushButton* but_lin = nullptr;
    QPushButton* but_WR = nullptr;

  private:
    void show(int index);
    // Twips of the rate-parameter window's layout, moved by the origin.
    QRect at(int left, int top, int width, int height) const;

    MemoryGrid& grid_;
    QPoint shift_;
    std::array<QLineEdit*, MemoryGrid::kCells> cells_{};
    std::vector<QWidget*> controls_;  // every control the panel made, in order
};

}  // namespace veq

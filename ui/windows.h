#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTableWidget>
#include <QWidget>

namespace veq {

// Window handling shared by the child windows of the main window. A child window may sit in a
// multiple-document sub-window; these act on that frame when there is one.

QWidget* frameOf(QWidget* w);
// Shows the window in front of the others, as the active one: a minimised window comes back in
// the normal state, a maximised one stays maximised.
void bringForward(QWidget* w);
// Shows the window in the normal state, brings it forward and gives it the focus, on the control
// of it that had the focus last, or on its first one.
void showNormalFocused(QWidget* w);
void showMinimisedState(QWidget* w);
// Sets the size of the window's client area, in twips (its sub-window first, then the window).
void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips);
// Sizes the sub-window around the window's client area.
void fitFrame(QWidget* w);
// A control whose centre lies outside the window's client area (below its height, right of its
// width) cannot be seen: from now on such controls are kept out of the keyboard's focus chain, and
// get their focus back when the window grows over them. Their state is left as it is.
void keepHiddenControlsOutOfReach(QWidget* window);
// Return and Enter press the push button that has the focus, as the space bar does, in every
// push button the window holds now.
void pressButtonsOnEnter(QWidget* window);

// The busy cursor over the whole application while it lives: an exchange with the panel holds the
// user-interface thread, and the operator sees that something runs. Scope it to the exchange
// alone, so that the message that follows is shown with the normal cursor.
class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The window's frame fills the main window's client area (the area of its child windows), so that
// a table with long texts is never wider than the screen.
void fillClientArea(QWidget* w);
// Every column of the table as wide as its texts, the last one taking the rest of the width (its
// texts are cut with "…" only when the window is narrower than the texts, and whole in their
// tooltips).
void fitColumns(QTableWidget* table);
// A column whose texts may be long (a device path given to veqctl as the port) is as wide as its
// texts up to `chars` average characters; longer texts lose their middle ("…"), whole in their
// tooltips.
void capColumn(QTableWidget* table, int column, int chars);
// A table cell that shows `text`, with `tip` (or the text itself) as its tooltip.
QTableWidgetItem* tableCell(const QString& text, const QString& tip = {});

// Background colour of a control, kept in its palette.
void setBackground(QWidget* w, const QColor& c);
QColor background(const QWidget* w);

// The text font of every window: the small sans-serif its twip layout is measured for, 11 pixels
// high as "MS Sans Serif" 8 pt is at 96 dpi. "Microsoft Sans Serif" is that font's scalable twin on
// Windows; elsewhere Liberation Sans (package fonts-liberation2), a family with the widths of
// Arial, fits every caption at the stored geometry as well. A few captions use a smaller size.
constexpr int kWindowFontPixels = 11;
QFont windowFont(int pixelSize = kWindowFontPixels);
// Gives the window and the controls it holds the window font.
void useWindowFont(QWidget* window);

// "Comic Sans MS" at the given size; where it is not installed, the window font's family rather
// than whatever the font matcher would substitute.
QFont comicFont(double pointSize, bool bold);

// A colour number, red in the low byte (red 255, green 65280, white 16777215).
QColor fromColourNumber(int n);
int colourNumber(const QColor& c);

}  // namespace veq

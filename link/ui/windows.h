#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace veq {

// Window handling shared by the child windows of the main window. A child window may sit in a
// multiple-document sub-window; these act on that frame when there is one.

QWidget* frameOf(QWidget* w);
// Shows the window in the normal state, brings it forward and gives it the focus.
void showNormalFocused(QWidget* w);
void showMinimisedState(QWidget* w);
// Sets the size of the window's client area, in twips (its sub-window first, then the window).
void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips);
// Sizes the sub-window around the window's client area.
void fitFrame(QWidget* w);
// Background colour of a control, kept in its palette.
void setBackground(QWidget* w, const QColor& c);
QColor background(const QWidget* w);

// "Comic Sans MS" at the given size; where it is not installed, a plain sans-serif font rather
// than whatever the font matcher would substitute.
QFont comicFont(double pointSize, bool bold);

// A colour number, red in the low byte (red 255, green 65280, white 16777215).
QColor fromColourNumber(int n);
int colourNumber(const QColor& c);

}  // namespace veq

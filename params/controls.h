#pragma once

#include <functional>

#include <QButtonGroup>
#include <QColor>
#include <QGroupBox>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include "panelmem/settings.h"

// The kinds of control the parameter window is made of, and the number texts its captions share.
namespace veq::params {

inline const QColor kGreenBack(0, 255, 0);
inline const QColor kWhiteBack(255, 255, 255);

inline const QString kLevel1Caption = QStringLiteral("Niveau 1. Moyenne sur 1,2,4,8 cadences. => ");
inline const QString kLevel2Caption =
    QStringLiteral("Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => ");

// Captions show numbers with the system's decimal separator, never grouped: "0,5", "9999".
QLocale plainLocale();
// The shortest decimal text of a number, without trailing zeros: 16, 0,5, 25,5.
QString decimal(double v);
QString integer(int v);

// The window's two operation buttons: green, bold.
void makeGreenBold(QPushButton* b);

// A click (or the space bar) on a control that has no click signal of its own: a left button
// pressed and released on it. The second press of a double click comes as a double-click event,
// so a double click counts as one click.
class ClickFilter : public QObject {
  public:
    ClickFilter(QWidget* target, std::function<void()> onClick);
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    std::function<void()> onClick_;
    bool pressed_ = false;
};

// A slider of the settings table: its control name, its label for screen readers, its range and
// its value at load.
QScrollBar* makeSlider(QWidget* parent, const settings::Numeric& setting);
// A read-only box that shows what the slider under it holds.
QPlainTextEdit* makeCaptionBox(QWidget* parent, const char* name, const QString& accessible,
                               const QString& text, const QString& tooltip);
QRadioButton* makeOption(QGroupBox* frame, QButtonGroup* group, const QString& name, int id,
                         const QString& caption, int left, int top, int width);
QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, int left, int top,
                     int width, int height);

}  // namespace veq::params

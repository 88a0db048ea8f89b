#include "app/lib/look.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

namespace veq {

namespace {

// Fusion with the keyboard focus always in sight. Fusion draws a focus frame only once the keyboard
// has moved the focus in a window, so a control clicked first shows none; its frame is a faint
// tint, lost on the green and orange backgrounds; and it draws none on a scroll bar at all,
// although the sliders of the parameter window take the focus.
class FocusInSightStyle : public QProxyStyle {
  public:
    explicit FocusInSightStyle(QStyle* base) : QProxyStyle(base) {}

    void polish(QWidget* w) override {
        QProxyStyle::polish(w);
        if (w->isWindow()) w->installEventFilter(this);
    }
    void unpolish(QWidget* w) override {
        w->removeEventFilter(this);
        QProxyStyle::unpolish(w);
    }
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    bool eventFilter(QObject* o, QEvent* e) override {
        // What Fusion asks of a window before it draws a focus frame in it; Qt clears it each time
        // the window is shown.
        if (e->type() == QEvent::Show || e->type() == QEvent::WindowActivate) {
            auto* w = static_cast<QWidget*>(o);
            if (w->isWindow()) w->setAttribute(Qt::WA_KeyboardFocusChange);
        }
        return QProxyStyle::eventFilter(o, e);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        frame(option->rect, option->palette, 1, painter);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        // Fusion only tints the border of the button that has the focus; a frame inside it
        // shows on the green buttons as on a Windows one.
        if (element == CE_PushButton && (option->state & State_HasFocus))
            frame(option->rect.adjusted(3, 3, -3, -3), option->palette, 1, painter);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        // Two pixels wide inside the bar, over its arrows and its groove.
        if (control == CC_ScrollBar && (option->state & State_HasFocus))
            frame(option->rect, option->palette, 2, painter);
    }

  private:
    // A solid frame of the selection colour, `width` pixels inside `r`.
    static void frame(const QRect& r, const QPalette& palette, int width, QPainter* painter) {
        const QColor c = palette.color(QPalette::Active, QPalette::Highlight).darker(110);
        const QRect inner = r.adjusted(width, width, -width, -width);
        painter->fillRect(QRect(r.left(), r.top(), r.width(), width), c);
        painter->fillRect(QRect(r.left(), inner.bottom() + 1, r.width(), width), c);
        painter->fillRect(QRect(r.left(), inner.top(), width, inner.height()), c);
        painter->fillRect(QRect(inner.right() + 1, inner.top(), width, inner.height()), c);
    }
};

}  // namespace

void applyLook(QApplication& app) {
    // Fusion is built into Qt on every platform.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(new FocusInSightStyle(fusion));
    app.setPalette(app.style()->standardPalette());
}

}  // namespace veq

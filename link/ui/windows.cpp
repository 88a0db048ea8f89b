#include "link/ui/windows.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

#include "link/ui/twips.h"

namespace veq {

QWidget* frameOf(QWidget* w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) return sub;
    return w;
}

void showNormalFocused(QWidget* w) {
    QWidget* f = frameOf(w);
    w->show();
    f->showNormal();
    f->raise();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(f)) {
        if (auto* area = sub->mdiArea()) area->setActiveSubWindow(sub);
    }
    f->activateWindow();
    w->setFocus();
}

void showMinimisedState(QWidget* w) {
    frameOf(w)->showMinimized();
}

void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips) {
    w->resize(px(widthTwips), px(heightTwips));
    fitFrame(w);
}

void fitFrame(QWidget* w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frameOf(w))) {
        const QMargins m = sub->contentsMargins();
        const int title = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        sub->resize(w->width() + m.left() + m.right(),
                    w->height() + m.top() + m.bottom() + (m.top() == 0 ? title : 0));
    }
}

void setBackground(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(w->backgroundRole(), c);
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Button, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QColor background(const QWidget* w) {
    return w->palette().color(w->backgroundRole());
}

QFont comicFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QColor fromColourNumber(int n) {
    return QColor(n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF);
}

int colourNumber(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

}  // namespace veq

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

namespace {

// The size of a sub-window whose client area has the given size.
QSize frameSizeFor(const QMdiSubWindow* sub, const QSize& client) {
    const QMargins m = sub->contentsMargins();
    const int title = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    return QSize(client.width() + m.left() + m.right(),
                 client.height() + m.top() + m.bottom() + (m.top() == 0 ? title : 0));
}

}  // namespace

void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips) {
    const QSize client(px(widthTwips), px(heightTwips));
    // The frame first, the window inside it after. A window that grows inside its old frame gets
    // only the part that frame shows marked for repainting; the frame's own growth then repaints
    // the uncovered area but leaves out the controls that fill their own background, which Qt
    // counts on to repaint themselves when they change. A coloured control uncovered that way
    // kept whatever was under the frame before: a blank patch of the main window's grey. Grown
    // inside the grown frame, the window is marked for repainting as a whole.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frameOf(w)))
        sub->resize(frameSizeFor(sub, client));
    w->resize(client);
}

void fitFrame(QWidget* w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frameOf(w)))
        sub->resize(frameSizeFor(sub, w->size()));
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

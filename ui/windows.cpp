#include "ui/windows.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>

#include "ui/twips.h"

namespace veq {

QWidget* frameOf(QWidget* w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) return sub;
    return w;
}

void bringForward(QWidget* w) {
    QWidget* f = frameOf(w);
    // A minimised sub-window made active stays an icon at the bottom of the main window, under
    // the windows in front of it: the operator would not see the window come.
    if (f->isMinimized()) f->showNormal();
    f->show();
    w->show();
    f->raise();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(f)) {
        if (auto* area = sub->mdiArea()) area->setActiveSubWindow(sub);
    }
    f->activateWindow();
}

namespace {

// The first control of the window that Tab stops at.
QWidget* firstControl(QWidget* w) {
    for (QWidget* c = w->nextInFocusChain(); c && c != w; c = c->nextInFocusChain()) {
        if (w->isAncestorOf(c) && c->isVisibleTo(w) && c->isEnabled() &&
            (c->focusPolicy() & Qt::TabFocus))
            return c;
    }
    return nullptr;
}

}  // namespace

void showNormalFocused(QWidget* w) {
    w->show();
    frameOf(w)->showNormal();
    bringForward(w);
    // The focus goes to one of its controls, where the operator sees it: the one that had it
    // last, or the first one.
    QWidget* f = w->focusWidget();
    if (!f || f == w) f = firstControl(w);
    (f ? f : w)->setFocus(Qt::OtherFocusReason);
}

void showMinimisedState(QWidget* w) {
    QWidget* f = frameOf(w);
    auto* sub = qobject_cast<QMdiSubWindow*>(f);
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    QMdiSubWindow* front = area ? area->activeSubWindow() : nullptr;
    f->showMinimized();
    // Minimising a sub-window makes it the active one; the window in front stays in front.
    if (front && front != sub) {
        front->raise();
        area->setActiveSubWindow(front);
    }
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

namespace {

// The focus policy a control had before it was put out of reach.
const char* const kPolicyInSight = "veqPolicyInSight";

class ReachGuard : public QObject {
  public:
    explicit ReachGuard(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
        update();
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Show) update();
        return false;
    }

  private:
    void update() {
        const QRect client = window_->rect();
        const auto controls = window_->findChildren<QWidget*>();
        for (QWidget* c : controls) {
            const QVariant saved = c->property(kPolicyInSight);
            const auto policy =
                saved.isValid() ? static_cast<Qt::FocusPolicy>(saved.toInt()) : c->focusPolicy();
            if (policy == Qt::NoFocus) continue;
            const QRect r(c->mapTo(window_, QPoint(0, 0)), c->size());
            const bool inSight = client.contains(r.center());
            if (!inSight && !saved.isValid()) {
                c->setProperty(kPolicyInSight, static_cast<int>(policy));
                c->setFocusPolicy(Qt::NoFocus);
                if (c->hasFocus()) c->clearFocus();
            } else if (inSight && saved.isValid()) {
                c->setFocusPolicy(policy);
                c->setProperty(kPolicyInSight, QVariant());
            }
        }
    }

    QWidget* window_;
};

}  // namespace

void keepHiddenControlsOutOfReach(QWidget* window) {
    new ReachGuard(window);
}

void pressButtonsOnEnter(QWidget* window) {
    // A push button outside a dialog ignores Return and Enter unless it is an auto-default one.
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* b : buttons) b->setAutoDefault(true);
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

void fillClientArea(QWidget* w) {
    auto* sub = qobject_cast<QMdiSubWindow*>(frameOf(w));
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    if (!area || sub->isMaximized() || sub->isMinimized()) return;
    sub->setGeometry(area->viewport()->rect());
}

void fitColumns(QTableWidget* table) {
    QHeaderView* h = table->horizontalHeader();
    for (int c = 0; c + 1 < table->columnCount(); ++c)
        h->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    h->setSectionResizeMode(table->columnCount() - 1, QHeaderView::Stretch);
}

void capColumn(QTableWidget* table, int column, int chars) {
    table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Interactive);
    table->resizeColumnToContents(column);
    const int widest = table->fontMetrics().averageCharWidth() * chars;
    if (table->columnWidth(column) > widest) table->setColumnWidth(column, widest);
}

QTableWidgetItem* tableCell(const QString& text, const QString& tip) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(tip.isEmpty() ? text : tip);
    return item;
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

namespace {

// Where the first family is missing the next one is taken, never a font the matcher substitutes.
const QStringList& sansSerifFamilies() {
    static const QStringList families = {QStringLiteral("Microsoft Sans Serif"),
                                         QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                         QStringLiteral("Nimbus Sans"),
                                         QStringLiteral("DejaVu Sans")};
    return families;
}

}  // namespace

QFont windowFont(int pixelSize) {
    QFont font;
    font.setFamilies(sansSerifFamilies());
    font.setPixelSize(pixelSize);
    return font;
}

void useWindowFont(QWidget* window) {
    window->setFont(windowFont());
}

QFont comicFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Comic Sans MS")} + sansSerifFamilies());
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

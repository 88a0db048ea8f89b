#include "params/controls.h"

#include <utility>

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/twips.h"
#include "ui/windows.h"

namespace veq::params {

namespace {

// The arrow keys of a horizontal scroll bar as in Windows: Left towards the minimum, Right towards
// the maximum. A Qt scroll bar inverts its keys (so that Page Down goes down a vertical one), and
// its Left and Right with them; Up, Down, Page Up and Page Down are right as they are.
class ArrowKeys : public QObject {
  public:
    explicit ArrowKeys(QScrollBar* bar) : QObject(bar), bar_(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
        bar_->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }

  private:
    QScrollBar* bar_;
};

}  // namespace

QLocale plainLocale() {
    QLocale l;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l;
}

QString decimal(double v) {
    return plainLocale().toString(v, 'f', QLocale::FloatingPointShortest);
}

QString integer(int v) {
    return plainLocale().toString(v);
}

void makeGreenBold(QPushButton* b) {
    setBackground(b, kGreenBack);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
}

ClickFilter::ClickFilter(QWidget* target, std::function<void()> onClick)
    : QObject(target), onClick_(std::move(onClick)) {
    target->installEventFilter(this);
}

bool ClickFilter::eventFilter(QObject* o, QEvent* e) {
    auto* w = static_cast<QWidget*>(o);
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            pressed_ = static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonDblClick:
            pressed_ = false;
            break;
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            const bool click = std::exchange(pressed_, false) && m->button() == Qt::LeftButton &&
                               w->rect().contains(m->position().toPoint());
            if (click) onClick_();
            break;
        }
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Space) {
                onClick_();
                return true;
            }
            break;
        default:
            break;
    }
    return false;
}

QScrollBar* makeSlider(QWidget* parent, const settings::Numeric& setting) {
    auto* s = new QScrollBar(Qt::Horizontal, parent);
    s->setObjectName(QLatin1String(setting.control));
    s->setAccessibleName(QString::fromUtf8(setting.label));
    s->setRange(setting.minimum, setting.maximum);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setValue(setting.initial);
    // A scroll bar takes no focus of its own: the arrow keys would go on to the control that had
    // it (a time base option) while the operator looks at the slider just clicked.
    s->setFocusPolicy(Qt::StrongFocus);
    new ArrowKeys(s);
    return s;
}

QPlainTextEdit* makeCaptionBox(QWidget* parent, const char* name, const QString& accessible,
                               const QString& text, const QString& tooltip) {
    auto* t = new QPlainTextEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessible);
    t->setToolTip(tooltip);
    t->setPlainText(text);
    t->setReadOnly(true);
    // It shows what the slider under it holds; the keyboard goes to the slider.
    t->setFocusPolicy(Qt::NoFocus);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->document()->setDocumentMargin(1);
    // One line above the slider that covers the rest of the box.
    t->setFont(windowFont(10));
    return t;
}

QRadioButton* makeOption(QGroupBox* frame, QButtonGroup* group, const QString& name, int id,
                         const QString& caption, int left, int top, int width) {
    auto* o = new QRadioButton(caption, frame);
    o->setObjectName(name);
    placeTwips(o, left, top, width, 285);
    group->addButton(o, id);
    return o;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, int left, int top,
                     int width, int height) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QLatin1String(name));
    placeTwips(g, left, top, width, height);
    return g;
}

}  // namespace veq::params

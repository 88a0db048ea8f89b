// What the operator meets in every window: whole captions, a keyboard that reaches only what can be
// seen, labels a screen reader can read, and windows that come forward when they are asked for.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/lib/principal.h"
#include "app/lib/splash.h"
#include "brightness/lum.h"
#include "brightness/sw.h"
#include "link/ui/configuration.h"
#include "link/ui/detect.h"
#include "params/dump24c01.h"
#include "tests/support/harness.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace veq {
namespace {

QRect inWindow(QWidget* c, QWidget* window) {
    return QRect(c->mapTo(window, QPoint(0, 0)), c->size());
}

bool inSight(QWidget* c, QWidget* window) {
    return c->isVisible() && window->rect().contains(inWindow(c, window).center());
}

// Where a control draws its caption, in its own coordinates: the room the caption takes (its
// lines, or its text with the style's margins), and the ink of its glyphs. Empty when it shows
// none.
struct Caption {
    QRect box, ink;
};

// The glyphs of one line of text whose line box starts at `topLeft`.
QRect inkOf(const QFontMetrics& fm, const QString& text, QPoint topLeft) {
    return fm.tightBoundingRect(text).translated(topLeft + QPoint(0, fm.ascent()));
}

QRect boxOf(QWidget* c) {
    const QFontMetrics fm(c->font());
    QStyle* style = c->style();
    if (auto* l = qobject_cast<QLabel*>(c)) {
        if (l->text().trimmed().isEmpty() || !l->pixmap().isNull()) return {};
        const int m = l->margin();
        const QRect cr = l->contentsRect().adjusted(m, m, -m, -m);
        if (l->wordWrap())
            return fm.boundingRect(cr, static_cast<int>(l->alignment()) | Qt::TextWordWrap,
                                   l->text());
        return QStyle::alignedRect(l->layoutDirection(), l->alignment(),
                                   QSize(fm.horizontalAdvance(l->text()), fm.height()), cr);
    }
    if (auto* b = qobject_cast<QPushButton*>(c)) {
        if (b->text().isEmpty()) return {};
        // The text with the style's margins and frame around it, in the middle of the button.
        QStyleOptionButton opt;
        opt.initFrom(b);
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &opt, b);
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, b);
        const QSize need(fm.horizontalAdvance(b->text()) + margin + 2 * frame,
                         fm.height() + 2 * frame);
        return QStyle::alignedRect(b->layoutDirection(), Qt::AlignCenter, need, b->rect());
    }
    if (qobject_cast<QRadioButton*>(c) || qobject_cast<QCheckBox*>(c)) {
        // The indicator, the spacing and the text, as the style sizes them.
        return QStyle::alignedRect(c->layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter,
                                   c->sizeHint(), c->rect());
    }
    if (auto* g = qobject_cast<QGroupBox*>(c)) {
        if (g->title().isEmpty()) return {};
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.textAlignment = g->alignment();
        opt.lineWidth = 1;
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return style->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    }
    if (auto* e = qobject_cast<QLineEdit*>(c)) {
        if (!e->isReadOnly() || e->text().isEmpty()) return {};
        // A line edit scrolls its text as soon as the text and one pixel more do not fit between
        // its margins of two pixels; control characters show as spaces.
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth =
            e->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        const QRect r = style->subElementRect(QStyle::SE_LineEditContents, &opt, e)
                            .marginsRemoved(e->textMargins());
        QString shown = e->displayText();
        for (QChar& ch : shown)
            if (ch.unicode() < 0x20) ch = QLatin1Char(' ');
        const int top = r.y() + (r.height() - fm.height() + 1) / 2;
        return QRect(r.x(), top, fm.horizontalAdvance(shown) + 1 + 2 * 2, fm.height());
    }
    if (auto* t = qobject_cast<QPlainTextEdit*>(c); t && t->isReadOnly()) {
        // From the top of the text area down to the last line that holds text.
        const QString text = t->toPlainText();
        QTextCursor end(t->document());
        end.setPosition(static_cast<int>(text.size() - (text.size() - text.trimmed().size())));
        const QPoint at = t->viewport()->mapTo(t, QPoint(0, 0));
        return QRect(at.x(), at.y(), t->viewport()->width(), t->cursorRect(end).bottom() + 1);
    }
    if (auto* t = qobject_cast<QTextEdit*>(c); t && t->isReadOnly()) {
        QTextCursor end(t->document());
        end.movePosition(QTextCursor::End);
        const QPoint at = t->viewport()->mapTo(t, QPoint(0, 0));
        return QRect(at.x(), at.y(), t->viewport()->width(), t->cursorRect(end).bottom() + 1);
    }
    return {};
}

Caption captionOf(QWidget* c) {
    const QRect box = boxOf(c);
    if (box.isEmpty()) return {};
    const QFontMetrics fm(c->font());
    if (auto* l = qobject_cast<QLabel*>(c); l && !l->wordWrap())
        return {box, inkOf(fm, l->text(), box.topLeft())};
    if (auto* e = qobject_cast<QLineEdit*>(c))
        return {box, inkOf(fm, e->displayText(), box.topLeft() + QPoint(2, 0))};
    return {box, box};
}

// Every caption in sight that its control cuts: too wide or too high for it, covered by a control
// stacked over it, or running past the window's edge.
QStringList cutCaptions(QWidget* window) {
    QStringList cut;
    const auto controls = window->findChildren<QWidget*>();
    for (QWidget* c : controls) {
        if (!inSight(c, window)) continue;
        const Caption cap = captionOf(c);
        const QRect& caption = cap.box;
        if (caption.isEmpty()) continue;
        const QString what = QStringLiteral("%1 (%2 px de %3 px)")
                                 .arg(c->objectName())
                                 .arg(caption.width())
                                 .arg(QStringLiteral("%1x%2").arg(c->width()).arg(c->height()));
        // A label, a caption box or a line edit shows its text within its frame.
        QRect room = c->rect();
        if (qobject_cast<QLabel*>(c)) room = c->contentsRect();
        if (!room.contains(caption)) {
            cut << QStringLiteral("%1: %2x%3 dans %4x%5")
                       .arg(c->objectName())
                       .arg(caption.width())
                       .arg(caption.height())
                       .arg(room.width())
                       .arg(room.height());
            continue;
        }
        if (!window->rect().contains(caption.translated(inWindow(c, window).topLeft()))) {
            cut << what + QStringLiteral(" dépasse le bord de la fenêtre");
            continue;
        }
        // Siblings created or raised after it are drawn over it; they may cover the line's
        // leading, not its glyphs.
        const QObjectList& siblings = c->parentWidget()->children();
        for (qsizetype k = siblings.indexOf(c) + 1; k < siblings.size(); ++k) {
            auto* s = qobject_cast<QWidget*>(siblings[k]);
            if (!s || !s->isVisible()) continue;
            if (s->geometry().translated(-c->pos()).intersects(cap.ink))
                cut << what + QStringLiteral(" couvert par ") + s->objectName();
        }
    }
    return cut;
}

class EveryWindow : public ::testing::Test {
  protected:
    EveryWindow() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        principal.setEndApplication([] {});
        principal.resize(1400, 950);
        principal.show();
        principal.activateWindow();
        QApplication::setActiveWindow(&principal);
    }
    ~EveryWindow() override { QLocale::setDefault(QLocale::c()); }

    template <class T>
    T* find(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        if (!c) ADD_FAILURE() << "no control " << name;
        return c;
    }
    void set(QWidget* w, const char* slider, int value) {
        if (auto* s = find<QAbstractSlider>(w, slider)) s->setValue(value);
    }
    void validate() { principal.configuration().validateButton()->click(); }

    struct Shown {
        const char* name;
        std::function<QWidget*()> show;
    };

    // Each window in the states where its captions are longest.
    std::vector<Shown> everyWindow() {
        return {
            {"CONFIGURATION",
             [this] {
                 principal.MENU_CONFIGURER_Click();
                 return &principal.configuration();
             }},
            {"DETECT avant une détection",
             [this] {
                 principal.MENU_DETECT_Click();
                 return &principal.detection();
             }},
            {"DETECT après une détection",
             [this] {
                 principal.MENU_DETECT_Click();
                 principal.detection().Command1_Click();
                 return &principal.detection();
             }},
            {"dump_24c01 étroite, au chargement",
             [this] {
                 principal.MENU_PARA_Click();
                 return &principal.parameters();
             }},
            {"dump_24c01 large, valeurs hautes",
             [this] {
                 principal.MENU_PARA_Click();
                 Dump24c01* w = &principal.parameters();
                 for (const char* s : {"HScroll1(4)", "HScroll1(3)", "HScroll1(2)", "HScroll1(1)"})
                     set(w, s, 9998);
                 set(w, "HScroll2", 4);
                 set(w, "HScroll3", 3);
                 set(w, "HScroll4", 255);
                 set(w, "HScroll5", 3600);
                 w->Command2_Click();
                 return w;
             }},
            {"dump_24c01 étroite, valeurs basses",
             [this] {
                 principal.MENU_PARA_Click();
                 Dump24c01* w = &principal.parameters();
                 set(w, "HScroll4", 5);
                 set(w, "HScroll5", 3);
                 w->Extension_Click();
                 return w;
             }},
            {"LUM",
             [this] {
                 principal.MENU_AFF_Click();
                 set(&principal.brightness(), "DURE_LDR", 128);
                 set(&principal.brightness(), "COMP_LDR", 15);
                 return &principal.brightness();
             }},
            {"SW après une lecture",
             [this] {
                 h.panel->memory[76] = 0x54;
                 validate();
                 principal.MENU_MISEALH_Click();
                 principal.microswitches().LIT_SW_Click();
                 return &principal.microswitches();
             }},
        };
    }

    test::Harness h;
    Principal principal{h.context};
};

TEST_F(EveryWindow, EveryCaptionFitsItsControl) {
    for (const Shown& s : everyWindow()) {
        QWidget* w = s.show();
        QApplication::processEvents();
        const QStringList cut = cutCaptions(w);
        EXPECT_TRUE(cut.isEmpty()) << s.name << ":\n  " << cut.join("\n  ").toStdString();
    }
    SplashWindow splash([] {});
    splash.show();
    const QStringList cut = cutCaptions(&splash);
    EXPECT_TRUE(cut.isEmpty()) << "ZUK_ND_SPLASH:\n  " << cut.join("\n  ").toStdString();
}

TEST_F(EveryWindow, TabReachesOnlyWhatCanBeSeen) {
    struct Case {
        const char* name;
        std::function<QWidget*()> show;
        QStringList reached;  // among what Tab must reach
    };
    const Case cases[] = {
        {"CONFIGURATION",
         [this] {
             principal.MENU_CONFIGURER_Click();
             return &principal.configuration();
         },
         {"SEL_COM", "SEL_REP", "BOUTON_VALIDE"}},
        {"DETECT",
         [this] {
             principal.MENU_DETECT_Click();
             return &principal.detection();
         },
         {"Command1"}},
        {"dump_24c01 étroite",
         [this] {
             principal.MENU_PARA_Click();
             principal.parameters().Extension_Click();
             return &principal.parameters();
         },
         {"Option2(0)", "SUPRESS(1)", "but_ecrit_para", "Command2"}},
        {"dump_24c01 large",
         [this] {
             principal.MENU_PARA_Click();
             principal.parameters().Command2_Click();
             return &principal.parameters();
         },
         {"but_lit_para", "Text1(0)", "Text1(127)", "Text1(128)", "but_WR", "Extension"}},
        {"LUM",
         [this] {
             principal.MENU_AFF_Click();
             return &principal.brightness();
         },
         {"Option1(0)", "but_ECRIT_LUM", "Text1(127)", "but_WR"}},
        {"SW",
         [this] {
             principal.MENU_MISEALH_Click();
             return &principal.microswitches();
         },
         {"SW1(7)", "Text3(7)", "LIT_SW", "Text1(127)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* window = c.show();
        QApplication::processEvents();
        QWidget* first = window;
        do {
            first = first->nextInFocusChain();
        } while (first != window && !(window->isAncestorOf(first) && first->isVisible() &&
                                      first->isEnabled() && (first->focusPolicy() & Qt::TabFocus)));
        ASSERT_NE(first, window);
        first->setFocus(Qt::TabFocusReason);
        QStringList reached, unseen;
        for (int k = 0; k < 600; ++k) {
            QWidget* f = QApplication::focusWidget();
            ASSERT_NE(f, nullptr);
            // Tab may go on into the other sub-windows; each control counts in its own window.
            for (QWidget* w = f->parentWidget(); w; w = w->parentWidget()) {
                if (qobject_cast<QMdiSubWindow*>(w->parentWidget()) || w->isWindow()) {
                    if (!inSight(f, w)) unseen << f->objectName();
                    break;
                }
            }
            if (window->isAncestorOf(f)) reached << f->objectName();
            QTest::keyClick(f, Qt::Key_Tab);
        }
        unseen.removeDuplicates();
        EXPECT_TRUE(unseen.isEmpty()) << unseen.join(' ').toStdString();
        for (const QString& name : c.reached)
            EXPECT_TRUE(reached.contains(name)) << name.toStdString();
    }
}

TEST_F(EveryWindow, EveryLabelPublishesTheTextItShows) {
    for (const Shown& s : everyWindow()) {
        QWidget* w = s.show();
        for (QLabel* l : w->findChildren<QLabel*>()) {
            const QString text = l->text().trimmed();
            if (text.isEmpty()) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(l);
            ASSERT_NE(a, nullptr);
            const QString heard =
                a->text(QAccessible::Name) + QLatin1Char('\n') + a->text(QAccessible::Description);
            EXPECT_TRUE(heard.contains(text))
                << s.name << ' ' << l->objectName().toStdString() << ": \"" << text.toStdString()
                << "\" not in \"" << heard.toStdString() << '"';
        }
    }
}

TEST_F(EveryWindow, AWindowShownAgainComesToTheFront) {
    struct Step {
        const char* what;
        std::function<void()> action;
        std::function<QWidget*()> front;
    };
    const Step steps[] = {
        {"chargement", [this] { principal.MDIForm_Load(); },
         [this] { return &principal.configuration(); }},
        {"Détection port COM", [this] { principal.MENU_DETECT_Click(); },
         [this] { return &principal.detection(); }},
        {"validation", [this] { validate(); }, [this] { return &principal.parameters(); }},
        {"Détection port COM, déjà ouverte", [this] { principal.MENU_DETECT_Click(); },
         [this] { return &principal.detection(); }},
        {"Configuration, réduite", [this] { principal.MENU_CONFIGURER_Click(); },
         [this] { return &principal.configuration(); }},
        {"Paramètres, réduite sous la configuration",
         [this] {
             frameOf(&principal.parameters())->showMinimized();
             principal.MENU_CONFIGURER_Click();
             principal.MENU_PARA_Click();
         },
         [this] { return &principal.parameters(); }},
        {"validation, fenêtre déjà ouverte", [this] { validate(); },
         [this] { return &principal.parameters(); }},
        {"Luminosité", [this] { principal.MENU_AFF_Click(); },
         [this] { return &principal.brightness(); }},
        {"Lire les microswitches", [this] { principal.MENU_MISEALH_Click(); },
         [this] { return &principal.microswitches(); }},
        {"Paramètres", [this] { principal.MENU_PARA_Click(); },
         [this] { return &principal.parameters(); }},
        {"Luminosité, déjà ouverte", [this] { principal.MENU_LUM_Click(); },
         [this] { return &principal.brightness(); }},
        {"Configuration, couverte", [this] { principal.MENU_CONFIGURER_Click(); },
         [this] { return &principal.configuration(); }},
        {"Lire les microswitches, déjà ouverte", [this] { principal.MENU_MISEALH_Click(); },
         [this] { return &principal.microswitches(); }},
    };
    for (const Step& s : steps) {
        s.action();
        QWidget* front = frameOf(s.front());
        const auto stack = principal.mdiArea()->subWindowList(QMdiArea::StackingOrder);
        ASSERT_FALSE(stack.isEmpty()) << s.what;
        EXPECT_EQ(stack.last(), front)
            << s.what << ": " << stack.last()->objectName().toStdString();
        EXPECT_EQ(principal.mdiArea()->activeSubWindow(), front) << s.what;
        EXPECT_FALSE(front->isMinimized()) << s.what;
    }
}

// Also when the mouse put it there: a control clicked first looks different from itself unfocused.
TEST_F(EveryWindow, EveryControlTheKeyboardReachesShowsWhenItHasTheFocus) {
    for (const Shown& s : everyWindow()) {
        QWidget* w = s.show();
        QApplication::processEvents();
        QStringList unseen;
        int checked = 0;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!inSight(c, w) || !c->isEnabled() || !(c->focusPolicy() & Qt::TabFocus)) continue;
            w->setFocus(Qt::OtherFocusReason);
            const QImage before = c->grab().toImage();
            c->setFocus(Qt::MouseFocusReason);
            ASSERT_TRUE(c->hasFocus()) << s.name << ' ' << c->objectName().toStdString();
            if (c->grab().toImage() == before) unseen << c->objectName();
            ++checked;
        }
        EXPECT_GT(checked, 0) << s.name;
        EXPECT_TRUE(unseen.isEmpty()) << s.name << ": " << unseen.join(' ').toStdString();
    }
}

TEST_F(EveryWindow, ReturnAndEnterPressTheButtonThatHasTheFocus) {
    for (const Shown& s : everyWindow()) {
        QWidget* w = s.show();
        QApplication::processEvents();
        int pressed = 0;
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                // A press may change the window (the extension opens or closes).
                if (!inSight(b, w) || !b->isEnabled()) break;
                b->setFocus(Qt::TabFocusReason);
                ASSERT_EQ(QApplication::focusWidget(), b) << s.name;
                QSignalSpy clicked(b, &QPushButton::clicked);
                QTest::keyClick(b, key);
                EXPECT_EQ(clicked.count(), 1)
                    << s.name << ' ' << b->objectName().toStdString() << ' ' << key;
                ++pressed;
            }
        }
        EXPECT_GT(pressed, 0) << s.name;
    }
}

TEST_F(EveryWindow, EveryExchangeShowsTheBusyCursorAndEveryPathRestoresIt) {
    std::vector<bool> busy;  // at each step of the clock the exchange waits on
    h.clock.onAdvance([&busy] {
        const QCursor* c = QApplication::overrideCursor();
        busy.push_back(c && c->shape() == Qt::WaitCursor);
    });
    validate();
    Dump24c01& rate = principal.parameters();
    LumWindow& lum = principal.brightness();
    SwWindow& sw = principal.microswitches();
    auto mute = [this] { h.port().faults.mute = true; };
    const std::pair<const char*, std::function<void()>> exchanges[] = {
        {"Lire les paramètres", [&] { rate.but_lit_para_Click(); }},
        {"Programme les paramètres",
         [&] {
             // The simulated memory reads blank, its ranges all 1: spread them for the check.
             for (const auto& [r, v] : {std::pair{"HScroll1(1)", 1000},
                                        {"HScroll1(2)", 2000},
                                        {"HScroll1(3)", 3000},
                                        {"HScroll1(4)", 4000}})
                 set(&rate, r, v);
             rate.but_ecrit_para_Click();
         }},
        {"Lire  (paramètres)", [&] { rate.but_RD_Click(); }},
        {"Envoi (paramètres)", [&] { rate.but_WR_Click(); }},
        {"Lit", [&] { lum.but_LIT_LUM_Click(); }},
        {"Envoi (luminosité)", [&] { lum.but_ECRIT_LUM_Click(); }},
        {"Lire  (luminosité)", [&] { lum.but_RD_Click(); }},
        {"Envoi de la grille (luminosité)", [&] { lum.but_WR_Click(); }},
        {"Lire la position des microswitches", [&] { sw.LIT_SW_Click(); }},
        {"Lire  (microswitches)", [&] { sw.but_RD_Click(); }},
        {"Lire les paramètres, sans réponse", [&] { mute(), rate.but_lit_para_Click(); }},
        {"Lit, sans réponse", [&] { lum.but_LIT_LUM_Click(); }},
        {"Envoi (luminosité), sans réponse", [&] { lum.but_ECRIT_LUM_Click(); }},
        {"Lire la position des microswitches, sans réponse", [&] { sw.LIT_SW_Click(); }},
        {"Détection", [&] { principal.detection().Command1_Click(); }},
    };
    for (const auto& [what, run] : exchanges) {
        busy.clear();
        run();
        EXPECT_FALSE(busy.empty()) << what;
        EXPECT_EQ(std::count(busy.begin(), busy.end(), false), 0) << what;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << what;
    }
}

// A name typed without extension in the save dialog is used as typed: the dialog is Qt's own, on
// every platform, with no default suffix (the native Windows one adds the first filter's).
TEST(SaveDialog, KeepsANameTypedWithoutExtension) {
    QTemporaryDir dir;
    bool qtsOwn = false;
    QString suffix = QStringLiteral("?");
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        qtsOwn = d->testOption(QFileDialog::DontUseNativeDialog);
        suffix = d->defaultSuffix();
        d->selectFile(dir.filePath(QStringLiteral("essai")));
        QMetaObject::invokeMethod(d, "accept");
    });
    QtFileDialogs dialogs;
    const auto name = dialogs.saveFileName(QStringLiteral("Enregistrer"),
                                           QStringLiteral("Fichiers configuration(*.zuk)|*.zuk|"),
                                           QStringLiteral("config.zuk"));
    EXPECT_TRUE(qtsOwn);
    EXPECT_TRUE(suffix.isEmpty());
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(*name, dir.filePath(QStringLiteral("essai")));
}

}  // namespace
}  // namespace veq

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>

#include "app/lib/principal.h"
#include "brightness/lum.h"
#include "brightness/sw.h"
#include "link/ui/configuration.h"
#include "link/ui/detect.h"
#include "params/dump24c01.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq {
namespace {

// What the operator sees of a child window is what the main window's backing store holds: only
// what was painted after each change. grab() paints a window afresh, so it shows every control
// right even where the screen kept stale pixels; these tests compare the two over the controls
// that fill their own background (the coloured ones), which Qt leaves out of their parent's
// painting and expects to have painted themselves. (Whole windows are not compared: the very
// first paint of a slider with tick marks draws them in another colour than every later paint.)
class Painting : public ::testing::Test {
  protected:
    Painting() {
        // A blinking text cursor could change between the two pictures.
        QApplication::setCursorFlashTime(0);
        principal.setEndApplication([] {});
        // Large enough to hold the widened parameter window.
        principal.resize(1400, 900);
        principal.show();
        principal.configuration().validateButton()->click();
        settle();
    }
    ~Painting() override { QApplication::setCursorFlashTime(flashTime_); }

    static void settle() {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    // The window in front, in the top left corner of the main window, fully in sight.
    void bringForward(QWidget* w) {
        showNormalFocused(w);
        frameOf(w)->move(0, 0);
        settle();
    }

    // Each coloured control of `w` shows on screen as a fresh paint shows it.
    void expectColouredControlsShown(QWidget* w) {
        ASSERT_TRUE(w->isVisible());
        settle();
        const QPoint at = w->mapTo(&principal, QPoint());
        const QImage shown =
            principal.screen()
                ->grabWindow(principal.winId(), at.x(), at.y(), w->width(), w->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        const QImage painted = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), painted.size()) << w->objectName().toStdString();
        int checked = 0;
        QStringList stale;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisible() || !c->autoFillBackground()) continue;
            const QRect r = QRect(c->mapTo(w, QPoint()), c->size()) & w->rect();
            if (r.isEmpty()) continue;
            ++checked;
            bool same = true;
            for (int y = r.top(); y <= r.bottom() && same; ++y)
                for (int x = r.left(); x <= r.right() && same; ++x)
                    same = shown.pixel(x, y) == painted.pixel(x, y);
            if (!same) stale << c->objectName();
        }
        EXPECT_GT(checked, 0) << w->objectName().toStdString();
        EXPECT_TRUE(stale.isEmpty())
            << w->objectName().toStdString()
            << ": shown stale: " << stale.join(QStringLiteral(", ")).toStdString();
    }

    QPushButton* button(QWidget* w, const char* name) {
        return w->findChild<QPushButton*>(QLatin1String(name));
    }

    int flashTime_ = QApplication::cursorFlashTime();
    test::Harness h;
    Principal principal{h.context};
};

TEST_F(Painting, WideningTheParameterWindowShowsTheGridButtonsAndTheCellsReadBefore) {
    Dump24c01& w = principal.parameters();
    bringForward(&w);
    expectColouredControlsShown(&w);
    // Read while the grid is outside the window: the cells turn green unseen.
    w.but_lit_para_Click();
    QWidget* cell = w.findChild<QWidget*>(QStringLiteral("Text1(96)"));
    ASSERT_EQ(background(cell), QColor(0, 255, 0));
    ASSERT_GE(cell->x(), w.width());
    button(&w, "Command2")->click();
    // The sub-window holds the client area at the size asked for.
    EXPECT_EQ(w.size(), QSize(13860 / 15, 4950 / 15));
    ASSERT_GT(w.width(), button(&w, "but_WR")->geometry().right());
    expectColouredControlsShown(&w);

    // Narrowed and widened again, then read with the grid in sight.
    button(&w, "Extension")->click();
    expectColouredControlsShown(&w);
    button(&w, "Command2")->click();
    expectColouredControlsShown(&w);
    w.but_lit_para_Click();
    expectColouredControlsShown(&w);
}

TEST_F(Painting, EveryOtherChildWindowShowsItsColouredControls) {
    QWidget* config = &principal.configuration();
    bringForward(config);
    expectColouredControlsShown(config);

    DetectWindow& detect = principal.detection();
    bringForward(&detect);
    detect.Command1_Click();
    expectColouredControlsShown(&detect);

    LumWindow& lum = principal.brightness();
    bringForward(&lum);
    lum.but_LIT_LUM_Click();
    expectColouredControlsShown(&lum);

    SwWindow& sw = principal.microswitches();
    bringForward(&sw);
    sw.LIT_SW_Click();
    expectColouredControlsShown(&sw);
}

}  // namespace
}  // namespace veq

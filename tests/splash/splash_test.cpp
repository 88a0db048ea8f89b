#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest/QTest>

#include "app/lib/principal.h"
#include "app/lib/splash.h"
#include "link/ui/configuration.h"
#include "tests/support/harness.h"
#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {
namespace {

class SplashTest : public testing::Test {
  protected:
    SplashTest() : splash([this] { ++mainShown; }) {
        splash.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&splash));
    }

    template <class T>
    T* element(const char* name) {
        return splash.findChild<T*>(QLatin1String(name));
    }
    void expectClosedOnce() {
        EXPECT_TRUE(splash.isUnloaded());
        EXPECT_TRUE(splash.isHidden());
        EXPECT_FALSE(splash.timer()->isActive());
        EXPECT_EQ(mainShown, 1);
    }

    int mainShown = 0;
    SplashWindow splash;
};

TEST_F(SplashTest, LayoutAsDesigned) {
    EXPECT_EQ(splash.objectName(), "ZUK_ND_SPLASH");
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash.windowTitle().isEmpty());
    EXPECT_EQ(splash.size(), QSize(px(9150), px(4245)));
    EXPECT_EQ(background(&splash), QColor(255, 255, 255));
    const QRect screen = splash.screen()->geometry();
    EXPECT_LE((splash.frameGeometry().center() - screen.center()).manhattanLength(), 2);

    auto* picture = element<QLabel>("Picture1");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), twipsRect(120, 120, 8895, 1725));
    EXPECT_EQ(picture->pixmap().size(), QSize(605, 111));

    auto* text = element<QTextEdit>("Text1");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), twipsRect(120, 1800, 8895, 1695));
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_GE(text->toPlainText().split('\n').size(), 5);
    EXPECT_EQ(text->palette().color(QPalette::Text), QColor(0, 0, 192));
    for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
        EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    auto* label = element<QLabel>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "VEQ_Cadence");
    EXPECT_EQ(label->geometry(), twipsRect(120, 3480, 8895, 375));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(background(label), QColor(255, 255, 255));
    EXPECT_EQ(label->font().family(), "Comic Sans MS");
    EXPECT_EQ(label->font().pointSize(), 12);
    EXPECT_TRUE(label->font().bold());
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);

    auto* version = element<QLabel>("lblVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->geometry(), twipsRect(120, 3840, 8895, 255));
    EXPECT_TRUE(version->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(background(version), QColor(255, 255, 255));

    auto* shape = element<QWidget>("Shape1");
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->geometry(), twipsRect(75, 75, 9015, 4080));
    // The outline is drawn in red at the edge of its rectangle.
    const QImage image = splash.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(shape->x(), shape->y() + 40)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(shape->geometry().right(), shape->y() + 40)), QColor(255, 0, 0));

    EXPECT_EQ(splash.timer()->interval(), 5000);
    EXPECT_TRUE(splash.timer()->isActive());
    EXPECT_EQ(mainShown, 0);
}

TEST_F(SplashTest, VersionLineFromTheProjectVersionWithoutLeadingZeros) {
    EXPECT_EQ(versionLine(1, 0, 22), "Version 1.0.22");
    EXPECT_EQ(versionLine(2, 10, 7), "Version 2.10.7");
    const QString shown = element<QLabel>("lblVersion")->text();
    EXPECT_TRUE(QRegularExpression("^Version (0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$")
                    .match(shown)
                    .hasMatch())
        << shown.toStdString();
    EXPECT_EQ(shown, versionLine(VEQ_VERSION_MAJOR, VEQ_VERSION_MINOR, VEQ_VERSION_PATCH));
}

TEST_F(SplashTest, TimerClosesItOnceAndNothingAfterwardsShowsTheMainWindowAgain) {
    // The same timer, made short so the test does not sit through five seconds.
    splash.timer()->setInterval(20);
    EXPECT_TRUE(QTest::qWaitFor([this] { return mainShown > 0; }, 2000));
    expectClosedOnce();

    QTest::keyClick(&splash, Qt::Key_Space);
    QTest::mouseClick(element<QLabel>("Label1"), Qt::LeftButton);
    splash.unloadAndShowMain();
    QTest::qWait(60);
    expectClosedOnce();
}

TEST_F(SplashTest, KeyPressClosesItWhicheverElementHasTheFocus) {
    auto* text = element<QTextEdit>("Text1");
    text->setFocus();
    QTest::keyClick(text, Qt::Key_A);
    expectClosedOnce();
    QTest::keyClick(&splash, Qt::Key_Escape);
    EXPECT_EQ(mainShown, 1);
}

TEST_F(SplashTest, KeyPressOnTheWindowItselfClosesIt) {
    QTest::keyClick(&splash, Qt::Key_Return);
    expectClosedOnce();
}

TEST(SplashClicks, ElementsCloseItTheBackgroundDoesNot) {
    for (const char* name : {"Label1", "lblVersion", "Picture1", "Text1"}) {
        SCOPED_TRACE(name);
        int shown = 0;
        SplashWindow splash([&shown] { ++shown; });
        splash.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));

        // The bare background, and the outline drawn on it, between the elements.
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(px(75), px(2000)));
        EXPECT_EQ(shown, 0);
        EXPECT_FALSE(splash.isHidden());
        EXPECT_TRUE(splash.timer()->isActive());

        QWidget* target = splash.findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(target, nullptr);
        if (auto* text = qobject_cast<QTextEdit*>(target)) target = text->viewport();
        QTest::mouseClick(target, Qt::LeftButton);
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(splash.isHidden());
        EXPECT_FALSE(splash.timer()->isActive());
    }
}

TEST(SplashStart, ClosingTheSplashLoadsTheMainWindowWithTheLinkSettings) {
    test::Harness h;
    Principal main(h.context);
    main.setEndApplication([] {});
    SplashWindow splash([&main] { main.MDIForm_Load(); });
    splash.show();
    EXPECT_FALSE(main.isVisible());

    QTest::keyClick(&splash, Qt::Key_Space);

    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(main.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(main.configuration().isVisible());
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1);
    // A window-manager close of the hidden splash brings nothing twice.
    splash.close();
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1);
}

}  // namespace
}  // namespace veq

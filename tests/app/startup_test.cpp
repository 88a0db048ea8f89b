#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTranslator>

#include "app/lib/principal.h"
#include "app/lib/splash.h"
#include "app/lib/startup.h"
#include "link/ui/configuration.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq {
namespace {

QImage picture(const QIcon& icon) {
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

class Startup : public ::testing::Test {
  protected:
    Startup() {
        prepareApplication(*qApp);
        principal.setEndApplication([] {});
    }
    ~Startup() override {
        for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
            QApplication::removeTranslator(t);
            delete t;
        }
        QApplication::setWindowIcon(QIcon());
    }

    test::Harness h;
    Principal principal{h.context};
};

TEST_F(Startup, QtsOwnTextsAreFrench) {
    principal.MDIForm_Load();
    auto* frame = qobject_cast<QMdiSubWindow*>(frameOf(&principal.configuration()));
    ASSERT_NE(frame, nullptr);
    QStringList entries;
    for (QAction* a : frame->systemMenu()->actions()) entries << a->text();
    EXPECT_TRUE(entries.contains(QStringLiteral("&Restaurer"))) << entries.join(' ').toStdString();
}

TEST_F(Startup, EveryWindowCarriesTheApplicationIcon) {
    const QImage expected = picture(applicationIcon());
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(expected.size(), QSize(32, 32));
    principal.MDIForm_Load();
    SplashWindow splash([] {});
    for (QWidget* w : {static_cast<QWidget*>(&principal), frameOf(&principal.configuration()),
                       static_cast<QWidget*>(&splash)})
        EXPECT_EQ(picture(w->windowIcon()), expected) << w->objectName().toStdString();
}

}  // namespace
}  // namespace veq

#include <gtest/gtest.h>

#include <functional>

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "app/lib/principal.h"
#include "link/ui/configuration.h"
#include "link/ui/detect.h"
#include "tests/detect/bench.h"
#include "tests/support/harness.h"
#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);

// Records every paint of a label: which label, what it showed and which port the scan was at.
class PaintLog : public QObject {
  public:
    explicit PaintLog(std::function<int()> currentPort) : currentPort_(std::move(currentPort)) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            auto* l = static_cast<QLabel*>(o);
            painted.push_back({l->objectName(), l->text(), background(l), currentPort_()});
        }
        return false;
    }
    struct Paint {
        QString name, text;
        QColor colour;
        int port;
    };
    std::vector<Paint> painted;

  private:
    std::function<int()> currentPort_;
};

class DetectWindowTest : public testing::Test {
  protected:
    DetectWindowTest() {
        h.context.configuration = [this]() -> ConfigurationWindow& { return *cfg; };
        h.context.session = [this]() -> LinkSession& { return cfg->session(); };
        cfg = std::make_unique<ConfigurationWindow>(h.context);
        window = std::make_unique<DetectWindow>(h.context);
    }

    QLabel* label(int i) { return window->findChild<QLabel*>(QStringLiteral("Label1(%1)").arg(i)); }

    // Row k after a scan: 'A' absent, 'F' free, 'P' panel.
    void expectRow(int k, char outcome) {
        SCOPED_TRACE(testing::Message() << "COM" << k);
        const bool free = outcome != 'A', panel = outcome == 'P';
        EXPECT_EQ(label(k)->text(), QStringLiteral("COM %1:").arg(k));
        EXPECT_EQ(label(14 + k)->text(), free ? "Libre." : "Absent.");
        EXPECT_EQ(label(28 + k)->text(), panel ? " VEQ_CAD." : ".");
        EXPECT_EQ(background(label(k)), panel ? kGreen : kWhite);
        EXPECT_EQ(background(label(14 + k)), free ? kGreen : kWhite);
        EXPECT_EQ(background(label(28 + k)), panel ? kGreen : kWhite);
    }

    test::Harness h;  // a panel on COM3
    std::unique_ptr<ConfigurationWindow> cfg;
    std::unique_ptr<DetectWindow> window;
};

TEST_F(DetectWindowTest, LayoutAsDesigned) {
    EXPECT_EQ(window->objectName(), "DETECT");
    EXPECT_EQ(window->windowTitle(), " Détection.");
    EXPECT_EQ(window->size(), QSize(px(3225), px(3825)));

    auto* button = window->findChild<QPushButton*>("Command1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Détection");
    EXPECT_EQ(button->geometry(), twipsRect(-120, 3480, 3375, 375));
    EXPECT_EQ(background(button), kGreen);
    EXPECT_EQ(button->toolTip(),
              "Recherche des ports COMs disponibles et d'un chronomètre connecté.");
    EXPECT_EQ(button->font().family(), "Comic Sans MS");
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 9.75);
    EXPECT_TRUE(button->font().bold());

    EXPECT_EQ(window->findChildren<QLabel*>().size(), 42);
    for (int k = 1; k <= 14; ++k) {
        SCOPED_TRACE(testing::Message() << "row " << k);
        const int top = 120 + 240 * (k - 1);
        ASSERT_NE(label(k), nullptr);
        ASSERT_NE(label(14 + k), nullptr);
        ASSERT_NE(label(28 + k), nullptr);
        EXPECT_EQ(label(k)->geometry(), twipsRect(120, top, 735, 255));
        EXPECT_EQ(label(14 + k)->geometry(), twipsRect(960, top, 735, 255));
        EXPECT_EQ(label(28 + k)->geometry(), twipsRect(1800, top, 1400, 255));
        EXPECT_EQ(label(k)->text(), QStringLiteral("COM%1:").arg(k));
        EXPECT_EQ(label(14 + k)->text(), k == 11 ? "" : " ");
        EXPECT_EQ(label(28 + k)->text(), (k == 11 || k == 14) ? "" : " ");
        for (int i : {k, 14 + k, 28 + k}) EXPECT_EQ(background(label(i)), kWhite);
        EXPECT_FALSE(label(14 + k)->accessibleDescription().isEmpty());
        EXPECT_FALSE(label(28 + k)->accessibleDescription().isEmpty());
    }
}

TEST_F(DetectWindowTest, ScanShowsEachPortAndLeavesTheLinkSettingsAlone) {
    h.bus.attach(1, test::mute());
    h.bus.attach(4, test::wrongFive());
    h.bus.attach(5, test::sixAtOnce());
    h.bus.attach(13, std::make_shared<sim::Panel>());
    h.bus.setBusy(13, true);
    cfg->list(0)->setCurrentIndex(10);  // COM11:
    cfg->list(7)->setCurrentIndex(0);   // NON
    cfg->setPortFlag("True");

    window->findChild<QPushButton*>("Command1")->click();

    for (int k = 1; k <= 14; ++k) expectRow(k, "FAPFFAAAAAAAAA"[k - 1]);

    EXPECT_EQ(cfg->portFlag(), "False");
    EXPECT_EQ(cfg->list(0)->currentText(), "COM11:");
    EXPECT_EQ(cfg->list(7)->currentText(), "NON");
    EXPECT_TRUE(h.messages.shown.empty());
    // The panel saw the detection frame and nothing else.
    ASSERT_EQ(h.panel->frames.size(), 1u);
    EXPECT_EQ(h.panel->frames[0], (sim::ParsedFrame{"31", "RRR"}));
}

TEST_F(DetectWindowTest, RowsArePaintedWhileTheScanRuns) {
    h.bus.attach(1, test::mute());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    PaintLog log([this] { return h.port().commPort(); });
    for (QLabel* l : window->findChildren<QLabel*>()) l->installEventFilter(&log);

    window->Command1_Click();  // no event is processed until it returns

    // Every label of row k was drawn with its outcome while port k was still the one under test.
    for (int k = 1; k <= 14; ++k) {
        for (int i : {k, 14 + k, 28 + k}) {
            SCOPED_TRACE(testing::Message() << "Label1(" << i << ")");
            const QLabel* l = label(i);
            bool seen = false;
            for (const auto& p : log.painted) {
                seen = seen || (p.name == l->objectName() && p.text == l->text() &&
                                p.colour == background(l) && p.port == k);
            }
            EXPECT_TRUE(seen);
        }
    }
}

TEST_F(DetectWindowTest, SecondScanResetsEveryRow) {
    window->Command1_Click();
    expectRow(3, 'P');

    h.bus.detach(3);
    h.bus.attach(8, std::make_shared<sim::Panel>());
    window->Command1_Click();

    expectRow(3, 'A');
    expectRow(8, 'P');
}

TEST(DetectFromMainWindow, SameWindowWithTheLastResultsEachTime) {
    test::Harness h;
    Principal main(h.context);
    main.setEndApplication([] {});
    main.show();
    main.MENU_DETECT_Click();
    DetectWindow* first = &main.detection();
    first->Command1_Click();
    showMinimisedState(first);

    main.MENU_DETECT_Click();

    EXPECT_EQ(&main.detection(), first);
    EXPECT_FALSE(frameOf(first)->isMinimized());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->findChild<QLabel*>("Label1(31)")->text(), " VEQ_CAD.");
    EXPECT_EQ(main.configuration().portFlag(), "False");
}

}  // namespace
}  // namespace veq

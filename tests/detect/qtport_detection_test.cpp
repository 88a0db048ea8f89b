#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "link/detection.h"
#include "link/portmap.h"
#include "link/qtserialport.h"
#include "panelsim/model/panel.h"
#include "tests/detect/bench.h"
#include "tests/support/simprocess.h"

namespace veq {
namespace {

// A panel behind a pseudo-terminal, answering from its own thread as a real one would.
class PtyPanel {
  public:
    PtyPanel() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = QString::fromLocal8Bit(ptsname(master_));
        thread_ = std::thread([this] { run(); });
    }
    ~PtyPanel() {
        stop_ = true;
        thread_.join();
        if (master_ >= 0) ::close(master_);
    }
    QString path() const { return path_; }
    int framesSeen() const { return frames_; }

  private:
    void run() {
        sim::Panel panel;
        while (!stop_ && master_ >= 0) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) {
                // Nobody holds the other end yet: the master reports a hang-up until then.
                if (p.revents & POLLHUP) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            const QByteArray answer = panel.receive(QByteArray(buf, static_cast<int>(n)));
            frames_ = static_cast<int>(panel.frames.size());
            if (!answer.isEmpty() && ::write(master_, answer.constData(), answer.size()) < 0) break;
        }
    }

    int master_ = -1;
    QString path_;
    std::atomic<bool> stop_{false};
    std::atomic<int> frames_{0};
    std::thread thread_;
};

// Maps COM1 to COM14 for the length of a test: one to the panel, every other one to a path that
// does not exist, so no device of the test machine is ever opened.
class PortMap {
  public:
    PortMap(int panelPort, const QString& panelPath) {
        for (int k = 1; k <= 14; ++k) {
            const QByteArray name = "VEQ_COM" + QByteArray::number(k);
            saved_[k - 1] = qgetenv(name.constData());
            had_[k - 1] = qEnvironmentVariableIsSet(name.constData());
            const QString target =
                k == panelPort ? panelPath : QStringLiteral("/nonexistent/veq-test-com%1").arg(k);
            qputenv(name.constData(), target.toLocal8Bit());
        }
    }
    ~PortMap() {
        for (int k = 1; k <= 14; ++k) {
            const QByteArray name = "VEQ_COM" + QByteArray::number(k);
            if (had_[k - 1])
                qputenv(name.constData(), saved_[k - 1]);
            else
                qunsetenv(name.constData());
        }
    }

  private:
    QByteArray saved_[14];
    bool had_[14] = {};
};

TEST(DetectionOnSerialPorts, FindsThePanelOnTheComNumberItIsMappedTo) {
    PtyPanel panel;
    ASSERT_FALSE(panel.path().isEmpty());
    PortMap map(6, panel.path());

    QtSerialPort port;
    test::BenchLink link(port);
    // A manual clock keeps the scan's waits independent of the machine's load; each poll of the
    // real port still lets a millisecond pass.
    ManualClock clock(1000.0);
    PortDetection detection(link, clock);
    detection.scan();

    test::expectRows(detection, "AAAAAPAAAAAAAA");
    EXPECT_EQ(panel.framesSeen(), 1);
    EXPECT_EQ(link.flag(), PortFlag::False);
    EXPECT_FALSE(port.isOpen());  // COM14 does not exist
}

// No VEQ_COMn at all: the numbers come from the ports file alone, as a technician writes it, and
// the panel is the simulator program behind the link it makes.
TEST(DetectionOnSerialPorts, FindsThePanelOnTheComNumberThePortsFileGivesIt) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("panel"));
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--link"), link}));
    ASSERT_TRUE(QFileInfo::exists(link));
    std::vector<std::pair<QByteArray, QByteArray>> saved;
    for (int k = 1; k <= 14; ++k) {
        const QByteArray name = "VEQ_COM" + QByteArray::number(k);
        if (qEnvironmentVariableIsSet(name.constData())) saved.emplace_back(name, qgetenv(name));
        qunsetenv(name.constData());
    }
    QFile file(portsFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // The built-in UARTs are real devices here: the file sends their numbers elsewhere.
    file.write(
        "# banc de test\nCOM1 /nonexistent/a\nCOM2 /nonexistent/b\n"
        "COM3 /nonexistent/c\nCOM4 /nonexistent/d\ncom9: " +
        QFile::encodeName(link) + "\n");
    file.close();

    QtSerialPort port;
    test::BenchLink link9(port);
    ManualClock clock(1000.0);
    PortDetection detection(link9, clock);
    detection.scan();

    test::expectRows(detection, "AAAAAAAAPAAAAA");
    QFile::remove(portsFilePath());
    for (const auto& [name, value] : saved) qputenv(name.constData(), value);
}

}  // namespace
}  // namespace veq

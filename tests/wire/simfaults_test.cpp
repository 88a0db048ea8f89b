// The faults veq-panel-sim can be asked for, seen from the line: where they start, what they
// delay, and what the program refuses on its command line. The window tests rely on these counts.

#include <csignal>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "link/frame.h"
#include "link/qtserialport.h"
#include "panelsim/model/image.h"
#include "tests/wire/bench.h"

namespace veq::test {
namespace {

// Runs the simulator with `arguments` to its end; its exit code and output.
std::pair<int, QByteArray> runToEnd(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(SimProcess::program(), arguments);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

// The port of COM10 on a simulator started with `options`.
struct Line {
    void start(const QStringList& options) {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("com10");
        ASSERT_TRUE(sim.start(QStringList{"--link", link} + options));
        qputenv("VEQ_COM10", QFile::encodeName(link));
        port.setCommPort(10);
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    }
    void send(const char* command) { ASSERT_TRUE(port.write(frame(Prefix::P31, command))); }
    // Waits until `count` characters wait, or `ms` have passed; the count then.
    int waitForCount(int count, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        int n = 0;
        while ((n = port.inBufferCount()) < count && t.elapsed() < ms) {
        }
        return n;
    }

    QTemporaryDir dir;
    QString link;
    SimProcess sim;
    QtSerialPort port;
};

class SimulatorOnTheLine : public ::testing::Test {
  protected:
    Watchdog watchdog{std::chrono::seconds(60)};
    Line line;
};

TEST_F(SimulatorOnTheLine, MuteAfterAnswersThatManyFramesAndTheSwitchBringsTheAnswersBack) {
    line.start({"--mute-after", "3"});
    for (const char* c : {"SSS", "ZA0", "Y60", "ZA1", "X1X"}) line.send(c);
    ASSERT_TRUE(line.sim.waitForLine("mute on"));
    // Three acknowledgements, and nothing for the fourth and fifth frames.
    EXPECT_EQ(line.waitForCount(15), 15);
    QThread::msleep(100);
    EXPECT_EQ(line.port.readAll(), acknowledgement().repeated(3));

    ASSERT_TRUE(line.sim.switchMute("mute off"));
    // The silent "X1X" was taken all the same: this one reads the next byte, 61 (02).
    line.send("X1X");
    EXPECT_EQ(line.waitForCount(6), 6);
    EXPECT_EQ(line.port.readAll(), QByteArray("01\x02"
                                              "02\x03"));
    ASSERT_TRUE(line.sim.switchMute("mute on"));
    line.send("RRR");
    QThread::msleep(200);
    EXPECT_EQ(line.port.inBufferCount(), 0);
}

TEST_F(SimulatorOnTheLine, DieAfterAnswersThatManyFramesThenTheDeviceIsGone) {
    line.start({"--die-after", "2"});
    line.send("SSS");
    EXPECT_EQ(line.waitForCount(5), 5);
    EXPECT_EQ(line.port.readAll(), acknowledgement());
    // The second frame is the last: the simulator is killed right after it.
    line.send("RRR");
    ASSERT_TRUE(line.sim.waitForKilled());
    // It cleaned nothing up: its link is left behind, leading nowhere.
    EXPECT_TRUE(QFileInfo(line.link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(line.link));
    // The terminal hung up: what was not read before is gone, and so is the port.
    EXPECT_EQ(line.port.inBufferCount(), 0);
    EXPECT_FALSE(line.port.isOpen());
    EXPECT_FALSE(line.port.write(frame(Prefix::P31, "RRR")));
}

TEST_F(SimulatorOnTheLine, LagHoldsTheAnswerToAClosingFrameAndEverythingBehindIt) {
    // "At once" and "not before" are measured here: run again if the machine stalled.
    retryWhenStalled([] {
        Line l;
        l.start({"--lag", "1"});
        QElapsedTimer t;
        t.start();
        l.send("SSS");  // not a closing frame: answered at once
        EXPECT_EQ(l.waitForCount(5), 5);
        EXPECT_LT(t.elapsed(), 900);
        l.port.readAll();

        t.restart();
        for (const char* c : {"ZA0", "Y60", "ZA1", "X1X", "X6X", "RRR", "SSS"}) l.send(c);
        // "ZA0" to "X1X" at once (3 × 5 + 6), then nothing until the lag is over.
        EXPECT_EQ(l.waitForCount(21), 21);
        while (t.elapsed() < 800) ASSERT_EQ(l.port.inBufferCount(), 21);
        // "X6X", "RRR" and the "SSS" behind them together.
        EXPECT_EQ(l.waitForCount(37), 37);
        EXPECT_GE(t.elapsed(), 990);
        EXPECT_EQ(l.port.readAll().right(16), QByteArray("01\x02"
                                                         "02\x03") +
                                                  acknowledgement() + acknowledgement());
    });
}

TEST_F(SimulatorOnTheLine, LoseByteDropsThatByteAnswerAndTheAddressMovesOn) {
    line.start({"--lose-byte", "2"});
    for (const char* c : {"ZA0", "Y60", "ZA1", "X1X", "X1X", "X1X"}) line.send(c);
    EXPECT_EQ(line.waitForCount(27), 27);
    QThread::msleep(100);
    const sim::Panel::Memory m = sim::programmedMemory();
    EXPECT_EQ(line.port.readAll(),
              acknowledgement().repeated(3) + sim::byteAnswer(m[0x60]) + sim::byteAnswer(m[0x62]));
}

TEST(SimulatorCommandLine, RefusesFaultsItCannotTake) {
    for (const QStringList& wrong :
         {QStringList{"--lag", "-0.1"}, QStringList{"--lag", "61"}, QStringList{"--lag", "nan"},
          QStringList{"--lag", "soon"}, QStringList{"--mute-after", "-1"},
          QStringList{"--die-after", "0"}, QStringList{"--die-after", "x"},
          QStringList{"--lose-byte", "0"}}) {
        const auto [code, output] = runToEnd(wrong);
        EXPECT_EQ(code, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(output.contains(wrong.first().toLatin1())) << output.toStdString();
    }
    const auto [code, help] = runToEnd({"--help"});
    EXPECT_EQ(code, 0);
    for (const char* word : {"--mute-after", "--die-after", "--lag", "SIGUSR1", "mute off"})
        EXPECT_TRUE(help.contains(word)) << word;
}

}  // namespace
}  // namespace veq::test

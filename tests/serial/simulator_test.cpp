// The QSerialPort backend against veq-panel-sim on a pseudo-terminal: real processes, real time.
// Waits here are short and their limits generous, for a loaded machine.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "link/exchange.h"
#include "link/frame.h"
#include "link/qtserialport.h"
#include "panelsim/model/image.h"
#include "tests/support/simprocess.h"

namespace veq {
namespace {

using sim::Panel;

bool isAck(const QByteArray& text) {
    return text == acknowledgement();
}

using Simulator = test::SimProcess;

// Runs the simulator with `arguments` to its end; its exit code, or -1 when it did not end.
int runToEnd(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(Simulator::program(), arguments);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray hex2(int v) {
    return QByteArray::number(v, 16).toUpper().rightJustified(2, '0');
}

// The frames of a read of `count` bytes from `start`, each its own write.
void sendRead(Exchange& ex, int start, int count) {
    for (const char* c : {"SSS", "ZA0"}) ex.send(Prefix::P31, c);
    ex.send(Prefix::P31, byteCommand(start));
    ex.send(Prefix::P31, "ZA1");
    for (int i = 0; i < count; ++i) ex.send(Prefix::P31, "X1X");
    ex.send(Prefix::P31, "X6X");
    ex.send(Prefix::P31, "RRR");
}

class SerialOnSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFileInfo::exists(Simulator::program()))
            << "veq-panel-sim is built next to the test programs: "
            << Simulator::program().toStdString();
    }

    // Maps COM `number` to `path` for this process.
    static void map(int number, const QString& path) {
        qputenv(QStringLiteral("VEQ_COM%1").arg(number).toLatin1(), QFile::encodeName(path));
    }
    // Starts `simulator` with `arguments`, maps COM `number` to its terminal (or to `link`)
    // and opens `port` there.
    static void startAndOpen(Simulator& simulator, QtSerialPort& port, const QStringList& arguments,
                             int number = 5, const QString& link = {}) {
        ASSERT_TRUE(simulator.start(arguments));
        map(number, link.isEmpty() ? simulator.path() : link);
        port.setCommPort(number);
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    }

    QTemporaryDir dir;
    SteadyClock clock;
};

TEST_F(SerialOnSimulator, ExchangesFramesAndSurvivesThePortClosingAndOpening) {
    Panel::Memory image;
    for (int a = 0; a < Panel::kSize; ++a)
        image[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(a * 7 + 3);
    QString error;
    ASSERT_TRUE(sim::saveImage(dir.filePath("start.hex"), image, error));
    Simulator simulator;
    ASSERT_TRUE(simulator.start({"--load", dir.filePath("start.hex")}));
    map(5, simulator.path());

    QtSerialPort port;
    port.setCommPort(5);
    Exchange ex(port, clock);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
        ex.send(Prefix::P31, "RRR");
        const Reply ack = ex.replyWait(Compare::Equal, 5, isAck);
        EXPECT_FALSE(ack.timedOut);
        EXPECT_EQ(ack.text, acknowledgement());

        // The flush switches DTR off, which a pseudo-terminal refuses: the port stays open.
        ex.flush();
        EXPECT_TRUE(port.isOpen());
        sendRead(ex, 0x60 + round, 4);
        const Reply bytes = ex.replyWait(Compare::Greater, 54);
        ASSERT_FALSE(bytes.timedOut);
        ASSERT_EQ(bytes.text.size(), 55);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(bytes.text.mid(23 + 6 * i, 2),
                      hex2(image[static_cast<std::size_t>(0x60 + round + i)]));
        port.close();
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_EQ(simulator.process().state(), QProcess::Running);
}

TEST_F(SerialOnSimulator, OpeningDropsWhatArrivedWhileThePortWasClosed) {
    Simulator simulator;
    QtSerialPort port;
    ASSERT_NO_FATAL_FAILURE(startAndOpen(simulator, port, {}));
    ASSERT_TRUE(port.write(frame(Prefix::P31, "RRR", 3)));
    port.close();
    // The answers land in the terminal meanwhile.
    QThread::msleep(200);
    ASSERT_TRUE(port.open());
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 100) EXPECT_EQ(port.inBufferCount(), 0);
    // The line still works.
    Exchange ex(port, clock);
    ex.send(Prefix::P31, "RRR");
    EXPECT_FALSE(ex.replyWait(Compare::Equal, 5, isAck).timedOut);
}

TEST_F(SerialOnSimulator, WriteGroupIsCommittedSavedAndTheSimulatorEndsCleanly) {
    const QString saved = dir.filePath("saved.hex");
    const QString link = dir.filePath("com5");
    Simulator simulator;
    QtSerialPort port;
    ASSERT_NO_FATAL_FAILURE(
        startAndOpen(simulator, port, {"--fill", "00", "--save", saved, "--link", link}, 5, link));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), simulator.path());
    Exchange ex(port, clock);
    for (QByteArray c : {"SSS", "ZA0", "Y70", "Y12", "Y34", "WWW"}) ex.send(Prefix::P_31, c);
    EXPECT_FALSE(ex.replyWait(Compare::Equal, 30).timedOut);
    sendRead(ex, 0x6F, 3);
    const Reply r = ex.replyWait(Compare::Greater, 42);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.text.mid(23, 2), "00");
    EXPECT_EQ(r.text.mid(29, 2), "12");
    EXPECT_EQ(r.text.mid(35, 2), "34");

    // The image on disk follows the commit.
    Panel::Memory expected;
    expected.fill(0);
    expected[0x70] = 0x12;
    expected[0x71] = 0x34;
    Panel::Memory onDisk{};
    QString error;
    QElapsedTimer t;
    t.start();
    while (!(sim::loadImage(saved, onDisk, error) && onDisk == expected) && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_EQ(onDisk, expected);

    port.close();
    simulator.process().terminate();
    ASSERT_TRUE(simulator.process().waitForFinished(10000));
    EXPECT_EQ(simulator.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    ASSERT_TRUE(sim::loadImage(saved, onDisk, error));
    EXPECT_EQ(onDisk, expected);
}

TEST_F(SerialOnSimulator, SimulatorKilledMidExchangeEndsTheExchangeAndReopeningWorks) {
    const QString link = dir.filePath("com6");
    Simulator simulator;
    QtSerialPort port;
    ASSERT_NO_FATAL_FAILURE(startAndOpen(simulator, port, {"--pace", "--link", link}, 6, link));
    Exchange ex(port, clock);
    sendRead(ex, 0x60, 32);
    // The paced answer is under way when the simulator dies.
    QElapsedTimer t;
    t.start();
    while (port.inBufferCount() == 0 && t.elapsed() < 5000) {
    }
    ASSERT_GT(port.inBufferCount(), 0);
    ASSERT_LT(port.inBufferCount(), 223);
    simulator.kill();

    t.restart();
    const Reply r = ex.replyWait(Compare::Greater, 222);
    EXPECT_TRUE(r.timedOut);
    EXPECT_LT(t.elapsed(), 5000);
    // The port has closed: every call fails at once.
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.errorString().isEmpty());
    t.restart();
    EXPECT_FALSE(port.write(frame(Prefix::P31, "RRR")));
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.readAll().isEmpty());
    ex.flush();
    EXPECT_LT(t.elapsed(), 1000);
    // (The link left behind is not opened here: the number of the dead terminal may already
    // serve a simulator of another test running alongside.)

    // A new simulator takes the stale link over; the same port number reaches it.
    ASSERT_TRUE(simulator.start({"--pace", "--link", link}));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), simulator.path());
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    ex.send(Prefix::P31, "RRR");
    const Reply ack = ex.replyWait(Compare::Equal, 5, isAck);
    EXPECT_FALSE(ack.timedOut);
}

TEST_F(SerialOnSimulator, PortMappedToAMissingPathFailsToOpen) {
    map(9, dir.filePath("no-such-device"));
    QtSerialPort port;
    port.setCommPort(9);
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.errorString().isEmpty());
    EXPECT_FALSE(port.write(frame(Prefix::P31, "RRR")));
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.readAll().isEmpty());
    // Port numbers outside 1 to 14 are refused before any device is touched, even one mapped to
    // a live terminal.
    Simulator simulator;
    ASSERT_TRUE(simulator.start({}));
    map(15, simulator.path());
    port.setCommPort(15);
    EXPECT_FALSE(port.open());
}

TEST_F(SerialOnSimulator, PacedAnswerTricklesInAtTheSpeedOfTheLine) {
    Simulator simulator;
    QtSerialPort port;
    ASSERT_NO_FATAL_FAILURE(startAndOpen(simulator, port, {"--pace"}));
    Exchange ex(port, clock);
    QElapsedTimer t;
    t.start();
    sendRead(ex, 0x60, 32);
    int partial = 0;
    int count = 0;
    while ((count = port.inBufferCount()) < 223 && t.elapsed() < 5000)
        if (count > 0) ++partial;
    EXPECT_EQ(count, 223);
    // 266 characters down the line and 223 back, overlapping: well over 0.2 s at 9600 baud.
    EXPECT_GE(t.elapsed(), 200);
    EXPECT_GT(partial, 0) << "the answer came in one piece";
}

TEST_F(SerialOnSimulator, FaultyAnswersKeepOrChangeTheirLengthAsAsked) {
    struct Case {
        QStringList arguments;
        int length;
        bool ack;
    };
    const Case cases[] = {
        {{"--garble"}, 5, false},
        {{"--short", "1"}, 4, false},
        {{"--extra", "2"}, 7, false},
        {{"--mute"}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Simulator simulator;
        QtSerialPort port;
        ASSERT_NO_FATAL_FAILURE(startAndOpen(simulator, port, c.arguments));
        ASSERT_TRUE(port.write(frame(Prefix::P31, "RRR")));
        // Long enough for any answer to be in, even on a busy machine.
        QElapsedTimer t;
        t.start();
        while (port.inBufferCount() < c.length && t.elapsed() < 5000) {
        }
        QThread::msleep(100);
        const QByteArray got = port.readAll();
        EXPECT_EQ(got.size(), c.length);
        EXPECT_EQ(got == acknowledgement(), c.ack);
        if (c.length == 5) {
            EXPECT_EQ(got, sim::garbled(acknowledgement()));
        }
    }
}

TEST_F(SerialOnSimulator, RefusesWrongCommandLinesAndForeignFiles) {
    EXPECT_EQ(runToEnd({"--fill", "ZZ"}), 2);
    EXPECT_EQ(runToEnd({"--short", "-1"}), 2);
    EXPECT_EQ(runToEnd({"--fill", "00", "--load", dir.filePath("x")}), 2);
    EXPECT_EQ(runToEnd({"--help"}), 0);
    // A memory image that is not one.
    QFile bad(dir.filePath("bad.hex"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("12 34");
    bad.close();
    EXPECT_EQ(runToEnd({"--load", bad.fileName()}), 1);
    // A file where the link should go is left alone.
    EXPECT_EQ(runToEnd({"--link", bad.fileName()}), 1);
    ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
    EXPECT_EQ(bad.readAll(), "12 34");
}

}  // namespace
}  // namespace veq

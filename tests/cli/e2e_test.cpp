// The veqctl program against veq-panel-sim on a pseudo-terminal, and the application's trace.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "link/frame.h"
#include "link/traceport.h"
#include "panelsim/model/image.h"
#include "panelsim/model/simport.h"
#include "tests/support/simprocess.h"

namespace veq::test {
namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Outcome {
    int exit = -1;
    QByteArray out, err;
};

// Runs veqctl with every COM number mapped away from real devices (COM5 to `com5`).
Outcome veqctl(const QStringList& args, const QString& com5) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (int n = 1; n <= 14; ++n)
        env.insert(QStringLiteral("VEQ_COM%1").arg(n),
                   n == 5 ? com5 : QStringLiteral("/nonexistent/veq-com%1").arg(n));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/veqctl"), args);
    Outcome o;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

TEST(VeqctlProgram, EveryKindOfCommandThroughAPseudoTerminal) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.start({}));
    const QString params = dir.filePath(QStringLiteral("p.json"));
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));

    Outcome o =
        veqctl({"-p", sim.path(), "--trace", trace, "params", "get", "-o", params}, sim.path());
    ASSERT_EQ(o.exit, 0) << o.err.toStdString();
    EXPECT_TRUE(readFile(params).contains("\"stop_threshold\": 60"));

    o = veqctl({"-p", sim.path(), "params", "set", params}, sim.path());
    EXPECT_EQ(o.exit, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "Programmation effectuée avec succés.\n");

    o = veqctl({"-p", "COM5", "memory", "read"}, sim.path());
    EXPECT_EQ(o.exit, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, sim::imageText(sim::programmedMemory()) + "Lecture effectuée avec succés.\n");

    o = veqctl({"detect"}, sim.path());
    EXPECT_EQ(o.exit, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.contains("COM5\tLibre. VEQ_CAD.\n")) << o.out.toStdString();
    EXPECT_TRUE(o.out.contains("COM1\tAbsent.\n")) << o.out.toStdString();

    // One line per frame each way, with its time.
    const QList<QByteArray> lines = readFile(trace).split('\n');
    const QByteArray port = sim.path().toUtf8();
    int sent = 0;
    for (const QByteArray& l : lines)
        if (l.endsWith(" " + port + " > 31<STX>SSS<ETX>")) ++sent;
    EXPECT_EQ(sent, 2) << readFile(trace).toStdString();  // the read's wake-up, then its group
    int received = 0;
    for (const QByteArray& l : lines)
        if (l.contains(" " + port + " < 01<STX><ACK><ETX>")) ++received;
    EXPECT_GT(received, 0);
}

TEST(ApplicationTrace, VeqTraceWrapsThePortAndLogsEachWriteAndAnswer) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("app-trace.txt"));
    qputenv("VEQ_TRACE", QFile::encodeName(path));
    ManualClock clock;
    sim::SimBus bus;
    bus.attach(3, std::make_shared<sim::Panel>());
    auto port = tracedFromEnvironment(std::make_unique<sim::SimSerialPort>(bus, clock));
    qunsetenv("VEQ_TRACE");
    port->setCommPort(3);
    ASSERT_TRUE(port->open());
    port->write(frame(Prefix::P_31, "RRR"));
    port->inBufferCount();
    EXPECT_EQ(port->readAll(), acknowledgement());

    const QList<QByteArray> lines = readFile(path).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << readFile(path).toStdString();
    EXPECT_TRUE(lines[0].endsWith(" COM3 - open 9600,N,8,1")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" COM3 > _31<STX>RRR<ETX>")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(" COM3 < 01<STX><ACK><ETX>")) << lines[2].toStdString();
    bool number = false;
    lines[1].split(' ').first().toDouble(&number);
    EXPECT_TRUE(number) << "each line starts with its time";
}

}  // namespace
}  // namespace veq::test

// The veqctl program against veq-panel-sim on a pseudo-terminal, and the application's trace.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "journal/journal.h"
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

// veqctl's environment: every COM number mapped away from real devices (COM5 to `com5`), and the
// data folder, where its journal goes, in `data` (a temporary folder by default, never the user's).
QProcessEnvironment environment(const QString& com5, const QString& data = {}) {
    static QTemporaryDir fallback;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (int n = 1; n <= 14; ++n)
        env.insert(QStringLiteral("VEQ_COM%1").arg(n),
                   n == 5 ? com5 : QStringLiteral("/nonexistent/veq-com%1").arg(n));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.isEmpty() ? fallback.path() : data);
    return env;
}

QString veqctlProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/veqctl");
}

Outcome veqctl(const QStringList& args, const QString& com5) {
    QProcess p;
    p.setProcessEnvironment(environment(com5));
    p.start(veqctlProgram(), args);
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

// veqctl killed in the middle of a memory write on a paced line: its record says what was being
// written, what the panel held before, and that the outcome is unknown.
TEST(VeqctlProgram, AKilledMemoryWriteLeavesItsRecord) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--pace"}));
    sim::Panel::Memory image = sim::programmedMemory();
    image[0x20] = 0x42;
    const QString imageFile = dir.filePath(QStringLiteral("m.hex"));
    QFile f(imageFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sim::imageText(image));
    f.close();

    QProcess p;
    p.setProcessEnvironment(environment(sim.path(), dir.path()));
    p.start(veqctlProgram(), {"-p", sim.path(), "memory", "write", imageFile});
    ASSERT_TRUE(p.waitForStarted());
    // The record is on the disk before the first frame of the write: kill it as soon as it is.
    const QString path = dir.filePath(QStringLiteral("VEQ_Cadence/journal.jsonl"));
    QElapsedTimer t;
    t.start();
    while (!readFile(path).contains("\"outcome\":\"unknown\"") && t.elapsed() < 20000)
        ASSERT_FALSE(p.waitForFinished(5)) << p.readAllStandardError().toStdString();
    p.kill();  // SIGKILL
    p.waitForFinished();
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);

    const auto records = journal::lastRecords(path, 5);
    ASSERT_EQ(records.size(), 1u) << readFile(path).toStdString();
    const journal::Record& r = records.front();
    EXPECT_EQ(r.operation, QStringLiteral("memory write"));
    EXPECT_EQ(r.program, QStringLiteral("veqctl"));
    EXPECT_EQ(r.outcome, journal::Result::Unknown);
    EXPECT_TRUE(r.completed.isEmpty());
    const auto bytes = [](const sim::Panel::Memory& m) {
        return QByteArray(reinterpret_cast<const char*>(m.data()), 128);
    };
    EXPECT_EQ(r.written, bytes(image));
    EXPECT_EQ(r.before, bytes(sim::programmedMemory()));
}

// A journal that cannot be written: the operation is done all the same, and one line says so.
TEST(VeqctlProgram, AnUnwritableJournalIsOneLineOnStandardError) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.start({}));
    QFile blocker(dir.filePath(QStringLiteral("VEQ_Cadence")));  // a file where the folder goes
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString params = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(veqctl({"-p", sim.path(), "params", "get", "-o", params}, sim.path()).exit, 0);
    QProcess p;
    p.setProcessEnvironment(environment(sim.path(), dir.path()));
    p.start(veqctlProgram(), {"-p", sim.path(), "params", "set", params});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), "Programmation effectuée avec succés.\n");
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("veqctl : Le journal des opérations ne peut pas être écrit"))
        << err.toStdString();
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

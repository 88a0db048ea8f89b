// veqctl reaching veq-panel-sim through ser2net on the loopback: RFC 2217 and raw TCP, and the
// faults of a network port.

#include <gtest/gtest.h>

#include <csignal>
#include <map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "journal/journal.h"
#include "panelsim/model/image.h"
#include "tests/support/ser2net.h"
#include "tests/support/simprocess.h"

namespace veq::test {
namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

struct Ran {
    int exit = -1;
    QByteArray out, err;
    qint64 ms = 0;
};

// veqctl with every COM number mapped to a path that does not exist and its journal in `data`.
// `com` maps a few numbers to other names.
QProcessEnvironment environment(const QString& data, const std::map<int, QString>& com = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (int n = 1; n <= 14; ++n)
        env.insert(QStringLiteral("VEQ_COM%1").arg(n),
                   com.count(n) ? com.at(n) : QStringLiteral("/nonexistent/veq-com%1").arg(n));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    return env;
}

QString veqctlProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/veqctl");
}

class VeqctlOverNetwork : public ::testing::Test {
  protected:
    Ran veqctl(const QStringList& args, const std::map<int, QString>& com = {}) {
        QProcess p;
        p.setProcessEnvironment(environment(dir.path(), com));
        QElapsedTimer t;
        t.start();
        p.start(veqctlProgram(), args);
        Ran r;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.ms = t.elapsed();
        r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
    // The frames the simulator took since last asked (its -v log).
    QList<QByteArray> framesTaken() {
        QList<QByteArray> frames;
        for (const QByteArray& l : sim.process().readAllStandardError().split('\n'))
            if (l.startsWith("veq-panel-sim: 31 ") || l.startsWith("veq-panel-sim: (no prefix)"))
                frames << l;
        return frames;
    }
    void startPanel(const QStringList& options) {
        sim.captureErrors = true;
        ASSERT_TRUE(sim.start(QStringList{QStringLiteral("-v")} + options));
    }
    void startServer(Ser2net::Kind kind) {
        QString error;
        ASSERT_TRUE(server.start(sim.path(), kind, &error)) << error.toStdString();
    }

    QTemporaryDir dir;
    SimProcess sim;
    Ser2net server;
};

TEST_F(VeqctlOverNetwork, ParametersReadAndProgrammedThroughRfc2217AsOnTheLine) {
    startPanel({});
    startServer(Ser2net::Kind::Rfc2217);
    const QString local = dir.filePath(QStringLiteral("local.json"));
    const QString net = dir.filePath(QStringLiteral("net.json"));
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));

    // The same read on the terminal itself, then through the server: the panel gets the same
    // frames, nothing of the protocol among them, and the same settings come back.
    Ran r = veqctl({"-p", sim.path(), "params", "get", "-o", local});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    sim.process().waitForReadyRead(200);
    const QList<QByteArray> onTheLine = framesTaken();
    r = veqctl({"-p", server.address(), "--trace", trace, "params", "get", "-o", net});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(net), readFile(local));
    sim.process().waitForReadyRead(200);
    EXPECT_EQ(framesTaken(), onTheLine);
    // ser2net on a terminal answers the line settings but not DTR and RTS: the opening went on
    // and said so, without holding the read.
    const QByteArray t = readFile(trace);
    EXPECT_TRUE(t.contains("rfc2217: no answer to SET-CONTROL (DTR on), SET-CONTROL (RTS off)"))
        << t.toStdString();
    EXPECT_LT(r.ms, 5000);

    // A programming through the server, read back on the terminal.
    QByteArray settings = readFile(net);
    settings.replace("\"stop_threshold\": 60", "\"stop_threshold\": 1234");
    QFile f(net);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(settings);
    f.close();
    r = veqctl({"-p", server.address(), "params", "set", net});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Programmation effectuée avec succés.\n");
    r = veqctl({"-p", sim.path(), "params", "get", "-o", local});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(readFile(local).contains("\"stop_threshold\": 1234"));

    // The detection finds the panel behind the COM number VEQ_COM5 gives the server; a number
    // whose server refuses is absent, and costs the scan no more than a local absent port.
    const QString nobody = QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2net::freePort());
    r = veqctl({"detect"}, {{5, server.address()}, {6, nobody}});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("COM5\tLibre. VEQ_CAD.\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("COM6\tAbsent.\n")) << r.out.toStdString();
    EXPECT_LT(r.ms, 5000);
}

TEST_F(VeqctlOverNetwork, MemoryReadThroughARawTcpPort) {
    startPanel({});
    startServer(Ser2net::Kind::Tcp);
    const Ran r = veqctl({"-p", server.address(), "memory", "read"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, sim::imageText(sim::programmedMemory()) + "Lecture effectuée avec succés.\n");
}

TEST_F(VeqctlOverNetwork, OpeningFaultsFailInBoundedTimeWithTheirFrenchCause) {
    const QString nobody = QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2net::freePort());
    Ran r = veqctl({"--json", "-p", nobody, "params", "get"});
    EXPECT_EQ(r.exit, 1);
    const QJsonObject port =
        QJsonDocument::fromJson(r.out).object()[QStringLiteral("ports")].toArray()[0].toObject();
    EXPECT_EQ(port[QStringLiteral("cause")].toString(), QStringLiteral("refused"));
    EXPECT_LT(r.ms, 3000);
    r = veqctl({"-p", nobody, "params", "get"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(QString::fromUtf8(r.err),
              QStringLiteral("L'ouverture du port %1 à échouée !\nLe serveur de port série de %1 "
                             "refuse la connexion. Vérifiez le numéro de port TCP et que le "
                             "serveur (boîtier, ser2net) est en service.\n")
                  .arg(nobody));

    // A server whose queue is full drops the connection's packets: the opening gives up after its
    // bound, with its own cause.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int queued = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
    ASSERT_EQ(::connect(queued, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const QString silent = QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(a.sin_port));
    r = veqctl({"--json", "-p", silent, "memory", "read"});
    ::close(queued);
    ::close(listener);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(QJsonDocument::fromJson(r.out)
                  .object()[QStringLiteral("ports")]
                  .toArray()[0]
                  .toObject()[QStringLiteral("cause")]
                  .toString(),
              QStringLiteral("unreachable"))
        << r.out.toStdString();
    EXPECT_GE(r.ms, 900);
    EXPECT_LT(r.ms, 3000);

    // Refused before anything is tried, naming the fault.
    r = veqctl({"-p", "tcp://127.0.0.1:70000", "memory", "read"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("port 70000 hors limites")))
        << r.err.toStdString();
}

TEST_F(VeqctlOverNetwork, AServerKilledDuringAMemoryWriteFailsItAndNothingFollows) {
    startPanel({"--pace"});
    startServer(Ser2net::Kind::Rfc2217);
    sim::Panel::Memory image = sim::programmedMemory();
    image[0x20] = 0x42;
    const QString imageFile = dir.filePath(QStringLiteral("m.hex"));
    QFile f(imageFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sim::imageText(image));
    f.close();
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));

    QProcess p;
    p.setProcessEnvironment(environment(dir.path()));
    p.start(veqctlProgram(),
            {"--json", "-p", server.address(), "--trace", trace, "memory", "write", imageFile});
    ASSERT_TRUE(p.waitForStarted());
    // The record is on the disk before the first frame of the write: the server goes then.
    const QString journalPath = dir.filePath(QStringLiteral("VEQ_Cadence/journal.jsonl"));
    QElapsedTimer t;
    t.start();
    while (!readFile(journalPath).contains("\"outcome\":\"unknown\"") && t.elapsed() < 20000)
        ASSERT_FALSE(p.waitForFinished(5)) << p.readAllStandardError().toStdString();
    server.kill();
    t.restart();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_LT(t.elapsed(), 3000);  // the write ends at once, without its read-back wait
    EXPECT_EQ(p.exitCode(), 1);
    const QJsonObject port = QJsonDocument::fromJson(p.readAllStandardOutput())
                                 .object()[QStringLiteral("ports")]
                                 .toArray()[0]
                                 .toObject();
    EXPECT_EQ(port[QStringLiteral("cause")].toString(), QStringLiteral("connection-lost"));

    const auto records = journal::lastRecords(journalPath, 5);
    ASSERT_EQ(records.size(), 1u) << readFile(journalPath).toStdString();
    EXPECT_EQ(records.front().operation, QStringLiteral("memory write"));
    EXPECT_NE(records.front().outcome, journal::Result::Success);
    EXPECT_EQ(records.front().cause, QStringLiteral("connection-lost"));

    // Nothing goes out once the connection is known to be lost: any frame tried after it is
    // refused on the spot.
    const QList<QByteArray> lines = readFile(trace).split('\n');
    qsizetype lost = -1;
    for (qsizetype i = 0; i < lines.size() && lost < 0; ++i)
        if (lines[i].contains(" - connection lost: ")) lost = i;
    ASSERT_GE(lost, 0) << readFile(trace).toStdString();
    for (qsizetype i = lost + 1; i < lines.size(); ++i)
        if (lines[i].contains(" > ")) {
            EXPECT_TRUE(i + 1 < lines.size() && lines[i + 1].contains(" - write refused"))
                << readFile(trace).toStdString();
        }
}

}  // namespace
}  // namespace veq::test

// veq-bench: how close the memory transfers come to what the serial line allows, and what they
// cost in processor time.
//
// It starts veq-panel-sim --pace (found next to this program) on a pseudo-terminal, maps COM3 to
// it and runs through the QSerialPort backend and the steady clock, N times each (--runs N):
//   rate-read   LIT_24C01 of the rate-parameter window (bytes 60h to 7Fh)
//   rate-write  ECRIT_24C01 of the rate-parameter window
//   read-128    LIT_24C01 of the brightness window (the whole memory)
//   write-128   ECRIT_24C01 of the brightness window
// For each operation it prints one line, taken from the run whose ratio is the median of the N
// runs (the upper one of the middle two when N is even):
//   <operation> wall=<seconds> floor=<seconds> ratio=<wall/floor> cpu=<percent>%
// wall is the steady-clock time of the procedure call; cpu is the CPU time of this process (user
// plus system, getrusage) spent during the call, as a share of wall. Every run is checked: the
// failure flag is false, a read returns the bytes the panel holds, a read after a write returns
// the written bytes. Any other outcome prints a FAILED line and the exit status is 1. With -v every
// run goes to the standard error too, with its wall time and its floor split into opening (from
// the call to the flush after the settle), frames (from the flush to the last write) and reply
// (from the last write to the end), as measured/floor.
//
// The floor is the shortest time any implementation of the procedure could take on this line:
//
//   Line: 9600 baud 8N1, ten bits a character, c = 1/960 s a character, each way at once. The
//   simulated panel answers a frame once the frame's last character has arrived; its answers come
//   back at the same rate. A write returns as soon as the bytes are queued (the backend does not
//   wait for the line), so the line carries frames while the procedure is already waiting.
//
//   Settle: S = 0.5 s from the opening write. The opening frames and their answers are over long
//   before it ends (at most a burst of five 8 c frames answered 5 c after its end: 47 ms), so
//   they add nothing.
//
//   Inter-frame wait of the rate transfers, after each of their 32 byte frames: it lasts until the
//   coarse clock (steps of q = 1/64 s) next moves, that is until the next multiple of q. The first
//   byte frame goes out at whatever phase the procedure started at, so the first wait lasts some
//   w in (0, q], q/2 on average. Every later frame goes out at the step where the previous wait
//   ended, so its wait lasts a whole step: the byte frames leave exactly q apart. A frame takes
//   7 or 8 c (7.3 or 8.3 ms) on the line, less than q, so its transmission hides inside its step
//   instead of adding to it. The 32 waits cost w + 31 q, not 32 (7 c + q/2) and not 32 (7 c + q).
//   What runs ahead of the pacing (the 35 c that open the read, the 32 c that open the write, the
//   40 c the write sends at its page change) is carried within a few steps, as the line gains at
//   least q - 8 c (7.3 ms) on it per step; the line is idle again well before the last frame.
//   S is 32 whole steps, so w follows from the clock reading t0 at the call:
//   w = q - (t0 mod q). The bench computes w for each run from t0 on the same steady clock whose
//   steps the wait watches, rather than using the average q/2.
//
//   Tail: after the last wait, the closing frames go down and the answer that ends the reply wait
//   comes back.
//
//   rate-read   S + w + 31 q + 19 c  X6X and RRR (14 c) go down; the RRR answer (5 c) follows the
//                                    X6X answer (6 c, over after 13 c). The wait ends when all 223
//                                    characters are in. 1.0120 s on average.
//   rate-write  S + w + 31 q + 13 c  WWW (8 c), then its acknowledgement (5 c), the 200th
//                                    character. 1.0057 s on average.
//   read-128    S + 1070 c           after the flush 4 + 128 + 1 frames of 8 c are queued at once.
//                                    The wait ends at the 794th character, the last of the answer
//                                    to X6X: that frame's end reaches the panel after
//                                    (32 + 1032) c, its answer takes 6 c more. Answers (5 or 6 c
//                                    per 8 c frame) never hold the line up. 1.6146 s.
//   write-128   S + 1285 c           8 pages of 20 frames of 8 c; the 800th character is the last
//                                    of the acknowledgement of the last WWW. 1.8385 s.
//
// With --fleet N it measures something else: see bench/fleet.h.
//
// With --via rfc2217 or --via tcp the simulator is reached through ser2net on the loopback (the
// device server of a plant, started by the bench) and a network port instead of the terminal:
// the same transfers, floors and checks, for the fleet too (one ser2net connection per panel).
//
// The floor leaves out everything the line does not need: computing, scheduling, polling periods.
//
// Note on the two 128-byte transfers: their frames are queued at once and their reply wait gives
// up 1 s after the last write, while the line needs 1.115 s (read) and 1.339 s (write) from that
// moment to carry the frames and bring the answer back. The bench shows what happens then; with
// --drain every write returns only once the line has carried it (as tcdrain() would on a UART),
// which shows the transfers when the reply wait starts after the frames have left. --drain is not
// how the application behaves.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "bench/fleet.h"
#include "bench/server.h"
#include "bench/simulator.h"
#include "link/anyport.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/serialport.h"
#include "panelmem/grid.h"
#include "panelmem/transfer.h"
#include "panelsim/model/image.h"
#include "panelsim/model/panel.h"

namespace {

using veq::MemoryGrid;
using Memory = veq::sim::Panel::Memory;

constexpr int kComPort = 3;
constexpr double kChar = 10.0 / 9600.0;                      // c: one 8N1 character
constexpr double kStep = 1.0 / veq::Clock::kTicksPerSecond;  // q: one coarse clock step
constexpr double kSettle = veq::Exchange::kSettle;           // S
constexpr int kPacedBytes = 32;                              // byte frames of a rate transfer
constexpr double kQuiet = 0.4;  // seconds of silence before each timed run

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const auto s = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return s(ru.ru_utime) + s(ru.ru_stime);
}

void sleepSeconds(double s) {
    if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

// The first inter-frame wait of a rate transfer called at clock reading t0: from t0 + S to the
// next multiple of q.
double firstWait(double t0) {
    const double firstFrame = t0 + kSettle;
    return (std::floor(firstFrame / kStep) + 1.0) * kStep - firstFrame;
}

double rateReadFloor(double t0) {
    return kSettle + firstWait(t0) + (kPacedBytes - 1) * kStep + 19 * kChar;
}
double rateWriteFloor(double t0) {
    return kSettle + firstWait(t0) + (kPacedBytes - 1) * kStep + 13 * kChar;
}
double fullReadFloor(double) {
    return kSettle + 1070 * kChar;
}
double fullWriteFloor(double) {
    return kSettle + 1285 * kChar;
}

// The part of a floor after the last write: the closing frames and the answer.
double replyFloor(double (*floorOf)(double)) {
    if (floorOf == rateReadFloor) return 19 * kChar;
    if (floorOf == rateWriteFloor) return 13 * kChar;
    return floorOf(0.0) - kSettle;  // the 128-byte transfers queue every frame at once
}

QString hex2(int v) {
    return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// The QSerialPort backend as the procedures see it, watched on the way: when the last write went,
// how many characters went since the flush, when the line (as modelled at 9600 baud) has carried
// them, and what the last Input took. With `drain`, a write returns only once the line has
// carried it.
class WatchedPort : public veq::SerialPort {
  public:
    WatchedPort(veq::SerialPort& inner, veq::Clock& clock, bool drain)
        : inner_(inner), clock_(clock), drain_(drain) {}

    void setCommPort(int number) override { inner_.setCommPort(number); }
    int commPort() const override { return inner_.commPort(); }
    void setSettings(const QString& settings) override { inner_.setSettings(settings); }
    QString settings() const override { return inner_.settings(); }
    bool open() override { return inner_.open(); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }

    bool write(const QByteArray& bytes) override {
        const double queued = clock_.seconds();
        const bool ok = inner_.write(bytes);
        lineFree_ = std::max(queued, lineFree_) + static_cast<double>(bytes.size()) * kChar;
        lastWrite_ = clock_.seconds();
        sinceFlush_ += static_cast<int>(bytes.size());
        if (drain_) sleepSeconds(lineFree_ - clock_.seconds());
        return ok;
    }
    int inBufferCount() override { return inner_.inBufferCount(); }
    void discardInput() override {
        inner_.discardInput();
        sinceFlush_ = 0;
        flushedAt_ = clock_.seconds();
    }
    QByteArray readAll() override {
        QByteArray out = inner_.readAll();
        lastInput_ = static_cast<int>(out.size());
        lastInputAt_ = clock_.seconds();
        return out;
    }
    void setDtr(bool on) override { inner_.setDtr(on); }
    QString errorString() const override { return inner_.errorString(); }

    double flushedAt() const { return flushedAt_; }
    double lastWrite() const { return lastWrite_; }

    // Why a reply wait gave up, in figures.
    QString timeOutStory() const {
        return QStringLiteral(
                   "the reply wait gave up %1 s after the last frame was queued, with %2 "
                   "characters in; the %3 characters queued since the flush leave the line %4 s "
                   "after that last write")
            .arg(lastInputAt_ - lastWrite_, 0, 'f', 3)
            .arg(lastInput_)
            .arg(sinceFlush_)
            .arg(lineFree_ - lastWrite_, 0, 'f', 3);
    }

  private:
    veq::SerialPort& inner_;
    veq::Clock& clock_;
    bool drain_;
    double lineFree_ = 0.0;
    double lastWrite_ = 0.0;
    int sinceFlush_ = 0;
    double flushedAt_ = 0.0;
    int lastInput_ = 0;
    double lastInputAt_ = 0.0;
};

struct Sample {
    double wall = 0.0;
    double floor = 0.0;
    double cpu = 0.0;  // seconds
    // Where the wall time went: up to the flush after the settle, from there to the last write,
    // from there to the end of the reply wait; and the same split of the floor.
    double opening = 0.0, frames = 0.0, reply = 0.0;
    double floorOpening = 0.0, floorFrames = 0.0, floorReply = 0.0;
    double ratio() const { return wall / floor; }
    double cpuShare() const { return 100.0 * cpu / wall; }
};

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
    return QString::fromLatin1(f.readAll()).trimmed();
}

class Bench {
  public:
    Bench(WatchedPort& port, veq::Clock& clock, bool verbose)
        : port_(port), clock_(clock), exchange_(port, clock), verbose_(verbose) {}

    // Runs every operation `runs` times; prints a line each; false when anything failed.
    bool runAll(int runs) {
        bool ok = true;
        ok &= measure("rate-read", runs,
                      [this](int run, QStringList& f) { return rateRead(run, f); });
        ok &= measure("rate-write", runs,
                      [this](int run, QStringList& f) { return rateWrite(run, f); });
        ok &=
            measure("read-128", runs, [this](int run, QStringList& f) { return fullRead(run, f); });
        ok &= measure("write-128", runs,
                      [this](int run, QStringList& f) { return fullWrite(run, f); });
        return ok;
    }

  private:
    using Floor = double (*)(double);
    // One timed run: the procedure call between the two clock readings; the checks after.
    using Run = std::function<void(int run, QStringList& failures)>;

    bool measure(const char* name, int runs, const Run& body) {
        std::vector<Sample> samples;
        QStringList failures;
        for (int run = 0; run < runs; ++run) {
            quiet();
            timed_ = Sample{};
            body(run, failures);
            samples.push_back(timed_);
            if (verbose_) {
                const Sample& t = timed_;
                std::fprintf(stderr,
                             "%s run %d: wall=%.4f floor=%.4f ratio=%.3f cpu=%.1f%%"
                             "  opening %.4f/%.4f frames %.4f/%.4f reply %.4f/%.4f\n",
                             name, run + 1, t.wall, t.floor, t.ratio(), t.cpuShare(), t.opening,
                             t.floorOpening, t.frames, t.floorFrames, t.reply, t.floorReply);
            }
        }
        std::vector<Sample> byRatio = samples;
        std::sort(byRatio.begin(), byRatio.end(),
                  [](const Sample& a, const Sample& b) { return a.ratio() < b.ratio(); });
        const Sample& m = byRatio[byRatio.size() / 2];
        std::printf("%s wall=%.4f floor=%.4f ratio=%.3f cpu=%.1f%%\n", name, m.wall, m.floor,
                    m.ratio(), m.cpuShare());
        for (const QString& f : failures) std::printf("FAILED %s %s\n", name, qPrintable(f));
        std::fflush(stdout);
        return failures.isEmpty();
    }

    // Calls `procedure` with the clock and CPU readings around it; the result is its failure flag.
    bool timedCall(Floor floorOf, const std::function<bool()>& procedure) {
        const double c0 = cpuSeconds();
        const double t0 = clock_.seconds();
        const bool failed = procedure();
        const double t1 = clock_.seconds();
        const double c1 = cpuSeconds();
        Sample& s = timed_;
        s = Sample{};
        s.wall = t1 - t0;
        s.floor = floorOf(t0);
        s.cpu = c1 - c0;
        s.opening = port_.flushedAt() - t0;
        s.frames = port_.lastWrite() - port_.flushedAt();
        s.reply = t1 - port_.lastWrite();
        s.floorOpening = kSettle;
        s.floorReply = replyFloor(floorOf);
        s.floorFrames = s.floor - s.floorOpening - s.floorReply;
        return failed;
    }

    // Lets the line fall silent (answers of an earlier run that gave up may still trickle in) and
    // starts the next run at a random phase of the coarse clock.
    void quiet() {
        std::uniform_real_distribution<double> phase(0.0, kStep);
        sleepSeconds(kQuiet + phase(random_));
        port_.discardInput();
    }

    // Checks cells [first, first + count) against `bytes`; a failure line for each mismatch run.
    static void compare(const MemoryGrid& grid, int first, int count, const Memory& bytes,
                        const QString& what, QStringList& failures) {
        QStringList wrong;
        for (int a = first; a < first + count; ++a) {
            const QString want = hex2(bytes[static_cast<std::size_t>(a)]);
            if (grid.text(a) != want)
                wrong << QStringLiteral("%1h \"%2\" instead of \"%3\"")
                             .arg(hex2(a), grid.text(a), want);
        }
        if (!wrong.isEmpty()) {
            const qsizetype shown = std::min<qsizetype>(wrong.size(), 4);
            failures << QStringLiteral("%1: %2 cells differ: %3%4")
                            .arg(what)
                            .arg(wrong.size())
                            .arg(wrong.mid(0, shown).join(QStringLiteral(", ")))
                            .arg(wrong.size() > shown ? QStringLiteral(", ...") : QString());
        }
    }

    QString runLabel(int run) const { return QStringLiteral("run %1").arg(run + 1); }

    void readAndCheck(int run, const veq::TransferProfile& profile, Floor floorOf,
                      QStringList& failures) {
        MemoryGrid grid;
        const bool failed =
            timedCall(floorOf, [&] { return veq::LIT_24C01(exchange_, grid, profile); });
        if (failed) {
            failures << QStringLiteral("%1: failure flag set; %2")
                            .arg(runLabel(run), port_.timeOutStory());
            return;
        }
        if (known_)
            compare(grid, profile.firstAddress, profile.byteCount, panel_,
                    runLabel(run) + QStringLiteral(", bytes read"), failures);
    }

    void rateRead(int run, QStringList& failures) {
        readAndCheck(run, veq::kRateTransfer, rateReadFloor, failures);
    }
    void fullRead(int run, QStringList& failures) {
        readAndCheck(run, veq::kBrightnessTransfer, fullReadFloor, failures);
    }

    // Writes a pattern that differs from run to run (so an earlier run's bytes cannot pass for
    // this one's), then reads it back with the same window's read.
    void writeAndCheck(int run, const veq::TransferProfile& profile, Floor floorOf, int mul,
                       QStringList& failures) {
        Memory written = panel_;
        MemoryGrid grid;
        for (int a = profile.firstAddress; a < profile.firstAddress + profile.byteCount; ++a) {
            const int v = (a * mul + run * 71 + 0x15) & 0xFF;
            written[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(v);
            grid.setByte(a, static_cast<quint8>(v));
        }
        const bool failed =
            timedCall(floorOf, [&] { return veq::ECRIT_24C01(exchange_, grid, profile); });
        if (failed) {
            // The panel may have taken some of the pages: what it holds is no longer known.
            known_ = false;
            failures << QStringLiteral("%1: failure flag set; %2")
                            .arg(runLabel(run), port_.timeOutStory());
            return;
        }
        panel_ = written;
        known_ = true;

        quiet();
        MemoryGrid back;
        if (veq::LIT_24C01(exchange_, back, profile)) {
            failures << QStringLiteral("%1: the read after the write failed; %2")
                            .arg(runLabel(run), port_.timeOutStory());
            return;
        }
        compare(back, profile.firstAddress, profile.byteCount, written,
                runLabel(run) + QStringLiteral(", read after the write"), failures);
    }

    void rateWrite(int run, QStringList& failures) {
        writeAndCheck(run, veq::kRateTransfer, rateWriteFloor, 29, failures);
    }
    void fullWrite(int run, QStringList& failures) {
        writeAndCheck(run, veq::kBrightnessTransfer, fullWriteFloor, 53, failures);
    }

    WatchedPort& port_;
    veq::Clock& clock_;
    veq::Exchange exchange_;
    bool verbose_;
    Memory panel_ = veq::sim::programmedMemory();  // what the simulated panel holds
    bool known_ = true;                            // false after a write that may be partial
    Sample timed_;
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veq-bench"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Times the memory transfers through the QSerialPort backend against veq-panel-sim --pace "
        "on a pseudo-terminal and prints, per operation, wall time, the floor the line and the "
        "waits impose, their ratio and the CPU share. Not a test."));
    p.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Runs of each operation (default 3); the "
                                                       "run with the median ratio is printed."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption simOption(
        QStringLiteral("sim"), QStringLiteral("The simulator program (default: next to this one)."),
        QStringLiteral("PATH"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/veq-panel-sim"));
    const QCommandLineOption drainOption(
        QStringLiteral("drain"),
        QStringLiteral("Every write returns only once the line has carried it (not how the "
                       "application behaves; shows the transfers when the reply wait starts "
                       "after the frames have left)."));
    const QCommandLineOption verboseOption(
        QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Every run on the standard error."));
    const QCommandLineOption fleetOption(
        QStringLiteral("fleet"),
        QStringLiteral("Programs a parameter file onto N simulated panels at once through veqctl's "
                       "engine instead, and prints fleet-N wall, single, ratio and cpu."),
        QStringLiteral("N"));
    const QCommandLineOption viaOption(
        QStringLiteral("via"),
        QStringLiteral("Reaches the simulators through ser2net on the loopback: rfc2217 or tcp."),
        QStringLiteral("KIND"));
    p.addOptions({runsOption, simOption, drainOption, verboseOption, fleetOption, viaOption});
    p.process(app);
    const QString via = p.value(viaOption);
    if (p.isSet(viaOption) && via != QLatin1String("rfc2217") && via != QLatin1String("tcp")) {
        std::fprintf(stderr, "veq-bench: --via takes rfc2217 or tcp\n");
        return 2;
    }
    const auto serverKind = via == QLatin1String("tcp") ? veq::bench::DeviceServer::Kind::Tcp
                                                        : veq::bench::DeviceServer::Kind::Rfc2217;

    bool ok = false;
    const int runs = p.value(runsOption).toInt(&ok);
    if (!ok || runs < 1 || runs > 1000) {
        std::fprintf(stderr, "veq-bench: --runs takes a number from 1 to 1000\n");
        return 2;
    }
    const QString program = p.value(simOption);
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "veq-bench: no simulator at %s\n", qPrintable(program));
        return 2;
    }
    if (p.isSet(fleetOption)) {
        const int n = p.value(fleetOption).toInt(&ok);
        if (!ok || n < 1 || n > 64) {
            std::fprintf(stderr, "veq-bench: --fleet takes a number from 1 to 64\n");
            return 2;
        }
        if (p.isSet(viaOption)) return veq::bench::runFleet(n, runs, program, &serverKind);
        return veq::bench::runFleet(n, runs, program);
    }

    veq::bench::Simulator simulator;
    QString error;
    if (!simulator.start(program, {QStringLiteral("--pace")}, error)) {
        std::fprintf(stderr, "veq-bench: %s\n", qPrintable(error));
        return 2;
    }
    qputenv(QStringLiteral("VEQ_COM%1").arg(kComPort).toLatin1(),
            QFile::encodeName(simulator.path()));

    veq::bench::DeviceServer server;
    QString target = simulator.path();
    veq::SteadyClock clock;
    veq::AnyPort serial;
    if (p.isSet(viaOption)) {
        if (!server.start({simulator.path()}, serverKind, error)) {
            std::fprintf(stderr, "veq-bench: %s\n", qPrintable(error));
            return 2;
        }
        target = server.addresses().front();
        serial.setDevicePath(target);
    }
    WatchedPort port(serial, clock, p.isSet(drainOption));
    port.setCommPort(kComPort);
    if (!port.open()) {
        std::fprintf(stderr, "veq-bench: cannot open %s: %s\n", qPrintable(target),
                     qPrintable(port.errorString()));
        return 2;
    }

    std::fprintf(stderr, "veq-bench: %d run(s) each%s on %s; load average %s\n", runs,
                 p.isSet(drainOption) ? ", writes drained (--drain)" : "", qPrintable(target),
                 qPrintable(loadAverage()));
    Bench bench(port, clock, p.isSet(verboseOption));
    const bool allOk = bench.runAll(runs);
    std::fprintf(stderr, "veq-bench: load average %s\n", qPrintable(loadAverage()));
    if (!simulator.running()) {
        std::fprintf(stderr, "veq-bench: the simulator has stopped\n");
        return 1;
    }
    port.close();
    return allOk ? 0 : 1;
}

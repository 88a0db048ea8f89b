#include "cli/lib/portrunner.h"

#include <QThread>

#include "cli/lib/progress.h"

namespace veq::cli {

namespace {

const QString kLineSettings = QStringLiteral("9600,N,8,1");

// One port's whole work, in its own thread: the port, the clock and the exchange belong to it
// alone.
void runOne(PortResult& r, int index, Console& console, const PortRun& how, ProgressBoard* board,
            const PortJob& job) {
    Line line = console.lines(r.port);
    if (how.trace) line.port = std::make_unique<TracePort>(std::move(line.port), how.trace, r.port);
    std::unique_ptr<ProgressClock> progress;
    Clock* clock = line.clock.get();
    if (board) {
        progress = std::make_unique<ProgressClock>(
            *line.clock, [board, index](double elapsed) { board->report(index, elapsed); });
        clock = progress.get();
    }
    SerialPort& port = *line.port;
    if (!how.jobOpensPort) {
        port.setSettings(kLineSettings);
        if (!port.open()) {
            r.exit = kFailed;
            r.message = QStringLiteral("L'ouverture du port %1 à échouée !").arg(r.port);
            r.opening = port.openFailure();
            r.detail = port.errorString();
            if (board) board->finish(index, false);
            return;
        }
    }
    Exchange ex(port, *clock);
    job(ex, r);
    // Why the line failed, as the system says it (a device gone away).
    if (!r.outcome.ok()) r.detail = port.errorString();
    port.close();
    if (board) board->finish(index, r.exit == kDone);
}

}  // namespace

std::vector<PortResult> runOnPorts(const QStringList& ports, Console& console, const PortRun& how,
                                   const PortJob& job) {
    std::unique_ptr<ProgressBoard> board;
    if (how.bars && console.terminal && how.expectedSeconds > 0.0)
        board = std::make_unique<ProgressBoard>(console.terminal, ports, how.expectedSeconds);
    std::vector<PortResult> results(static_cast<size_t>(ports.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < ports.size(); ++i) {
        PortResult& r = results[static_cast<size_t>(i)];
        r.port = ports[i];
        threads.emplace_back(QThread::create([&r, i, &console, &how, b = board.get(), &job] {
            runOne(r, i, console, how, b, job);
        }));
    }
    for (auto& t : threads) t->start();
    for (auto& t : threads) t->wait();
    return results;
}

}  // namespace veq::cli

#include "bench/fleet.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>

#include "bench/simulator.h"
#include "cli/lib/veqctl.h"
#include "journal/journal.h"
#include "panelmem/paramfile.h"

namespace veq::bench {

namespace {

double processorSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const auto s = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return s(ru.ru_utime) + s(ru.ru_stime);
}

struct Timed {
    double wall = 0.0;
    double cpu = 0.0;
    int exit = -1;
    QString err;
};

Timed timedRun(const QStringList& args) {
    QString err;
    cli::Console console;
    console.out = [](const QString&) {};
    console.err = [&err](const QString& t) { err += t; };
    const double c0 = processorSeconds();
    QElapsedTimer t;
    t.start();
    Timed r;
    r.exit = cli::run(args, console);
    r.wall = static_cast<double>(t.nsecsElapsed()) / 1e9;
    r.cpu = processorSeconds() - c0;
    r.err = err;
    return r;
}

struct Sample {
    double wall = 0.0, single = 0.0, cpu = 0.0;
    double ratio() const { return wall / single; }
};

}  // namespace

int runFleet(int panels, int runs, const QString& simulatorProgram, const DeviceServer::Kind* via) {
    std::vector<std::unique_ptr<Simulator>> simulators;
    QStringList ports;
    for (int i = 0; i < panels; ++i) {
        auto s = std::make_unique<Simulator>();
        QString error;
        if (!s->start(simulatorProgram, {QStringLiteral("--pace")}, error)) {
            std::fprintf(stderr, "veq-bench: %s\n", qPrintable(error));
            return 2;
        }
        ports << s->path();
        simulators.push_back(std::move(s));
    }

    DeviceServer server;
    if (via) {
        QString error;
        if (!server.start(ports, *via, error)) {
            std::fprintf(stderr, "veq-bench: %s\n", qPrintable(error));
            return 2;
        }
        ports = server.addresses();
    }

    QTemporaryDir dir;
    // Simulated panels: their programmings stay out of the user's journal.
    journal::setJournalPath(dir.filePath(QStringLiteral("journal.jsonl")));
    const QString file = dir.filePath(QStringLiteral("parameters.json"));
    {
        memmap::RateSettings settings;  // the parameter window's settings at load
        settings.stopThreshold = 60;
        QSaveFile f(file);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(QJsonDocument(cli::parametersJson(settings)).toJson()) < 0 || !f.commit()) {
            std::fprintf(stderr, "veq-bench: cannot write %s\n", qPrintable(file));
            return 2;
        }
    }
    const auto command = [&file](const QStringList& on) {
        QStringList args;
        for (const QString& p : on) args << QStringLiteral("-p") << p;
        return args << QStringLiteral("params") << QStringLiteral("set") << file;
    };

    std::vector<Sample> samples;
    QStringList failures;
    for (int run = 0; run < runs; ++run) {
        const Timed single = timedRun(command({ports.front()}));
        const Timed fleet = timedRun(command(ports));
        if (single.exit != 0)
            failures << QStringLiteral("run %1, single: exit %2: %3")
                            .arg(run + 1)
                            .arg(single.exit)
                            .arg(single.err.trimmed());
        if (fleet.exit != 0)
            failures << QStringLiteral("run %1, fleet: exit %2: %3")
                            .arg(run + 1)
                            .arg(fleet.exit)
                            .arg(fleet.err.trimmed());
        samples.push_back({fleet.wall, single.wall, 100.0 * fleet.cpu / fleet.wall / panels});
        std::fprintf(stderr, "fleet-%d run %d: wall=%.3f single=%.3f ratio=%.3f cpu=%.2f%%\n",
                     panels, run + 1, samples.back().wall, samples.back().single,
                     samples.back().ratio(), samples.back().cpu);
    }
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.ratio() < b.ratio(); });
    const Sample& m = samples[samples.size() / 2];
    std::printf("fleet-%d wall=%.3f single=%.3f ratio=%.3f cpu=%.2f%%\n", panels, m.wall, m.single,
                m.ratio(), m.cpu);
    for (const QString& f : failures) std::printf("FAILED %s\n", qPrintable(f));
    std::fflush(stdout);
    for (const auto& s : simulators)
        if (!s->running()) {
            std::fprintf(stderr, "veq-bench: a simulator has stopped\n");
            return 1;
        }
    return failures.isEmpty() ? 0 : 1;
}

}  // namespace veq::bench

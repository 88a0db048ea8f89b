// veq-panel-sim: a simulated VEQ panel on a pseudo-terminal, for running and testing the tool
// without a panel. See --help.

#include <csignal>
#include <cstdio>

#include <QCoreApplication>

#include "panelsim/model/image.h"
#include "panelsim/options.h"
#include "panelsim/ptyserver.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_muteSwitch = 0;
volatile std::sig_atomic_t g_stallSwitch = 0;

void onSignal(int signo) {
    g_stop = signo;
}

void onMuteSwitch(int) {
    g_muteSwitch = g_muteSwitch + 1;
}

void onStallSwitch(int) {
    g_stallSwitch = g_stallSwitch + 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veq-panel-sim"));
    const veq::sim::ParsedOptions parsed = veq::sim::parseOptions(QCoreApplication::arguments());
    if (parsed.help) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "veq-panel-sim: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(parsed.helpText));
        return 2;
    }
    const veq::sim::Options& options = parsed.options;

    veq::sim::Panel::Memory memory = veq::sim::programmedMemory();
    if (options.fill) memory.fill(*options.fill);
    if (!options.load.isEmpty()) {
        QString error;
        if (!veq::sim::loadImage(options.load, memory, error)) {
            std::fprintf(stderr, "veq-panel-sim: %s: %s\n", qPrintable(options.load),
                         qPrintable(error));
            return 1;
        }
    }
    veq::sim::Panel panel(memory);
    panel.loseByteAnswer = options.loseByte;

    // The stop signals and the mute and stall switches (SIGUSR1, SIGUSR2) are held back except
    // while the server waits, so none slips in between its test of the flags and its wait.
    sigset_t heldSignals;
    sigemptyset(&heldSignals);
    for (int signo : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&heldSignals, signo);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &heldSignals, &waitMask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigdelset(&waitMask, signo);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    struct sigaction mute {};
    mute.sa_handler = onMuteSwitch;
    sigemptyset(&mute.sa_mask);
    sigaction(SIGUSR1, &mute, nullptr);
    struct sigaction stall {};
    stall.sa_handler = onStallSwitch;
    sigemptyset(&stall.sa_mask);
    sigaction(SIGUSR2, &stall, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    veq::sim::PtyServer server(panel, options);
    server.watchMuteSwitch(g_muteSwitch);
    server.watchStallSwitch(g_stallSwitch);
    QString error;
    if (!server.open(error)) {
        std::fprintf(stderr, "veq-panel-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    const bool served = server.run(g_stop, waitMask, error);
    if (!served) std::fprintf(stderr, "veq-panel-sim: %s\n", qPrintable(error));
    QString saveError;
    if (!server.saveImageNow(saveError)) {
        std::fprintf(stderr, "veq-panel-sim: cannot save the memory image: %s\n",
                     qPrintable(saveError));
        return 1;
    }
    return served ? 0 : 1;
}

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace veq::test {

// veq-panel-sim as a child process, started from the folder of the test program. It is told to
// end when the test program dies, so a crashed test leaves no simulator behind.
class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    static QString program();

    // Keeps its standard error (the -v log) for process().readAllStandardError() rather than
    // passing it on; set before start().
    bool captureErrors = false;

    // Starts it and reads the terminal's path from its first line.
    bool start(const QStringList& arguments);
    QString path() const { return path_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    // Waits for a line of its output that reads `line` ("mute on", "mute off").
    bool waitForLine(const QByteArray& line, int ms = 5000);
    // Sends the mute switch (SIGUSR1) and waits for the simulator to report the new state.
    bool switchMute(const QByteArray& expectedLine);
    // Sends the stall switch (SIGUSR2) and waits for the simulator to report the new state.
    bool switchStall(const QByteArray& expectedLine);
    // Waits until it has ended by itself; true when it was killed by a signal.
    bool waitForKilled(int ms = 5000);
    // Ends it (SIGTERM, then SIGKILL if it lingers).
    void stop();
    // Kills it at once, as a pulled device would vanish.
    void kill();
    QProcess& process() { return process_; }

  private:
    QProcess process_;
    QString path_;
};

}  // namespace veq::test

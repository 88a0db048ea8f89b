#pragma once

#include <chrono>
#include <csignal>
#include <deque>

#include <QByteArray>
#include <QString>

#include "panelsim/model/panel.h"
#include "panelsim/options.h"

namespace veq::sim {

// Serves a Panel on the master side of a pseudo-terminal. The server keeps a descriptor of the
// terminal's slave side open for its whole life, so the application can open and close the
// terminal as often as it likes: the terminal stays valid and the master never sees a hang-up.
class PtyServer {
  public:
    using Clock = std::chrono::steady_clock;
    // One character on a 9600 baud 8N1 line: start bit, 8 data bits, stop bit.
    static constexpr std::chrono::nanoseconds kCharTime{1'000'000'000LL * 10 / 9600};

    PtyServer(Panel& panel, const Options& options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal (raw, no echo) and makes the link when asked; false with a
    // reason in `error`.
    bool open(QString& error);
    QString slavePath() const { return slavePath_; }

    // Serves until `stop` becomes non-zero. The signals in `waitMask`'s complement are let through
    // only while waiting, so a stop request is never missed between a test and a wait. Returns
    // false when the terminal failed.
    bool run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask, QString& error);

    // Saves the memory image when a file was given; false with a reason.
    bool saveImageNow(QString& error);

    // Each step of `counter` (raised by a signal handler) switches the answers off or back on;
    // run() notices it before each wait and reports the new state on the standard output.
    void watchMuteSwitch(const volatile std::sig_atomic_t& counter);
    bool muted() const { return muted_; }
    // Each step of `counter` stops the line or lets it go again ("stall on" / "stall off").
    void watchStallSwitch(const volatile std::sig_atomic_t& counter);
    bool stalled() const { return stalled_; }

  private:
    struct Pending {
        char c;
        Clock::time_point due;  // when the character has gone down the line
    };

    void takeInput(const char* bytes, long n, Clock::time_point now);
    QByteArray shape(QByteArray answer) const;
    void setMuted(bool muted);
    // Stopped, the terminal holds back what the tool writes and nothing is read; let go, what
    // came in while stopped is dropped.
    void setStalled(bool stalled);
    // Switches the answers, or the line, when a switch has moved since the last look.
    void followSwitches();
    // Writes every character that is due.
    void writeDue(Clock::time_point now);
    void removeLink();
    void log(const ParsedFrame& f) const;

    Panel& panel_;
    Options options_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    bool linked_ = false;
    std::deque<Pending> out_;
    Clock::time_point inLineFree_{};
    Clock::time_point outLineFree_{};
    int savedCommits_ = 0;
    bool muted_ = false;
    int framesTaken_ = 0;            // frames addressed to the panel so far
    bool muteAfterReached_ = false;  // --mute-after has switched the answers off
    bool dying_ = false;             // the frame count of --die-after is reached
    const volatile std::sig_atomic_t* muteSwitch_ = nullptr;
    std::sig_atomic_t muteSwitchSeen_ = 0;
    bool stalled_ = false;
    bool stallAfterReached_ = false;  // --stall-after has stopped the line
    const volatile std::sig_atomic_t* stallSwitch_ = nullptr;
    std::sig_atomic_t stallSwitchSeen_ = 0;
};

}  // namespace veq::sim

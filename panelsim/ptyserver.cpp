#include "panelsim/ptyserver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

#include "panelsim/model/image.h"

namespace veq::sim {

namespace {

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

timespec toTimespec(std::chrono::nanoseconds d) {
    if (d.count() < 0) d = std::chrono::nanoseconds(0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(d.count() / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(d.count() % 1'000'000'000);
    return ts;
}

}  // namespace

PtyServer::PtyServer(Panel& panel, const Options& options)
    : panel_(panel), options_(options), savedCommits_(panel.commits), muted_(options.mute) {
    // The frames of each character are looked at (counted, logged, checked for a closing
    // command), then dropped.
    panel_.keepFrames = true;
}

PtyServer::~PtyServer() {
    removeLink();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
}

bool PtyServer::open(QString& error) {
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        error = systemError("openpty");
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!options_.link.isEmpty()) {
        const QByteArray link = QFile::encodeName(options_.link);
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0) {
            // A link left by an earlier run that ended without cleaning up is replaced; anything
            // else at that path is not ours to remove.
            if (!S_ISLNK(st.st_mode)) {
                error = QStringLiteral("%1 exists and is not a symbolic link").arg(options_.link);
                return false;
            }
            if (::unlink(link.constData()) != 0) {
                error = systemError("unlink");
                return false;
            }
        }
        if (::symlink(name, link.constData()) != 0) {
            error = systemError("symlink");
            return false;
        }
        linked_ = true;
    }
    return true;
}

void PtyServer::removeLink() {
    if (!linked_) return;
    linked_ = false;
    // Only a link that still leads to this terminal: another run may have taken the path over.
    const QByteArray link = QFile::encodeName(options_.link);
    char target[256] = {};
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    if (n > 0 && QString::fromLocal8Bit(target, static_cast<int>(n)) == slavePath_)
        ::unlink(link.constData());
}

QByteArray PtyServer::shape(QByteArray answer) const {
    // Only a frame gets an answer; a character that completes none gets nothing, not even extras.
    if (answer.isEmpty() || muted_) return {};
    if (options_.garble) answer = garbled(answer);
    if (options_.shortBy > 0) answer.chop(qMin(options_.shortBy, static_cast<int>(answer.size())));
    if (options_.extra > 0) answer += QByteArray(options_.extra, '~');
    return answer;
}

void PtyServer::log(const ParsedFrame& f) const {
    std::fprintf(stderr, "veq-panel-sim: %s %s\n",
                 f.prefix.isEmpty() ? "(no prefix)" : f.prefix.constData(),
                 f.command.toPercentEncoding().constData());
}

void PtyServer::setMuted(bool muted) {
    if (muted == muted_) return;
    muted_ = muted;
    std::printf("%s\n", muted_ ? "mute on" : "mute off");
    std::fflush(stdout);
}

void PtyServer::watchMuteSwitch(const volatile std::sig_atomic_t& counter) {
    muteSwitch_ = &counter;
    muteSwitchSeen_ = counter;
}

void PtyServer::watchStallSwitch(const volatile std::sig_atomic_t& counter) {
    stallSwitch_ = &counter;
    stallSwitchSeen_ = counter;
}

void PtyServer::setStalled(bool stalled) {
    if (stalled == stalled_) return;
    stalled_ = stalled;
    if (stalled_) {
        // The terminal's output stops: the tool's writes are held back in its own queue.
        ::tcflow(slave_, TCOOFF);
    } else {
        // What reached the terminal before it stopped was never taken: a line nobody listened to.
        ::tcflush(master_, TCIFLUSH);
        ::tcflow(slave_, TCOON);
    }
    std::printf("%s\n", stalled_ ? "stall on" : "stall off");
    std::fflush(stdout);
}

void PtyServer::followSwitches() {
    // Two signals before one look switch twice: back where it was, but both are reported.
    while (muteSwitch_ && muteSwitchSeen_ != *muteSwitch_) {
        ++muteSwitchSeen_;
        setMuted(!muted_);
    }
    while (stallSwitch_ && stallSwitchSeen_ != *stallSwitch_) {
        ++stallSwitchSeen_;
        setStalled(!stalled_);
    }
}

void PtyServer::takeInput(const char* bytes, long n, Clock::time_point now) {
    using std::chrono::duration;
    using std::chrono::duration_cast;
    const auto lag = duration_cast<Clock::duration>(duration<double>(options_.lag));
    for (long i = 0; i < n && !dying_ && !stalled_; ++i) {
        // Each character reaches the panel once the line has carried it; the panel answers a
        // frame as soon as its last character is in.
        Clock::time_point arrived = now;
        if (options_.pace) {
            inLineFree_ = std::max(now, inLineFree_) + kCharTime;
            arrived = inLineFree_;
        }
        const QByteArray raw = panel_.receive(QByteArray(1, bytes[i]));
        bool closing = false;
        for (const ParsedFrame& f : panel_.frames) {
            if (options_.verbose) log(f);
            if (f.prefix.isEmpty()) continue;
            ++framesTaken_;
            closing = closing || f.command == "X6X" || f.command == "RRR" || f.command == "WWW";
        }
        panel_.frames.clear();
        // --mute-after switches the answers off once, from the first frame past the count; the
        // mute switch can bring them back.
        if (options_.muteAfter >= 0 && !muteAfterReached_ && framesTaken_ > options_.muteAfter) {
            muteAfterReached_ = true;
            setMuted(true);
        }
        const QByteArray answer = shape(raw);
        // --die-after: the last frame is still answered, then nothing more is taken in.
        if (options_.dieAfter > 0 && framesTaken_ >= options_.dieAfter) dying_ = true;
        // --stall-after: the last frame is still answered; the bytes behind it are lost.
        if (options_.stallAfter >= 0 && !stallAfterReached_ &&
            framesTaken_ >= options_.stallAfter) {
            stallAfterReached_ = true;
            setStalled(true);
        }
        if (closing) arrived += lag;
        for (char c : answer) {
            Clock::time_point due = arrived;
            if (options_.pace) {
                outLineFree_ = std::max(arrived, outLineFree_) + kCharTime;
                due = outLineFree_;
            }
            out_.push_back({c, due});
        }
    }
    if (panel_.commits != savedCommits_) {
        if (options_.verbose)
            std::fprintf(stderr, "veq-panel-sim: %d write(s) committed\n",
                         panel_.commits - savedCommits_);
        savedCommits_ = panel_.commits;
        QString error;
        if (!saveImageNow(error))
            std::fprintf(stderr, "veq-panel-sim: cannot save the memory image: %s\n",
                         qPrintable(error));
    }
}

void PtyServer::writeDue(Clock::time_point now) {
    QByteArray chunk;
    for (const Pending& p : out_) {
        if (p.due > now) break;
        chunk += p.c;
    }
    if (chunk.isEmpty()) return;
    ssize_t n;
    do {
        n = ::write(master_, chunk.constData(), static_cast<size_t>(chunk.size()));
    } while (n < 0 && errno == EINTR);
    // The panel never waits for the PC: what the terminal does not take now (its queue full
    // because nobody reads the other side) is lost, like characters on a line nobody listens to.
    out_.erase(out_.begin(), out_.begin() + chunk.size());
}

bool PtyServer::saveImageNow(QString& error) {
    if (options_.save.isEmpty()) return true;
    return saveImage(options_.save, panel_.memory, error);
}

bool PtyServer::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask,
                    QString& error) {
    using namespace std::chrono_literals;
    char buffer[4096];
    while (!stop) {
        followSwitches();
        if (!out_.empty()) writeDue(Clock::now());

        // Stopped, the line is not read: only the answers due and the signals are waited for.
        pollfd pfd{master_, static_cast<short>(stalled_ ? 0 : POLLIN), 0};
        timespec ts{};
        const timespec* timeout = nullptr;
        if (!out_.empty()) {
            ts = toTimespec(out_.front().due - Clock::now());
            timeout = &ts;
        }
        const int r = ::ppoll(&pfd, 1, timeout, &waitMask);
        if (r < 0) {
            if (errno == EINTR) continue;
            error = systemError("ppoll");
            return false;
        }
        if (r == 0) continue;
        if (pfd.revents & POLLNVAL) {
            error = QStringLiteral("the pseudo-terminal was closed");
            return false;
        }
        bool idle = false;
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                takeInput(buffer, n, Clock::now());
                if (dying_) {
                    // Killed: what is due goes out, the rest is lost, nothing is cleaned up.
                    writeDue(Clock::now());
                    ::kill(::getpid(), SIGKILL);
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                idle = true;  // no one on the other side
        } else if (pfd.revents & (POLLHUP | POLLERR)) {
            idle = true;
        }
        if (idle) {
            // The slave side is held open here, so this should not last; do not spin meanwhile.
            timespec pause = toTimespec(20ms);
            ::ppoll(nullptr, 0, &pause, &waitMask);
        }
    }
    return true;
}

}  // namespace veq::sim

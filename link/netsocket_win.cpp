#include "link/netsocket.h"

// Winsock, on Windows when Qt has no network module there.
#if defined(_WIN32) && !defined(VEQ_NETWORK)

// Winsock's headers come before anything that may bring <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <QElapsedTimer>

namespace veq {

namespace {

bool winsockStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

struct Address {
    sockaddr_storage storage{};
    int length = 0;
    int family = AF_INET;
};

std::vector<Address> addressesOf(const addrinfo* list) {
    std::vector<Address> out;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        Address address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = static_cast<int>(a->ai_addrlen);
        address.family = a->ai_family;
        out.push_back(address);
    }
    return out;
}

// The TCP addresses of `host`, port included; `numeric` takes only an address written out.
std::vector<Address> lookUp(const std::string& host, const std::string& port, bool numeric) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = numeric ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return {};
    std::vector<Address> out = addressesOf(list);
    freeaddrinfo(list);
    return out;
}

// Waits at most `ms` for `s` to be readable (or writable): true when it is.
bool ready(SOCKET s, bool forWriting, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    const int n = forWriting ? select(0, nullptr, &set, nullptr, &limit)
                             : select(0, &set, nullptr, nullptr, &limit);
    return n > 0;
}

class WinNetSocket : public NetSocket {
  public:
    ~WinNetSocket() override { abort(); }

    Reach connectTo(const QString& host, quint16 port, int ms) override {
        abort();
        if (!winsockStarted()) return Reach::NoAnswer;
        QElapsedTimer timer;
        timer.start();
        const std::string name = host.toStdString();
        const std::string service = std::to_string(port);
        std::vector<Address> addresses = lookUp(name, service, true);
        if (addresses.empty()) {
            // A name: looked up aside, so that a resolver that drops packets never holds the
            // opening past its bound (the lookup ends on its own).
            auto promise = std::make_shared<std::promise<std::vector<Address>>>();
            std::future<std::vector<Address>> answer = promise->get_future();
            std::thread([promise, name, service] {
                promise->set_value(lookUp(name, service, false));
            }).detach();
            if (answer.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready)
                return Reach::NameTimedOut;
            addresses = answer.get();
            if (addresses.empty()) return Reach::NoSuchName;
        }
        // Each address in turn within the same bound: a refusal on one is no answer for the next.
        Reach why = Reach::NoAnswer;
        for (const Address& a : addresses) {
            const int left = ms - static_cast<int>(timer.elapsed());
            if (left <= 0) break;
            const Reach r = attempt(a, left);
            if (r == Reach::Connected) return r;
            why = r;
        }
        return why;
    }

    Sent send(const QByteArray& bytes, int limitMs) override {
        if (socket_ == INVALID_SOCKET) return Sent::Lost;
        QElapsedTimer timer;
        timer.start();
        qsizetype done = 0;
        while (done < bytes.size()) {
            const int n =
                ::send(socket_, bytes.constData() + done, static_cast<int>(bytes.size() - done), 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                open_ = false;
                return Sent::Lost;
            }
            // The peer's window is full: wait for room within the limit.
            const int left = limitMs - static_cast<int>(timer.elapsed());
            if (left <= 0) return Sent::Stalled;
            ready(socket_, true, std::min(left, 50));
        }
        return Sent::Done;
    }

    QByteArray receive(int ms) override {
        QByteArray out;
        if (socket_ == INVALID_SOCKET || !open_) return out;
        if (!ready(socket_, false, ms)) return out;
        char chunk[4096];
        for (;;) {
            const int n = recv(socket_, chunk, sizeof chunk, 0);
            if (n > 0) {
                out.append(chunk, n);
                continue;
            }
            // 0: the peer closed; an error other than "nothing more now": the connection broke.
            if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) open_ = false;
            break;
        }
        return out;
    }

    bool connected() const override { return socket_ != INVALID_SOCKET && open_; }

    void close() override {
        if (socket_ == INVALID_SOCKET) return;
        shutdown(socket_, SD_SEND);
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
        open_ = false;
    }

    void abort() override {
        if (socket_ == INVALID_SOCKET) return;
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
        open_ = false;
    }

  private:
    // One address: a non-blocking connection, waited for at most `ms`.
    Reach attempt(const Address& a, int ms) {
        SOCKET s = socket(a.family, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return Reach::NoAnswer;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        Reach r = Reach::Connected;
        if (connect(s, reinterpret_cast<const sockaddr*>(&a.storage), a.length) != 0) {
            const int e = WSAGetLastError();
            if (e == WSAECONNREFUSED) {
                r = Reach::Refused;
            } else if (e != WSAEWOULDBLOCK) {
                r = Reach::NoAnswer;
            } else {
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval limit{ms / 1000, (ms % 1000) * 1000};
                if (select(0, nullptr, &writable, &failed, &limit) <= 0) {
                    r = Reach::NoAnswer;
                } else {
                    int error = 0;
                    int length = sizeof error;
                    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
                    if (FD_ISSET(s, &failed) || error != 0)
                        r = error == WSAECONNREFUSED ? Reach::Refused : Reach::NoAnswer;
                }
            }
        }
        if (r != Reach::Connected) {
            closesocket(s);
            return r;
        }
        // Every write leaves at once.
        BOOL noDelay = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                   sizeof noDelay);
        socket_ = s;
        open_ = true;
        return r;
    }

    SOCKET socket_ = INVALID_SOCKET;
    bool open_ = false;
};

}  // namespace

std::unique_ptr<NetSocket> makeNetSocket() {
    return std::make_unique<WinNetSocket>();
}

}  // namespace veq

#endif  // Winsock

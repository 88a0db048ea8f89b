#include "link/netsocket.h"

// Qt's own sockets, where Qt has its network module.
#ifdef VEQ_NETWORK

#include <chrono>
#include <future>
#include <thread>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>

namespace veq {

namespace {

// The addresses of a host name within `ms`. A lookup that outlasts it is left to end on its own
// (a resolver that drops packets may take many seconds): the opening never waits for it.
enum class Lookup { Found, Unknown, TimedOut };
Lookup resolve(const QString& host, int ms, QList<QHostAddress>& addresses) {
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        addresses = {literal};
        return Lookup::Found;
    }
    auto promise = std::make_shared<std::promise<QList<QHostAddress>>>();
    std::future<QList<QHostAddress>> answer = promise->get_future();
    std::thread([promise, host] {
        const QHostInfo info = QHostInfo::fromName(host);
        promise->set_value(info.error() == QHostInfo::NoError ? info.addresses()
                                                              : QList<QHostAddress>{});
    }).detach();
    if (answer.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready)
        return Lookup::TimedOut;
    addresses = answer.get();
    return addresses.isEmpty() ? Lookup::Unknown : Lookup::Found;
}

class QtNetSocket : public NetSocket {
  public:
    Reach connectTo(const QString& host, quint16 port, int ms) override {
        QElapsedTimer timer;
        timer.start();
        QList<QHostAddress> addresses;
        switch (resolve(host, ms, addresses)) {
            case Lookup::Found:
                break;
            case Lookup::Unknown:
                return Reach::NoSuchName;
            case Lookup::TimedOut:
                return Reach::NameTimedOut;
        }
        // Each address in turn within the same bound: a refusal on one is no answer for the next.
        Reach why = Reach::NoAnswer;
        for (const QHostAddress& a : addresses) {
            const int left = ms - static_cast<int>(timer.elapsed());
            if (left <= 0) break;
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(a, port);
            if (socket->waitForConnected(left)) {
                socket_ = std::move(socket);
                socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                return Reach::Connected;
            }
            why = socket->error() == QAbstractSocket::ConnectionRefusedError ? Reach::Refused
                                                                             : Reach::NoAnswer;
            socket->abort();
        }
        return why;
    }

    Sent send(const QByteArray& bytes, int limitMs) override {
        if (!socket_) return Sent::Lost;
        if (socket_->write(bytes) != bytes.size()) return Sent::NotTaken;
        QElapsedTimer timer;
        timer.start();
        while (socket_->bytesToWrite() > 0 && timer.elapsed() < limitMs) {
            const int left = static_cast<int>(limitMs - timer.elapsed());
            socket_->waitForBytesWritten(qBound(1, left, 50));
            if (!connected()) return Sent::Lost;
        }
        return socket_->bytesToWrite() > 0 ? Sent::Stalled : Sent::Done;
    }

    QByteArray receive(int ms) override {
        if (!socket_) return {};
        if (socket_->bytesAvailable() == 0) socket_->waitForReadyRead(ms);
        return socket_->readAll();
    }

    bool connected() const override {
        return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
    }

    void close() override {
        if (socket_) socket_->close();
        socket_.reset();
    }

    void abort() override {
        if (socket_) socket_->abort();
        socket_.reset();
    }

  private:
    std::unique_ptr<QTcpSocket> socket_;
};

}  // namespace

std::unique_ptr<NetSocket> makeNetSocket() {
    return std::make_unique<QtNetSocket>();
}

}  // namespace veq

#endif  // VEQ_NETWORK

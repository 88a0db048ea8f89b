#include "link/serialport.h"

// Built where Qt has its network module (not in the Windows cross-build's Qt).
#ifdef VEQ_NETWORK
#include "link/netport.h"

#include <chrono>
#include <future>
#include <thread>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>

#include "link/exchange.h"
#include "link/qtserialport.h"

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

// "9600,N,8,1" as RFC 2217 codes it (the default line when the text is of another form).
rfc2217::LineSettings lineOf(const QString& settings) {
    rfc2217::LineSettings line;
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) return line;
    bool ok = false;
    const uint baud = parts[0].trimmed().toUInt(&ok);
    if (ok && baud > 0) line.baud = baud;
    const QString parity = parts[1].trimmed().toUpper();
    const QString parities = QStringLiteral("NOEMS");
    if (parity.size() == 1 && parities.contains(parity))
        line.parity = static_cast<unsigned char>(parities.indexOf(parity) + 1);
    const int bits = parts[2].trimmed().toInt(&ok);
    if (ok && bits >= 5 && bits <= 8) line.dataBits = static_cast<unsigned char>(bits);
    const QString stop = parts[3].trimmed();
    line.stopBits = stop == QLatin1String("2") ? 2 : stop == QLatin1String("1.5") ? 3 : 1;
    return line;
}

}  // namespace

NetPort::~NetPort() {
    close();
}

bool NetPort::fail(OpenFailure failure, const QString& why) {
    failure_ = failure;
    error_ = why;
    if (socket_) socket_->abort();
    socket_.reset();
    return false;
}

bool NetPort::open() {
    close();
    error_.clear();
    notes_.clear();
    received_.clear();
    session_ = rfc2217::Session();
    failure_ = OpenFailure::Other;

    QElapsedTimer timer;
    timer.start();
    QList<QHostAddress> addresses;
    switch (resolve(address_.host, kConnectMs, addresses)) {
        case Lookup::Found:
            break;
        case Lookup::Unknown:
            return fail(
                OpenFailure::Unresolved,
                QStringLiteral("le nom %1 ne correspond à aucune adresse").arg(address_.host));
        case Lookup::TimedOut:
            return fail(OpenFailure::Unresolved,
                        QStringLiteral("le nom %1 n'a pas pu être résolu en %2 ms")
                            .arg(address_.host)
                            .arg(kConnectMs));
    }

    // Each address in turn within the same bound: a refusal on one is no answer for the next.
    OpenFailure why = OpenFailure::Unreachable;
    for (const QHostAddress& a : addresses) {
        const int left = kConnectMs - static_cast<int>(timer.elapsed());
        if (left <= 0) break;
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(a, address_.port);
        if (socket->waitForConnected(left)) {
            socket_ = std::move(socket);
            break;
        }
        why = socket->error() == QAbstractSocket::ConnectionRefusedError ? OpenFailure::Refused
                                                                         : OpenFailure::Unreachable;
        socket->abort();
    }
    if (!socket_) {
        return fail(
            why,
            why == OpenFailure::Refused
                ? QStringLiteral("connexion refusée par %1").arg(address_.text())
                : QStringLiteral("%1 ne répond pas (%2 ms)").arg(address_.text()).arg(kConnectMs));
    }
    // Every frame leaves when it is written, as on a serial line.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    notes_ << QStringLiteral("connected to %1 in %2 ms").arg(address_.text()).arg(timer.elapsed());
    if (rfc2217() && !negotiate()) {
        failure_ = OpenFailure::Unreachable;
        return false;
    }
    // A fresh port starts with an empty receive buffer.
    discardInput();
    if (!socket_) {
        failure_ = OpenFailure::Unreachable;
        return false;
    }
    failure_ = OpenFailure::None;
    return true;
}

bool NetPort::negotiate() {
    // Waits for what the server says, within the bound; a server that does not answer never
    // holds the opening longer.
    const auto await = [this](const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (socket_ && !done() && t.elapsed() < kAnswerMs) pull(5);
        return t.elapsed();
    };
    if (!send(session_.negotiation())) return false;
    const qint64 agreed = await([this] { return session_.comPortAgreed() || session_.refused(); });
    if (!socket_) return false;
    if (!session_.comPortAgreed())
        notes_ << QStringLiteral(
                      "rfc2217: the server did not agree to COM-PORT-OPTION within "
                      "%1 ms; going on")
                      .arg(agreed);
    if (!send(session_.opening(lineOf(settings_)))) return false;
    const qint64 answered = await([this] { return session_.openingAnswered(); });
    if (!socket_) return false;
    const QStringList missing = session_.unanswered();
    if (missing.isEmpty())
        notes_ << QStringLiteral("rfc2217: line set, DTR on, RTS off (answered in %1 ms)")
                      .arg(answered);
    else
        notes_ << QStringLiteral("rfc2217: no answer to %1 within %2 ms; going on")
                      .arg(missing.join(QStringLiteral(", ")))
                      .arg(answered);
    return true;
}

void NetPort::close() {
    if (!socket_) return;
    socket_->close();
    socket_.reset();
    received_.clear();
}

void NetPort::lost(const QString& why) {
    error_ = why;
    notes_ << QStringLiteral("connection lost: ") + why;
    if (socket_) socket_->abort();
    socket_.reset();
    received_.clear();
}

QStringList NetPort::takeNotes() {
    QStringList out;
    out.swap(notes_);
    return out;
}

bool NetPort::send(const QByteArray& wire) {
    if (!socket_) return false;
    if (socket_->write(wire) != wire.size()) {
        lost(QStringLiteral("le serveur ne prend plus les octets"));
        return false;
    }
    // The bytes leave now; what the kernel does not take within their line time and a margin
    // means the server has stopped reading.
    const qint64 limitMs = writeLimitMs(wire.size(), characterSeconds(settings_));
    QElapsedTimer timer;
    timer.start();
    while (socket_ && socket_->bytesToWrite() > 0 && timer.elapsed() < limitMs) {
        const int left = static_cast<int>(limitMs - timer.elapsed());
        socket_->waitForBytesWritten(qBound(1, left, 50));
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            lost(QStringLiteral("connexion coupée par le serveur"));
            return false;
        }
    }
    if (!socket_) return false;
    if (socket_->bytesToWrite() > 0) {
        error_ = QStringLiteral("le serveur n'a pas pris les octets");
        return false;
    }
    return true;
}

bool NetPort::write(const QByteArray& bytes) {
    if (!socket_) return false;
    return send(rfc2217() ? rfc2217::escape(bytes) : bytes);
}

void NetPort::pull(int ms) {
    if (!socket_) return;
    if (socket_->bytesAvailable() == 0) socket_->waitForReadyRead(ms);
    const QByteArray in = socket_->readAll();
    if (rfc2217()) {
        received_ += session_.receive(in);
        const QByteArray replies = session_.takeReplies();
        if (!replies.isEmpty() && !send(replies)) return;
    } else {
        received_ += in;
    }
    if (socket_->state() != QAbstractSocket::ConnectedState)
        lost(QStringLiteral("connexion coupée par le serveur"));
}

int NetPort::inBufferCount() {
    pull(1);
    return socket_ ? static_cast<int>(received_.size()) : 0;
}

void NetPort::discardInput() {
    if (!socket_) return;
    pull(0);
    received_.clear();
    // What the server holds from the line goes too.
    if (rfc2217()) send(session_.purgeReceived());
}

QByteArray NetPort::readAll() {
    if (!socket_) return {};
    pull(0);
    QByteArray out;
    out.swap(received_);
    return out;
}

void NetPort::setDtr(bool on) {
    if (socket_ && rfc2217()) send(session_.setDtr(on));
}

}  // namespace veq

#endif  // VEQ_NETWORK

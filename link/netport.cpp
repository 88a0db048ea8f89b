#include "link/netsocket.h"

// Built where there are network ports (link/netsocket.h).
#ifdef VEQ_NETPORT
#include "link/netport.h"

#include <functional>

#include <QElapsedTimer>

#include "link/exchange.h"
#include "link/qtserialport.h"

namespace veq {

namespace {

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
    auto socket = makeNetSocket();
    switch (socket->connectTo(address_.host, address_.port, kConnectMs)) {
        case NetSocket::Reach::Connected:
            break;
        case NetSocket::Reach::NoSuchName:
            return fail(
                OpenFailure::Unresolved,
                QStringLiteral("le nom %1 ne correspond à aucune adresse").arg(address_.host));
        case NetSocket::Reach::NameTimedOut:
            return fail(OpenFailure::Unresolved,
                        QStringLiteral("le nom %1 n'a pas pu être résolu en %2 ms")
                            .arg(address_.host)
                            .arg(kConnectMs));
        case NetSocket::Reach::Refused:
            return fail(OpenFailure::Refused,
                        QStringLiteral("connexion refusée par %1").arg(address_.text()));
        case NetSocket::Reach::NoAnswer:
            return fail(
                OpenFailure::Unreachable,
                QStringLiteral("%1 ne répond pas (%2 ms)").arg(address_.text()).arg(kConnectMs));
    }
    // Every frame leaves when it is written, as on a serial line (the socket's no-delay option).
    socket_ = std::move(socket);
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
    // The bytes leave now; what the system does not take within their line time and a margin
    // means the server has stopped reading.
    const qint64 limitMs = writeLimitMs(wire.size(), characterSeconds(settings_));
    switch (socket_->send(wire, static_cast<int>(limitMs))) {
        case NetSocket::Sent::Done:
            return true;
        case NetSocket::Sent::NotTaken:
            lost(QStringLiteral("le serveur ne prend plus les octets"));
            return false;
        case NetSocket::Sent::Lost:
            lost(QStringLiteral("connexion coupée par le serveur"));
            return false;
        case NetSocket::Sent::Stalled:
            error_ = QStringLiteral("le serveur n'a pas pris les octets");
            return false;
    }
    return false;
}

bool NetPort::write(const QByteArray& bytes) {
    if (!socket_) return false;
    return send(rfc2217() ? rfc2217::escape(bytes) : bytes);
}

void NetPort::pull(int ms) {
    if (!socket_) return;
    const QByteArray in = socket_->receive(ms);
    if (rfc2217()) {
        received_ += session_.receive(in);
        const QByteArray replies = session_.takeReplies();
        if (!replies.isEmpty() && !send(replies)) return;
    } else {
        received_ += in;
    }
    if (socket_ && !socket_->connected()) lost(QStringLiteral("connexion coupée par le serveur"));
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

#endif  // VEQ_NETPORT

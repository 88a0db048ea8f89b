#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

// Network ports are built where Qt has its network module, and on Windows over Winsock when the
// Qt there has none (the Windows cross-build's).
#if defined(VEQ_NETWORK) || defined(_WIN32)
#define VEQ_NETPORT 1
#endif

namespace veq {

// The few TCP calls a network port makes, without an event loop: every wait is a bounded blocking
// one. Over QTcpSocket where Qt has its network module, over Winsock on Windows otherwise.
class NetSocket {
  public:
    enum class Reach { Connected, NoSuchName, NameTimedOut, Refused, NoAnswer };
    enum class Sent { Done, NotTaken, Lost, Stalled };

    virtual ~NetSocket() = default;
    // Resolves `host` and connects to one of its addresses, the whole within `ms`; a connected
    // socket sends every write at once (no Nagle delay).
    virtual Reach connectTo(const QString& host, quint16 port, int ms) = 0;
    // Sends all of `bytes`: Stalled when the peer has not taken them within `limitMs`, Lost when
    // the connection went meanwhile, NotTaken when the bytes could not even be handed over.
    virtual Sent send(const QByteArray& bytes, int limitMs) = 0;
    // What has arrived; when nothing has, waits for it at most `ms` (0: only looks).
    virtual QByteArray receive(int ms) = 0;
    // False once the peer closed the connection or it broke.
    virtual bool connected() const = 0;
    // Closes politely (close) or at once (abort).
    virtual void close() = 0;
    virtual void abort() = 0;
};

std::unique_ptr<NetSocket> makeNetSocket();

}  // namespace veq

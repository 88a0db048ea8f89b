#pragma once

#include <optional>

#include <QString>

namespace veq {

// A panel behind a serial device server on the network, named as a port: "rfc2217://HOST:PORT"
// (Telnet with the COM port option, which also carries the line settings and the modem lines) or
// "tcp://HOST:PORT" (the bytes as they are, no line control). HOST is a name, an IPv4 address or
// an IPv6 address in brackets ("rfc2217://[fd00::5]:4001").
struct NetAddress {
    enum class Kind { Rfc2217, Tcp };
    Kind kind = Kind::Rfc2217;
    QString host;  // in lower case, without the brackets of an IPv6 address
    quint16 port = 0;

    // The address written back in its usual form, in lower case.
    QString text() const;
    bool operator==(const NetAddress&) const = default;
};

// Whether a port name is meant as a network address (it starts with "rfc2217://" or "tcp://", in
// any case), well formed or not: such a name never leads to a device file.
bool isNetworkName(const QString& name);

// The address a name gives; nullopt when it is malformed, and `error` (when given) then says in
// French what is wrong with it: a missing or invalid port number, a port 0 or above 65535, an
// empty or invalid host, an unclosed bracket, anything after the port.
std::optional<NetAddress> parseNetAddress(const QString& name, QString* error = nullptr);

}  // namespace veq

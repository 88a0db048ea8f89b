#include "link/netaddress.h"

#include <QRegularExpression>
#include <QStringList>

#include <cctype>

namespace veq {

namespace {

const QLatin1String kRfc2217("rfc2217://");
const QLatin1String kTcp("tcp://");

std::optional<NetAddress> refuse(QString* error, const QString& name, const QString& why) {
    if (error) *error = QStringLiteral("adresse réseau « %1 » invalide : %2").arg(name, why);
    return std::nullopt;
}

// A host name: letters, digits, hyphens and dots, in labels of 1 to 63 characters that neither
// start nor end with a hyphen.
bool isHostName(const QString& host) {
    static const QRegularExpression rule(QStringLiteral(
        "^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,"
        "61}[A-Za-z0-9])?)*\\.?$"));
    return rule.match(host).hasMatch();
}

// Four numbers from 0 to 255 separated by dots, without leading zeros.
bool isIpv4(const QString& host) {
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3 || (p.size() > 1 && p.startsWith(QLatin1Char('0'))))
            return false;
        for (const QChar c : p)
            if (!c.isDigit() || c.unicode() > '9') return false;
        if (p.toInt() > 255) return false;
    }
    return true;
}

// An IPv6 address: up to eight groups of one to four hexadecimal digits, at most one "::" for
// the groups left out, and an IPv4 address in place of the last two groups.
bool isIpv6(const QString& host) {
    if (host.isEmpty() || host.size() > 45) return false;
    QString h = host;
    int groups = 0;
    const qsizetype lastColon = h.lastIndexOf(QLatin1Char(':'));
    if (lastColon < 0) return false;
    if (h.indexOf(QLatin1Char('.'), lastColon) >= 0) {
        if (!isIpv4(h.mid(lastColon + 1))) return false;
        h = h.left(lastColon + 1) + QStringLiteral("0");
        groups = 1;  // the IPv4 address holds two groups, one is counted below
    }
    const qsizetype gap = h.indexOf(QLatin1String("::"));
    if (gap >= 0 && h.indexOf(QLatin1String("::"), gap + 1) >= 0) return false;
    const QStringList sides = gap >= 0 ? QStringList{h.left(gap), h.mid(gap + 2)} : QStringList{h};
    for (const QString& side : sides) {
        if (side.isEmpty()) continue;
        for (const QString& g : side.split(QLatin1Char(':'))) {
            if (g.isEmpty() || g.size() > 4) return false;
            for (const QChar c : g)
                if (c.unicode() > 127 || !std::isxdigit(c.unicode())) return false;
            ++groups;
        }
    }
    return gap >= 0 ? groups <= 7 : groups == 8;
}

// Four numbers and three dots only: meant as an IPv4 address, never as a name.
bool looksIpv4(const QString& host) {
    static const QRegularExpression rule(QStringLiteral("^[0-9.]+$"));
    return rule.match(host).hasMatch();
}

}  // namespace

QString NetAddress::text() const {
    const QString scheme = kind == Kind::Rfc2217 ? QString(kRfc2217) : QString(kTcp);
    const QString h =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return scheme + h + QLatin1Char(':') + QString::number(port);
}

bool isNetworkName(const QString& name) {
    const QString n = name.trimmed();
    return n.startsWith(kRfc2217, Qt::CaseInsensitive) || n.startsWith(kTcp, Qt::CaseInsensitive);
}

std::optional<NetAddress> parseNetAddress(const QString& name, QString* error) {
    const QString n = name.trimmed();
    NetAddress a;
    QString rest;
    if (n.startsWith(kRfc2217, Qt::CaseInsensitive)) {
        a.kind = NetAddress::Kind::Rfc2217;
        rest = n.mid(kRfc2217.size());
    } else if (n.startsWith(kTcp, Qt::CaseInsensitive)) {
        a.kind = NetAddress::Kind::Tcp;
        rest = n.mid(kTcp.size());
    } else {
        return refuse(error, name, QStringLiteral("elle doit commencer par rfc2217:// ou tcp://"));
    }

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) return refuse(error, name, QStringLiteral("crochet « ] » manquant"));
        a.host = rest.mid(1, close - 1);
        if (!isIpv6(a.host))
            return refuse(error, name,
                          QStringLiteral("« %1 » n'est pas une adresse IPv6").arg(a.host));
        rest = rest.mid(close + 1);
        if (!rest.startsWith(QLatin1Char(':')))
            return refuse(error, name, QStringLiteral("numéro de port manquant après l'hôte"));
        portText = rest.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0) return refuse(error, name, QStringLiteral("numéro de port manquant"));
        a.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (a.host.isEmpty()) return refuse(error, name, QStringLiteral("nom d'hôte manquant"));
        if (a.host.contains(QLatin1Char(':')))
            return refuse(
                error, name,
                QStringLiteral("une adresse IPv6 s'écrit entre crochets : [%1]").arg(a.host));
        if (looksIpv4(a.host)) {
            if (!isIpv4(a.host))
                return refuse(error, name,
                              QStringLiteral("« %1 » n'est pas une adresse IPv4").arg(a.host));
        } else if (!isHostName(a.host)) {
            return refuse(error, name,
                          QStringLiteral("« %1 » n'est pas un nom d'hôte valide").arg(a.host));
        }
    }

    if (portText.isEmpty()) return refuse(error, name, QStringLiteral("numéro de port manquant"));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(portText).hasMatch())
        return refuse(
            error, name,
            QStringLiteral("« %1 » n'est pas un numéro de port (1 à 65535)").arg(portText));
    const int port = portText.toInt();
    if (port < 1 || port > 65535)
        return refuse(error, name,
                      QStringLiteral("port %1 hors limites (1 à 65535)").arg(portText));
    a.port = static_cast<quint16>(port);
    a.host = a.host.toLower();  // names and IPv6 digits alike know no case
    return a;
}

}  // namespace veq

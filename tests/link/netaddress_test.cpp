#include <gtest/gtest.h>

#include "link/netaddress.h"

namespace veq {
namespace {

// Every form of a network port name, good and bad: what it gives, or the fault its message names.
TEST(NetAddress, FormsTakenAndRefusedWithTheFaultNamed) {
    using K = NetAddress::Kind;
    struct Row {
        const char* name;
        bool ok;
        K kind;
        const char* host;  // or, for a bad one, a part of the message
        int port;
    };
    const Row rows[] = {
        {"rfc2217://hall2-gw:4001", true, K::Rfc2217, "hall2-gw", 4001},
        {"RFC2217://Hall2-GW.usine.local:4001", true, K::Rfc2217, "hall2-gw.usine.local", 4001},
        {"tcp://[FD00::A]:4001", true, K::Tcp, "fd00::a", 4001},
        {"tcp://192.168.1.20:1", true, K::Tcp, "192.168.1.20", 1},
        {"tcp://10.0.0.1:65535", true, K::Tcp, "10.0.0.1", 65535},
        {"rfc2217://[fd00::5]:4001", true, K::Rfc2217, "fd00::5", 4001},
        {"rfc2217://[::1]:2000", true, K::Rfc2217, "::1", 2000},
        {"tcp://[::ffff:192.168.1.2]:7", true, K::Tcp, "::ffff:192.168.1.2", 7},
        {"  tcp://panel7:23  ", true, K::Tcp, "panel7", 23},
        {"rfc2217://hall2-gw", false, K::Rfc2217, "numéro de port manquant", 0},
        {"rfc2217://hall2-gw:", false, K::Rfc2217, "numéro de port manquant", 0},
        {"tcp://hall2-gw:0", false, K::Tcp, "port 0 hors limites (1 à 65535)", 0},
        {"tcp://hall2-gw:65536", false, K::Tcp, "port 65536 hors limites", 0},
        {"tcp://hall2-gw:123456", false, K::Tcp, "« 123456 » n'est pas un numéro de port", 0},
        {"tcp://hall2-gw:40a1", false, K::Tcp, "« 40a1 » n'est pas un numéro de port", 0},
        {"tcp://hall2-gw:-4", false, K::Tcp, "« -4 » n'est pas un numéro de port", 0},
        {"tcp://:4001", false, K::Tcp, "nom d'hôte manquant", 0},
        {"tcp://hall 2:4001", false, K::Tcp, "« hall 2 » n'est pas un nom d'hôte valide", 0},
        {"tcp://-gw:4001", false, K::Tcp, "n'est pas un nom d'hôte valide", 0},
        {"tcp://gw_1:4001", false, K::Tcp, "n'est pas un nom d'hôte valide", 0},
        {"tcp://256.1.1.1:4001", false, K::Tcp, "« 256.1.1.1 » n'est pas une adresse IPv4", 0},
        {"tcp://10.0.1:4001", false, K::Tcp, "n'est pas une adresse IPv4", 0},
        {"tcp://fd00::5:4001", false, K::Tcp, "une adresse IPv6 s'écrit entre crochets", 0},
        {"tcp://[fd00::5:4001", false, K::Tcp, "crochet « ] » manquant", 0},
        {"tcp://[fd00::5]4001", false, K::Tcp, "numéro de port manquant après l'hôte", 0},
        {"tcp://[fd00:::5]:4001", false, K::Tcp, "« fd00:::5 » n'est pas une adresse IPv6", 0},
        {"tcp://[1:2:3:4:5:6:7:8:9]:4001", false, K::Tcp, "n'est pas une adresse IPv6", 0},
        {"tcp://[hall2]:4001", false, K::Tcp, "n'est pas une adresse IPv6", 0},
        {"socket://hall2-gw:4001", false, K::Tcp, "doit commencer par rfc2217:// ou tcp://", 0},
    };
    for (const Row& r : rows) {
        const QString name = QString::fromUtf8(r.name);
        QString error;
        const auto a = parseNetAddress(name, &error);
        ASSERT_EQ(a.has_value(), r.ok) << r.name << " " << error.toStdString();
        if (r.ok) {
            EXPECT_EQ(a->kind, r.kind) << r.name;
            EXPECT_EQ(a->host, QString::fromUtf8(r.host)) << r.name;
            EXPECT_EQ(a->port, r.port) << r.name;
            EXPECT_TRUE(error.isEmpty()) << r.name;
            // Its usual form reads back as the same address.
            EXPECT_EQ(parseNetAddress(a->text()), a) << r.name;
        } else {
            EXPECT_TRUE(error.contains(QString::fromUtf8(r.host)))
                << r.name << ": " << error.toStdString();
            EXPECT_TRUE(error.contains(name)) << r.name;  // the message quotes the name given
        }
        // A network name is never taken for a device path, well formed or not.
        EXPECT_EQ(isNetworkName(name), !QString::fromUtf8(r.name).contains("socket:")) << r.name;
    }
    EXPECT_FALSE(isNetworkName(QStringLiteral("/dev/ttyUSB0")));
    EXPECT_FALSE(isNetworkName(QStringLiteral("COM7")));
}

}  // namespace
}  // namespace veq

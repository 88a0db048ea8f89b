#pragma once

#include <QByteArray>

namespace veq::test {

// The file saved right after a new configuration, on 5 March 2024 at 14:07 in a French locale,
// byte for byte.
inline QByteArray initialConfigurationFile() {
    return QByteArray(
        "2\r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"
        "             Z U K               \r\n"
        "---------------------------------\r\n"
        "DEBUT DU FICHIER DE CONFIGURATION\r\n"
        "CARTE VEQ             ZUK 04-2009\r\n"
        "Chronom\xe8tre au centi\xe8me          \r\n"
        "---------------------------------\r\n"
        "Connect\xe9 sur Port COM3:\r\n"
        "INTERFACE Filaire \r\n"
        "DIGIT 4 Digits 99 sec 99 cen\r\n"
        "Couleur Tri couleur \r\n"
        "DCF77 NON\r\n"
        "Relais 1 NON\r\n"
        "Relais 2 NON\r\n"
        "R\xe9ponse OUI\r\n"
        "                                 \r\n"
        "---------------------------------\r\n"
        "                                 \r\n"
        "FIN DU FICHIER DE CONFIGURATION  \r\n"
        "                                 \r\n"
        "cr\xe9\x65 le: 05/03/2024\r\n"
        "\xe0 14:07\r\n"
        "---------------------------------\r\n"
        "                                 \r\n");
}

}  // namespace veq::test

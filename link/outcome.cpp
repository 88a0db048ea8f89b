#include "link/outcome.h"

namespace veq {

namespace {

const QString kCheckLine = QStringLiteral(
    "Vérifiez que la ligne n'est pas perturbée (câble, liaison radio) et qu'aucun autre programme "
    "n'utilise le port.");

}  // namespace

QString causeText(const Outcome& o) {
    switch (o.cause) {
        case Cause::Done:
            return {};
        case Cause::NoAnswer:
            return QStringLiteral(
                "L'afficheur n'a pas répondu. Vérifiez le câble ou la liaison radio, "
                "l'alimentation de l'afficheur, le port choisi et la vitesse (9600 bauds).");
        case Cause::Incomplete:
            return QStringLiteral(
                       "Réponse incomplète de l'afficheur : %1 caractères reçus sur %2. ")
                       .arg(o.received)
                       .arg(o.expected) +
                   kCheckLine;
        case Cause::Unexpected:
            return QStringLiteral(
                       "Réponse inattendue de l'afficheur (décalée, trop longue ou illisible). ") +
                   kCheckLine;
        case Cause::LineStalled:
            return QStringLiteral(
                "La ligne est bloquée : plus rien ne part vers l'afficheur. Débranchez et "
                "rebranchez l'adaptateur, vérifiez le câble, puis recommencez.");
        case Cause::PortLost:
            return QStringLiteral(
                "Le port a disparu pendant l'échange (adaptateur débranché ?). Rebranchez-le et "
                "recommencez.");
        case Cause::ConnectionLost:
            return QStringLiteral(
                "La connexion réseau avec le serveur de port série a été coupée pendant "
                "l'échange. Vérifiez le réseau et le serveur (boîtier, ser2net), puis "
                "recommencez.");
        case Cause::NotSent:
            if (o.first != Cause::Done && o.first != Cause::NotSent)
                return QStringLiteral(
                           "Rien n'a été écrit : la lecture qui devait précéder a "
                           "échoué. ") +
                       causeText(Outcome{o.first, o.received, o.expected});
            return QStringLiteral(
                "Rien n'a été écrit : des cases ne contiennent pas d'octet. Lisez d'abord la "
                "mémoire de l'afficheur.");
    }
    return {};
}

QString openFailureText(OpenFailure failure, const QString& port) {
    switch (failure) {
        case OpenFailure::None:
            return {};
        case OpenFailure::NoDevice:
            return QStringLiteral(
                       "Aucun périphérique n'est associé à %1. « veqctl ports » liste les numéros "
                       "COM et le périphérique derrière chacun.")
                .arg(port);
        case OpenFailure::Absent:
            return QStringLiteral(
                       "Le port %1 est introuvable. Vérifiez que l'adaptateur est branché, et "
                       "le nom du port.")
                .arg(port);
        case OpenFailure::Busy:
            return QStringLiteral(
                       "Le port %1 est occupé par un autre programme. Fermez ce programme (VEQ "
                       "Cadence, un autre veqctl, un terminal série…) et recommencez.")
                .arg(port);
        case OpenFailure::Forbidden:
            return QStringLiteral(
                       "Accès au port %1 refusé. Sous Linux, l'utilisateur doit faire partie du "
                       "groupe dialout (sudo adduser $USER dialout, puis se reconnecter).")
                .arg(port);
        case OpenFailure::BadAddress:
            return QStringLiteral(
                       "L'adresse réseau de %1 est invalide : elle s'écrit rfc2217://HÔTE:PORT ou "
                       "tcp://HÔTE:PORT (port de 1 à 65535, adresse IPv6 entre crochets).")
                .arg(port);
        case OpenFailure::Unresolved:
            return QStringLiteral(
                       "Le nom du serveur de port série de %1 est inconnu. Vérifiez le nom de "
                       "l'hôte et le réseau (DNS).")
                .arg(port);
        case OpenFailure::Refused:
            return QStringLiteral(
                       "Le serveur de port série de %1 refuse la connexion. Vérifiez le numéro de "
                       "port TCP et que le serveur (boîtier, ser2net) est en service.")
                .arg(port);
        case OpenFailure::Unreachable:
            return QStringLiteral(
                       "Le serveur de port série de %1 ne répond pas. Vérifiez qu'il est sous "
                       "tension, son adresse et le réseau.")
                .arg(port);
        case OpenFailure::NoNetwork:
            return QStringLiteral(
                       "Cette version du programme ne sait pas joindre un port réseau (%1).")
                .arg(port);
        case OpenFailure::Other:
            break;
    }
    return QStringLiteral("Le port %1 ne s'ouvre pas. Vérifiez le nom du port et l'adaptateur.")
        .arg(port);
}

QString causeKey(Cause cause) {
    switch (cause) {
        case Cause::Done:
            return QStringLiteral("done");
        case Cause::NoAnswer:
            return QStringLiteral("no-answer");
        case Cause::Incomplete:
            return QStringLiteral("incomplete");
        case Cause::Unexpected:
            return QStringLiteral("unexpected");
        case Cause::LineStalled:
            return QStringLiteral("line-stalled");
        case Cause::PortLost:
            return QStringLiteral("port-lost");
        case Cause::ConnectionLost:
            return QStringLiteral("connection-lost");
        case Cause::NotSent:
            return QStringLiteral("not-sent");
    }
    return {};
}

QString openFailureKey(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::None:
            return QStringLiteral("none");
        case OpenFailure::NoDevice:
            return QStringLiteral("no-device");
        case OpenFailure::Absent:
            return QStringLiteral("absent");
        case OpenFailure::Busy:
            return QStringLiteral("busy");
        case OpenFailure::Forbidden:
            return QStringLiteral("forbidden");
        case OpenFailure::BadAddress:
            return QStringLiteral("bad-address");
        case OpenFailure::Unresolved:
            return QStringLiteral("unresolved");
        case OpenFailure::Refused:
            return QStringLiteral("refused");
        case OpenFailure::Unreachable:
            return QStringLiteral("unreachable");
        case OpenFailure::NoNetwork:
            return QStringLiteral("no-network");
        case OpenFailure::Other:
            break;
    }
    return QStringLiteral("other");
}

}  // namespace veq

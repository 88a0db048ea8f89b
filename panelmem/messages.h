#pragma once

#include <QString>

// What the operator is told at the end of a panel operation, in the windows and by veqctl alike.
namespace veq::ops {

inline const QString kReadDone = QStringLiteral("Lecture effectuée avec succés.");
inline const QString kProgrammingDone = QStringLiteral("Programmation effectuée avec succés.");
inline const QString kPanelError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");
inline const QString kBlankMemory =
    QStringLiteral("Paramètre vièrge. Veuillez envoyer une premères fois les paramètres.");

}  // namespace veq::ops

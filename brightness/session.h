#pragma once

#include <QString>

#include "link/exchange.h"
#include "link/linksettings.h"
#include "link/platform.h"

// What the brightness and microswitch operations share: the panel is woken with a burst of 11
// "SSS" and "PPP", the whole memory is read, and the response control SEL_REP decides what the
// operator is told and whether the closing "RRR" burst goes out after a failed read.
namespace veq::brightness {

inline const QString kReadDone = QStringLiteral("Lecture effectuée avec succés.");
inline const QString kProgrammingDone = QStringLiteral("Programmation effectuée avec succés.");
inline const QString kPanelError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");

// Every frame of these windows carries the prefix "_31".
inline constexpr Prefix kPrefix = Prefix::P_31;

// The burst of 11 "SSS" that opens a brightness or microswitch operation.
inline void wakeUp(Exchange& ex) {
    ex.send(kPrefix, "SSS", 11);
}
// The burst of 5 "RRR" that closes one.
inline void release(Exchange& ex) {
    ex.send(kPrefix, "RRR", 5);
}

// SEL_REP compared exactly, case included.
inline bool answersChecked(const LinkSettings& link) {
    return link.responseControl() == QLatin1String("OUI");
}
inline bool resultsReported(const LinkSettings& link) {
    return link.responseControl() != QLatin1String("NON");
}

// The end of an operation whose memory read failed. With SEL_REP "OUI" the operator is warned and
// nothing more goes to the panel; with any other text the panel gets the closing "RRR" burst and,
// when `warnUnlessSilenced` is set (programming), the warning too unless the text is "NON".
void endAfterFailedRead(Exchange& ex, const LinkSettings& link, Messages& messages,
                        bool warnUnlessSilenced);

}  // namespace veq::brightness

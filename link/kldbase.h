#pragma once

#include "link/platform.h"
#include "link/session.h"

namespace veq {

inline const QString kNoPortMessage = QStringLiteral(
    "Pas de port COM ouvert. Veuillez valider la Configuration dans le menu Configuration.");

// The port-open guard: true when a port has been validated; otherwise warns and returns false.
bool PORT_OUVERT(const LinkSession& link, Messages& messages);

}  // namespace veq

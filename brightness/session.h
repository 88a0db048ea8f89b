#pragma once

#include <QString>

#include "link/linksettings.h"
#include "link/platform.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"

// What the brightness and microswitch windows share: the response control SEL_REP decides what the
// operator is told and whether the closing "RRR" burst goes out after a failed read.
namespace veq::brightness {

using ops::kPanelError;
using ops::kProgrammingDone;
using ops::kReadDone;

// SEL_REP compared exactly, case included.
inline bool answersChecked(const LinkSettings& link) {
    return link.responseControl() == QLatin1String("OUI");
}
inline bool resultsReported(const LinkSettings& link) {
    return link.responseControl() != QLatin1String("NON");
}

// After a failed memory read, SEL_REP "OUI" sends nothing more to the panel; any other text lets
// the closing "RRR" burst go.
inline ops::AfterFailedRead afterFailedRead(const LinkSettings& link) {
    return answersChecked(link) ? ops::AfterFailedRead::SendNothing : ops::AfterFailedRead::Release;
}

// What the operator is told after a failed memory read: the warning with SEL_REP "OUI"; with any
// other text nothing for a read, and for programming the warning unless the text is "NON".
void reportFailedRead(const LinkSettings& link, Messages& messages, bool programming);

}  // namespace veq::brightness

#include "brightness/session.h"

namespace veq::brightness {

void reportFailedRead(const LinkSettings& link, Messages& messages, bool programming) {
    if (answersChecked(link) || (programming && resultsReported(link)))
        messages.show(kPanelError, Icon::Warning);
}

}  // namespace veq::brightness

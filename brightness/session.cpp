#include "brightness/session.h"

namespace veq::brightness {

void endAfterFailedRead(Exchange& ex, const LinkSettings& link, Messages& messages,
                        bool warnUnlessSilenced) {
    if (answersChecked(link)) {
        messages.show(kPanelError, Icon::Warning);
        return;
    }
    release(ex);
    if (warnUnlessSilenced && resultsReported(link)) messages.show(kPanelError, Icon::Warning);
}

}  // namespace veq::brightness

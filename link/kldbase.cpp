#include "link/kldbase.h"

namespace veq {

bool PORT_OUVERT(const LinkSettings& link, Messages& messages) {
    if (link.portFlag() == QLatin1String("True")) return true;
    messages.show(kNoPortMessage, Icon::Warning);
    return false;
}

}  // namespace veq

#include "link/kldbase.h"

namespace veq {

bool PORT_OUVERT(const LinkSession& link, Messages& messages) {
    if (link.isOpen()) return true;
    messages.show(kNoPortMessage, Icon::Warning);
    return false;
}

}  // namespace veq

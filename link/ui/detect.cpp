#include "link/ui/detect.h"

#include "link/ui/windows.h"

namespace veq {

DetectWindow::DetectWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("DETECT"));
    setWindowTitle(QStringLiteral(" Détection."));
    setClientSizeTwips(this, 3225, 3825);
}

}  // namespace veq

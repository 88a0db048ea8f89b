#include "brightness/sw.h"

namespace veq {

SwWindow::SwWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("SW"));
    setWindowTitle(QStringLiteral(" Lecture de la configuration des microswitches."));
}

}  // namespace veq

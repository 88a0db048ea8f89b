#include "brightness/lum.h"

namespace veq {

LumWindow::LumWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("LUM"));
    setWindowTitle(QStringLiteral(" Luminosité."));
}

}  // namespace veq

#include "app/lib/look.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace veq {

void applyLook(QApplication& app) {
    // Fusion is built into Qt on every platform.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    app.setPalette(app.style()->standardPalette());
}

}  // namespace veq

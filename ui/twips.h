#pragma once

#include <QRect>
#include <QWidget>

namespace veq {

// Window and control geometry is laid out in twips: 15 twips make one pixel at 96 dpi.
constexpr int px(int twips) {
    return twips / 15;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

inline void placeTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

}  // namespace veq

#pragma once

class QApplication;

namespace veq {

// One look on every platform: the Fusion style with its standard palette, and the keyboard focus
// always in sight, scroll bars included. Windows' native styles ignore the palette the green
// buttons and option backgrounds are drawn with, and a dark desktop scheme would give the white
// windows light text. Call before any window is made.
void applyLook(QApplication& app);

}  // namespace veq

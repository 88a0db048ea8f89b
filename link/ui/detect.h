#pragma once

#include <QWidget>

#include "link/ui/context.h"

namespace veq {

// The detection window: scans COM1 to COM14 for free ports and for a panel that answers.
class DetectWindow : public QWidget {
    Q_OBJECT
  public:
    explicit DetectWindow(WindowContext& ctx, QWidget* parent = nullptr);

  private:
    WindowContext& ctx_;
};

}  // namespace veq

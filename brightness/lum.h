#pragma once

#include <QWidget>

#include "link/ui/context.h"

namespace veq {

// The brightness window: reads and programs the brightness mode, threshold and period.
class LumWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LumWindow(WindowContext& ctx, QWidget* parent = nullptr);

  private:
    WindowContext& ctx_;
};

}  // namespace veq

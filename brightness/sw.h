#pragma once

#include <QWidget>

#include "link/ui/context.h"

namespace veq {

// The microswitch window: reads the panel's two banks of DIP switches and its colour variant.
class SwWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SwWindow(WindowContext& ctx, QWidget* parent = nullptr);

  private:
    WindowContext& ctx_;
};

}  // namespace veq

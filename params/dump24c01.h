#pragma once

#include <QPushButton>
#include <QWidget>

#include "link/ui/context.h"

namespace veq {

// The rate-parameter window: reads, edits and programs the panel's rate-display parameters.
class Dump24c01 : public QWidget {
    Q_OBJECT
  public:
    explicit Dump24c01(WindowContext& ctx, QWidget* parent = nullptr);

    void but_lit_para_Click();
    void but_ecrit_para_Click();

  private:
    WindowContext& ctx_;
    QPushButton* but_lit_para;
    QPushButton* but_ecrit_para;
};

}  // namespace veq

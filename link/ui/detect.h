#pragma once

#include <array>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "link/detection.h"
#include "ui/context.h"

namespace veq {

// The detection window: scans COM1 to COM14 for free ports and for a panel that answers, and
// shows one row per port. The results of the last scan stay until the next one.
class DetectWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLabelCount = 3 * PortDetection::kPortCount;

    explicit DetectWindow(WindowContext& ctx, QWidget* parent = nullptr);

    // Runs one scan on the session's serial port.
    void Command1_Click();

    // Label1(1) to Label1(42): the port column (1 to 14), the state column (15 to 28) and the
    // panel column (29 to 42).
    QLabel* label(int index) const { return Label1_.at(index - 1); }
    QPushButton* button() const { return Command1; }

  private:
    void showRow(int port, const DetectionRow& row);
    void repaintRow(int port);

    WindowContext& ctx_;
    QPushButton* Command1;
    std::array<QLabel*, kLabelCount> Label1_{};
};

}  // namespace veq

#pragma once

#include <functional>

#include <QLabel>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

namespace veq {

// "Version " and the version numbers as plain decimal numbers: "Version 1.0.22".
QString versionLine(int major, int minor, int patch);

// The first window of the application: a picture, the contact text, the product name and the
// version. It gives way to the main window after five seconds, on a key press or on a click on
// one of its elements, whichever comes first, and only once.
class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDelayMs = 5000;

    // `showMain` is called once, when the splash has been closed.
    explicit SplashWindow(std::function<void()> showMain, QWidget* parent = nullptr);

    QTimer* timer() const { return Timer1; }
    bool isUnloaded() const { return unloaded_; }

    // Closes the splash (its timer stops with it), then shows the main window. Later calls do
    // nothing.
    void unloadAndShowMain();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Timer1_Timer() { unloadAndShowMain(); }
    void watch(QObject* o);

    std::function<void()> showMain_;
    bool unloaded_ = false;

    QWidget* Shape1;
    QLabel* Picture1;
    QTextEdit* Text1;
    QLabel* Label1;
    QLabel* lblVersion;
    QTimer* Timer1;
};

}  // namespace veq

// The status bar with a progress gauge (range 0 to 100) on its right.
#pragma once

#include <QProgressBar>
#include <QStatusBar>

namespace pagora {

class TStatusBarGauge : public QStatusBar {
  Q_OBJECT

 public:
  explicit TStatusBarGauge(QWidget* parent = nullptr);

  int position() const { return gauge_->value(); }
  // Clamped into the gauge's range.
  void setPosition(int percent);
  QProgressBar* gauge() const { return gauge_; }

 private:
  QProgressBar* gauge_;
};

}  // namespace pagora

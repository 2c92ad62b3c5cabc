// The status bar gauge component.
#include "widgets/status_gauge.h"

#include <algorithm>

namespace pagora {

TStatusBarGauge::TStatusBarGauge(QWidget* parent) : QStatusBar(parent) {
  gauge_ = new QProgressBar;
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setTextVisible(true);
  gauge_->setMaximumHeight(16);
  gauge_->setMinimumWidth(200);
  addPermanentWidget(gauge_);
  setSizeGripEnabled(true);
}

void TStatusBarGauge::setPosition(int percent) {
  gauge_->setValue(std::clamp(percent, gauge_->minimum(), gauge_->maximum()));
}

}  // namespace pagora

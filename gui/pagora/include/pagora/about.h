// TfrAbout: the About window; a click anywhere closes it.
#pragma once

#include <QDialog>

class QTextEdit;

namespace pagora {

class TfrAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrAbout(QWidget* parent = nullptr);
  QTextEdit* Memo1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace pagora

// The filter choice: a list of "description|mask" pairs; choosing one hands its mask on.
#pragma once

#include <QComboBox>

namespace pagora {

class TFilterComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TFilterComboBox(QWidget* parent = nullptr);

  // Pairs as "Text files (*.txt)|*.txt;*.|All Files (*.*)|*.*"; the first entry is chosen.
  void setFilter(const QString& filter);
  QString mask() const;
  QString maskAt(int index) const;

 signals:
  void maskChanged(const QString& mask);
};

}  // namespace pagora

// The filter choice component.
#include "widgets/filter_combo_box.h"

namespace pagora {

TFilterComboBox::TFilterComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) emit maskChanged(maskAt(index));
  });
}

void TFilterComboBox::setFilter(const QString& filter) {
  QSignalBlocker block(this);
  clear();
  const QStringList parts = filter.split(u'|');
  for (int i = 0; i + 1 < parts.size(); i += 2) addItem(parts[i], parts[i + 1]);
  setCurrentIndex(count() > 0 ? 0 : -1);
}

QString TFilterComboBox::mask() const {
  return maskAt(currentIndex());
}

QString TFilterComboBox::maskAt(int index) const {
  return index >= 0 && index < count() ? itemData(index).toString() : QStringLiteral("*.*");
}

}  // namespace pagora

// File masks as the file list understands them: patterns separated by ';', '*' and '?' as
// wildcards, letter case ignored, and "*." meaning a name without any extension.
#pragma once

#include <QString>
#include <QStringList>

namespace pagora {

class FileMask {
 public:
  explicit FileMask(const QString& mask = QStringLiteral("*.*"));
  bool matches(const QString& fileName) const;
  const QString& text() const { return text_; }

 private:
  QString text_;
  QStringList patterns_;
};

}  // namespace pagora

// Helpers shared by the source files of Pagora's main window (TForm1): string conversions
// and the caption of its message boxes.
#pragma once

#include <QString>
#include <string>

namespace pagora::mainform {

inline const QString kCaption = QStringLiteral("Pagora");

inline std::string toStd(const QString& s) {
  return s.toStdString();
}
inline QString toQ(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace pagora::mainform

// Wildcard matching of file names against a list of masks.
#include "widgets/file_mask.h"

#include <QRegularExpression>

namespace pagora {

namespace {

// '*' any run, '?' any one character; everything else literal, case ignored.
bool wildcardMatch(const QString& pattern, const QString& name) {
  QString expression;
  for (QChar c : pattern) {
    if (c == u'*') {
      expression += QStringLiteral(".*");
    } else if (c == u'?') {
      expression += u'.';
    } else {
      expression += QRegularExpression::escape(QString(c));
    }
  }
  QRegularExpression re(
      QRegularExpression::anchoredPattern(expression),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  return re.match(name).hasMatch();
}

}  // namespace

FileMask::FileMask(const QString& mask) : text_(mask) {
  for (const QString& part : mask.split(u';', Qt::SkipEmptyParts)) {
    QString trimmed = part.trimmed();
    if (!trimmed.isEmpty()) patterns_ << trimmed;
  }
}

bool FileMask::matches(const QString& fileName) const {
  for (const QString& pattern : patterns_) {
    if (pattern == QStringLiteral("*") || pattern == QStringLiteral("*.*")) return true;
    if (pattern.endsWith(u'.') && !pattern.endsWith(QStringLiteral(".."))) {
      // "name." asks for names without an extension: the part before the dot must match the
      // whole name, which must hold no dot.
      if (fileName.contains(u'.')) continue;
      if (wildcardMatch(pattern.left(pattern.size() - 1), fileName)) return true;
      continue;
    }
    if (wildcardMatch(pattern, fileName)) return true;
  }
  return false;
}

}  // namespace pagora

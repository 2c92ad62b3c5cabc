// The translated line that leads a failure's message, by its kind.
#include "widgets/failure_text.h"

#include <QCoreApplication>
#include <new>

#include "common/exception.h"

namespace pagora {

namespace {

const char* leadFor(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure))
    return QT_TRANSLATE_NOOP("Failure", "Not enough memory.");
  const auto* known = dynamic_cast<const Exception*>(&failure);
  switch (known ? known->kind() : FailureKind::Other) {
    case FailureKind::NotFound:
      return QT_TRANSLATE_NOOP("Failure", "The file or folder was not found.");
    case FailureKind::AccessDenied:
      return QT_TRANSLATE_NOOP("Failure",
                               "Access denied: the file or folder is protected or read-only.");
    case FailureKind::InUse:
      return QT_TRANSLATE_NOOP("Failure", "The file is in use by another program.");
    case FailureKind::BadData:
      return QT_TRANSLATE_NOOP("Failure", "The file is damaged or not of the expected kind.");
    case FailureKind::WrongPassword:
      return QT_TRANSLATE_NOOP("Failure", "Wrong password.");
    case FailureKind::NoSpace:
      return QT_TRANSLATE_NOOP("Failure", "There is not enough space on the disk.");
    case FailureKind::Cancelled:
      return QT_TRANSLATE_NOOP("Failure", "The operation was cancelled.");
    case FailureKind::ClosedOutput:
      return QT_TRANSLATE_NOOP("Failure", "The output was closed.");
    case FailureKind::Usage:
      return QT_TRANSLATE_NOOP("Failure", "This cannot be done.");
    case FailureKind::Other:
      break;
  }
  return QT_TRANSLATE_NOOP("Failure", "The operation failed.");
}

}  // namespace

QString failureText(const std::exception& failure) {
  const QString message = QString::fromStdString(failure.what());
  const char* source = leadFor(failure);
  const QString lead = QCoreApplication::translate("Failure", source);
  // No translation installed: the English message says it all, exactly as the library put it.
  if (lead == QString::fromLatin1(source)) return message;
  return lead + QStringLiteral("\n\n") + message;
}

}  // namespace pagora

// Message boxes and input boxes as Qt dialogs.
#include "widgets/prompts.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace pagora {
namespace {

Prompts* installed = nullptr;

}  // namespace

QString Prompts::defaultCaption(PromptKind kind) {
  switch (kind) {
    case PromptKind::Information:
      return QCoreApplication::translate("pagora::Prompts", "Information");
    case PromptKind::Warning:
      return QCoreApplication::translate("pagora::Prompts", "Warning");
    case PromptKind::Error:
      return QCoreApplication::translate("pagora::Prompts", "Error");
    case PromptKind::Question:
      return QCoreApplication::translate("pagora::Prompts", "Confirm");
  }
  return {};
}

PromptAnswer Prompts::closeAnswer(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
      return PromptAnswer::Ok;
    case PromptButtons::YesNo:
      return PromptAnswer::No;
    case PromptButtons::OkCancel:
    case PromptButtons::YesNoCancel:
      return PromptAnswer::Cancel;
  }
  return PromptAnswer::Cancel;
}

Prompts& Prompts::current() {
  static QtPrompts qtPrompts;
  return installed ? *installed : qtPrompts;
}

void Prompts::setCurrent(Prompts* p) {
  installed = p;
}

PromptAnswer QtPrompts::ask(QWidget* parent, const QString& caption, const QString& text,
                            PromptKind kind, PromptButtons buttons) {
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case PromptKind::Information:
      icon = QMessageBox::Information;
      break;
    case PromptKind::Warning:
      icon = QMessageBox::Warning;
      break;
    case PromptKind::Error:
      icon = QMessageBox::Critical;
      break;
    case PromptKind::Question:
      icon = QMessageBox::Question;
      break;
  }
  QMessageBox::StandardButtons set = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (buttons) {
    case PromptButtons::Ok:
      set = QMessageBox::Ok;
      escape = QMessageBox::Ok;
      break;
    case PromptButtons::OkCancel:
      set = QMessageBox::Ok | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    case PromptButtons::YesNo:
      set = QMessageBox::Yes | QMessageBox::No;
      escape = QMessageBox::No;
      break;
    case PromptButtons::YesNoCancel:
      set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
  }
  QMessageBox box(icon, caption.isEmpty() ? defaultCaption(kind) : caption, text, set, parent);
  box.setEscapeButton(escape);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return PromptAnswer::Ok;
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    case QMessageBox::Cancel:
      return PromptAnswer::Cancel;
    default:
      return closeAnswer(buttons);
  }
}

std::optional<QString> QtPrompts::input(QWidget* parent, const QString& caption,
                                        const QString& label, const QString& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace pagora

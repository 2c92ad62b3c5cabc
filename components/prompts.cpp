// Message boxes and input boxes: the Qt dialogs, and the scripted answers used by tests.
#include "components/prompts.h"

#include <QInputDialog>
#include <QMessageBox>

namespace pagora {
namespace {

Prompts* installed = nullptr;

QString defaultCaption(PromptKind kind) {
  switch (kind) {
    case PromptKind::Information:
      return QStringLiteral("Information");
    case PromptKind::Warning:
      return QStringLiteral("Warning");
    case PromptKind::Error:
      return QStringLiteral("Error");
    case PromptKind::Question:
      return QStringLiteral("Confirm");
  }
  return {};
}

// What closing the box by its frame or Escape means.
PromptAnswer escapeAnswer(PromptButtons buttons) {
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

}  // namespace

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
      return escapeAnswer(buttons);
  }
}

std::optional<QString> QtPrompts::input(QWidget* parent, const QString& caption,
                                        const QString& label, const QString& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return text;
}

ScriptedPrompts::ScriptedPrompts() : previous_(installed) {
  Prompts::setCurrent(this);
}

ScriptedPrompts::~ScriptedPrompts() {
  Prompts::setCurrent(previous_);
}

PromptAnswer ScriptedPrompts::ask(QWidget*, const QString& caption, const QString& text,
                                  PromptKind kind, PromptButtons buttons) {
  Record r;
  r.caption = caption.isEmpty() ? defaultCaption(kind) : caption;
  r.text = text;
  r.kind = kind;
  r.buttons = buttons;
  if (answers_.empty()) {
    r.unanswered = true;
    records_.push_back(r);
    return escapeAnswer(buttons);
  }
  records_.push_back(r);
  PromptAnswer a = answers_.front();
  answers_.pop_front();
  return a;
}

std::optional<QString> ScriptedPrompts::input(QWidget*, const QString& caption,
                                              const QString& label, const QString& initial) {
  Record r;
  r.isInput = true;
  r.caption = caption;
  r.text = label;
  r.initial = initial;
  if (inputs_.empty()) {
    r.unanswered = true;
    records_.push_back(r);
    return std::nullopt;
  }
  records_.push_back(r);
  QueuedInput a = inputs_.front();
  inputs_.pop_front();
  if (!a.ok) return std::nullopt;
  return a.text;
}

}  // namespace pagora

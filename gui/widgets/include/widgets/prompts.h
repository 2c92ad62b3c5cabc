// The one seam for message boxes, input boxes and questions: Qt dialogs in the program, queued
// answers in tests (tests/gui/support/scripted_prompts.h).
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace pagora {

enum class PromptKind { Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompts {
 public:
  virtual ~Prompts() = default;

  // A modal message box. An empty caption gives the usual one for the kind ("Information",
  // "Warning", "Error", "Confirm"). Closing the box by its frame or Escape answers Cancel where
  // there is a Cancel button, No for Yes/No, and Ok for a box with Ok only.
  virtual PromptAnswer ask(QWidget* parent, const QString& caption, const QString& text,
                           PromptKind kind, PromptButtons buttons) = 0;
  // A modal input box with one line of text: the text on OK, nothing on Cancel.
  virtual std::optional<QString> input(QWidget* parent, const QString& caption,
                                       const QString& label, const QString& initial) = 0;

  // Shorthands.
  void inform(QWidget* parent, const QString& text, const QString& caption = {}) {
    ask(parent, caption, text, PromptKind::Information, PromptButtons::Ok);
  }
  void warn(QWidget* parent, const QString& text, const QString& caption = {}) {
    ask(parent, caption, text, PromptKind::Warning, PromptButtons::Ok);
  }
  void error(QWidget* parent, const QString& text, const QString& caption = {}) {
    ask(parent, caption, text, PromptKind::Error, PromptButtons::Ok);
  }
  PromptAnswer question(QWidget* parent, const QString& text, PromptButtons buttons,
                        const QString& caption = {}) {
    return ask(parent, caption, text, PromptKind::Question, buttons);
  }

  // The prompts every window uses; real Qt dialogs unless something else is installed.
  static Prompts& current();
  // Installs p (not owned; nullptr puts the Qt dialogs back).
  static void setCurrent(Prompts* p);

  // The caption a box of this kind gets when none is given.
  static QString defaultCaption(PromptKind kind);
  // What closing a box with these buttons by its frame or Escape answers.
  static PromptAnswer closeAnswer(PromptButtons buttons);
};

// QMessageBox / QInputDialog.
class QtPrompts : public Prompts {
 public:
  PromptAnswer ask(QWidget* parent, const QString& caption, const QString& text, PromptKind kind,
                   PromptButtons buttons) override;
  std::optional<QString> input(QWidget* parent, const QString& caption, const QString& label,
                               const QString& initial) override;
};

}  // namespace pagora

// The one seam for message boxes, input boxes and questions: Qt dialogs in the program, queued
// answers in tests.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <vector>

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
};

// QMessageBox / QInputDialog.
class QtPrompts : public Prompts {
 public:
  PromptAnswer ask(QWidget* parent, const QString& caption, const QString& text, PromptKind kind,
                   PromptButtons buttons) override;
  std::optional<QString> input(QWidget* parent, const QString& caption, const QString& label,
                               const QString& initial) override;
};

// For tests: records every question and hands out queued answers in order. A question with no
// queued answer is recorded with unanswered = true and gets the frame-close answer (see ask).
class ScriptedPrompts : public Prompts {
 public:
  struct Record {
    bool isInput = false;
    QString caption;
    QString text;  // message text, or the input box's label
    PromptKind kind = PromptKind::Information;
    PromptButtons buttons = PromptButtons::Ok;
    QString initial;  // input boxes only
    bool unanswered = false;
  };

  // Installs itself as Prompts::current() for its lifetime and puts the previous one back.
  ScriptedPrompts();
  ~ScriptedPrompts() override;
  ScriptedPrompts(const ScriptedPrompts&) = delete;
  ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

  void queueAnswer(PromptAnswer answer) { answers_.push_back(answer); }
  void queueInput(const std::optional<QString>& text) {
    if (text)
      inputs_.push_back({true, *text});
    else
      inputs_.push_back({false, QString()});
  }

  const std::vector<Record>& records() const { return records_; }
  void clearRecords() { records_.clear(); }
  std::size_t pendingAnswers() const { return answers_.size() + inputs_.size(); }

  PromptAnswer ask(QWidget* parent, const QString& caption, const QString& text, PromptKind kind,
                   PromptButtons buttons) override;
  std::optional<QString> input(QWidget* parent, const QString& caption, const QString& label,
                               const QString& initial) override;

 private:
  Prompts* previous_ = nullptr;
  std::deque<PromptAnswer> answers_;
  struct QueuedInput {
    bool ok;
    QString text;
  };
  std::deque<QueuedInput> inputs_;
  std::vector<Record> records_;
};

}  // namespace pagora

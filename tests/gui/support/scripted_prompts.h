// A test double for the prompts seam: queued answers instead of dialogs.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "widgets/prompts.h"

namespace pagora {

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

// Recorded questions and queued answers.
#include "scripted_prompts.h"

namespace pagora {

ScriptedPrompts::ScriptedPrompts() : previous_(&Prompts::current()) {
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
    return closeAnswer(buttons);
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

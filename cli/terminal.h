// Terminal helpers shared by the pagora-cli command groups: a progress bar on stderr (only
// when stderr is a terminal), names printed with control characters escaped, and prompts.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pagora::cli {

bool isTerminal(std::FILE* stream);

// Text that is safe to print: bytes below 0x20, 0x7F, C1 controls and bytes that are not
// valid UTF-8 become \xNN, and a backslash stays a backslash. Escape sequences hidden in a
// file or member name therefore never reach the terminal.
std::string escapeControl(std::string_view text);

// A one-line bar on stderr, redrawn in place; silent when stderr is not a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(std::string label = {});
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void setLabel(std::string label);
  void update(int percent);
  // Clears the bar's line so that ordinary output can follow.
  void clear();

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  int shown_ = -1;
};

enum class PromptAnswer { Yes, No, Cancel };

// Asks on stderr and reads a line from stdin: y(es), n(o), or q(uit) when allowCancel.
// End of input counts as No (or Cancel when allowed).
PromptAnswer askYesNo(const std::string& question, bool allowCancel = false);

enum class ReplaceAnswer { Yes, No, All, None };

// Asks "Replace FILE? [y]es, [n]o, [A]ll, [N]one" on stderr and reads the answer from stdin
// ("a" also means All; "n" is No and "N" is None). End of input counts as None.
ReplaceAnswer askReplace(const std::string& file);

}  // namespace pagora::cli

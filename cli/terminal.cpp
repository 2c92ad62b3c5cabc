// Progress bar, control-character escaping and yes/no prompts for pagora-cli.
#include "terminal.h"

#include <unistd.h>

#include <iostream>

namespace pagora::cli {

namespace {

// Length of the valid UTF-8 sequence at s[i] (0 when invalid), and its code point.
std::size_t utf8Sequence(std::string_view s, std::size_t i, char32_t& code) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  std::size_t length;
  if (b < 0x80) {
    code = b;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    code = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    code = b & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

}  // namespace

bool isTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

std::string escapeControl(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    std::size_t length = utf8Sequence(text, i, code);
    bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
    if (length == 0 || control) {
      std::size_t count = length == 0 ? 1 : length;
      for (std::size_t k = 0; k < count; ++k) {
        auto b = static_cast<unsigned char>(text[i + k]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      i += count;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

ProgressBar::ProgressBar(std::string label)
    : label_(escapeControl(label)), enabled_(isTerminal(stderr)) {}

ProgressBar::~ProgressBar() {
  clear();
}

void ProgressBar::setLabel(std::string label) {
  label_ = escapeControl(label);
  shown_ = -1;
}

void ProgressBar::update(int percent) {
  if (!enabled_) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (percent == shown_) return;
  shown_ = percent;
  constexpr int kWidth = 30;
  int filled = percent * kWidth / 100;
  std::string label = label_.size() > 40 ? "..." + label_.substr(label_.size() - 37) : label_;
  std::fprintf(
      stderr, "\r[%s%s] %3d%% %s\x1b[K", std::string(static_cast<std::size_t>(filled), '#').c_str(),
      std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(), percent, label.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::clear() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
  shown_ = -1;
}

PromptAnswer askYesNo(const std::string& question, bool allowCancel) {
  for (;;) {
    std::cerr << escapeControl(question) << (allowCancel ? " [y/n/q] " : " [y/n] ") << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
      std::cerr << '\n';
      return allowCancel ? PromptAnswer::Cancel : PromptAnswer::No;
    }
    if (line == "y" || line == "Y" || line == "yes") return PromptAnswer::Yes;
    if (line == "n" || line == "N" || line == "no") return PromptAnswer::No;
    if (allowCancel && (line == "q" || line == "Q" || line == "quit")) return PromptAnswer::Cancel;
  }
}

ReplaceAnswer askReplace(const std::string& file) {
  for (;;) {
    std::cerr << "Replace " << escapeControl(file)
              << "? [y]es, [n]o, [A]ll, [N]one: " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
      std::cerr << '\n';
      return ReplaceAnswer::None;
    }
    if (line == "y" || line == "Y" || line == "yes") return ReplaceAnswer::Yes;
    if (line == "n" || line == "no") return ReplaceAnswer::No;
    if (line == "A" || line == "a" || line == "all") return ReplaceAnswer::All;
    if (line == "N" || line == "none") return ReplaceAnswer::None;
  }
}

}  // namespace pagora::cli

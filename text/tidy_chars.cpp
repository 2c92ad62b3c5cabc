// Characters for Tidy: bytes of code page 1251 or UTF-8 read as Unicode letters and marks.
#include <array>

#include "tidy_parts.h"

namespace pagora::tidy {
namespace {

// The marks of code page 1251's upper half that Tidy looks at; its letters are computed.
char32_t fromWin(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x410 + (b - 0xC0);
  switch (b) {
    case 0xA8:
      return 0x401;
    case 0xB8:
      return 0x451;
    case 0x85:
      return 0x2026;
    case 0x96:
      return 0x2013;
    case 0x97:
      return 0x2014;
    case 0xAB:
      return 0xAB;
    case 0xBB:
      return 0xBB;
    case 0x93:
      return 0x201C;
    case 0x94:
      return 0x201D;
    case 0xA0:
      return 0xA0;
    default:
      return 0xF000 + b;  // private use: a mark Tidy has no rule for
  }
}

bool isBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

}  // namespace

Char charAt(std::string_view s, std::size_t at, bool utf8) {
  if (at >= s.size()) return {};
  const auto b = static_cast<unsigned char>(s[at]);
  if (!utf8) return {fromWin(b), 1};
  if (b < 0x80) return {b, 1};
  const unsigned size = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  if (size == 1 || at + size > s.size()) return {0xFFFD, 1};
  char32_t cp = b & (0x3F >> (size - 1));
  for (unsigned k = 1; k < size; ++k) {
    const auto c = static_cast<unsigned char>(s[at + k]);
    if ((c & 0xC0) != 0x80) return {0xFFFD, 1};
    cp = (cp << 6) | (c & 0x3F);
  }
  return {cp, size};
}

Char charBefore(std::string_view s, std::size_t end, bool utf8) {
  if (end == 0 || end > s.size()) return {};
  std::size_t start = end - 1;
  if (utf8) {
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80)
      --start;
    const Char c = charAt(s, start, true);
    if (start + c.size == end) return c;
    return {0xFFFD, 1};
  }
  return charAt(s, start, false);
}

std::uint32_t charCount(std::string_view s, bool utf8) {
  if (!utf8) return static_cast<std::uint32_t>(s.size());
  std::uint32_t n = 0;
  for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

bool isLetter(char32_t c) {
  if (c < 0x80) return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
  return (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x52F);
}

bool isUpper(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 0x400 && c <= 0x42F) ||
         (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

char32_t toLower(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0x410 && c <= 0x42F) || (c >= 0xC0 && c <= 0xDE))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool isDash(char32_t c) {
  return c == '-' || c == 0x2013 || c == 0x2014;
}

bool endsSentence(std::string_view text, bool utf8) {
  std::size_t end = text.size();
  for (;;) {
    const Char c = charBefore(text, end, utf8);
    switch (c.cp) {
      case '"':
      case '\'':
      case ')':
      case ']':
      case 0xBB:
      case 0x201C:
      case 0x201D:
      case 0x2019:
        end -= c.size;
        continue;
      case '.':
      case '!':
      case '?':
      case ':':
      case 0x2026:
        return true;
      default:
        return false;
    }
  }
}

bool endsInCutWord(std::string_view text, bool utf8) {
  if (text.size() < 2 || text.back() != '-') return false;
  return isLetter(charBefore(text, text.size() - 1, utf8).cp);
}

bool startsDialogue(std::string_view text, bool utf8, bool capital) {
  const Char dash = charAt(text, 0, utf8);
  if (!isDash(dash.cp) || text.size() <= dash.size || text[dash.size] != ' ') return false;
  return !capital || isUpper(charAt(text, dash.size + 1, utf8).cp);
}

bool hasLetterOrDigit(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 || (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z'))
      return true;
  }
  return false;
}

bool hasLowercase(std::string_view text, bool utf8) {
  for (std::size_t i = 0; i < text.size();) {
    const Char c = charAt(text, i, utf8);
    if (isLetter(c.cp) && !isUpper(c.cp)) return true;
    i += c.size;
  }
  return false;
}

std::uint32_t firstWordWidth(std::string_view text, bool utf8) {
  const std::size_t space = text.find(' ');
  return charCount(text.substr(0, space), utf8);
}

Line measure(std::string_view raw, bool utf8) {
  Line line;
  std::size_t begin = 0;
  while (begin < raw.size() && isBlankByte(raw[begin])) {
    line.seam = line.seam || raw[begin] == '\f';
    ++begin;
  }
  std::size_t end = raw.size();
  while (end > begin && isBlankByte(raw[end - 1])) --end;
  line.text = raw.substr(begin, end - begin);
  line.indent = static_cast<std::uint32_t>(begin);
  line.blank = line.text.empty();
  line.seam = line.seam || (line.blank && raw.find('\f') != std::string_view::npos);
  line.width = line.indent + charCount(line.text, utf8);
  return line;
}

}  // namespace pagora::tidy

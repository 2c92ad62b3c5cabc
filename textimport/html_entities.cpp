// HTML character references: a search in the generated table of named references, and numbers.
#include "textimport/html_entities.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace pagora::book_import {

namespace {

struct NamedReference {
  std::string_view name;
  std::string_view text;
};

#include "html_entities.inc"

bool isAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

const NamedReference* findName(std::string_view name) {
  const auto* end = std::end(kNamedReferences);
  const auto* it =
      std::lower_bound(std::begin(kNamedReferences), end, name,
                       [](const NamedReference& r, std::string_view n) { return r.name < n; });
  return it != end && it->name == name ? it : nullptr;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A numeric reference at `text` (just after "&#"); returns the characters it used, 0 if none.
std::size_t numericReference(std::string& out, std::string_view text) {
  std::size_t i = 0;
  int base = 10;
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  }
  const std::size_t digits = i;
  char32_t value = 0;
  bool tooLarge = false;
  for (int d; i < text.size() && (d = hexValue(text[i])) >= 0 && d < base; ++i) {
    value = value * static_cast<char32_t>(base) + static_cast<char32_t>(d);
    if (value > 0x10FFFF) {
      tooLarge = true;
      value = 0x110000;  // stays out of range however many digits follow
    }
  }
  if (i == digits) return 0;
  if (i < text.size() && text[i] == ';') ++i;
  if (tooLarge || value == 0 || (value >= 0xD800 && value <= 0xDFFF))
    value = 0xFFFD;
  else if (value >= 0x80 && value <= 0x9F)
    value = kWindows1252Numbers[value - 0x80];
  appendUtf8(out, value);
  return i;
}

// A named reference at `text` (just after "&"); returns the characters it used, 0 if none.
std::size_t namedReference(std::string& out, std::string_view text, bool attribute) {
  std::size_t run = 0;
  while (run < text.size() && run < kLongestEntity && isAsciiAlnum(text[run])) ++run;
  if (run == 0) return 0;
  if (run < text.size() && text[run] == ';') {
    if (const NamedReference* r = findName(text.substr(0, run + 1))) {
      out.append(r->text);
      return run + 1;
    }
  }
  // The legacy names may stand without ";": the longest one that starts the run wins.
  for (std::size_t n = std::min(run, kLongestBareEntity); n > 0; --n) {
    const NamedReference* r = findName(text.substr(0, n));
    if (!r) continue;
    // In an attribute "&copy=1" is part of a link, not a character.
    if (attribute && n < text.size() && (text[n] == '=' || isAsciiAlnum(text[n]))) return 0;
    out.append(r->text);
    return n;
  }
  return 0;
}

}  // namespace

std::string_view namedCharacter(std::string_view name) {
  if (name.size() >= kLongestEntity) return {};
  char full[kLongestEntity];
  name.copy(full, name.size());
  full[name.size()] = ';';
  const NamedReference* r = findName(std::string_view(full, name.size() + 1));
  return r ? r->text : std::string_view();
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendHtmlText(std::string& out, std::string_view text, bool attribute) {
  for (;;) {
    const std::size_t amp = text.find('&');
    out.append(text.substr(0, amp));
    if (amp == std::string_view::npos) return;
    text.remove_prefix(amp + 1);
    const std::size_t used = !text.empty() && text[0] == '#' ? numericReference(out, text.substr(1))
                                                             : namedReference(out, text, attribute);
    if (used == 0) {
      out.push_back('&');
    } else {
      text.remove_prefix(used + (text[0] == '#' ? 1 : 0));
    }
  }
}

}  // namespace pagora::book_import

// The names of the code pages as people type them and as messages show them, and the test that
// tells a text from bytes that are no text at all.
#include <algorithm>
#include <cstring>
#include <string>

#include "text/recode.h"

namespace pagora {

std::string missingCharactersNote(std::size_t missing) {
  return std::to_string(missing) + (missing == 1 ? " character has" : " characters have") +
         " no equivalent in code page 1251";
}

std::string shortenName(std::string_view name, std::size_t limit) {
  if (name.size() <= limit) return std::string(name);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > limit / 2) {
    return std::string(name.substr(0, limit));
  }
  const std::string_view extension = name.substr(dot);
  std::string_view stem = name.substr(0, std::min(dot, limit - extension.size()));
  while (stem.size() > 1 && (stem.back() == ' ' || stem.back() == '.')) stem.remove_suffix(1);
  return std::string(stem) + std::string(extension);
}

const char* codePageLabel(CodePage page) {
  switch (page) {
    case CodePage::Ascii:
      return "ASCII";
    case CodePage::Utf8:
      return "UTF-8";
    case CodePage::Cp1251:
      return "1251";
    case CodePage::Cp866:
      return "866";
    case CodePage::Koi8r:
      return "KOI8-R";
  }
  return "?";
}

std::optional<CodePage> codePageFromName(std::string_view name) {
  // Letter case, "-" and "_" do not count: "UTF-8", "utf_8" and "utf8" are one name to iconv.
  std::string key;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  struct Alias {
    const char* name;
    CodePage page;
  };
  static constexpr Alias kAliases[] = {
      {"utf8", CodePage::Utf8},          {"koi8r", CodePage::Koi8r},
      {"koi8", CodePage::Koi8r},         {"cskoi8r", CodePage::Koi8r},
      {"cp866", CodePage::Cp866},        {"866", CodePage::Cp866},
      {"ibm866", CodePage::Cp866},       {"csibm866", CodePage::Cp866},
      {"dos", CodePage::Cp866},          {"cp1251", CodePage::Cp1251},
      {"1251", CodePage::Cp1251},        {"windows1251", CodePage::Cp1251},
      {"win1251", CodePage::Cp1251},     {"mscyrl", CodePage::Cp1251},
      {"ascii", CodePage::Ascii},        {"usascii", CodePage::Ascii},
      {"ansix3.41968", CodePage::Ascii},
  };
  for (const Alias& alias : kAliases) {
    if (key == alias.name) return alias.page;
  }
  return std::nullopt;
}

bool looksLikeText(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 64 * 1024);
  // Signatures of what a folder of books also holds beside its texts: zip (EPUB, fb2.zip),
  // RAR, 7z, gzip, PDF and pictures; most pictures hold NUL bytes too.
  static constexpr std::string_view kSignatures[] = {"PK\x03\x04", "PK\x05\x06",   "Rar!",
                                                     "7z\xBC\xAF", "\x1F\x8B",     "%PDF-",
                                                     "\x89PNG",    "\xFF\xD8\xFF", "GIF8"};
  for (std::string_view signature : kSignatures) {
    if (head.substr(0, signature.size()) == signature) return false;
  }
  // An LZH archive: "-lh5-" at byte 2.
  if (head.size() >= 7 && head[2] == '-' && head[3] == 'l' && head[6] == '-') return false;
  if (head.find('\0') != std::string_view::npos) return false;
  // Tab, line ends, form feed and the old end-of-file mark belong to texts; other control bytes
  // beyond one in a hundred do not.
  const auto controls = std::count_if(head.begin(), head.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A && b != 0x1B;
  });
  return static_cast<std::size_t>(controls) * 100 <= head.size();
}

}  // namespace pagora

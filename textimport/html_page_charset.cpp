// Reading an HTML page's code page: byte order mark, then <meta>, then the guess.
#include "html_page_charset.h"

#include <cstddef>

#include "textimport/html_entities.h"

namespace pagora::book_import {

namespace {

// Pages declare their charset in the head; old ones put long scripts before it.
constexpr std::size_t kDeclarationWindow = 64 << 10;

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position of `needle` (given in lower case) in `s` from `from` on, ignoring ASCII letter case.
std::size_t findNoCase(std::string_view s, std::string_view needle, std::size_t from) {
  for (std::size_t i = from; i + needle.size() <= s.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && lower(s[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The charset named after "charset" inside one <meta ...> tag.
std::optional<CodePage> charsetInTag(std::string_view tag) {
  for (std::size_t at = findNoCase(tag, "charset", 0); at != std::string_view::npos;
       at = findNoCase(tag, "charset", at + 1)) {
    std::size_t i = at + 7;
    while (i < tag.size() && isSpace(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '"' || tag[i] == '\'')) ++i;
    std::size_t end = i;
    while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '"' && tag[end] != '\'' &&
           tag[end] != ';' && tag[end] != '/' && tag[end] != '>')
      ++end;
    return codePageNamed(tag.substr(i, end - i));
  }
  return std::nullopt;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    appendUtf8(out, c);  // a lone surrogate becomes U+FFFD
  }
  return out;
}

}  // namespace

std::optional<CodePage> codePageNamed(std::string_view name) {
  std::string n;
  for (char c : name) n.push_back(lower(c));
  for (std::string_view s : {"utf-8", "utf8", "unicode-1-1-utf-8"})
    if (n == s) return CodePage::Utf8;
  for (std::string_view s : {"windows-1251", "cp1251", "x-cp1251", "win-1251", "win1251"})
    if (n == s) return CodePage::Cp1251;
  for (std::string_view s : {"koi8-r", "koi8r", "koi8", "cskoi8r", "koi"})
    if (n == s) return CodePage::Koi8r;
  for (std::string_view s : {"ibm866", "cp866", "866", "csibm866", "dos-866"})
    if (n == s) return CodePage::Cp866;
  return std::nullopt;
}

std::optional<CodePage> declaredCodePage(std::string_view page) {
  page = page.substr(0, kDeclarationWindow);
  // Each tag is searched once, from its "<meta" to its ">", so the work stays linear.
  for (std::size_t at = findNoCase(page, "<meta", 0); at != std::string_view::npos;) {
    const std::size_t end = page.find('>', at);
    if (const auto found = charsetInTag(page.substr(at, end - at))) return found;
    if (end == std::string_view::npos) break;
    at = findNoCase(page, "<meta", end);
  }
  return std::nullopt;
}

std::string pageAsUtf8(std::string_view page) {
  if (page.substr(0, 3) == "\xEF\xBB\xBF") return std::string(page.substr(3));
  if (page.substr(0, 2) == "\xFF\xFE") return utf16ToUtf8(page.substr(2), false);
  if (page.substr(0, 2) == "\xFE\xFF") return utf16ToUtf8(page.substr(2), true);
  const std::optional<CodePage> declared = declaredCodePage(page);
  // Pages are often re-saved by an editor without their declaration changing: the bytes win over
  // the words when the guess is sure of them. The guess takes a good part of an import's time, so
  // it is asked only when the bytes can contradict the declaration.
  const bool validUtf8 = isValidUtf8(page);
  if (declared == CodePage::Utf8 && validUtf8) return std::string(page);
  if (declared && declared != CodePage::Utf8 && !validUtf8)
    return winToUtf8(toWin(page, *declared));
  const CodePageGuess guess = guessCodePage(page);
  CodePage read = declared.value_or(guess.page);
  if (declared && isConfident(guess)) read = guess.page;
  if (read == CodePage::Utf8 || read == CodePage::Ascii) return std::string(page);
  return winToUtf8(toWin(page, read));
}

}  // namespace pagora::book_import

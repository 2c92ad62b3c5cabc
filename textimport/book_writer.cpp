// UTF-8 -> code page 1251 with plain forms for typographic characters, and the line builder.
#include "textimport/book_writer.h"

#include <array>
#include <cstdint>
#include <memory>

#include "text/recode.h"

namespace pagora::book_import {

namespace {

// What one BMP code point becomes before the conversion to 1251: itself (kKeep: the one
// conversion composes it, finds its 1251 byte or falls back), nothing, a (collapsing) space, an
// ASCII plain form, or one of the longer plain forms.
constexpr std::uint16_t kKeep = 0x100;
constexpr std::uint16_t kDrop = 0x101;
constexpr std::uint16_t kSpace = 0x102;
constexpr std::uint16_t kLong = 0x103;

constexpr std::array<std::string_view, 2> kLongForms = {"...", "--"};

using CharTable = std::array<std::uint16_t, 0x10000>;

std::unique_ptr<CharTable> buildTable() {
  auto table = std::make_unique<CharTable>();
  CharTable& t = *table;
  t.fill(kKeep);
  for (unsigned c = 0; c < 0x80; ++c) t[c] = static_cast<std::uint16_t>(c < 0x20 ? kDrop : c);
  t[0x7F] = kDrop;
  for (char32_t c : {U' ', U'\t', U'\n', U'\r'}) t[c] = kSpace;
  // The typographic marks the handheld cannot show, although 1251 has some of them: their plain
  // forms read the same.
  for (char32_t c :
       {0x201C, 0x201D, 0x201E, 0x201F, 0x2033, 0x2036, 0x301D, 0x301E, 0x301F, 0xFF02})
    t[c] = '"';
  for (char32_t c :
       {0x2018, 0x2019, 0x201A, 0x201B, 0x2032, 0x2035, 0x2039, 0x203A, 0x00B4, 0x02BC, 0xFF07})
    t[c] = '\'';
  for (char32_t c :
       {0x2010, 0x2011, 0x2012, 0x2013, 0x2014, 0x2015, 0x2212, 0x2E3A, 0xFE58, 0xFE63, 0xFF0D})
    t[c] = '-';
  t[0x2026] = kLong + 0;
  t[0x2E3B] = kLong + 1;
  t[0x00F7] = '/';
  // Every kind of space is a space; invisible marks (soft hyphens, joiners, direction marks,
  // variation selectors) vanish. Combining accents stay for the conversion, which composes "й"
  // and "ё" from them and drops the rest.
  for (char32_t c : {0x00A0, 0x1680, 0x202F, 0x205F, 0x3000, 0x2028, 0x2029}) t[c] = kSpace;
  for (char32_t c = 0x2000; c <= 0x200A; ++c) t[c] = kSpace;
  for (char32_t c : {0x00AD, 0x2060, 0xFEFF, 0x034F, 0x180E}) t[c] = kDrop;
  for (char32_t c = 0x200B; c <= 0x200F; ++c) t[c] = kDrop;
  for (char32_t c = 0x202A; c <= 0x202E; ++c) t[c] = kDrop;
  for (char32_t c = 0x2066; c <= 0x2069; ++c) t[c] = kDrop;
  for (char32_t c = 0xFE00; c <= 0xFE0F; ++c) t[c] = kDrop;
  return table;
}

// Length of the UTF-8 sequence at `s` (0 for a stray byte) and its code point; the readers hand
// over what expat checked, so a plain reading suffices.
std::size_t utf8Length(const unsigned char* s, std::size_t n, std::uint32_t& cp) {
  const auto cont = [&](std::size_t k) { return k < n && (s[k] & 0xC0) == 0x80; };
  if ((s[0] & 0xE0) == 0xC0 && cont(1)) {
    cp = ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
    return 2;
  }
  if ((s[0] & 0xF0) == 0xE0 && cont(1) && cont(2)) {
    cp = ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
    return 3;
  }
  if ((s[0] & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
    cp = 0x10000;  // beyond the BMP: left to the conversion
    return 4;
  }
  if (s[0] < 0x80) {
    cp = s[0];
    return 1;
  }
  return 0;
}

const CharTable& table() {
  static const std::unique_ptr<CharTable> table = buildTable();
  return *table;
}

}  // namespace

void appendUtf8AsWin(std::string& out, bool& pendingSpace, std::string_view utf8,
                     std::size_t* missing) {
  const CharTable& t = table();
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::string plain;  // UTF-8 with spaces and typographic marks made plain
  plain.reserve(n);
  const auto space = [&] {
    if (pendingSpace) {
      plain.push_back(' ');
      pendingSpace = false;
    }
  };
  std::size_t i = 0;
  while (i < n) {
    const unsigned c = s[i];
    if (c > 0x20 && c < 0x7F) {
      // Plain ASCII: the bulk of markup-free runs, copied a run at a time.
      std::size_t j = i + 1;
      while (j < n && s[j] > 0x20 && s[j] < 0x7F) ++j;
      space();
      plain.append(utf8.substr(i, j - i));
      i = j;
      continue;
    }
    std::uint32_t cp = 0;
    std::size_t len = utf8Length(s + i, n - i, cp);
    const std::uint16_t m = len == 0       ? static_cast<std::uint16_t>('?')
                            : cp < 0x10000 ? t[cp]
                                           : kKeep;
    const std::string_view own = utf8.substr(i, len == 0 ? 1 : len);
    i += own.size();
    if (m == kDrop) continue;
    if (m == kSpace) {
      if (!out.empty() || !plain.empty()) pendingSpace = true;
      continue;
    }
    space();
    if (m == kKeep) {
      plain.append(own);
    } else if (m < 0x100) {
      plain.push_back(static_cast<char>(m));
    } else {
      plain.append(kLongForms[m - kLong]);
    }
  }
  std::size_t unspelt = 0;
  out += utf8ToWin(plain, &unspelt);
  if (missing) *missing += unspelt;
}

std::string trimNoteNumber(const std::string& win) {
  std::size_t b = 0, e = win.size();
  auto junk = [](char c) {
    return c == ' ' || c == '[' || c == ']' || c == '{' || c == '}' || c == '(' || c == ')';
  };
  while (b < e && junk(win[b])) ++b;
  while (e > b && junk(win[e - 1])) --e;
  return win.substr(b, e - b);
}

std::string plainWin(std::string_view utf8, std::size_t* missing) {
  std::string out;
  bool pending = false;
  appendUtf8AsWin(out, pending, utf8, missing);
  return out;
}

const std::string& imageMark() {
  static const std::string mark = utf8ToWin("[картинка]");
  return mark;
}

void BookWriter::winText(std::string_view win) {
  if (pendingSpace_) {
    line_.push_back(' ');
    pendingSpace_ = false;
  }
  line_.append(win);
}

void BookWriter::cellBreak() {
  if (line_.empty()) return;
  pendingSpace_ = false;
  line_.append(" |");
  pendingSpace_ = true;
}

void BookWriter::endLine() {
  pendingSpace_ = false;
  if (line_.empty()) return;
  std::vector<std::string>& out = this->out();
  if (line_ == imageMark() && prefix_.empty()) {
    // A picture standing alone is a line of its own, not a paragraph.
    out.push_back(std::move(line_));
  } else {
    std::string text;
    text.reserve(line_.size() + prefix_.size() + 2);
    if (kind_ == LineKind::Paragraph) text = "  ";
    text += prefix_;
    text += line_;
    prefix_.clear();
    out.push_back(std::move(text));
  }
  line_.clear();
}

void BookWriter::blankLine() {
  endLine();
  std::vector<std::string>& out = this->out();
  if (!out.empty() && !out.back().empty()) out.emplace_back();
}

void BookWriter::endNote() {
  endLine();
  if (prefix_.empty()) return;
  // A note without any text still shows its number.
  std::string number = std::move(prefix_);
  prefix_.clear();
  while (!number.empty() && number.back() == ' ') number.pop_back();
  out().push_back("  " + number);
}

void BookWriter::toNotes(bool notes) {
  endNote();
  inNotes_ = notes;
  kind_ = LineKind::Paragraph;
}

std::vector<std::string> BookWriter::finish() {
  toNotes(false);
  std::vector<std::string> lines = std::move(main_);
  if (!notes_.empty()) {
    if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
    std::size_t first = 0;
    while (first < notes_.size() && notes_[first].empty()) ++first;
    lines.insert(lines.end(), std::make_move_iterator(notes_.begin() + first),
                 std::make_move_iterator(notes_.end()));
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  main_.clear();
  notes_.clear();
  return lines;
}

}  // namespace pagora::book_import

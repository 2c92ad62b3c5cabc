// UTF-8 -> code page 1251 with plain forms for typographic characters, and the line builder.
#include "textimport/book_writer.h"

#include <array>
#include <cstdint>
#include <memory>

#include "text/recode.h"

namespace pagora::book_import {

namespace {

// What one BMP code point becomes: a 1251 byte (0x00-0xFF), nothing, a (collapsing) space, or
// one of the longer plain forms.
constexpr std::uint16_t kDrop = 0x100;
constexpr std::uint16_t kSpace = 0x101;
constexpr std::uint16_t kLong = 0x102;

constexpr std::array<std::string_view, 9> kLongForms = {"...", "AE", "ae", "Th", "th",
                                                        "ss",  "OE", "oe", "--"};

using CharTable = std::array<std::uint16_t, 0x10000>;

char32_t FirstCodePoint(std::string_view utf8) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (utf8.empty()) return 0xFFFD;
  if (s[0] < 0x80) return s[0];
  if ((s[0] & 0xE0) == 0xC0 && utf8.size() >= 2) return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
  if ((s[0] & 0xF0) == 0xE0 && utf8.size() >= 3)
    return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
  return 0xFFFD;
}

std::unique_ptr<CharTable> BuildTable() {
  auto table = std::make_unique<CharTable>();
  CharTable& t = *table;
  t.fill('?');
  for (unsigned c = 0; c < 0x80; ++c) t[c] = static_cast<std::uint16_t>(c < 0x20 ? kDrop : c);
  t[0x7F] = kDrop;
  for (char32_t c : {U' ', U'\t', U'\n', U'\r'}) t[c] = kSpace;
  // Everything code page 1251 has keeps its byte...
  for (unsigned b = 0x80; b < 0x100; ++b) {
    const char32_t cp = FirstCodePoint(WinToUtf8(std::string(1, static_cast<char>(b))));
    if (cp < 0x10000 && cp != 0xFFFD) t[cp] = static_cast<std::uint16_t>(b);
  }
  // ...except the typographic marks the handheld cannot show: their plain forms read the same.
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
  t[0x2E3B] = kLong + 8;
  // Every kind of space is a space; invisible marks (soft hyphens, joiners, direction marks,
  // stress accents, variation selectors) vanish.
  for (char32_t c : {0x00A0, 0x1680, 0x202F, 0x205F, 0x3000, 0x2028, 0x2029}) t[c] = kSpace;
  for (char32_t c = 0x2000; c <= 0x200A; ++c) t[c] = kSpace;
  for (char32_t c : {0x00AD, 0x2060, 0xFEFF, 0x034F, 0x180E}) t[c] = kDrop;
  for (char32_t c = 0x200B; c <= 0x200F; ++c) t[c] = kDrop;
  for (char32_t c = 0x202A; c <= 0x202E; ++c) t[c] = kDrop;
  for (char32_t c = 0x2066; c <= 0x2069; ++c) t[c] = kDrop;
  for (char32_t c = 0x0300; c <= 0x036F; ++c) t[c] = kDrop;
  for (char32_t c = 0xFE00; c <= 0xFE0F; ++c) t[c] = kDrop;
  // Latin letters with marks become the bare letter; Cyrillic е and и with a grave accent too.
  constexpr std::string_view kLatin1 =
      "AAAAAA_CEEEEIIIIDNOOOOOxOUUUUY__aaaaaa_ceeeeiiiidnooooo/ouuuuy_y";
  for (unsigned i = 0; i < kLatin1.size(); ++i)
    if (kLatin1[i] != '_') t[0xC0 + i] = static_cast<unsigned char>(kLatin1[i]);
  t[0xC6] = kLong + 1;
  t[0xE6] = kLong + 2;
  t[0xDE] = kLong + 3;
  t[0xFE] = kLong + 4;
  t[0xDF] = kLong + 5;
  t[0x152] = kLong + 6;
  t[0x153] = kLong + 7;
  constexpr std::string_view kLatinA =
      "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi__JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo__"
      "RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
  static_assert(kLatin1.size() == 0x40 && kLatinA.size() == 0x80);
  for (unsigned i = 0; i < kLatinA.size(); ++i)
    if (kLatinA[i] != '_') t[0x100 + i] = static_cast<unsigned char>(kLatinA[i]);
  t[0x0400] = t[0x0415];
  t[0x0450] = t[0x0435];
  t[0x040D] = t[0x0418];
  t[0x045D] = t[0x0438];
  return table;
}

const CharTable& Table() {
  static const std::unique_ptr<CharTable> table = BuildTable();
  return *table;
}

}  // namespace

void AppendUtf8AsWin(std::string& out, bool& pendingSpace, std::string_view utf8) {
  const CharTable& t = Table();
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned c = s[i];
    if (c > 0x20 && c < 0x7F) {
      // Plain ASCII: the bulk of markup-free runs, copied a run at a time.
      std::size_t j = i + 1;
      while (j < n && s[j] > 0x20 && s[j] < 0x7F) ++j;
      if (pendingSpace) {
        out.push_back(' ');
        pendingSpace = false;
      }
      out.append(reinterpret_cast<const char*>(s + i), j - i);
      i = j;
      continue;
    }
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80) {
      cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
      cp = 0x10000;  // beyond the BMP: nothing there has a 1251 form
      len = 4;
    } else {
      cp = 0xFFFD;  // a stray byte
      len = 1;
    }
    i += len;
    const std::uint16_t m = cp < 0x10000 ? t[cp] : static_cast<std::uint16_t>('?');
    if (m == kDrop) continue;
    if (m == kSpace) {
      if (!out.empty()) pendingSpace = true;
      continue;
    }
    if (pendingSpace) {
      out.push_back(' ');
      pendingSpace = false;
    }
    if (m < 0x100)
      out.push_back(static_cast<char>(m));
    else
      out.append(kLongForms[m - kLong]);
  }
}

std::string PlainWin(std::string_view utf8) {
  std::string out;
  bool pending = false;
  AppendUtf8AsWin(out, pending, utf8);
  return out;
}

const std::string& ImageMark() {
  static const std::string mark = Utf8ToWin("[картинка]");
  return mark;
}

void BookWriter::WinText(std::string_view win) {
  if (pendingSpace_) {
    line_.push_back(' ');
    pendingSpace_ = false;
  }
  line_.append(win);
}

void BookWriter::CellBreak() {
  if (line_.empty()) return;
  pendingSpace_ = false;
  line_.append(" |");
  pendingSpace_ = true;
}

void BookWriter::EndLine() {
  pendingSpace_ = false;
  if (line_.empty()) return;
  std::vector<std::string>& out = Out();
  if (line_ == ImageMark() && prefix_.empty()) {
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

void BookWriter::BlankLine() {
  EndLine();
  std::vector<std::string>& out = Out();
  if (!out.empty() && !out.back().empty()) out.emplace_back();
}

void BookWriter::EndNote() {
  EndLine();
  if (prefix_.empty()) return;
  // A note without any text still shows its number.
  std::string number = std::move(prefix_);
  prefix_.clear();
  while (!number.empty() && number.back() == ' ') number.pop_back();
  Out().push_back("  " + number);
}

void BookWriter::ToNotes(bool notes) {
  EndNote();
  inNotes_ = notes;
  kind_ = LineKind::Paragraph;
}

std::vector<std::string> BookWriter::Finish() {
  ToNotes(false);
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

// UTF-8 to code page 1251 for texts with characters that 1251 lacks: compose, drop marks, take a
// look-alike or the bare letter, spell a few signs out; only what is left becomes "?".
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "recode_parts.h"

namespace pagora::recode_parts {
namespace {

struct Decomposition {
  std::uint16_t cp, first, second;  // second is 0 for a single-character decomposition
};
struct CombiningClass {
  std::uint16_t cp;
  std::uint8_t ccc;
};
struct Composition {
  std::uint16_t first, second, cp;
};
struct MarkRange {
  std::uint16_t low, high;
};

#include "unicode_tables.inc"

// What is spelled out rather than stripped: letters without a decomposition, ligatures,
// fractions and the dashes, spaces and signs that 1251 writes another way.
struct Spelling {
  std::uint16_t cp;
  const char* win;  // 1251 bytes
};
constexpr Spelling kSpellings[] = {
    {0x00BC, "1/4"},  {0x00BD, "1/2"}, {0x00BE, "3/4"}, {0x00C6, "AE"}, {0x00D0, "D"},
    {0x00D7, "x"},    {0x00D8, "O"},   {0x00DE, "Th"},  {0x00DF, "ss"}, {0x00E6, "ae"},
    {0x00F0, "d"},    {0x00F8, "o"},   {0x00FE, "th"},  {0x0110, "D"},  {0x0111, "d"},
    {0x0126, "H"},    {0x0127, "h"},   {0x0131, "i"},   {0x0132, "IJ"}, {0x0133, "ij"},
    {0x0138, "k"},    {0x013F, "L"},   {0x0140, "l"},   {0x0141, "L"},  {0x0142, "l"},
    {0x0149, "n"},    {0x014A, "N"},   {0x014B, "n"},   {0x0152, "OE"}, {0x0153, "oe"},
    {0x0166, "T"},    {0x0167, "t"},   {0x017F, "s"},   {0x0192, "f"},  {0x1E9E, "SS"},
    {0x2000, " "},    {0x2001, " "},   {0x2002, " "},   {0x2003, " "},  {0x2004, " "},
    {0x2005, " "},    {0x2006, " "},   {0x2007, " "},   {0x2008, " "},  {0x2009, " "},
    {0x200A, " "},    {0x2010, "-"},   {0x2011, "-"},   {0x2012, "-"},  {0x2015, "\x97"},
    {0x202F, "\xA0"}, {0x2032, "'"},   {0x2033, "\""},  {0x2044, "/"},  {0x2153, "1/3"},
    {0x2154, "2/3"},  {0x2190, "<-"},  {0x2192, "->"},  {0x2212, "-"},  {0x2217, "*"},
    {0x2264, "<="},   {0x2265, ">="},  {0xFB00, "ff"},  {0xFB01, "fi"}, {0xFB02, "fl"},
};

// The tables are searched by halves: a row out of order would hide the rows after it.
template <typename Row, std::size_t N>
constexpr bool sortedByCodePoint(const Row (&rows)[N]) {
  for (std::size_t i = 1; i < N; ++i) {
    if (!(rows[i - 1].cp < rows[i].cp)) return false;
  }
  return true;
}
static_assert(sortedByCodePoint(kSpellings));
static_assert(sortedByCodePoint(kDecompositions) && sortedByCodePoint(kCombiningClasses));

// Letters of the old orthography and their modern spelling (ѣ, ѳ, ѵ, the two yuses).
struct Modern {
  std::uint16_t cp;
  unsigned char win;
};
constexpr Modern kModern[] = {
    {0x0462, 0xC5}, {0x0463, 0xE5}, {0x0466, 0xDF}, {0x0467, 0xFF}, {0x046A, 0xD3},
    {0x046B, 0xF3}, {0x0472, 0xD4}, {0x0473, 0xF4}, {0x0474, 0xC8}, {0x0475, 0xE8},
};
static_assert(sortedByCodePoint(kModern));

// Latin letters that look like Cyrillic ones, for stressed vowels typed with a Latin accent.
struct LookAlike {
  std::uint16_t latin;  // the letter as composed, accent included, or its bare base
  unsigned char win;
};
constexpr LookAlike kLookAlikes[] = {
    {0x00CB, 0xA8}, {0x00EB, 0xB8},  // Ë ë: the Cyrillic Ё ё, not Е е
    {'A', 0xC0},    {'E', 0xC5},    {'O', 0xCE}, {'Y', 0xD3},
    {'a', 0xE0},    {'e', 0xE5},    {'o', 0xEE}, {'y', 0xF3},
};

template <typename Row, typename Key>
const Row* find(const Row* begin, const Row* end, Key key, std::uint16_t Row::*field) {
  const Row* row =
      std::lower_bound(begin, end, key, [field](const Row& r, Key k) { return r.*field < k; });
  return row != end && row->*field == key ? row : nullptr;
}

// Latin, Greek and Cyrillic letters, the bulk of what passes here, answer without a search.
bool plainLetterRange(std::uint32_t cp) {
  return cp < 0x300 || (cp >= 0x370 && cp < 0x483) || (cp > 0x489 && cp < 0x591);
}

int ccc(std::uint32_t cp) {
  if (plainLetterRange(cp) || cp > 0xFFFF) return 0;
  const CombiningClass* row = find(std::begin(kCombiningClasses), std::end(kCombiningClasses),
                                   static_cast<std::uint16_t>(cp), &CombiningClass::cp);
  return row != nullptr ? row->ccc : 0;
}

bool isInvisibleMark(std::uint32_t cp) {
  if (plainLetterRange(cp)) return cp == 0x00AD;
  const MarkRange* end = std::end(kInvisibleMarks);
  const MarkRange* r =
      std::upper_bound(std::begin(kInvisibleMarks), end, cp,
                       [](std::uint32_t c, const MarkRange& m) { return c < m.low; });
  return r != std::begin(kInvisibleMarks) && cp <= (r - 1)->high;
}

const Decomposition* decompositionOf(std::uint32_t cp) {
  if (cp < 0xC0 || cp > 0xFFFF) return nullptr;
  return find(std::begin(kDecompositions), std::end(kDecompositions),
              static_cast<std::uint16_t>(cp), &Decomposition::cp);
}

std::uint32_t compose(std::uint32_t first, std::uint32_t second) {
  if (first > 0xFFFF || second > 0xFFFF) return 0;
  const auto* end = std::end(kCompositions);
  const auto* row = std::lower_bound(
      std::begin(kCompositions), end, std::pair<std::uint32_t, std::uint32_t>(first, second),
      [](const Composition& c, const std::pair<std::uint32_t, std::uint32_t>& k) {
        return c.first != k.first ? c.first < k.first : c.second < k.second;
      });
  return row != end && row->first == first && row->second == second ? row->cp : 0;
}

void decompose(std::uint32_t cp, std::vector<std::uint32_t>& out) {
  const Decomposition* d = decompositionOf(cp);
  if (d == nullptr) {
    out.push_back(cp);
    return;
  }
  decompose(d->first, out);
  if (d->second != 0) out.push_back(d->second);
}

// One decoded piece of the input: a character, or a byte that is not UTF-8 and stays as it is.
struct Piece {
  std::uint32_t cp;
  bool raw;
};

std::vector<Piece> decode(std::string_view text) {
  std::vector<Piece> pieces;
  pieces.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    const std::size_t len = utf8Sequence(p + i, text.size() - i, cp);
    if (len == 0) {
      pieces.push_back({p[i], true});
      ++i;
    } else {
      pieces.push_back({cp, false});
      i += len;
    }
  }
  return pieces;
}

// An invisible mark that 1251 lacks (the soft hyphen it has stays).
bool isDropped(std::uint32_t cp) {
  return isInvisibleMark(cp) && unicodeToWin(cp) == '?';
}

bool isCyrillicLetter(std::uint32_t cp) {
  return cp >= 0x0400 && cp <= 0x052F && !(cp >= 0x0482 && cp <= 0x0489);
}

bool isLatinLetter(std::uint32_t cp) {
  return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') ||
         (cp >= 0x00C0 && cp <= 0x024F && cp != 0x00D7 && cp != 0x00F7) ||
         (cp >= 0x1E00 && cp <= 0x1EFF);
}

// Canonical composition of a starter and the combining marks that follow it: the composed
// starter, with the marks that did not join it dropped.
std::uint32_t composeCluster(std::uint32_t starter, const std::vector<std::uint32_t>& marks) {
  std::vector<std::uint32_t> d;
  decompose(starter, d);
  for (std::uint32_t m : marks) decompose(m, d);
  std::stable_sort(d.begin() + 1, d.end(),
                   [](std::uint32_t a, std::uint32_t b) { return ccc(a) < ccc(b); });
  std::uint32_t base = d[0];
  int lastKept = -1;  // class of the last mark that stayed apart, -1 when none
  for (std::size_t i = 1; i < d.size(); ++i) {
    const int markClass = ccc(d[i]);
    const std::uint32_t joined = lastKept < markClass ? compose(base, d[i]) : 0;
    if (joined != 0) {
      base = joined;
    } else {
      lastKept = markClass;
    }
  }
  return base;
}

class Converter {
 public:
  explicit Converter(std::size_t& missing) : missing_(missing) {}

  std::string run(std::string_view text) {
    const std::vector<Piece> pieces = decode(text);
    out_.reserve(text.size());
    std::uint32_t previous = 0;
    std::vector<std::uint32_t> marks;
    for (std::size_t i = 0; i < pieces.size();) {
      const Piece piece = pieces[i++];
      if (piece.raw) {
        out_.push_back(static_cast<char>(piece.cp));
        previous = 0;
        continue;
      }
      marks.clear();
      while (i < pieces.size() && !pieces[i].raw && ccc(pieces[i].cp) != 0) {
        marks.push_back(pieces[i++].cp);
      }
      if (ccc(piece.cp) != 0 || isDropped(piece.cp)) continue;  // a mark with no letter
      const std::uint32_t cp = marks.empty() ? piece.cp : composeCluster(piece.cp, marks);
      std::size_t next = i;
      while (next < pieces.size() && !pieces[next].raw && isDropped(pieces[next].cp)) ++next;
      const std::uint32_t following =
          next < pieces.size() && !pieces[next].raw ? pieces[next].cp : 0;
      put(cp, previous, following);
      previous = cp;
    }
    return std::move(out_);
  }

 private:
  void put(std::uint32_t cp, std::uint32_t previous, std::uint32_t following) {
    const unsigned char b = unicodeToWin(cp);
    if (b != '?' || cp == '?') {
      out_.push_back(static_cast<char>(b));
      return;
    }
    if (const Spelling* s = find(std::begin(kSpellings), std::end(kSpellings),
                                 static_cast<std::uint16_t>(cp), &Spelling::cp);
        cp <= 0xFFFF && s != nullptr) {
      out_ += s->win;
      return;
    }
    if (const Modern* m = find(std::begin(kModern), std::end(kModern),
                               static_cast<std::uint16_t>(cp), &Modern::cp);
        cp <= 0xFFFF && m != nullptr) {
      out_.push_back(static_cast<char>(m->win));
      return;
    }
    const Decomposition* d = decompositionOf(cp);
    if (d != nullptr && isLatinLetter(cp) && inCyrillicWord(previous, following)) {
      std::vector<std::uint32_t> parts;
      decompose(cp, parts);
      for (std::uint32_t key : {cp, parts[0]}) {
        for (const LookAlike& l : kLookAlikes) {
          if (l.latin == key) {
            out_.push_back(static_cast<char>(l.win));
            return;
          }
        }
      }
    }
    if (d != nullptr) {  // the letter without its diacritic
      put(d->first, previous, following);
      return;
    }
    out_.push_back('?');
    ++missing_;
  }

  static bool inCyrillicWord(std::uint32_t previous, std::uint32_t following) {
    return (isCyrillicLetter(previous) || isCyrillicLetter(following)) &&
           !isLatinLetter(previous) && !isLatinLetter(following);
  }

  std::size_t& missing_;
  std::string out_;
};

}  // namespace

std::string utf8ToWinFallback(std::string_view text, std::size_t& missing) {
  missing = 0;
  return Converter(missing).run(text);
}

}  // namespace pagora::recode_parts

// Tidy's reading of a text: what page layouts left in it, and how its paragraphs are marked.
#include <algorithm>
#include <array>

#include "tidy_parts.h"

namespace pagora::tidy {
namespace {

constexpr std::uint32_t kWidthCap = 1023;  // wider lines are paragraphs on lines of their own

class Histogram {
 public:
  void add(std::uint32_t value) {
    ++counts_[std::min(value, kWidthCap)];
    ++total_;
  }
  std::size_t total() const { return total_; }
  // The smallest value that at least `share` of the values do not exceed.
  std::uint32_t percentile(double share) const {
    const auto wanted = static_cast<std::size_t>(share * static_cast<double>(total_));
    std::size_t seen = 0;
    for (std::uint32_t v = 0; v <= kWidthCap; ++v) {
      seen += counts_[v];
      if (seen > wanted || (seen == total_ && seen > 0)) return v;
    }
    return 0;
  }
  std::size_t count(std::uint32_t value) const { return counts_[std::min(value, kWidthCap)]; }

 private:
  std::array<std::size_t, kWidthCap + 1> counts_{};
  std::size_t total_ = 0;
};

// A short line's text with every run of digits as "#" and blanks as one space, so that "- 12 -"
// and "- 13 -", or "Anna Karenina 7" and "Anna Karenina 8", compare equal; hashed, as only
// equality counts.
std::uint64_t furnitureKey(std::string_view text, bool& number) {
  std::uint64_t hash = 14695981039346656037ull;
  auto add = [&hash](unsigned char c) { hash = (hash ^ c) * 1099511628211ull; };
  bool digits = false, other = false;
  char last = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      if (last != '#') add('#');
      last = '#';
      digits = true;
    } else if (c == ' ' || c == '\t') {
      if (last != ' ') add(' ');
      last = ' ';
    } else {
      add(static_cast<unsigned char>(c));
      last = c;
      other = other || c != '-';
    }
  }
  // A number alone, bare or between dashes: nothing but a page number looks so.
  number = digits && !other;
  return hash;
}

// Whether `gap` lines are a whole number of pages of `page` lines; `pages` gets the number.
bool wholePages(std::uint32_t gap, std::uint32_t page, std::uint32_t& pages) {
  // A scan may gain or lose a line or two on a page.
  const std::uint32_t slack = std::max<std::uint32_t>(2, page / 16);
  pages = (gap + page / 2) / page;
  const std::uint32_t whole = pages * page;
  return pages >= 1 && (whole > gap ? whole - gap : gap - whole) <= slack;
}

// Marks the members of one group of equal short lines that recur at the page length, as a
// running head does all through a text (a chapter's first page may lack it). A member off the
// beat (the book's title where the head repeats it) stays.
void markRegular(const std::vector<std::uint32_t>& at, std::vector<char>& remove) {
  if (at.size() < 3) return;
  std::vector<std::uint32_t> gaps;
  for (std::size_t i = 1; i < at.size(); ++i) gaps.push_back(at[i] - at[i - 1]);
  std::vector<std::uint32_t> sorted = gaps;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const std::uint32_t page = sorted[sorted.size() / 2];
  // A page holds between a few and some hundred lines; what recurs farther apart is the text's
  // own (chapter numbers, a refrain).
  if (page < 8 || page > 150) return;
  // From the first two members a page apart, on to both ends, skipping members off the beat.
  std::size_t anchor = 0;
  std::uint32_t pages = 0;
  while (anchor < gaps.size() && !(wholePages(gaps[anchor], page, pages) && pages == 1)) ++anchor;
  if (anchor == gaps.size()) return;
  std::vector<std::uint32_t> beat{at[anchor]};
  for (std::size_t i = anchor + 1; i < at.size(); ++i)
    if (wholePages(at[i] - beat.back(), page, pages)) beat.push_back(at[i]);
  std::uint32_t first = at[anchor];
  for (std::size_t i = anchor; i-- > 0;) {
    if (wholePages(first - at[i], page, pages)) {
      beat.push_back(at[i]);
      first = at[i];
    }
  }
  const std::size_t span = at.back() - at.front();
  if (beat.size() < 3 || beat.size() * 5 < at.size() * 3 || beat.size() * page * 10 < span * 5 ||
      span * 10 < remove.size() * 3)
    return;
  for (const std::uint32_t i : beat) remove[i] = 1;
}

}  // namespace

std::size_t removePageFurniture(std::vector<Line>& lines, bool utf8) {
  (void)utf8;
  Histogram widths;
  for (const Line& l : lines)
    if (!l.blank) widths.add(l.width);
  const std::uint32_t shortLine = std::min<std::uint32_t>(60, widths.percentile(0.95) * 3 / 4);
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;  // key, line
  std::vector<char> remove(lines.size());
  std::vector<char> decorated(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    if (l.blank) {
      remove[i] = l.seam;  // a form feed on a line of its own
      continue;
    }
    if (l.width > std::max<std::uint32_t>(shortLine, 12)) continue;
    bool number = false;
    const std::uint64_t key = furnitureKey(l.text, number);
    if (l.width <= shortLine || number) keyed.emplace_back(key, static_cast<std::uint32_t>(i));
    decorated[i] = number && l.text.find('-') != std::string_view::npos;
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::uint32_t> at;
  for (std::size_t from = 0; from < keyed.size();) {
    std::size_t to = from;
    at.clear();
    for (; to < keyed.size() && keyed[to].first == keyed[from].first; ++to)
      at.push_back(keyed[to].second);
    if (decorated[at.front()] && at.size() >= 3) {
      for (const std::uint32_t i : at) remove[i] = 1;
    } else {
      markRegular(at, remove);
    }
    from = to;
  }
  std::size_t removed = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (remove[i] != 1) continue;
    ++removed;
    for (std::size_t j = i; j > 0 && lines[j - 1].blank && !remove[j - 1]; --j) remove[j - 1] = 2;
    for (std::size_t j = i + 1; j < lines.size() && lines[j].blank && !remove[j]; ++j)
      remove[j] = 2;
  }
  std::vector<Line> kept;
  kept.reserve(removed > 0 ? lines.size() : 0);
  bool seam = false;
  for (std::size_t i = 0; i < lines.size() && removed > 0; ++i) {
    if (remove[i]) {
      seam = !kept.empty();
      continue;
    }
    kept.push_back(lines[i]);
    kept.back().seam = kept.back().seam || seam;
    seam = false;
  }
  if (removed > 0) lines = std::move(kept);
  return removed;
}

Figures measureText(const std::vector<Line>& lines, bool utf8) {
  Figures f;
  Histogram indents;
  for (const Line& l : lines)
    if (!l.blank) indents.add(l.indent);
  if (indents.total() == 0) return f;
  for (std::uint32_t v = 0; v <= 64; ++v) {
    if (indents.count(v) * 100 >= indents.total() * 15) {
      f.baseIndent = v;
      break;
    }
  }
  // Widths without a first line's own indent, which may have been added after wrapping.
  Histogram widths;
  for (const Line& l : lines)
    if (!l.blank) widths.add(l.width - (l.indent > f.baseIndent ? l.indent - f.baseIndent : 0));
  f.usual = widths.percentile(0.95);
  f.widest = widths.percentile(0.99);
  // Hard-wrapped lines end wherever the width ran out, mostly inside a sentence; a paragraph
  // on a line of its own ends a sentence.
  std::size_t full = 0, inside = 0;
  for (const Line& l : lines) {
    if (l.blank || l.width < 20 || l.width * 10 < f.usual * 6) continue;
    ++full;
    inside += !endsSentence(l.text, utf8);
  }
  f.wrapped = f.usual >= 30 && full >= 3 && inside * 10 >= full * 4;
  // Lines inside paragraphs: how narrow they get, whether the next word would have fitted.
  Histogram middle;
  std::size_t fitted = 0, atWidest = 0;
  std::size_t indentStarts = 0, blankBreaks = 0, nonBlank = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    if (l.blank) continue;
    ++nonBlank;
    if (i + 2 < lines.size() && lines[i + 1].blank && !lines[i + 2].blank) ++blankBreaks;
    if (i + 1 >= lines.size() || lines[i + 1].blank || lines[i + 1].seam) continue;
    const Line& next = lines[i + 1];
    if (l.indent > f.baseIndent && next.indent == f.baseIndent) ++indentStarts;
    if (endsSentence(l.text, utf8) || endsInCutWord(l.text, utf8) || l.width * 2 < f.usual ||
        next.indent != f.baseIndent)
      continue;
    middle.add(l.width);
    fitted += l.width + 1 + firstWordWidth(next.text, utf8) <= f.widest;
    atWidest += l.width == f.widest;
  }
  const std::size_t m = middle.total();
  f.greedy = m >= 20 && fitted * 100 <= m * 3;
  f.justified = m >= 20 && atWidest * 10 >= m * 7;
  f.shortBelow = f.justified ? f.widest : m >= 20 ? middle.percentile(0.02) : f.usual * 3 / 4;
  if (!f.wrapped)
    f.guess = TidyLayout::Lines;
  else if (indentStarts >= std::max<std::size_t>(2, nonBlank / 50))
    f.guess = TidyLayout::Indent;
  else if (blankBreaks >= std::max<std::size_t>(2, nonBlank / 25))
    f.guess = TidyLayout::Blank;
  else
    f.guess = TidyLayout::Width;
  return f;
}

}  // namespace pagora::tidy

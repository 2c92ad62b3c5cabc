// Tidy's reading of a text: what page layouts left in it, and how its paragraphs are marked.
#include <algorithm>
#include <array>

#include "tidy_parts.h"

namespace pagora::tidy {
namespace {

constexpr std::uint32_t kWidthCap = 4095;

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

// Marks the members of one group of equal short lines that recur at the page length: a gap to
// the previous or next member is a whole number of pages (a chapter's first page may lack it),
// and together they span a good part of the text, as a running head does.
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
  const std::uint32_t slack = std::max<std::uint32_t>(2, page / 8);
  std::vector<char> fits(gaps.size());
  std::size_t fitting = 0, onePage = 0;
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    const std::uint32_t pages = (gaps[i] + page / 2) / page;
    const std::uint32_t off =
        pages * page > gaps[i] ? pages * page - gaps[i] : gaps[i] - pages * page;
    fits[i] = pages >= 1 && off <= slack;
    fitting += fits[i];
    onePage += fits[i] && pages == 1;
  }
  if (fitting < 2 || fitting * 5 < gaps.size() * 3 || onePage * 2 < fitting ||
      static_cast<std::size_t>(fitting) * page * 10 < remove.size() * 3)
    return;
  for (std::size_t i = 0; i < at.size(); ++i) {
    if ((i > 0 && fits[i - 1]) || (i < gaps.size() && fits[i])) remove[at[i]] = 1;
  }
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
  if (indents.total() < 3) return f;
  for (std::uint32_t v = 0; v <= 64; ++v) {
    if (indents.count(v) * 100 >= indents.total() * 15) {
      f.baseIndent = v;
      break;
    }
  }
  // The width from ordinary lines: a first line's indent may have been added after wrapping.
  Histogram widths;
  for (const Line& l : lines)
    if (!l.blank && l.indent <= f.baseIndent) widths.add(l.width);
  if (widths.total() < 3) return f;
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

// Tidy: finds where paragraphs start and end in a hard-wrapped text and writes each as one line,
// rejoining words cut at line ends and collapsing runs of spaces.
#include "text/tidy.h"

#include <algorithm>
#include <unordered_set>

#include "text/recode.h"
#include "tidy_parts.h"

namespace pagora {
namespace {

using tidy::Figures;
using tidy::Line;

const std::string_view kBom = "\xEF\xBB\xBF";

// Where the tidied lines go: a list of lines, or bytes with the file's own line end.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void put(std::string_view line) = 0;
};

class LinesSink : public Sink {
 public:
  TextBuffer lines;
  void put(std::string_view line) override { lines.emplace_back(line); }
};

class BytesSink : public Sink {
 public:
  BytesSink(std::string_view eol, std::size_t size) : eol_(eol) { bytes.reserve(size); }
  std::string bytes;
  void put(std::string_view line) override {
    bytes += line;
    bytes += eol_;
  }

 private:
  std::string_view eol_;
};

// Appends a character's code point to a dictionary key, case folded.
void appendKey(std::string& key, char32_t c) {
  c = tidy::toLower(c);
  key += static_cast<char>(c >> 16);
  key += static_cast<char>(c >> 8);
  key += static_cast<char>(c);
}

// The letters right before `end` / from `at`, as a key.
std::string lettersBefore(std::string_view s, std::size_t end, bool utf8) {
  std::string key;
  std::size_t from = end;
  for (tidy::Char c; (c = tidy::charBefore(s, from, utf8)).size && tidy::isLetter(c.cp);)
    from -= c.size;
  for (std::size_t i = from; i < end;) {
    const tidy::Char c = tidy::charAt(s, i, utf8);
    appendKey(key, c.cp);
    i += c.size;
  }
  return key;
}

std::string lettersFrom(std::string_view s, std::size_t at, bool utf8) {
  std::string key;
  for (tidy::Char c; (c = tidy::charAt(s, at, utf8)).size && tidy::isLetter(c.cp); at += c.size)
    appendKey(key, c.cp);
  return key;
}

std::string keyOf(std::u32string_view word) {
  std::string key;
  for (const char32_t c : word) appendKey(key, c);
  return key;
}

class Tidier {
 public:
  Tidier(const std::vector<Line>& lines, const Figures& figures, TidyLayout layout, bool utf8,
         const TidyOptions& options, Sink& sink)
      : lines_(lines), f_(figures), layout_(layout), utf8_(utf8), options_(options), sink_(sink) {
    if (!options.keepHyphens) collectHyphenated();
  }

  std::size_t run() {
    bool blankBefore = false;
    const Line* previous = nullptr;
    for (const Line& line : lines_) {
      if (line.blank) {
        flush();
        blankBefore = true;
        previous = nullptr;
        continue;
      }
      if (previous != nullptr && breaksBetween(*previous, line, count_ == 1)) flush();
      if (count_ == 0) {
        blankBefore_ = blankBefore;
        blankBefore = false;
      }
      append(line);
      previous = &line;
    }
    flush();
    return hyphensJoined_;
  }

  std::size_t written() const { return written_; }

 private:
  bool isShort(const Line& l) const { return l.width < f_.shortBelow; }

  // A heading in capitals ("II", "ГЛАВА ПЕРВАЯ") stands apart even without a blank line.
  bool isCapsHeading(const Line& l) const {
    return isShort(l) && !tidy::hasLowercase(l.text, utf8_) && !tidy::endsSentence(l.text, utf8_) &&
           l.text.size() < 64;
  }

  // Whether `b` starts anew after `a`, two lines with no blank line between them. `aStarts`:
  // `a` began its paragraph.
  bool breaksBetween(const Line& a, const Line& b, bool aStarts) const {
    // Scene breaks ("* * *") and other lines without a word.
    if (!tidy::hasLetterOrDigit(a.text) || !tidy::hasLetterOrDigit(b.text)) return true;
    if (layout_ == TidyLayout::Indent && b.indent > f_.baseIndent) return true;
    if (tidy::endsInCutWord(a.text, utf8_)) return false;
    // Padding is spread over the lines inside a justified paragraph only.
    if (f_.justified && a.text.find("  ") != std::string_view::npos) return false;
    const bool shortA = isShort(a);
    const bool ends = tidy::endsSentence(a.text, utf8_);
    const bool dialogue = tidy::startsDialogue(b.text, utf8_, true);
    // Wrapped as full as the words allowed, a line that left room for the next word ended on
    // purpose, and one that had no room was cut by the width however short it is.
    const bool fits = a.width + 1 + tidy::firstWordWidth(b.text, utf8_) <= f_.widest;
    const bool cutShort = f_.greedy && !f_.justified ? fits : shortA;
    // A short first line is a heading; short lines in a row are verse or a heading's lines.
    if (shortA && cutShort && (aStarts || isShort(b))) return true;
    if (isCapsHeading(a) || isCapsHeading(b)) return true;
    if (f_.greedy && fits && (ends || dialogue)) return true;
    // Without other marks, a line of dialogue after a finished sentence starts a paragraph far
    // more often than it goes on with the speech ("..., – сказал он. – Я приду.") across a line
    // end.
    if ((layout_ == TidyLayout::Width || b.seam) && ends && dialogue) return true;
    // A short line that ends no sentence after one that does is a heading ("Глава пятая"): a
    // paragraph's own last line ends a sentence.
    if ((layout_ == TidyLayout::Width || b.seam) && ends && isShort(b) &&
        !tidy::endsSentence(b.text, utf8_) && !tidy::endsInCutWord(b.text, utf8_))
      return true;
    if ((layout_ == TidyLayout::Width || b.seam) && shortA && cutShort &&
        (ends || dialogue || f_.justified))
      return true;
    return false;
  }

  void append(const Line& line) {
    std::string_view text = line.text;
    if (count_ == 0) {
      first_ = line;
    } else if (tidy::endsInCutWord(text_, utf8_) &&
               tidy::isLetter(tidy::charAt(text, 0, utf8_).cp)) {
      ++hyphensJoined_;
      if (!options_.keepHyphens && !keepsHyphen(text)) text_.pop_back();
    } else {
      text_ += ' ';
    }
    ++count_;
    // Runs of blanks inside the line become one space.
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t j = i;
      while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
      text_.append(text, i, j - i);
      if (j == text.size()) break;
      text_ += ' ';
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
      i = j;
    }
  }

  // "кто-" + "нибудь": the text writes "кто-нибудь" elsewhere, or the word is a name, or the
  // second half is a particle that always takes its hyphen.
  bool keepsHyphen(std::string_view next) const {
    if (tidy::isUpper(tidy::charAt(next, 0, utf8_).cp)) return true;
    const std::string before = lettersBefore(text_, text_.size() - 1, utf8_);
    const std::string after = lettersFrom(next, 0, utf8_);
    if (hyphenated_.count(before + keyOf(U"-") + after)) return true;
    static const std::unordered_set<std::string> particles = {
        keyOf(U"\u0442\u043E"), keyOf(U"\u043D\u0438\u0431\u0443\u0434\u044C"),
        keyOf(U"\u043B\u0438\u0431\u043E"), keyOf(U"\u0442\u0430\u043A\u0438")};
    return particles.count(after) > 0 || before == keyOf(U"\u043A\u043E\u0435");
  }

  // Every word the text writes with a hyphen inside a line: "кто-нибудь", "из-за".
  void collectHyphenated() {
    for (const Line& line : lines_) {
      const std::string_view t = line.text;
      for (std::size_t at = t.find('-'); at != std::string_view::npos; at = t.find('-', at + 1)) {
        if (at == 0 || at + 1 >= t.size()) continue;
        if (!tidy::isLetter(tidy::charBefore(t, at, utf8_).cp) ||
            !tidy::isLetter(tidy::charAt(t, at + 1, utf8_).cp))
          continue;
        hyphenated_.insert(lettersBefore(t, at, utf8_) + keyOf(U"-") +
                           lettersFrom(t, at + 1, utf8_));
      }
    }
  }

  // Writes the paragraph gathered so far; headings, verse and scene breaks keep an empty line
  // around them where the text had one.
  void flush() {
    if (count_ == 0) return;
    // A heading, or a line of verse: one short line that ends no sentence, or that follows
    // such a line directly (the last line of a stanza).
    const bool standalone =
        count_ == 1 && (isShort(first_) || !tidy::hasLetterOrDigit(first_.text)) &&
        (!tidy::endsSentence(first_.text, utf8_) || (lastStandalone_ && !blankBefore_));
    if (written_ > 0 && blankBefore_ && (standalone || lastStandalone_)) sink_.put("");
    out_.assign(1, ' ');
    out_ += text_;
    sink_.put(out_);
    ++written_;
    lastStandalone_ = standalone;
    text_.clear();
    count_ = 0;
  }

  const std::vector<Line>& lines_;
  const Figures& f_;
  TidyLayout layout_;
  bool utf8_;
  const TidyOptions& options_;
  Sink& sink_;
  std::unordered_set<std::string> hyphenated_;
  std::string text_;  // the paragraph so far
  std::string out_;
  Line first_;
  std::size_t count_ = 0;  // its lines
  bool blankBefore_ = false;
  bool lastStandalone_ = false;
  std::size_t written_ = 0;
  std::size_t hyphensJoined_ = 0;
};

std::size_t firstHighByte(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80) return i;
  return std::string_view::npos;
}

// UTF-8 or code page 1251, told from the stretch from the first letter beyond ASCII on: the
// reading copes with a stray invalid byte later, so the whole text need not be checked.
constexpr std::size_t kSample = 256 * 1024;

bool looksUtf8(std::string_view s) {
  const std::size_t high = firstHighByte(s);
  if (high == std::string_view::npos) return false;
  std::size_t end = std::min(s.size(), high + kSample);
  while (end < s.size() && static_cast<unsigned char>(s[end]) >= 0x80) ++end;
  return isValidUtf8(s.substr(high, end - high));
}

// Tidies `raw` into `sink`; false when the text is laid out one paragraph a line already (the
// caller then keeps it as it is and the sink gets nothing).
bool tidyInto(const std::vector<std::string_view>& raw, bool utf8, const TidyOptions& options,
              TidyReport& report, Sink& sink) {
  std::vector<Line> lines;
  lines.reserve(raw.size());
  for (const std::string_view r : raw) lines.push_back(tidy::measure(r, utf8));
  report.pageLines = tidy::removePageFurniture(lines, utf8);
  const Figures figures = tidy::measureText(lines, utf8);
  report.layout = options.layout == TidyLayout::Auto ? figures.guess : options.layout;
  if (report.layout == TidyLayout::Lines) {
    report.pageLines = 0;
    report.paragraphs = raw.size();
    return false;
  }
  Tidier tidier(lines, figures, report.layout, utf8, options, sink);
  report.hyphensJoined = tidier.run();
  report.paragraphs = tidier.written();
  return true;
}

}  // namespace

const char* tidyLayoutName(TidyLayout layout) {
  switch (layout) {
    case TidyLayout::Auto:
      return "auto";
    case TidyLayout::Lines:
      return "lines";
    case TidyLayout::Indent:
      return "indent";
    case TidyLayout::Blank:
      return "blank";
    case TidyLayout::Width:
      return "width";
  }
  return "auto";
}

bool tidyLayoutFromName(std::string_view name, TidyLayout& layout) {
  for (const TidyLayout l : {TidyLayout::Auto, TidyLayout::Lines, TidyLayout::Indent,
                             TidyLayout::Blank, TidyLayout::Width}) {
    if (name == tidyLayoutName(l)) {
      layout = l;
      return true;
    }
  }
  return false;
}

TextBuffer tidyLines(const TextBuffer& lines, const TidyOptions& options, TidyReport* report) {
  TidyReport own;
  TidyReport& r = report ? *report : own;
  std::vector<std::string_view> raw(lines.begin(), lines.end());
  bool utf8 = false;
  std::size_t seen = 0;
  for (std::size_t i = 0; i < lines.size() && seen < kSample; ++i) {
    if (firstHighByte(lines[i]) == std::string_view::npos) continue;
    utf8 = isValidUtf8(lines[i]);
    if (!utf8) break;
    seen += lines[i].size();
  }
  std::string_view bom;
  if (utf8 && !raw.empty() && raw[0].substr(0, 3) == kBom) {
    bom = kBom;
    raw[0].remove_prefix(3);
  }
  LinesSink sink;
  if (!tidyInto(raw, utf8, options, r, sink)) return lines;
  if (!bom.empty() && !sink.lines.empty()) sink.lines.front().insert(0, bom);
  return std::move(sink.lines);
}

TextBuffer tidyText(std::string_view bytes, const TidyOptions& options, TidyReport* report) {
  return tidyLines(splitLines(bytes), options, report);
}

std::string tidyBytes(std::string_view bytes, const TidyOptions& options, TidyReport* report) {
  TidyReport own;
  TidyReport& r = report ? *report : own;
  const bool utf8 = looksUtf8(bytes);
  std::string_view text = bytes;
  if (utf8 && text.substr(0, 3) == kBom) text.remove_prefix(3);
  std::vector<std::string_view> raw;
  raw.reserve(text.size() / 40 + 1);
  std::string_view eol;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    if (end == text.size()) {
      raw.push_back(text.substr(at));
      break;
    }
    raw.push_back(text.substr(at, end - at));
    const std::size_t size = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    if (eol.empty()) eol = text.substr(end, size);
    at = end + size;
  }
  const bool endsWithEol = !text.empty() && (text.back() == '\n' || text.back() == '\r');
  if (eol.empty()) eol = "\r\n";
  BytesSink sink(eol, bytes.size() + raw.size());
  if (text.size() != bytes.size()) sink.bytes = kBom;
  if (!tidyInto(raw, utf8, options, r, sink)) return std::string(bytes);
  if (!endsWithEol && !sink.bytes.empty()) sink.bytes.resize(sink.bytes.size() - eol.size());
  return std::move(sink.bytes);
}

}  // namespace pagora

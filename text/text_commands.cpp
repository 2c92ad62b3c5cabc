// The view window's clean-up commands over a text buffer.
#include "text/text_commands.h"

#include <utility>

namespace pagora {

// "Пусто" ("empty") in code page 1251, like every line of a buffer.
const char* const kEmptyTextLine = "\xCF\xF3\xF1\xF2\xEE";

namespace {

// The window let its message loop run after lines 0, 100, 200, ...; the last line is reported
// too so that a gauge ends full.
inline void report(const LineProgress& progress, std::size_t i, std::size_t last, int maximum) {
  if (progress && (i % 100 == 0 || i == last)) progress(static_cast<int>(i), maximum);
}

int progressMaximum(std::size_t count, int less) {
  return static_cast<int>(count) - less;
}

bool beginsParagraph(const std::string& line) {
  return line.empty() || (line.size() >= 2 && line[0] == ' ' && line[1] == ' ');
}

}  // namespace

std::size_t recodeLines(TextBuffer& lines, Recoding recoding, const LineProgress& progress) {
  const int maximum = progressMaximum(lines.size(), 1);
  std::size_t missing = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    switch (recoding) {
      case Recoding::DosToWin:
        dosToWinInPlace(lines[i]);
        break;
      case Recoding::KoiToWin:
        koiToWinInPlace(lines[i]);
        break;
      case Recoding::Utf8ToWin:
        missing += utf8ToWinInPlace(lines[i]);
        break;
    }
    report(progress, i, lines.size() - 1, maximum);
  }
  return missing;
}

void appendTextRunLines(const std::string& run, TextBuffer& out) {
  std::string line;
  const std::size_t n = run.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = run[i];
    if (c == '\r' || c == '\n') {
      out.push_back(std::move(line));
      line = std::string();
      i += (c == '\r' && i + 1 < n && run[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '&' && run.compare(i, 6, "&nbsp;") == 0) {
      line.push_back(' ');
      i += 6;
      continue;
    }
    // Copy the stretch up to the next break or ampersand in one step.
    std::size_t j = i + 1;
    while (j < n && run[j] != '\r' && run[j] != '\n' && run[j] != '&') ++j;
    line.append(run, i, j - i);
    i = j;
  }
  if (n > 0 && run[n - 1] != '\r' && run[n - 1] != '\n') out.push_back(std::move(line));
}

void deleteHtmlTags(TextBuffer& lines, THTMLParser& parser, const HtmlProgress& progress) {
  // The window's own handlers come back however the run ends.
  struct Restore {
    THTMLParser& parser;
    std::function<void(const std::string&)> text = parser.OnFoundText;
    std::function<void(int, int)> parsing = parser.OnParsing;
    ~Restore() {
      parser.OnFoundText = std::move(text);
      parser.OnParsing = std::move(parsing);
      parser.HTML = std::vector<std::string>();
    }
  } restore{parser};

  TextBuffer collected;
  parser.HTML = std::move(lines);
  lines = TextBuffer();
  parser.OnFoundText = [&collected](const std::string& run) { appendTextRunLines(run, collected); };
  parser.OnParsing = progress;
  try {
    parser.Execute();
  } catch (...) {
    lines = std::move(parser.HTML);  // a failing handler leaves the text as it was
    throw;
  }
  if (collected.empty()) collected.emplace_back(kEmptyTextLine);
  lines = std::move(collected);
}

void deleteHtmlTags(TextBuffer& lines, const HtmlProgress& progress) {
  THTMLParser parser;
  deleteHtmlTags(lines, parser, progress);
}

void oneParagraphOneLine(TextBuffer& lines, const LineProgress& progress) {
  const std::size_t n = lines.size();
  const int maximum = progressMaximum(n, 2);
  TextBuffer result;
  std::string accumulator;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    accumulator.push_back(' ');
    accumulator.append(lines[i]);
    std::string().swap(lines[i]);  // the joined copy replaces it; keep the peak near one text
    if (beginsParagraph(lines[i + 1])) {
      result.push_back(accumulator);
      accumulator.clear();
    }
    report(progress, i, n - 2, maximum);
  }
  if (n >= 1) {
    accumulator.push_back(' ');
    accumulator.append(lines[n - 1]);
    result.push_back(std::move(accumulator));
  }
  lines = std::move(result);
}

std::string collapseSpacesInLine(std::string_view line) {
  std::string out(line);
  const std::size_t n = out.size();
  std::size_t w = 0;
  for (std::size_t r = 0; r < n; ++r) {
    if (out[r] == ' ' && r + 1 < n && out[r + 1] == ' ') continue;
    out[w++] = out[r];
  }
  // The line's last character is never dropped above, so it now sits at w - 1.
  if (n > 0 && line[n - 1] == ' ') --w;
  out.resize(w);
  return out;
}

void collapseSpaces(TextBuffer& lines, const LineProgress& progress) {
  const int maximum = progressMaximum(lines.size(), 2);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    const std::size_t n = line.size();
    std::size_t w = 0;
    std::size_t r = 0;
    // Most lines need no change: skip ahead to the first space that goes.
    while (r < n && !(line[r] == ' ' && (r + 1 == n || line[r + 1] == ' '))) ++r;
    if (r < n) {
      const bool trailing = line[n - 1] == ' ';
      w = r;
      for (; r < n; ++r) {
        if (line[r] == ' ' && r + 1 < n && line[r + 1] == ' ') continue;
        line[w++] = line[r];
      }
      if (trailing) --w;
      line.resize(w);
    }
    report(progress, i, lines.size() - 1, maximum);
  }
}

}  // namespace pagora

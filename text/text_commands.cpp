// The view window's clean-up commands over a text buffer.
#include "text/text_commands.h"

#include <utility>

namespace pagora {

// "Пусто" ("empty") in code page 1251, like every line of a buffer.
const char* const kEmptyTextLine = "\xCF\xF3\xF1\xF2\xEE";

namespace {

// The window let its message loop run after lines 0, 100, 200, ...; the last line is reported
// too so that a gauge ends full.
inline void Report(const LineProgress& progress, std::size_t i, std::size_t last, int maximum) {
  if (progress && (i % 100 == 0 || i == last)) progress(static_cast<int>(i), maximum);
}

int Maximum(std::size_t count, int less) {
  return static_cast<int>(count) - less;
}

bool BeginsParagraph(const std::string& line) {
  return line.empty() || (line.size() >= 2 && line[0] == ' ' && line[1] == ' ');
}

}  // namespace

std::size_t RecodeLines(TextBuffer& lines, Recoding recoding, const LineProgress& progress) {
  const int maximum = Maximum(lines.size(), 1);
  std::size_t missing = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    switch (recoding) {
      case Recoding::DosToWin:
        DosToWinInPlace(lines[i]);
        break;
      case Recoding::KoiToWin:
        KoiToWinInPlace(lines[i]);
        break;
      case Recoding::Utf8ToWin:
        missing += Utf8ToWinInPlace(lines[i]);
        break;
    }
    Report(progress, i, lines.size() - 1, maximum);
  }
  return missing;
}

void AppendTextRunLines(const std::string& run, TextBuffer& out) {
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

void DeleteHtmlTags(TextBuffer& lines, THTMLParser& parser, const HtmlProgress& progress) {
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
  parser.OnFoundText = [&collected](const std::string& run) { AppendTextRunLines(run, collected); };
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

void DeleteHtmlTags(TextBuffer& lines, const HtmlProgress& progress) {
  THTMLParser parser;
  DeleteHtmlTags(lines, parser, progress);
}

void OneParagraphOneLine(TextBuffer& lines, const LineProgress& progress) {
  const std::size_t n = lines.size();
  const int maximum = Maximum(n, 2);
  TextBuffer result;
  std::string accumulator;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    accumulator.push_back(' ');
    accumulator.append(lines[i]);
    std::string().swap(lines[i]);  // the joined copy replaces it; keep the peak near one text
    if (BeginsParagraph(lines[i + 1])) {
      result.push_back(accumulator);
      accumulator.clear();
    }
    Report(progress, i, n - 2, maximum);
  }
  if (n >= 1) {
    accumulator.push_back(' ');
    accumulator.append(lines[n - 1]);
    result.push_back(std::move(accumulator));
  }
  lines = std::move(result);
}

std::string CollapseSpacesInLine(std::string_view line) {
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

void CollapseSpaces(TextBuffer& lines, const LineProgress& progress) {
  const int maximum = Maximum(lines.size(), 2);
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
    Report(progress, i, lines.size() - 1, maximum);
  }
}

}  // namespace pagora

// Speed of Tidy on the corpus novel hard-wrapped here (eight copies, about 14 MB): bytes in and
// bytes out as `pagora-cli text tidy` runs it, and lines in and lines out as the view window and
// the book builder do.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/recode.h"
#include "text/text_buffer.h"
#include "text/tidy.h"

namespace {

using namespace pagora;

std::string corpusFolder() {
  const char* given = std::getenv("PAGORA_CORPUS");
  return given != nullptr ? given : PAGORA_SOURCE_DIR "/../shared/corpus";
}

// Greedy wrapping at `width` characters, every paragraph's first line indented by `indent`
// spaces or, without indent, preceded by a blank line.
std::string wrap(const TextBuffer& paragraphs, std::size_t width, std::size_t indent, bool utf8) {
  auto length = [utf8](std::string_view s) {
    std::size_t n = 0;
    for (const char c : s) n += !utf8 || (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
  };
  std::string out;
  for (const std::string& p : paragraphs) {
    if (p.find_first_not_of(' ') == std::string::npos) continue;
    std::string line(indent, ' ');
    if (indent == 0 && !out.empty()) out += "\r\n";
    std::size_t used = indent;
    for (std::size_t at = p.find_first_not_of(' '); at != std::string::npos;) {
      const std::size_t end = std::min(p.find(' ', at), p.size());
      const std::string_view word(p.data() + at, end - at);
      const std::size_t w = length(word);
      if (used > indent && used + 1 + w > width) {
        out += line + "\r\n";
        line.clear();
        used = 0;
      }
      if (used > 0 && !line.empty() && line.back() != ' ') line += ' ', ++used;
      line += word;
      used += w;
      at = p.find_first_not_of(' ', end);
    }
    out += line + "\r\n";
  }
  return out;
}

const std::string& input(int which) {
  static std::string texts[2];
  std::string& text = texts[which];
  if (text.empty()) {
    const char* name = which == 0 ? "anna-karenina.cp1251.txt" : "anna-karenina.utf8.txt";
    std::string novel;
    try {
      novel = readFileBytes(corpusFolder() + "/" + name);
    } catch (const std::exception&) {
      std::fprintf(stderr, "No corpus in %s (set PAGORA_CORPUS): the slice in tests/ instead\n",
                   corpusFolder().c_str());
      novel = readFileBytes(PAGORA_SOURCE_DIR "/tests/data/corpus/anna-karenina.cp1251.txt");
      if (which == 1) novel = winToUtf8(novel);
    }
    const std::string wrapped = wrap(splitLines(novel), 72, 4, which == 1);
    while (text.size() < 8 * novel.size()) text += wrapped;
  }
  return text;
}

void BM_TidyBytes(benchmark::State& state) {
  const std::string& text = input(static_cast<int>(state.range(0)));
  TidyReport report;
  for (auto _ : state) {
    std::string out = tidyBytes(text, {}, &report);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(std::string(state.range(0) == 0 ? "cp1251, " : "utf8, ") +
                 tidyLayoutName(report.layout));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TidyBytes)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_TidyLines(benchmark::State& state) {
  const std::string& text = input(static_cast<int>(state.range(0)));
  const TextBuffer lines = splitLines(text);
  for (auto _ : state) {
    TextBuffer out = tidyLines(lines);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TidyLines)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

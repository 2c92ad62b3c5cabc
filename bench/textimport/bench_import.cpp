// Import speed: a 10 MB FB2 made from the corpus novel (or generated Russian text), plain,
// zipped and as an EPUB, and the novel's own old-style web page; iconv converting the same bytes
// to 1251 is timed alongside.
#include <benchmark/benchmark.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corpus.h"
#include "textimport/book_import.h"

namespace {

std::vector<std::string> corpusParagraphs() {
  std::ifstream in(pagora::bench::corpusFile("anna-karenina.utf8.txt"), std::ios::binary);
  std::vector<std::string> paragraphs;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string escaped;
    for (char c : line) {
      if (c == '<')
        escaped += "&lt;";
      else if (c == '&')
        escaped += "&amp;";
      else
        escaped += c;
    }
    paragraphs.push_back(escaped);
  }
  if (paragraphs.empty()) {
    // No corpus here: sentences of our own, with the typographic marks a book carries.
    const char* words[] = {"дом",   "«река»", "тихий",    "вечер", "—",      "окно",
                           "свет…", "сад",    "“дорога”", "ёлка",  "письмо", "город"};
    unsigned seed = 1;
    for (int p = 0; p < 20000; ++p) {
      std::string text;
      for (int w = 0; w < 60; ++w) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % 12];
        text += w % 9 == 8 ? ". " : " ";
      }
      paragraphs.push_back(text);
    }
  }
  return paragraphs;
}

const std::string& tenMegabyteFb2() {
  static const std::string book = [] {
    const std::vector<std::string> paragraphs = corpusParagraphs();
    std::string fb2 =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook "
        "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
        "xmlns:l=\"http://www.w3.org/1999/xlink\"><description><title-info><author>"
        "<first-name>Лев</first-name><last-name>Толстой</last-name></author><book-title>Анна "
        "Каренина</book-title></title-info></description><body>\n";
    std::size_t i = 0;
    int chapter = 0;
    while (fb2.size() < 10u << 20) {
      fb2 += "<section><title><p>Глава " + std::to_string(++chapter) + "</p></title>\n";
      for (int k = 0; k < 40; ++k, ++i) {
        const std::string& p = paragraphs[i % paragraphs.size()];
        if (k % 7 == 3)
          fb2 += "<p><emphasis>" + p + "</emphasis></p>\n";
        else
          fb2 += "<p>" + p + "</p>\n";
      }
      fb2 += "</section>\n";
    }
    fb2 += "</body></FictionBook>\n";
    return fb2;
  }();
  return book;
}

std::string zip(const std::vector<std::pair<std::string, std::string>>& members) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(target);
  zip_t* z = zip_open_from_source(target, ZIP_TRUNCATE, &error);
  for (const auto& [name, data] : members)
    zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
  zip_close(z);
  zip_stat_t st;
  zip_source_stat(target, &st);
  std::string bytes(st.size, '\0');
  zip_source_open(target);
  zip_source_read(target, bytes.data(), st.size);
  zip_source_close(target);
  zip_source_free(target);
  return bytes;
}

void BM_ImportFb2(benchmark::State& state) {
  const std::string& book = tenMegabyteFb2();
  std::size_t lines = 0;
  for (auto _ : state) lines = pagora::importFb2(book, "bench.fb2").size();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * book.size()));
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["MB"] = static_cast<double>(book.size()) / (1 << 20);
}
BENCHMARK(BM_ImportFb2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ImportFb2Zip(benchmark::State& state) {
  const std::string& book = tenMegabyteFb2();
  const std::string zipped = zip({{"bench.fb2", book}});
  for (auto _ : state) benchmark::DoNotOptimize(pagora::importFb2Zip(zipped, "bench.fb2.zip"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * book.size()));
}
BENCHMARK(BM_ImportFb2Zip)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ImportEpub(benchmark::State& state) {
  const std::string& book = tenMegabyteFb2();
  // The same paragraphs as XHTML chapters of about 1 MB each.
  std::vector<std::pair<std::string, std::string>> members = {
      {"mimetype", "application/epub+zip"},
      {"META-INF/container.xml",
       "<container><rootfiles><rootfile full-path=\"c.opf\" "
       "media-type=\"application/oebps-package+xml\"/></rootfiles></container>"}};
  std::string manifest, spine, chapter;
  std::size_t total = 0, n = 0;
  auto flush = [&] {
    chapter = "<html><body>" + chapter + "</body></html>";
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"section>", "div>"}, {"emphasis>", "em>"}, {"title>", "h2>"}}) {
      for (std::size_t at; (at = chapter.find(from)) != std::string::npos;)
        chapter.replace(at, from.size(), to);
    }
    total += chapter.size();
    const std::string name = "c" + std::to_string(n) + ".xhtml";
    manifest += "<item id=\"i" + std::to_string(n) + "\" href=\"" + name +
                "\" media-type=\"application/xhtml+xml\"/>";
    spine += "<itemref idref=\"i" + std::to_string(n) + "\"/>";
    ++n;
    members.push_back({name, std::move(chapter)});
    chapter.clear();
  };
  for (std::size_t at = book.find("<section>"); at != std::string::npos;) {
    const std::size_t end = book.find("</section>\n", at) + 11;
    chapter.append(book, at, end - at);
    if (chapter.size() >= 1u << 20) flush();
    at = book.find("<section>", end);
  }
  if (!chapter.empty()) flush();
  members.push_back({"c.opf", "<package><metadata/><manifest>" + manifest + "</manifest><spine>" +
                                  spine + "</spine></package>"});
  const std::string epub = zip(members);
  for (auto _ : state) benchmark::DoNotOptimize(pagora::importEpub(epub, "bench.epub"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}
BENCHMARK(BM_ImportEpub)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The corpus novel as an old-style cp1251 web page (hard-wrapped paragraphs, headings, &nbsp;):
// $PAGORA_CORPUS, else the corpus beside the source tree.
std::string corpusPage() {
  const char* corpus = std::getenv("PAGORA_CORPUS");
  const std::string dir =
      corpus ? std::string(corpus) : std::string(PAGORA_SOURCE_DIR) + "/../shared/corpus";
  std::ifstream in(dir + "/anna-karenina.cp1251.html", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_ImportHtmlPage(benchmark::State& state) {
  static const std::string page = corpusPage();
  if (page.empty()) {
    state.SkipWithError("no corpus page: set PAGORA_CORPUS to the corpus folder");
    return;
  }
  std::size_t lines = 0;
  for (auto _ : state) lines = pagora::importHtml(page, "bench.html").size();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["MB"] = static_cast<double>(page.size()) / (1 << 20);
}
BENCHMARK(BM_ImportHtmlPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The general-purpose converter on the same bytes, for scale: it only recodes, no XML. Timed in
// real time, since its work happens in another process. The importers above report CPU time:
// they run on one thread, and the machine they are measured on may be shared.
void BM_IconvSameBytes(benchmark::State& state) {
  const std::string& book = tenMegabyteFb2();
  const auto path = std::filesystem::temp_directory_path() / "pagora_bench_import.fb2";
  std::ofstream(path, std::ios::binary)
      .write(book.data(), static_cast<std::streamsize>(book.size()));
  const std::string command =
      "iconv -c -f UTF-8 -t CP1251//TRANSLIT '" + path.string() + "' > /dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("iconv failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * book.size()));
  std::filesystem::remove(path);
}
BENCHMARK(BM_IconvSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Speed of the view window: opening a 32 MB text up to its first painted page, painting a screen
// at the top and at the bottom of a million lines, page scrolling, and each clean-up command run
// through the window against the same library call without it.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "corpus.h"
#include "text/recode.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"
#include "viewer/jmpmemo.h"
#include "viewer/view.h"
#include "widgets/formstorage.h"

namespace {

using namespace pagora;

std::filesystem::path scratchFolder() {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::temp_directory_path() /
             ("pagora_bench_viewer_" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

// The corpus novel repeated up to 32 MB, written once.
const std::string& largeFile() {
  static const std::string path = [] {
    const std::string novel = pagora::bench::corpusText("anna-karenina.cp1251.txt");
    const std::string p = (scratchFolder() / "large.txt").string();
    std::ofstream out(p, std::ios::binary);
    for (std::size_t written = 0; written < (32u << 20); written += novel.size()) out << novel;
    return p;
  }();
  return path;
}

void BM_OpenLargeTextToFirstPage(benchmark::State& state) {
  TJumpMemo memo;
  memo.resize(860, 560);
  memo.show();
  const QString path = QString::fromStdString(largeFile());
  for (auto _ : state) {
    memo.LoadFromFile(path);
    memo.viewport()->repaint();
  }
  state.counters["lines"] = static_cast<double>(memo.Lines().size());
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(largeFile())) / (1 << 20);
}
BENCHMARK(BM_OpenLargeTextToFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);

// A million lines of 70 characters with a jump word now and then.
std::vector<std::string> millionLines() {
  std::vector<std::string> lines;
  lines.reserve(1'000'000);
  const std::string base = utf8ToWin("Строка текста для проверки скорости рисования, номер ");
  for (int i = 0; i < 1'000'000; ++i)
    lines.push_back(base + std::to_string(i) + (i % 7 == 0 ? " ~jump" : " word"));
  return lines;
}

void paintScreen(benchmark::State& state, bool bottom) {
  TJumpMemo memo;
  memo.resize(860, 560);
  memo.show();
  memo.setText(millionLines());
  if (bottom) memo.setCaret(static_cast<int>(memo.Lines().size()) - 1, 0);
  QCoreApplication::processEvents();
  for (auto _ : state) {
    memo.viewport()->update();
    QCoreApplication::processEvents();
  }
  state.counters["first_line"] = memo.firstLine();
}
void BM_PaintScreenTop(benchmark::State& state) {
  paintScreen(state, false);
}
void BM_PaintScreenBottom(benchmark::State& state) {
  paintScreen(state, true);
}
BENCHMARK(BM_PaintScreenTop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintScreenBottom)->Unit(benchmark::kMicrosecond);

// The view window's own face (13 px bold), a screen of long lines scrolled far right, with jump
// words and a selection over several rows: every glyph placed on its cell.
void BM_PaintWideLinesWindowFont(benchmark::State& state) {
  TJumpMemo memo;
  QFont f(QStringLiteral("Courier New"));
  f.setPixelSize(13);
  f.setBold(true);
  memo.setFont(f);
  memo.resize(860, 560);
  memo.show();
  std::vector<std::string> lines;
  const std::string words = utf8ToWin("Длинная строка с ~переходом и	табуляцией, ");
  for (int i = 0; i < 1000; ++i) {
    std::string l;
    while (l.size() < 400) l += words;
    lines.push_back(std::move(l));
  }
  memo.setText(std::move(lines));
  memo.setCaret(2, 200);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
  for (int i = 0; i < 10; ++i) QApplication::sendEvent(&memo, &down);
  QCoreApplication::processEvents();
  for (auto _ : state) {
    memo.viewport()->update();
    QCoreApplication::processEvents();
  }
  state.counters["first_column"] = memo.firstColumn();
}
BENCHMARK(BM_PaintWideLinesWindowFont)->Unit(benchmark::kMicrosecond);

void BM_PageDown(benchmark::State& state) {
  TJumpMemo memo;
  memo.resize(860, 560);
  memo.show();
  memo.setText(millionLines());
  QCoreApplication::processEvents();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  for (auto _ : state) {
    if (memo.firstLine() >= memo.maxScrollRow()) memo.setCaret(0, 0);
    QApplication::sendEvent(&memo, &down);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMicrosecond);

// What one turn of an idle message loop costs: the commands take one every 100 lines.
void BM_IdleMessageLoopTurn(benchmark::State& state) {
  TForm2 form;
  form.FormStorage->setAutomatic(false);
  form.show();
  QCoreApplication::processEvents();
  for (auto _ : state) QCoreApplication::processEvents();
}
BENCHMARK(BM_IdleMessageLoopTurn)->Unit(benchmark::kMicrosecond);

// Switching the window's controls off and on again, as every command does.
void BM_EnableToggle(benchmark::State& state) {
  TForm2 form;
  form.FormStorage->setAutomatic(false);
  form.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    form.En(false);
    form.En(true);
  }
}
BENCHMARK(BM_EnableToggle)->Unit(benchmark::kMicrosecond);

// A command on an empty text: what the window adds to every command whatever its length.
void BM_WindowCommandOnEmptyText(benchmark::State& state) {
  TForm2 form;
  form.FormStorage->setAutomatic(false);
  form.show();
  form.r->setText({});
  QCoreApplication::processEvents();
  for (auto _ : state) {
    form.SpeedButton7->click();
    state.PauseTiming();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  form.setModified(false);
}
BENCHMARK(BM_WindowCommandOnEmptyText)->Unit(benchmark::kMicrosecond);

// ---- commands: through the window against the bare library call ---------------------------

enum Command { kDos, kKoi, kUtf8, kHtml, kParagraphs, kSpaces };

struct CommandInput {
  const char* file;
  bool html;
};
const CommandInput kInputs[] = {
    {"anna-karenina.cp866.txt", false},  {"anna-karenina.koi8r.txt", false},
    {"anna-karenina.utf8.txt", false},   {"anna-karenina.cp1251.html", true},
    {"anna-karenina.cp1251.txt", false}, {"anna-karenina.cp1251.txt", false}};

const TextBuffer& Input(Command c) {
  static std::vector<TextBuffer> cache(6);
  TextBuffer& lines = cache[c];
  if (lines.empty())
    lines = splitLines(pagora::bench::corpusText(kInputs[c].file, kInputs[c].html));
  return lines;
}

void runLibrary(Command c, TextBuffer& lines, THTMLParser& parser) {
  switch (c) {
    case kDos:
      recodeLines(lines, Recoding::DosToWin);
      break;
    case kKoi:
      recodeLines(lines, Recoding::KoiToWin);
      break;
    case kUtf8:
      recodeLines(lines, Recoding::Utf8ToWin);
      break;
    case kHtml:
      deleteHtmlTags(lines, parser);
      break;
    case kParagraphs:
      oneParagraphOneLine(lines);
      break;
    case kSpaces:
      collapseSpaces(lines);
      break;
  }
}

void BM_Library(benchmark::State& state) {
  const Command c = static_cast<Command>(state.range(0));
  THTMLParser parser;
  for (auto _ : state) {
    state.PauseTiming();
    TextBuffer lines = Input(c);
    state.ResumeTiming();
    runLibrary(c, lines, parser);
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_Window(benchmark::State& state) {
  const Command c = static_cast<Command>(state.range(0));
  TForm2 form;
  form.FormStorage->setAutomatic(false);
  form.show();
  QToolButton* buttons[] = {form.SpeedButton1, form.SpeedButton2, form.SpeedButton8,
                            form.SpeedButton5, form.SpeedButton6, form.SpeedButton7};
  for (auto _ : state) {
    state.PauseTiming();
    form.r->setText(Input(c));
    QCoreApplication::processEvents();
    state.ResumeTiming();
    buttons[c]->click();
    state.PauseTiming();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  form.setModified(false);
}

const char* const kNames[] = {
    "DosToWin", "KoiToWin", "Utf8ToWin", "DeleteHtmlTags", "OneParagraphOneLine", "CollapseSpaces"};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (int c = kDos; c <= kSpaces; ++c) {
    benchmark::RegisterBenchmark((std::string("BM_Library/") + kNames[c]).c_str(), BM_Library)
        ->Arg(c)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("BM_Window/") + kNames[c]).c_str(), BM_Window)
        ->Arg(c)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(scratchFolder(), ec);
  return 0;
}

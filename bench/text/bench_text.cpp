// Speed of the text tools on the corpus novel: recoding against iconv doing the same conversion,
// Delete HTML tags, One paragraph one line, Collapse spaces, and what a loaded text costs in
// memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "text/recode.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"

extern char** environ;

namespace {

using namespace pagora;

// A scratch file that lives as long as the benchmark program.
std::string scratchFile(const std::string& name, const std::string& bytes) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("pagora-bench-" + std::to_string(::getpid()) + "-" + name))
                               .string();
  writeFileReplacing(path, bytes);
  static std::vector<std::string> made;
  static struct Cleanup {
    ~Cleanup() {
      for (const auto& p : made) std::remove(p.c_str());
    }
  } cleanup;
  made.push_back(path);
  return path;
}

std::string repeated(const std::string& text, std::size_t size) {
  std::string out;
  out.reserve(size + text.size());
  while (out.size() < size) out += text;
  return out;
}

// Runs a program with its output thrown away; returns the processor time it used (user and
// system), or a negative value when it did not run cleanly.
double runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double processSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Conversion {
  const char* corpusFile;
  const char* iconvFrom;
  void (*convert)(std::string&);
};
const Conversion kConversions[] = {
    {"anna-karenina.cp866.txt", "CP866", dosToWinInPlace},
    {"anna-karenina.koi8r.txt", "KOI8-R", koiToWinInPlace},
    {"anna-karenina.utf8.txt", "UTF-8", [](std::string& text) { utf8ToWinInPlace(text); }},
};

// 16 copies of the novel (about 29 MB, 51 MB in UTF-8), so that iconv's start-up does not count.
const std::string& input(int which) {
  static std::string inputs[3];
  if (inputs[which].empty()) {
    std::string text = pagora::bench::corpusText(kConversions[which].corpusFile, false);
    if (which == 0 && text.find('\xE0') == std::string::npos)
      text = pagora::bench::standInText(false);
    inputs[which] = repeated(text, 16 * text.size());
  }
  return inputs[which];
}

// Ours on the same file, the way iconv works: map it into memory, convert it in pieces into
// a buffer, write that out. A piece ends before a UTF-8 character it would cut. The byte tables
// convert in place, so their pieces are copied out of the mapping first. Returns the processor
// time used (user and system, like iconv's resource usage below).
double convertFile(const std::string& path, int which, std::string& piece) {
  constexpr std::size_t kPiece = 1 << 18;
  const double start = processSeconds();
  const int in = ::open(path.c_str(), O_RDONLY);
  const int out = ::open("/dev/null", O_WRONLY);
  struct stat info {};
  ::fstat(in, &info);
  const auto size = static_cast<std::size_t>(info.st_size);
  void* map = size == 0 ? nullptr : ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0);
  const char* text = static_cast<const char*>(map);
  piece.resize(kPiece);
  for (std::size_t at = 0; at < size;) {
    std::size_t end = std::min(size, at + kPiece);
    if (which == 2 && end < size) {  // back to the start of the character at `end`
      std::size_t back = 0;
      while (back < 3 && (static_cast<unsigned char>(text[end - back]) & 0xC0) == 0x80) ++back;
      end -= back;
    }
    const std::string_view part(text + at, end - at);
    std::size_t length;
    if (which == 2) {
      piece = utf8ToWin(part);
      length = piece.size();
    } else {
      piece.assign(part);
      kConversions[which].convert(piece);
      length = piece.size();
    }
    benchmark::DoNotOptimize(::write(out, piece.data(), length));
    at = end;
  }
  if (map != nullptr) ::munmap(map, size);
  ::close(in);
  ::close(out);
  return processSeconds() - start;
}

void BM_RecodeFile(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string path = scratchFile("recode-in", input(which));
  std::string piece;
  for (auto _ : state) state.SetIterationTime(convertFile(path, which, piece));
  state.SetLabel(kConversions[which].iconvFrom);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input(which).size()));
}
BENCHMARK(BM_RecodeFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseManualTime();

// Both sides on the same file in turn, each in processor time; `times_iconv` is how many times
// as fast ours is. Both map the file and write the result to /dev/null in pieces, as iconv
// does; iconv's process start-up (about a millisecond against the hundreds of milliseconds its
// conversion takes) is the one cost only it has.
void BM_RecodeVsIconv(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string path = scratchFile("versus-in", input(which));
  std::string piece;
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const double mine = convertFile(path, which, piece);
    const double iconv =
        runProgram({"iconv", "-c", "-f", kConversions[which].iconvFrom, "-t", "CP1251", path});
    if (iconv < 0) {
      state.SkipWithError("iconv did not run");
      break;
    }
    ours += mine;
    theirs += iconv;
    state.SetIterationTime(mine);
  }
  state.SetLabel(kConversions[which].iconvFrom);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input(which).size()));
  if (ours > 0) state.counters["times_iconv"] = theirs / ours;
}
BENCHMARK(BM_RecodeVsIconv)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);

// The conversion alone on a text already in memory, as the view window runs it.
void BM_RecodeInMemory(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = input(which);
    state.ResumeTiming();
    kConversions[which].convert(text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetLabel(kConversions[which].iconvFrom);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input(which).size()));
}
BENCHMARK(BM_RecodeInMemory)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_IconvFile(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string path = scratchFile("iconv-in", input(which));
  for (auto _ : state) {
    // -c: drop what 1251 lacks instead of stopping, as ours turns it into "?".
    const double seconds =
        runProgram({"iconv", "-c", "-f", kConversions[which].iconvFrom, "-t", "CP1251", path});
    if (seconds < 0) {
      state.SkipWithError("iconv did not run");
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.SetLabel(kConversions[which].iconvFrom);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input(which).size()));
}
BENCHMARK(BM_IconvFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseManualTime();

// The view window's per-line command over a loaded text.
void BM_RecodeLines(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const TextBuffer original = splitLines(input(which));
  const Recoding recodings[] = {Recoding::DosToWin, Recoding::KoiToWin, Recoding::Utf8ToWin};
  for (auto _ : state) {
    state.PauseTiming();
    TextBuffer lines = original;
    state.ResumeTiming();
    recodeLines(lines, recodings[which], [](int, int) {});
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetLabel(kConversions[which].iconvFrom);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input(which).size()));
}
BENCHMARK(BM_RecodeLines)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

const std::string& htmlOfSize(std::size_t size) {
  static std::string base = pagora::bench::corpusText("anna-karenina.cp1251.html", true);
  static std::string big;
  if (size <= base.size()) return base;
  if (big.size() < size) big = repeated(base, size);
  return big;
}

void BM_DeleteHtmlTags(benchmark::State& state) {
  const std::string& html = htmlOfSize(static_cast<std::size_t>(state.range(0)) << 20);
  const TextBuffer original = splitLines(html);
  for (auto _ : state) {
    state.PauseTiming();
    TextBuffer lines = original;
    state.ResumeTiming();
    deleteHtmlTags(lines, [](int, int) {});
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_DeleteHtmlTags)->Arg(2)->Arg(32)->Unit(benchmark::kMillisecond);

const std::string& plainText() {
  static const std::string text = pagora::bench::corpusText("anna-karenina.cp1251.txt", false);
  return text;
}

template <void (*Command)(TextBuffer&, const LineProgress&)>
void BM_LineCommand(benchmark::State& state) {
  const TextBuffer original = splitLines(plainText());
  for (auto _ : state) {
    state.PauseTiming();
    TextBuffer lines = original;
    state.ResumeTiming();
    Command(lines, [](int, int) {});
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plainText().size()));
}
BENCHMARK(BM_LineCommand<oneParagraphOneLine>)
    ->Name("BM_OneParagraphOneLine")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineCommand<collapseSpaces>)->Name("BM_CollapseSpaces")->Unit(benchmark::kMillisecond);

void BM_LoadTextFile(benchmark::State& state) {
  const std::string path = scratchFile("load.txt", plainText());
  for (auto _ : state) {
    TextBuffer lines = loadTextFile(path);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plainText().size()));
}
BENCHMARK(BM_LoadTextFile)->Unit(benchmark::kMillisecond);

// Heap a loaded text holds, measured by the allocator: the figure to hold against twice the
// file's size plus a per-line overhead.
void BM_TextMemory(benchmark::State& state) {
  const std::string path = scratchFile("memory.txt", plainText());
  double perByte = 0, perLine = 0, lines = 0;
  for (auto _ : state) {
    malloc_trim(0);
    const std::size_t before = mallinfo2().uordblks;
    TextBuffer text = loadTextFile(path);
    const std::size_t after = mallinfo2().uordblks;
    const double heap = static_cast<double>(after - before);
    lines = static_cast<double>(text.size());
    perByte = heap / static_cast<double>(plainText().size());
    perLine = (heap - static_cast<double>(plainText().size())) / lines;
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["heap_per_file_byte"] = perByte;
  state.counters["overhead_per_line"] = perLine;
  state.counters["lines"] = lines;
}
BENCHMARK(BM_TextMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// "-lh5-" speed beside gzip -6 (compression) and bsdtar -xOf (expansion) on the same ~14 MB
// text, and the peak memory of coding and expanding a 256 MB stream (measured in child
// processes with getrusage).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "archive/lzh_errors.h"
#include "corpus.h"
#include "data_generator.h"
#include "file_stream.h"
#include "member_coder.h"

namespace {

using pagora::FileStream;

constexpr std::size_t kTargetSize = 14 * 1000 * 1000;
constexpr std::int64_t kBigStream = 256LL * 1024 * 1024;

// Some text to repeat: the novel when it is there, else generated words.
std::vector<char> sampleText() {
  const std::filesystem::path corpus = pagora::bench::corpusFile("anna-karenina.cp1251.txt");
  std::ifstream in(corpus, std::ios::binary);
  std::vector<char> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!text.empty()) return text;
  return pagora::testing_support::proseText<std::vector<char>>(1, 2000000);
}

struct Workspace {
  std::filesystem::path dir;
  std::string input, coded, archive;
  std::int64_t inputSize = 0;
  std::uint16_t crc = 0;
  std::int64_t codedSize = 0;

  Workspace() {
    dir = std::filesystem::temp_directory_path() / ("pagora-bench-lh5-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    input = (dir / "input.txt").string();
    coded = (dir / "coded.bin").string();
    archive = (dir / "book.lzh").string();
    const std::vector<char> text = sampleText();
    std::ofstream out(input, std::ios::binary);
    while (inputSize < static_cast<std::int64_t>(kTargetSize)) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      inputSize += static_cast<std::int64_t>(text.size());
    }
    out.close();
    code(coded);
    writeArchive();
  }
  ~Workspace() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  void code(const std::string& target) {
    pagora::TLzhCoderState state;
    FileStream source(input, FileStream::Mode::Read);
    FileStream dest(target, FileStream::Mode::Create);
    const pagora::LzhCodeResult r = pagora::codeMember(state, source, dest, inputSize, 2, {});
    crc = r.crc;
    codedSize = r.compressedSize;
    dest.close();
  }

  // The coded data as the one member of a level-1 archive, for bsdtar.
  void writeArchive() {
    std::vector<unsigned char> h;
    auto put16 = [&](unsigned v) {
      h.push_back(static_cast<unsigned char>(v));
      h.push_back(static_cast<unsigned char>(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
      put16(v & 0xFFFF);
      put16(v >> 16);
    };
    const std::string name = "BOOK.TXT";
    h.push_back(static_cast<unsigned char>(25 + name.size()));
    h.push_back(0);
    for (char c : std::string("-lh5-")) h.push_back(static_cast<unsigned char>(c));
    put32(static_cast<std::uint32_t>(codedSize));
    put32(static_cast<std::uint32_t>(inputSize));
    put16(0);
    put16(0x5A21);
    h.push_back(0x20);
    h.push_back(1);
    h.push_back(static_cast<unsigned char>(name.size()));
    for (char c : name) h.push_back(static_cast<unsigned char>(c));
    put16(crc);
    h.push_back('M');
    put16(0);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<unsigned char>(sum);
    std::ofstream out(archive, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    std::ifstream data(coded, std::ios::binary);
    out << data.rdbuf();
    out.put('\0');
  }
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

// The machine is shared, so every contender is timed by the CPU time it used (user + system),
// in this process for our coders and from wait4 for the programs run beside them.
double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

// Runs argv with stdout to /dev/null; returns its CPU seconds, or -1 when it failed.
double runProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Mean CPU seconds per run of each contender, for the comparison printed at the end.
std::map<std::string, double>& cpuPerRun() {
  static std::map<std::string, double> m;
  return m;
}

template <typename Job>
void timeCpu(benchmark::State& state, const std::string& name, Job job) {
  Workspace& w = workspace();
  double total = 0;
  for (auto _ : state) {
    const double t = job();
    if (t < 0) {
      state.SkipWithError((name + " failed").c_str());
      return;
    }
    state.SetIterationTime(t);
    total += t;
  }
  cpuPerRun()[name] = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * w.inputSize);
}

void BM_Lh5Compress(benchmark::State& state) {
  Workspace& w = workspace();
  const std::string target = (w.dir / "again.bin").string();
  timeCpu(state, "lh5 compress", [&] {
    const double t0 = processCpuSeconds();
    w.code(target);
    return processCpuSeconds() - t0;
  });
  state.counters["ratio%"] =
      100.0 * static_cast<double>(w.codedSize) / static_cast<double>(w.inputSize);
}

void BM_Gzip6Compress(benchmark::State& state) {
  Workspace& w = workspace();
  timeCpu(state, "gzip -6", [&] { return runProgram({"gzip", "-6", "-c", w.input}); });
}

void expandOnce(Workspace& w) {
  pagora::TLzhCoderState coder;
  FileStream archive(w.coded, FileStream::Mode::Read);
  FileStream output("/dev/null", FileStream::Mode::Create);
  pagora::LzhExpandRequest request;
  request.output = &output;
  request.archive = &archive;
  request.method = 2;
  request.expectedCheck = w.crc;
  request.originalSize = w.inputSize;
  request.compressedSize = w.codedSize;
  pagora::expandMember(coder, request, {});
}

void BM_Lh5Expand(benchmark::State& state) {
  Workspace& w = workspace();
  timeCpu(state, "lh5 expand", [&] {
    const double t0 = processCpuSeconds();
    expandOnce(w);
    return processCpuSeconds() - t0;
  });
}

void BM_BsdtarExpand(benchmark::State& state) {
  Workspace& w = workspace();
  timeCpu(state, "bsdtar -xOf", [&] { return runProgram({"bsdtar", "-xOf", w.archive}); });
}

// Runs job in a child process and returns the child's peak resident size in KB.
template <typename Job>
long childPeakKb(Job job) {
  const pid_t pid = fork();
  if (pid == 0) {
    int status = 0;
    try {
      job();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      status = 1;
    }
    _exit(status);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child status %d\n", status);
    return -1;
  }
  return usage.ru_maxrss;
}

// Streams kBigStream bytes of repeated text into a FIFO from a thread of the child.
void feedFifo(const std::string& fifo) {
  std::thread writer([fifo, text = sampleText()] {
    std::FILE* f = std::fopen(fifo.c_str(), "wb");
    std::int64_t left = kBigStream;
    while (f && left > 0) {
      const auto n = static_cast<std::size_t>(
          std::min<std::int64_t>(left, static_cast<std::int64_t>(text.size())));
      std::fwrite(text.data(), 1, n, f);
      left -= static_cast<std::int64_t>(n);
    }
    if (f) std::fclose(f);
  });
  writer.detach();
}

void BM_PeakMemory256MB(benchmark::State& state) {
  Workspace& w = workspace();
  const std::string fifo = (w.dir / "stream.fifo").string();
  const std::string big = (w.dir / "big.bin").string();
  long compressKb = 0, expandKb = 0, baselineKb = 0;
  for (auto _ : state) {
    baselineKb = childPeakKb([] {});
    ::unlink(fifo.c_str());
    ::mkfifo(fifo.c_str(), 0600);
    compressKb = childPeakKb([&] {
      feedFifo(fifo);
      pagora::TLzhCoderState coder;
      FileStream source(fifo, FileStream::Mode::Read);
      FileStream dest(big, FileStream::Mode::Create);
      pagora::codeMember(coder, source, dest, kBigStream, 2, {});
      dest.close();
    });
    expandKb = childPeakKb([&] {
      pagora::TLzhCoderState coder;
      FileStream archive(big, FileStream::Mode::Read);
      FileStream output("/dev/null", FileStream::Mode::Create);
      pagora::LzhExpandRequest request;
      request.output = &output;
      request.archive = &archive;
      request.method = 2;
      request.originalSize = kBigStream;
      request.compressedSize = archive.size();
      try {
        pagora::expandMember(coder, request, {});
      } catch (const pagora::ELzhBadCRC&) {
        // No check value was kept for the stream; the memory is what counts here.
      }
    });
  }
  ::unlink(fifo.c_str());
  ::unlink(big.c_str());
  state.counters["baseline_KB"] = static_cast<double>(baselineKb);
  state.counters["compress_peak_KB"] = static_cast<double>(compressKb);
  state.counters["expand_peak_KB"] = static_cast<double>(expandKb);
  if (compressKb < 0 || expandKb < 0) state.SkipWithError("child failed");
  if (compressKb > 16 * 1024 || expandKb > 16 * 1024) state.SkipWithError("peak above 16 MB");
}

BENCHMARK(BM_Lh5Compress)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Gzip6Compress)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Lh5Expand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_BsdtarExpand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_PeakMemory256MB)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto& m = cpuPerRun();
  auto ratio = [&](const char* theirs, const char* ours) {
    if (m.count(theirs) && m.count(ours) && m.at(ours) > 0) {
      std::printf("%-12s vs %-12s: %.2fx as fast (CPU %.0f ms vs %.0f ms)\n", ours, theirs,
                  m.at(theirs) / m.at(ours), m.at(ours) * 1000, m.at(theirs) * 1000);
    }
  };
  ratio("gzip -6", "lh5 compress");
  ratio("bsdtar -xOf", "lh5 expand");
  return 0;
}

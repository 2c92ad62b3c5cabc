// Every file the engine writes is opened once: the descriptor that was checked (no link
// followed, a fresh temporary name) is the one written, so nothing can be swapped in between.
// The test executable puts itself in front of the C library's open() to see every name opened.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <map>
#include <mutex>

#include "archive/lzharchiver.h"
#include "component_fixture.h"

namespace {

#if defined(_FILE_OFFSET_BITS) && _FILE_OFFSET_BITS == 64
constexpr const char* kOpenSymbol = "open64";
#else
constexpr const char* kOpenSymbol = "open";
#endif

std::atomic<bool> g_recording{false};
std::mutex g_mutex;
std::map<std::string, int>& opened() {
  static std::map<std::string, int> names;
  return names;
}

int forward(const char* symbol, const char* path, int flags, va_list args) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) mode = static_cast<mode_t>(va_arg(args, int));
  using Open = int (*)(const char*, int, ...);
  auto real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, symbol));
  if (g_recording.load() && path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++opened()[path];
  }
  return real(path, flags, mode);
}

}  // namespace

// With 64-bit file offsets the headers give this the library's name open64, which is then the
// one both the engine and this file call.
extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = forward(kOpenSymbol, path, flags, args);
  va_end(args);
  return fd;
}

namespace pagora {
namespace {

using testing_support::fileExists;
using testing_support::proseText;
using testing_support::TempFolder;
using testing_support::writeFile;

class Recording {
 public:
  Recording() {
    opened().clear();
    g_recording = true;
  }
  ~Recording() { g_recording = false; }
  // Opens of names with this part.
  int count(const std::string& part) const {
    std::lock_guard<std::mutex> lock(g_mutex);
    int n = 0;
    for (const auto& [name, times] : opened())
      if (name.find(part) != std::string::npos) n += times;
    return n;
  }
};

TEST(OutputOpen, EveryOutputNameIsOpenedOnce) {
  TempFolder dir;
  writeFile(dir / "in/a.txt", proseText(1, 20000));
  writeFile(dir / "in/b.txt", proseText(2, 20000));
  TLzhArchiver archiver;
  archiver.ArchiveType = caLHA;
  archiver.CompressionMethod = colh5;
  archiver.ArchiveName = dir / "book.lzh";
  archiver.MakeDirectories = true;
  {
    // Opened once here to make sure the interposition sees this library's calls at all.
    Recording rec;
    archiver.setFilesToProcess({dir / "in/a.txt"});
    archiver.Compress();
    EXPECT_EQ(rec.count(dir / "book.lzh"), 1) << "new archive";
    EXPECT_EQ(rec.count(dir / "in/a.txt"), 1) << "source";
  }
  {
    Recording rec;
    archiver.setFilesToProcess({dir / "in/b.txt"});
    archiver.Compress();
    EXPECT_EQ(rec.count(dir / "book.$$$"), 1) << "rebuild";
    EXPECT_EQ(rec.count(dir / "book.lzh"), 1) << "old archive, read and locked once";
  }
  archiver.setTargetPath(dir / "out");
  for (bool safe : {false, true}) {
    for (bool existing : {false, true}) {
      std::filesystem::remove_all(dir / "out");
      if (existing) writeFile(dir / "out/a.txt", "an older a");
      archiver.SafeMode = safe;
      archiver.setFilesToProcess({"a.txt"});
      Recording rec;
      archiver.Expand();
      // In place the target is created once; through a temporary file the target is only
      // probed when it exists, and the temporary file is never reopened by its name.
      EXPECT_EQ(rec.count(dir / "out/a.txt"), safe && !existing ? 0 : 1) << safe << existing;
      EXPECT_EQ(rec.count(dir / "out/LHA"), 0) << safe << existing;
      EXPECT_TRUE(fileExists(dir / "out/a.txt"));
    }
  }
}

}  // namespace
}  // namespace pagora

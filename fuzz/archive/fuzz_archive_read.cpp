// Arbitrary bytes as an archive: list and verify them under a plain and an .EXE name, with and
// without a password. Only the engine's own failure classes may come out.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/lzharchiver.h"

namespace {

const std::string& scratch() {
  static const std::string folder = [] {
    // A memory file system keeps the flush of every expanded member cheap.
    std::string base = std::filesystem::is_directory("/dev/shm")
                           ? std::string("/dev/shm")
                           : std::filesystem::temp_directory_path().string();
    std::string path = base + "/fuzz_archive_read_" + std::to_string(::getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

void readAndVerify(const std::string& name, const std::string& password) {
  pagora::TLzhArchiver archiver;
  archiver.ArchiveName = name;
  archiver.Password = password;
  try {
    archiver.Scan();
  } catch (const pagora::Exception&) {
  }
  archiver.setTargetPath(scratch());
  archiver.ExceptionOnFileError = false;
  // Every member goes to one flat name in the scratch folder, so that odd names cannot make
  // folders pile up; the name rules themselves still run first. Declared sizes are taken as
  // they are: a forged one must fail soon after the member's data ends.
  archiver.OnCheckFile = [&](const std::string&, std::string& target, std::int32_t,
                             pagora::TLzhProcessMode) { target = scratch() + "/member"; };
  try {
    archiver.Verify();
  } catch (const pagora::Exception&) {
  }
}

}  // namespace

// A valid stream may still expand a few bytes into many megabytes; the memory file system is
// kept from filling up by a file size limit (writes beyond it fail like a full disk).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {
    64 << 20, 64 << 20
  };
  ::setrlimit(RLIMIT_FSIZE, &limit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const char* extension : {".lzh", ".exe"}) {
    const std::string name = scratch() + "/input" + extension;
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
      std::fwrite(data, 1, size, f);
      std::fclose(f);
    }
    readAndVerify(name, "");
    readAndVerify(name, "secret");
    std::remove(name.c_str());
  }
  return 0;
}

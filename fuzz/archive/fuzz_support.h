// Helpers of the archive fuzz targets: fuzz bytes as a file the engine can open (an anonymous
// in-memory file), and one member expansion into /dev/null.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/file_stream.h"
#include "archive/lzh_errors.h"
#include "archive/member_coder.h"

namespace pagora::fuzzing {

class MemoryFile {
 public:
  MemoryFile(const std::uint8_t* data, std::size_t size) {
    fd_ = ::memfd_create("fuzz", 0);
    std::size_t done = 0;
    while (fd_ >= 0 && done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
};

// Expands `size` bytes as the coded data of one member of the given method. The first four
// bytes give the declared size, any 31-bit value: a forged size must end soon after the data
// does. The top bit of the first byte is the scrambled flag. Every failure must be one of the
// engine's own.
inline void expandArbitrary(int method, const std::uint8_t* data, std::size_t size) {
  if (size < 4) return;
  const std::int64_t declared =
      ((std::int64_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3]) & 0x7FFFFFFF;
  const bool scrambled = (data[0] & 0x80) != 0;
  MemoryFile file(data + 4, size - 4);
  if (!file.ok()) return;
  try {
    FileStream archive(file.path(), FileStream::Mode::Read);
    FileStream output("/dev/null", FileStream::Mode::Create);
    TLzhCoderState state;
    LzhExpandRequest request;
    request.output = &output;
    request.archive = &archive;
    request.scrambled = scrambled;
    request.method = method;
    request.originalSize = declared;
    request.compressedSize = static_cast<std::int64_t>(size - 4);
    LzhCoderContext context;
    context.password = scrambled ? "fuzz" : "";
    expandMember(state, request, context);
  } catch (const Exception&) {
  }
}

}  // namespace pagora::fuzzing

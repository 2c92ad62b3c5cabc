// A seekable binary file on a POSIX descriptor, the stream the archive engine keeps its
// archives in; the coders see it as a byte source or sink. Failures raise EFileError naming the
// file and the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "archive/lzh_errors.h"
#include "byte_stream.h"

namespace pagora {

// Writing, truncating or closing a file being made failed (a full disk, a size limit, a
// read-only medium): the file is incomplete.
class EFileWriteError : public EFileError {
 public:
  using EFileError::EFileError;
};

class FileStream final : public ByteSource, public ByteSink {
 public:
  enum class Mode {
    Read,       // existing file, read only
    ReadWrite,  // existing file, read and write
    Create,     // new or truncated file, read and write
    CreateNew,  // a file that must not exist yet, read and write
  };

  FileStream() = default;
  // With `exclusive`, a shared lock for Read and an exclusive one otherwise, taken before
  // anything is truncated; a lock held elsewhere raises EFileInUse and leaves the file alone.
  FileStream(const std::string& path, Mode mode, bool exclusive = false);
  // Takes over an open descriptor (closed with the stream); `path` names it in failures.
  FileStream(int descriptor, std::string path);
  ~FileStream() override;
  FileStream(FileStream&& other) noexcept;
  FileStream& operator=(FileStream&& other) noexcept;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  int descriptor() const { return fd_; }
  // Gives the descriptor back to the caller, open; the stream is closed then.
  int release() { return std::exchange(fd_, -1); }

  // Turns the lock into an exclusive one; EFileInUse when another holder keeps it.
  void lockExclusive();

  // Reads up to n bytes; fewer only at the end of the file.
  std::size_t read(void* buffer, std::size_t n) override;
  // Writes all n bytes or raises (a full disk or a size limit included).
  void write(const void* buffer, std::size_t n) override;
  // whence as for lseek (SEEK_SET, SEEK_CUR, SEEK_END); returns the new position.
  std::int64_t seek(std::int64_t offset, int whence);
  std::int64_t position() const;
  std::int64_t size() const;
  void truncate(std::int64_t length);
  // Flushes the data to the device; raises when the system reports a failure. Costly: meant
  // for a file that is about to replace another one, so that the rename never swaps in a file
  // whose data is not yet on disk.
  void sync();
  // Closes without flushing to the device; raises when the system reports a failure.
  void close();

 private:
  // Raises EFileError, or EFileWriteError when `writing` (data may be missing from the file).
  [[noreturn]] void fail(const char* what, bool writing = false) const;
  [[noreturn]] void failLock() const;

  int fd_ = -1;
  std::string path_;
};

}  // namespace pagora

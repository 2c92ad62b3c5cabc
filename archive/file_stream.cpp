// FileStream on POSIX descriptors.
#include "file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "archive/lzh_errors.h"
#include "common/file_access.h"

namespace pagora {

FileStream::FileStream(const std::string& path, Mode mode, bool exclusive) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::ReadWrite:
      flags |= O_RDWR;
      break;
    // Truncated only after the lock is held: a file another run is writing stays whole.
    case Mode::Create:
      flags |= O_RDWR | O_CREAT | (exclusive ? 0 : O_TRUNC);
      break;
    case Mode::CreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) fail("Cannot open");
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    fail("Cannot open");
  }
  if (!exclusive) return;
  // Exclusive use is advisory on POSIX: it keeps two of our own programs apart.
  if (::flock(fd_, (mode == Mode::Read ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    int saved = errno;
    ::close(fd_);
    fd_ = -1;
    errno = saved;
    failLock();
  }
  if (mode == Mode::Create) truncate(0);
}

FileStream::FileStream(int descriptor, std::string path)
    : fd_(descriptor), path_(std::move(path)) {}

void FileStream::lockExclusive() {
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) failLock();
}

void FileStream::failLock() const {
  if (errno == EWOULDBLOCK) throw EFileInUse(path_ + " is in use by another program");
  fail("Cannot lock");
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

FileStream::FileStream(FileStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::size_t FileStream::read(void* buffer, std::size_t n) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = ::read(fd_, out + done, n - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail("Cannot read");
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void FileStream::write(const void* buffer, std::size_t n) {
  if (!fullWrite(fd_, buffer, n)) fail("Cannot write", true);
}

std::int64_t FileStream::seek(std::int64_t offset, int whence) {
  off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (at < 0) fail("Cannot seek in");
  return at;
}

std::int64_t FileStream::position() const {
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) fail("Cannot seek in");
  return at;
}

std::int64_t FileStream::size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail("Cannot examine");
  return st.st_size;
}

void FileStream::truncate(std::int64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) fail("Cannot truncate", true);
}

void FileStream::sync() {
  if (fd_ < 0) return;
  // EINVAL and EROFS: a file that cannot be synced (a pipe, a special file, a read-only mount).
  if (syncFile(fd_) != 0 && errno != EINVAL && errno != EROFS) fail("Cannot write", true);
}

void FileStream::close() {
  if (fd_ < 0) return;
  int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && errno != EINTR) fail("Cannot close", true);
}

void FileStream::fail(const char* what, bool writing) const {
  const int error = errno;
  const std::string message = std::string(what) + " " + path_ + ": " + std::strerror(error);
  if (writing) throw EFileWriteError(message, error);
  throw EFileError(message, error);
}

}  // namespace pagora

// Mapped input files and replacing output files for the command-line text tools.
#include "text/file_stream.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace pagora {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
  throw ETextFileError(std::string(what) + " " + path + ": " + std::strerror(error));
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// Writes go out in pieces of this size, small enough to stay in the processor's cache.
constexpr std::size_t kWriteBuffer = 256 * 1024;

}  // namespace

MappedFile::MappedFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open file", path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    Fail("Cannot read file", path, error);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    Fail("Cannot read file", path, EISDIR);
  }
#ifndef _WIN32
  // Not on Windows: a mapped file cannot be replaced by rename, and the tools rewrite their input.
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    void* map =
        ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      ::madvise(map, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
      map_ = map;
      mapSize_ = static_cast<std::size_t>(st.st_size);
      view_ = std::string_view(static_cast<const char*>(map), mapSize_);
      ::close(fd);
      return;
    }
  }
#endif
  ::close(fd);
  copy_ = ReadFileBytes(path);
  view_ = copy_;
}

MappedFile::~MappedFile() {
#ifndef _WIN32
  if (map_ != nullptr) ::munmap(map_, mapSize_);
#endif
}

ReplacingWriter::ReplacingWriter(std::string path, const std::string_view* current)
    : path_(std::move(path)), comparing_(current != nullptr) {
  if (current != nullptr) current_ = *current;
  // Write through a symbolic link to the file it names rather than replacing the link.
  target_ = path_;
  char resolved[PATH_MAX];
  struct stat lst {};
  if (::lstat(path_.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) &&
      ::realpath(path_.c_str(), resolved) != nullptr) {
    target_ = resolved;
  }
  struct stat st {};
  existed_ = ::stat(target_.c_str(), &st) == 0;
  if (existed_ && S_ISDIR(st.st_mode)) Fail("Cannot create file", path_, EISDIR);
  mode_ = existed_ ? (st.st_mode & 07777) : NewFileMode();
  if (!comparing_) Open();
}

ReplacingWriter::~ReplacingWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}

void ReplacingWriter::Open() {
  temp_ = target_ + ".XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) Fail("Cannot create file", path_, errno);
  buffer_.reserve(kWriteBuffer);
}

[[noreturn]] void ReplacingWriter::Abandon(const char* what, int error) {
  ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
  Fail(what, path_, error);
}

void ReplacingWriter::Put(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBuffer) Flush();
  if (bytes.size() >= kWriteBuffer) {
    WriteOut(bytes);  // a large piece goes out as it is, without a copy
    return;
  }
  buffer_.append(bytes);
}

void ReplacingWriter::WriteOut(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(fd_, p, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      Abandon("Cannot write file", errno);
    }
    p += put;
    left -= static_cast<std::size_t>(put);
  }
}

void ReplacingWriter::Flush() {
  WriteOut(buffer_);
  buffer_.clear();
}

void ReplacingWriter::Write(std::string_view bytes) {
  if (comparing_) {
    if (current_.size() - same_ >= bytes.size() &&
        std::memcmp(current_.data() + same_, bytes.data(), bytes.size()) == 0) {
      same_ += bytes.size();
      return;
    }
    // The first difference: from here on the new contents are written out, starting with the
    // part that was the same.
    comparing_ = false;
    Open();
    Put(current_.substr(0, same_));
  }
  Put(bytes);
}

bool ReplacingWriter::Commit() {
  if (comparing_ && same_ == current_.size()) return false;
  if (comparing_) {
    // The new contents are a beginning of the old: the file gets shorter.
    comparing_ = false;
    Open();
    Put(current_.substr(0, same_));
  }
  Flush();
  if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) Abandon("Cannot write file", errno);
  // A file that stood there must not be replaced by one whose bytes are not yet on disk; a new
  // file has nothing to lose.
  if (existed_ && ::fsync(fd_) != 0) Abandon("Cannot write file", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    Fail("Cannot write file", path_, error);
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    Fail("Cannot write file", path_, error);
  }
  return true;
}

}  // namespace pagora

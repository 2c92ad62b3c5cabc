// Loading and saving text buffers; saving goes through a temporary file in the target's folder.
#include "text/text_buffer.h"

#include <fcntl.h>
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

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// New files get the permissions any program's files get: 0666 less the process's umask.
mode_t DefaultMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

TextBuffer SplitLines(std::string_view bytes) {
  TextBuffer lines;
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    lines.emplace_back(p, q);
    if (q == end) break;
    p = q + ((*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string JoinLines(const TextBuffer& lines) {
  std::size_t total = 0;
  for (const std::string& line : lines) total += line.size() + 2;
  std::string out;
  out.reserve(total);
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) Fail("Cannot open file", path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Fail("Cannot read file", path, errno);
  if (S_ISDIR(st.st_mode)) Fail("Cannot read file", path, EISDIR);
  // Read straight into a string of the file's size; a file that grows meanwhile is read on.
  std::string bytes(
      S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() + 65536);
    const ssize_t got = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot read file", path, errno);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

TextBuffer LoadTextFile(const std::string& path) {
  return SplitLines(ReadFileBytes(path));
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  // Write through a symbolic link to the file it names rather than replacing the link.
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat lst {};
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) &&
      ::realpath(path.c_str(), resolved) != nullptr) {
    target = resolved;
  }
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) Fail("Cannot create file", path, EISDIR);
  const mode_t mode = exists ? (st.st_mode & 07777) : DefaultMode();

  std::string temp = target + ".XXXXXX";
  Descriptor fd(::mkstemp(temp.data()));
  if (fd.get() < 0) Fail("Cannot create file", path, errno);
  auto abandon = [&](const char* what, int error) {
    ::close(fd.release());
    ::unlink(temp.c_str());
    Fail(what, path, error);
  };
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(fd.get(), p, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      abandon("Cannot write file", errno);
    }
    p += put;
    left -= static_cast<std::size_t>(put);
  }
  if (::fchmod(fd.get(), mode) != 0) abandon("Cannot write file", errno);
  if (::fsync(fd.get()) != 0) abandon("Cannot write file", errno);
  if (::close(fd.release()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail("Cannot write file", path, error);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail("Cannot write file", path, error);
  }
}

void SaveTextFile(const std::string& path, const TextBuffer& lines) {
  WriteFileReplacing(path, JoinLines(lines));
}

}  // namespace pagora

// The file layer on POSIX and on Windows (MinGW).
#include "common/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>

#include "win32_text.h"
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace pagora {

EFileAccess::EFileAccess(const char* what, const std::string& path, int systemError)
    : EFileAccess(std::string(what) + " " + path + ": " + std::strerror(systemError), systemError) {
}

namespace {

#ifdef _WIN32
using pagora::windows::errnoFromWin32;
using pagora::windows::widen;

// Windows refuses to replace or delete a read-only file, where POSIX asks only for a writable
// folder. The attribute is taken off a file that is to go anyway, and put back if it stays.
bool dropReadOnly(const std::wstring& path, DWORD& attributes) {
  attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Runs a Win32 file operation, once more without the read-only attribute of `blocked` when
// access was denied; 0, or -1 with errno set.
template <class Operation>
int withoutReadOnly(const std::wstring& blocked, Operation operation) {
  if (operation()) return 0;
  DWORD error = GetLastError();
  DWORD attributes = 0;
  if (error == ERROR_ACCESS_DENIED && dropReadOnly(blocked, attributes)) {
    if (operation()) return 0;
    error = GetLastError();
    SetFileAttributesW(blocked.c_str(), attributes);
  }
  errno = errnoFromWin32(error);
  return -1;
}
#endif

}  // namespace

unsigned newFileMode() {
  static const unsigned mode = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<unsigned>(0666 & ~mask);
  }();
  return mode;
}

int openForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

bool fullWrite(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const auto put = ::write(fd, p, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) {
      errno = ENOSPC;
      return false;
    }
    p += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

int syncFile(int fd) {
#ifdef _WIN32
  return ::_commit(fd);
#else
  return ::fsync(fd);
#endif
}

std::string readWholeFile(const std::string& path) {
  const int fd = openForReading(path);
  if (fd < 0) throw EFileAccess("Cannot open file", path, errno);
  auto fail = [&](int error) {
    ::close(fd);
    throw EFileAccess("Cannot read file", path, error);
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(errno);
  if (S_ISDIR(st.st_mode)) fail(EISDIR);
  // Read straight into a string of the file's size; a file that grows meanwhile is read on.
  std::string bytes(
      S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() + 65536);
    const auto got = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  ::close(fd);
  bytes.resize(used);
  return bytes;
}

int createUniqueFile(std::string& pattern) {
#ifdef _WIN32
  const std::size_t length = pattern.size();
  if (length < 6 || pattern.compare(length - 6, 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return -1;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long seed = GetTickCount64() ^
                            (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                            reinterpret_cast<unsigned long long>(&pattern);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = length - 6; i < length; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      pattern[i] = kLetters[(seed >> 33) % 36];
    }
    // Shared, unlike the C runtime's mkstemp: the file is opened again by name while open here.
    const int fd = _sopen(pattern.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                          _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
#else
  return ::mkostemp(pattern.data(), O_CLOEXEC);
#endif
}

int statName(const std::string& path, struct stat& status) {
#ifdef _WIN32
  return ::stat(path.c_str(), &status);
#else
  return ::lstat(path.c_str(), &status);
#endif
}

bool sameFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string writeTarget(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (statName(path, st) == 0 && S_ISLNK(st.st_mode) &&
      ::realpath(path.c_str(), resolved) != nullptr) {
    return resolved;
  }
  return path;
}

int renameReplacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
  const std::wstring source = widen(from), target = widen(to);
  return withoutReadOnly(target, [&] {
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  });
#else
  return ::rename(from.c_str(), to.c_str());
#endif
}

int removeFile(const std::string& path) {
#ifdef _WIN32
  const std::wstring name = widen(path);
  return withoutReadOnly(name, [&] { return DeleteFileW(name.c_str()); });
#else
  return ::unlink(path.c_str());
#endif
}

int commitReplacement(int fd, const std::string& temp, const std::string& target, unsigned mode,
                      bool replacing) {
  int error = 0;
  if (::fchmod(fd, static_cast<mode_t>(mode)) != 0 || (replacing && syncFile(fd) != 0))
    error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && renameReplacing(temp, target) != 0) error = errno;
  if (error != 0) removeFile(temp);
  return error;
}

void writeFileReplacing(const std::string& path, std::string_view bytes) {
  const std::string target = writeTarget(path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) throw EFileAccess("Cannot create file", path, EISDIR);
  const unsigned mode = exists ? (st.st_mode & 07777) : newFileMode();
  std::string temp = target + ".XXXXXX";
  const int fd = createUniqueFile(temp);
  if (fd < 0) throw EFileAccess("Cannot create file", path, errno);
  if (!fullWrite(fd, bytes.data(), bytes.size())) {
    const int error = errno;
    ::close(fd);
    removeFile(temp);
    throw EFileAccess("Cannot write file", path, error);
  }
  if (const int error = commitReplacement(fd, temp, target, mode, exists))
    throw EFileAccess("Cannot write file", path, error);
}

}  // namespace pagora

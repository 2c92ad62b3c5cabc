// The POSIX calls the libraries use that MinGW's C runtime lacks or does differently.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <string.h>
#include <time.h>

#include <string>

#include "posix_on_windows.h"
#include "sys/file.h"
#include "sys/statvfs.h"
#include "win32_text.h"

extern "C" {

using pagora::windows::errnoFromWin32;
using pagora::windows::widen;

int flock(int fd, int operation) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  OVERLAPPED whole{};
  if (operation & LOCK_UN) {
    return UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole) ? 0 : (errno = EINVAL, -1);
  }
  // A new lock replaces the descriptor's old one, as flock converts shared to exclusive; Windows
  // would refuse a second lock that overlaps the first, even on the same handle.
  UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  whole = OVERLAPPED{};
  DWORD flags = 0;
  if (operation & LOCK_EX) flags |= LOCKFILE_EXCLUSIVE_LOCK;
  if (operation & LOCK_NB) flags |= LOCKFILE_FAIL_IMMEDIATELY;
  if (LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) return 0;
  errno = EWOULDBLOCK;
  return -1;
}

int statvfs(const char* path, struct statvfs* status) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(widen(path).c_str(), &available, &total, &free)) {
    errno = errnoFromWin32(GetLastError());
    return -1;
  }
  status->f_bsize = status->f_frsize = 1;
  status->f_blocks = total.QuadPart;
  status->f_bfree = free.QuadPart;
  status->f_bavail = available.QuadPart;
  return 0;
}

}  // extern "C"

extern "C" {

struct tm* localtime_r(const time_t* when, struct tm* result) {
  return localtime_s(result, when) == 0 ? result : nullptr;
}

// Windows files have no permission bits but one: without the owner's write bit a file is
// read-only (an expanded member keeps its read-only attribute this way).
int fchmod(int fd, mode_t mode) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  FILE_BASIC_INFO info{};
  if (handle == INVALID_HANDLE_VALUE ||
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof info)) {
    errno = EBADF;
    return -1;
  }
  const DWORD before = info.FileAttributes;
  if (mode & S_IWUSR) {
    info.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
  } else {
    info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (info.FileAttributes == before) return 0;
  if (info.FileAttributes == 0) info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  // Zero times leave the file's times as they are.
  info.CreationTime.QuadPart = info.LastAccessTime.QuadPart = 0;
  info.LastWriteTime.QuadPart = info.ChangeTime.QuadPart = 0;
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info)) {
    errno = errnoFromWin32(GetLastError());
    return -1;
  }
  return 0;
}

int utimensat(int fd, const char* path, const struct timespec times[2], int) {
  if (fd != AT_FDCWD) {
    errno = EINVAL;
    return -1;
  }
  const HANDLE file = CreateFileW(widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errno = errnoFromWin32(GetLastError());
    return -1;
  }
  // FILETIME counts 100 ns steps since 1601-01-01.
  const ULONGLONG ticks = (static_cast<ULONGLONG>(times[1].tv_sec) + 11644473600ULL) * 10000000ULL +
                          static_cast<ULONGLONG>(times[1].tv_nsec) / 100;
  FILETIME modified{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const BOOL done = SetFileTime(file, nullptr, &modified, &modified);
  CloseHandle(file);
  if (!done) {
    errno = EIO;
    return -1;
  }
  return 0;
}

int futimens(int fd, const struct timespec times[2]) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  // FILETIME counts 100 ns steps since 1601-01-01.
  FILETIME stamps[2];
  for (int i = 0; i < 2; ++i) {
    const ULONGLONG ticks =
        (static_cast<ULONGLONG>(times[i].tv_sec) + 11644473600ULL) * 10000000ULL +
        static_cast<ULONGLONG>(times[i].tv_nsec) / 100;
    stamps[i] = FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  }
  if (!SetFileTime(handle, nullptr, &stamps[0], &stamps[1])) {
    errno = errnoFromWin32(GetLastError());
    return -1;
  }
  return 0;
}

namespace {

// Reads or writes at an offset without moving the descriptor's own position.
ssize_t transferAt(int fd, void* data, size_t size, off_t offset, bool writing) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  const __int64 saved = _lseeki64(fd, 0, SEEK_CUR);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<unsigned long long>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(offset) >> 32);
  DWORD done = 0;
  const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  const BOOL ok = writing ? WriteFile(handle, data, chunk, &done, &at)
                          : ReadFile(handle, data, chunk, &done, &at);
  _lseeki64(fd, saved, SEEK_SET);
  if (!ok) {
    const DWORD error = GetLastError();
    if (!writing && error == ERROR_HANDLE_EOF) return 0;
    errno = errnoFromWin32(error);
    return -1;
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t pread(int fd, void* data, size_t size, off_t offset) {
  return transferAt(fd, data, size, offset, false);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  return transferAt(fd, const_cast<void*>(data), size, offset, true);
}

char* realpath(const char* path, char* resolved) {
  char* full = _fullpath(resolved, path, PATH_MAX);
  if (!full) errno = ENOENT;
  return full;
}

char* mkdtemp(char* pattern) {
  const size_t length = strlen(pattern);
  if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long seed =
      GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (size_t i = length - 6; i < length; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      pattern[i] = kLetters[(seed >> 33) % 36];
    }
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  errno = EEXIST;
  return nullptr;
}

}  // extern "C"

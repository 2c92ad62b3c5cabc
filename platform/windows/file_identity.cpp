// stat and fstat with a file identity. The C runtime leaves st_ino 0 for every file, so two
// files on one drive would compare as the same file (the archiver refuses to add "itself").
// The real calls are wrapped at link time (--wrap of their import slots); st_dev and st_ino
// then carry the volume serial number and the file index folded into 48 bits.
#include <windows.h>

#include <io.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "win32_text.h"

namespace {

using pagora::windows::widen;

void addIdentity(HANDLE handle, struct _stat64* status) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return;
  const std::uint64_t index =
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  status->st_ino = static_cast<_ino_t>(index & 0xFFFF);
  status->st_dev = static_cast<_dev_t>(info.dwVolumeSerialNumber ^ (index >> 16) ^ (index >> 48));
  status->st_rdev = status->st_dev;
}

}  // namespace

extern "C" {

extern int (*__real___imp__stat64)(const char*, struct _stat64*);
extern int (*__real___imp__fstat64)(int, struct _stat64*);

static int statWithIdentity(const char* path, struct _stat64* status) {
  // The C runtime finds no folder named with a separator at its end (C:/books/), which POSIX
  // takes as the folder itself; a root (C:/ or /) keeps its separator.
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\') &&
         trimmed[trimmed.size() - 2] != ':' && trimmed[trimmed.size() - 2] != '/' &&
         trimmed[trimmed.size() - 2] != '\\')
    trimmed.pop_back();
  path = trimmed.c_str();
  const int result = __real___imp__stat64(path, status);
  if (result != 0) return result;
  const HANDLE file = CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  addIdentity(file, status);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return 0;
}

static int fstatWithIdentity(int fd, struct _stat64* status) {
  const int result = __real___imp__fstat64(fd, status);
  if (result == 0) addIdentity(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), status);
  return result;
}

int (*__wrap___imp__stat64)(const char*, struct _stat64*) = &statWithIdentity;
int (*__wrap___imp__fstat64)(int, struct _stat64*) = &fstatWithIdentity;

}  // extern "C"

// Included before every source of the Windows build: the POSIX names the libraries use that the
// C runtime lacks, declared here and built on Win32. Renaming, removing, syncing and temporary
// files are the file layer's (common/file_access.h), which knows Windows' own rules. File names
// stay UTF-8 (the manifest makes UTF-8 the process code page); flags that mean nothing here become
// 0.
#pragma once

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

// Every open in the libraries asks for O_CLOEXEC, so it carries what Windows needs instead: not
// inherited by child programs, and binary (the C runtime's _open defaults to text mode, which
// drops the CR of CR LF on reading and adds one on writing).
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
// No symbolic links to follow by mistake on Windows' own file systems.
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef S_ISLNK
#define S_ISLNK(mode) 0
#endif
#ifndef AT_FDCWD
#define AT_FDCWD (-100)
#endif
#ifndef PATH_MAX
#define PATH_MAX 4096
#endif

#ifdef __cplusplus
extern "C" {
#endif
struct tm* localtime_r(const time_t* when, struct tm* result);
int fchmod(int fd, mode_t mode);
// Sets the modification time (times[1]) of the named file; fd must be AT_FDCWD.
int utimensat(int fd, const char* path, const struct timespec times[2], int flags);
ssize_t pread(int fd, void* data, size_t size, off_t offset);
ssize_t pwrite(int fd, const void* data, size_t size, off_t offset);
char* realpath(const char* path, char* resolved);
char* mkdtemp(char* pattern);
// Sets the access (times[0]) and modification (times[1]) time of an open file.
int futimens(int fd, const struct timespec times[2]);
#ifdef __cplusplus
}
// POSIX mkdir takes the new folder's permissions; Windows has none to give.
inline int mkdir(const char* path, mode_t) {
  return _mkdir(path);
}
#endif

// sigaction over the C runtime's signal: only the handler is carried (Ctrl-C is SIGINT here).
struct sigaction {
  void (*sa_handler)(int);
  _sigset_t sa_mask;
  int sa_flags;
};
static inline int sigemptyset(_sigset_t* set) {
  *set = 0;
  return 0;
}
static inline int sigaction(int number, const struct sigaction* action,
                            struct sigaction* previous) {
  void (*before)(int) = signal(number, action ? action->sa_handler : SIG_DFL);
  if (!action) signal(number, before);
  if (before == SIG_ERR) return -1;
  if (previous) {
    previous->sa_handler = before;
    previous->sa_mask = 0;
    previous->sa_flags = 0;
  }
  return 0;
}

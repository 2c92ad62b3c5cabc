// Gathered writes as a loop of single writes: Windows' C runtime has no writev.
#pragma once

#include <errno.h>
#include <stddef.h>
#include <sys/types.h>

struct iovec {
  void* iov_base;
  size_t iov_len;
};

// Like POSIX: the bytes written in all, short when a write stops early, -1 only when nothing was.
static inline ssize_t pwritev(int fd, const struct iovec* pieces, int count, off_t offset) {
  ssize_t total = 0;
  for (int i = 0; i < count; ++i) {
    const char* data = (const char*)pieces[i].iov_base;
    size_t left = pieces[i].iov_len;
    while (left > 0) {
      const ssize_t put = pwrite(fd, data, left, offset + total);
      if (put <= 0) return total > 0 ? total : put;
      total += put;
      data += put;
      left -= (size_t)put;
    }
  }
  return total;
}

static inline ssize_t writev(int fd, const struct iovec* pieces, int count) {
  ssize_t total = 0;
  for (int i = 0; i < count; ++i) {
    const char* data = (const char*)pieces[i].iov_base;
    size_t left = pieces[i].iov_len;
    while (left > 0) {
      const int chunk = left > 0x40000000u ? 0x40000000 : (int)left;
      const int put = _write(fd, data, (unsigned)chunk);
      if (put <= 0) return total > 0 ? total : (put < 0 ? -1 : 0);
      total += put;
      data += put;
      left -= (size_t)put;
    }
  }
  return total;
}

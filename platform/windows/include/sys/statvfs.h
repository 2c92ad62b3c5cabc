// statvfs on Windows: the free space of the volume that holds the path.
#pragma once

typedef unsigned long long fsblkcnt_t;

struct statvfs {
  unsigned long f_bsize;
  unsigned long f_frsize;
  fsblkcnt_t f_blocks;
  fsblkcnt_t f_bfree;
  fsblkcnt_t f_bavail;
};

#ifdef __cplusplus
extern "C" {
#endif
int statvfs(const char* path, struct statvfs* status);
#ifdef __cplusplus
}
#endif

// A read-only mapping of a whole file, or its bytes read into memory where none can be made.
#include "common/mapped_file.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/file_access.h"

namespace pagora {

MappedFile::MappedFile(const std::string& path) {
  const int fd = openForReading(path);
  if (fd < 0) throw EFileAccess("Cannot open file", path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    throw EFileAccess("Cannot read file", path, error);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EFileAccess("Cannot read file", path, EISDIR);
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
  copy_ = readWholeFile(path);
  view_ = copy_;
}

MappedFile::~MappedFile() {
#ifndef _WIN32
  if (map_ != nullptr) ::munmap(map_, mapSize_);
#endif
}

}  // namespace pagora

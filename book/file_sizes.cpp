// Sizes of the chosen files.
#include "book/file_sizes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pagora {

std::int64_t FileLength(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw EBookIO("Cannot open file " + fileName + ": " + std::strerror(error), error);
  }
  struct stat info {};
  int rc = ::fstat(fd, &info);
  int error = errno;
  ::close(fd);
  if (rc != 0)
    throw EBookIO("Cannot read the size of " + fileName + ": " + std::strerror(error), error);
  if (S_ISDIR(info.st_mode)) {
    throw EBookIO("Cannot open file " + fileName + ": " + std::strerror(EISDIR), EISDIR);
  }
  return static_cast<std::int64_t>(info.st_size);
}

std::int64_t totalLength(const std::vector<std::string>& files) {
  std::int64_t total = 0;
  for (const auto& file : files) total += FileLength(file);
  return total;
}

std::string sizeLine(std::int64_t total) {
  return "Size : " + std::to_string(total) + " bytes";
}

}  // namespace pagora

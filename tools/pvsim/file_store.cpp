// Receiving files into a folder through temporary files and renames.
#include "pvsim/file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "pvsim/protocol.h"

namespace pvsim {

FileStore::FileStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

FileStore::~FileStore() {
  discard();
}

std::string FileStore::hostName(std::string_view deviceName) {
  if (deviceName.empty() || deviceName == "." || deviceName == ".." ||
      deviceName.find('/') != std::string_view::npos ||
      deviceName.find('\0') != std::string_view::npos) {
    return {};
  }
  return cp1251ToUtf8(deviceName);
}

std::string FileStore::begin(std::string_view deviceName) {
  discard();
  name_ = hostName(deviceName);
  if (name_.empty()) return "refused file name '" + escapeForLog(deviceName) + "'";
  std::string pattern = (folder_ / ".pvsim-receiving-XXXXXX").string();
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) {
    return "cannot create a file in " + folder_.string() + ": " + std::strerror(errno);
  }
  temporary_ = pattern;
  return {};
}

std::string FileStore::append(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return "cannot write " + temporary_.string() + ": " + std::strerror(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return {};
}

std::string FileStore::commit() {
  std::string error;
  if (::fsync(fd_) != 0)
    error = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
  if (::close(fd_) != 0 && error.empty()) {
    error = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
  }
  fd_ = -1;
  // mkstemp makes the file private; a received file gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temporary_.c_str(), 0666 & ~mask);
  if (error.empty() && ::rename(temporary_.c_str(), (folder_ / name_).c_str()) != 0) {
    error = "cannot store " + (folder_ / name_).string() + ": " + std::strerror(errno);
  }
  if (!error.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  return error;
}

void FileStore::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace pvsim

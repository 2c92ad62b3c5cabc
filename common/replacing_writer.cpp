// Replacing a file piece by piece, writing only once the new contents differ from the old.
#include "common/replacing_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/file_access.h"

namespace pagora {
namespace {

// Writes go out in pieces of this size, small enough to stay in the processor's cache.
constexpr std::size_t kWriteBuffer = 256 * 1024;

}  // namespace

ReplacingWriter::ReplacingWriter(std::string path, const std::string_view* current)
    : path_(std::move(path)), comparing_(current != nullptr) {
  if (current != nullptr) current_ = *current;
  target_ = writeTarget(path_);
  struct stat st {};
  existed_ = ::stat(target_.c_str(), &st) == 0;
  if (existed_ && S_ISDIR(st.st_mode)) throw EFileAccess("Cannot create file", path_, EISDIR);
  mode_ = existed_ ? (st.st_mode & 07777) : newFileMode();
  if (!comparing_) open();
}

ReplacingWriter::~ReplacingWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    removeFile(temp_);
  }
}

void ReplacingWriter::open() {
  temp_ = target_ + ".XXXXXX";
  fd_ = createUniqueFile(temp_);
  if (fd_ < 0) throw EFileAccess("Cannot create file", path_, errno);
  buffer_.reserve(kWriteBuffer);
}

[[noreturn]] void ReplacingWriter::abandon(const char* what, int error) {
  ::close(fd_);
  fd_ = -1;
  removeFile(temp_);
  throw EFileAccess(what, path_, error);
}

void ReplacingWriter::put(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBuffer) flush();
  if (bytes.size() >= kWriteBuffer) {
    writeOut(bytes);  // a large piece goes out as it is, without a copy
    return;
  }
  buffer_.append(bytes);
}

void ReplacingWriter::writeOut(std::string_view bytes) {
  if (!fullWrite(fd_, bytes.data(), bytes.size())) abandon("Cannot write file", errno);
}

void ReplacingWriter::flush() {
  writeOut(buffer_);
  buffer_.clear();
}

void ReplacingWriter::write(std::string_view bytes) {
  if (comparing_) {
    if (current_.size() - same_ >= bytes.size() &&
        std::memcmp(current_.data() + same_, bytes.data(), bytes.size()) == 0) {
      same_ += bytes.size();
      return;
    }
    // The first difference: from here on the new contents are written out, starting with the
    // part that was the same.
    comparing_ = false;
    open();
    put(current_.substr(0, same_));
  }
  put(bytes);
}

bool ReplacingWriter::commit() {
  if (comparing_ && same_ == current_.size()) return false;
  if (comparing_) {
    // The new contents are a beginning of the old: the file gets shorter.
    comparing_ = false;
    open();
    put(current_.substr(0, same_));
  }
  flush();
  const int fd = std::exchange(fd_, -1);
  if (const int error = commitReplacement(fd, temp_, target_, mode_, existed_))
    throw EFileAccess("Cannot write file", path_, error);
  return true;
}

}  // namespace pagora

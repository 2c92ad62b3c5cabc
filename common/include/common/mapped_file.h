// The bytes of a whole file without a copy in memory: a read-only mapping.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagora {

// The bytes of a file, mapped read-only (a file that cannot be mapped, a pipe for example, is
// read into memory instead). Raises EFileAccess when the file cannot be opened or read.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  // The file's bytes, valid while this object lives.
  std::string_view bytes() const { return view_; }

 private:
  void* map_ = nullptr;
  std::size_t mapSize_ = 0;
  std::string copy_;
  std::string_view view_;
};

}  // namespace pagora

// Whole files without a copy in memory: a read-only mapping of a file, and a writer that replaces
// a file through a temporary one and leaves it alone when the new contents equal the old.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_buffer.h"

namespace pagora {

// The bytes of a file, mapped read-only (a file that cannot be mapped, a pipe for example, is
// read into memory instead). Raises ETextFileError when the file cannot be opened or read.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const { return view_; }

 private:
  void* map_ = nullptr;
  std::size_t mapSize_ = 0;
  std::string copy_;
  std::string_view view_;
};

// Writes new contents for `path` piece by piece. While the pieces repeat `current` (the file's
// present contents) nothing is written; at the first difference a temporary file is created in
// the target's folder and everything goes there. Commit renames it over the target (a symbolic
// link is followed, an existing file keeps its permission bits); when the contents never changed
// Commit touches nothing and returns false. Without Commit (a failure on the way) the temporary
// file is removed and the target stays as it was. Raises ETextFileError.
class ReplacingWriter {
 public:
  // `current`: the target's present bytes, or nullptr when the file is to be written in any case
  // (a new file, or one the caller did not read).
  ReplacingWriter(std::string path, const std::string_view* current);
  ~ReplacingWriter();
  ReplacingWriter(const ReplacingWriter&) = delete;
  ReplacingWriter& operator=(const ReplacingWriter&) = delete;

  void Write(std::string_view bytes);
  // True when the file was written, false when it was left as it is.
  bool Commit();

 private:
  void Open();
  void Put(std::string_view bytes);
  void Flush();
  void WriteOut(std::string_view bytes);
  [[noreturn]] void Abandon(const char* what, int error);

  std::string path_;
  std::string target_;
  std::string temp_;
  std::string_view current_;
  bool comparing_;
  std::size_t same_ = 0;  // bytes of `current_` repeated so far
  int fd_ = -1;
  bool existed_ = false;
  unsigned mode_ = 0;
  std::string buffer_;
};

}  // namespace pagora

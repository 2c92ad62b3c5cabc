// A writer that replaces a file through a file beside it, piece by piece, and leaves the file
// alone when the new contents equal the old.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagora {

// Writes new contents for `path` piece by piece. While the pieces repeat `current` (the file's
// present contents) nothing is written; at the first difference a temporary file is created in
// the target's folder and everything goes there. commit renames it over the target (a symbolic
// link is followed, an existing file keeps its permission bits); when the contents never changed
// commit touches nothing and returns false. Without commit (a failure on the way) the temporary
// file is removed and the target stays as it was. Raises EFileAccess.
class ReplacingWriter {
 public:
  // `current`: the target's present bytes, or nullptr when the file is to be written in any case
  // (a new file, or one the caller did not read).
  ReplacingWriter(std::string path, const std::string_view* current);
  ~ReplacingWriter();
  ReplacingWriter(const ReplacingWriter&) = delete;
  ReplacingWriter& operator=(const ReplacingWriter&) = delete;

  // Appends the next piece of the new contents.
  void write(std::string_view bytes);
  // True when the file was written, false when it was left as it is.
  bool commit();

 private:
  void open();
  void put(std::string_view bytes);
  void flush();
  void writeOut(std::string_view bytes);
  [[noreturn]] void abandon(const char* what, int error);

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

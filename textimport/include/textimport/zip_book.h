// A zip archive read with libzip, from a file or from memory, whose members are read in pieces
// and refused when they are larger than a book member may be.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct zip;
struct zip_source;

namespace pagora::book_import {

class ZipBook {
 public:
  // Raise EBookImport ("<file>: not a zip archive", "<file>: cannot open: ...").
  ZipBook(const std::string& path, const std::string& file);
  ZipBook(std::string_view bytes, const std::string& file);
  ~ZipBook();
  ZipBook(const ZipBook&) = delete;
  ZipBook& operator=(const ZipBook&) = delete;

  std::int64_t count() const;
  std::string name(std::int64_t index) const;
  // Index of the member with exactly this name, or of the only one that matches it without
  // regard to letter case; -1 when there is none.
  std::int64_t find(const std::string& name) const;

  // Hands the member's bytes to `sink` in pieces (the last one flagged). Raises EBookImport when
  // the member is larger than kMaxBookMemberSize, encrypted, or corrupt.
  void read(std::int64_t index, const std::function<void(std::string_view, bool)>& sink);
  std::string readAll(std::int64_t index);

  const std::string& file() const { return file_; }

 private:
  [[noreturn]] void raise(const std::string& problem) const;
  void openSource(zip_source* source);

  zip* zip_ = nullptr;
  std::string file_;
};

}  // namespace pagora::book_import

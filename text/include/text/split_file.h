// Splitting a long text file into numbered parts of about a chosen size, and the part names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/exception.h"

namespace pagora {

// A split that cannot be done: a chunk size of 0.
class ESplitError : public Exception {
 public:
  explicit ESplitError(const std::string& message) : Exception(message, FailureKind::Usage) {}
};

// The file name without its folder, up to (not including) its first dot; "" without a dot.
std::string NameBeforeDot(std::string_view path);

// The number of decimal digits of the part count the names are planned for:
// digits of floor(fileSize / chunk). Raises ESplitError for a chunk of 0.
int splitDigits(std::int64_t fileSize, std::int64_t chunk);

// Folder + prefix + "_" + part + extension, the prefix being NameBeforeDot cut to its first
// 23 - digits characters (letters of a UTF-8 name, never a piece of one; bytes of a name that is
// not UTF-8) and the extension the text from the name's last dot on.
std::string splitPartName(std::string_view path, int digits, int part);

// Splits `path` into parts of whole lines whose lines plus CR LF reach `chunk` bytes or more
// (the last part may hold less; a longer line makes a part of its own). Each part is written with
// CR LF after every line, replacing any file of its name. Returns the parts' paths in order.
// An empty file writes no part. Raises ESplitError for a chunk of 0 (nothing is written) and
// ETextFileError when the file cannot be read or a part cannot be written.
std::vector<std::string> SplitTextFile(const std::string& path, std::int64_t chunk);

}  // namespace pagora

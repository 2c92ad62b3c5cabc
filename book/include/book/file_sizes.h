// Sizes of the chosen files, as the size line of a book shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/exception.h"

namespace pagora {

// A file that cannot be opened or sized; the text names the file and the system's reason.
class EBookIO : public Exception {
 public:
  explicit EBookIO(const std::string& message, int systemError = 0)
      : Exception(message, failureKindOf(systemError), systemError) {}
};

// The size of a file in bytes. The file is opened for reading only, so a read-only text can
// be sized; a missing file, a folder or an unreadable file raises EBookIO.
std::int64_t FileLength(const std::string& fileName);

// The sum of FileLength over all files (64-bit, so books past 2 GiB add up correctly).
std::int64_t totalLength(const std::vector<std::string>& files);

// The text of the size line for a total.
std::string sizeLine(std::int64_t total);

}  // namespace pagora

// Splitting a text file into numbered parts of whole lines.
#include "text/split_file.h"

#include <algorithm>

#include "common/file_paths.h"
#include "text/recode.h"
#include "text/text_buffer.h"

namespace pagora {
namespace {

// How many bytes of `prefix` its first `letters` characters take. A UTF-8 name is cut between
// two letters, never inside one; a name that is not UTF-8 is cut by bytes.
std::size_t prefixBytes(std::string_view prefix, std::size_t letters) {
  if (!isValidUtf8(prefix)) return std::min(prefix.size(), letters);
  std::size_t i = 0;
  for (std::size_t seen = 0; i < prefix.size(); ++i) {
    if ((static_cast<unsigned char>(prefix[i]) & 0xC0) == 0x80) continue;  // inside a letter
    if (seen == letters) break;
    ++seen;
  }
  return i;
}

}  // namespace

std::string NameBeforeDot(std::string_view path) {
  const std::string name = baseName(path);
  const std::size_t dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

int splitDigits(std::int64_t fileSize, std::int64_t chunk) {
  if (chunk <= 0) throw ESplitError("Chunk size must be greater than 0");
  std::int64_t parts = std::max<std::int64_t>(fileSize, 0) / chunk;
  int digits = 1;
  while (parts >= 10) {
    parts /= 10;
    ++digits;
  }
  return digits;
}

std::string splitPartName(std::string_view path, int digits, int part) {
  const std::string name = baseName(path);
  const std::size_t dot = name.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  std::string prefix = NameBeforeDot(path);
  prefix.resize(prefixBytes(prefix, static_cast<std::size_t>(std::max(0, 23 - digits))));
  std::string out(folderOf(path));
  out += prefix;
  out += '_';
  out += std::to_string(part);
  out += ext;
  return out;
}

std::vector<std::string> SplitTextFile(const std::string& path, std::int64_t chunk) {
  if (chunk <= 0) throw ESplitError("Chunk size must be greater than 0");
  TextBuffer lines;
  int digits;
  {
    const std::string bytes = readFileBytes(path);
    digits = splitDigits(static_cast<std::int64_t>(bytes.size()), chunk);
    lines = splitLines(bytes);
  }
  std::vector<std::string> written;
  std::size_t next = 0;
  int part = 1;
  while (next < lines.size()) {
    std::int64_t total = 0;
    std::string bytes;
    while (total < chunk && next < lines.size()) {
      bytes += lines[next];
      bytes += "\r\n";
      total += static_cast<std::int64_t>(lines[next].size()) + 2;
      ++next;
    }
    std::string name = splitPartName(path, digits, part);
    writeFileReplacing(name, bytes);
    written.push_back(std::move(name));
    ++part;
  }
  return written;
}

}  // namespace pagora

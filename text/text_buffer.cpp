// Loading and saving text buffers through the file layer.
#include "text/text_buffer.h"

namespace pagora {

TextBuffer SplitLines(std::string_view bytes) {
  TextBuffer lines;
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    lines.emplace_back(p, q);
    if (q == end) break;
    p = q + ((*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string JoinLines(const TextBuffer& lines) {
  std::size_t total = 0;
  for (const std::string& line : lines) total += line.size() + 2;
  std::string out;
  out.reserve(total);
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  return readWholeFile(path);
}

TextBuffer LoadTextFile(const std::string& path) {
  return SplitLines(ReadFileBytes(path));
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  writeFileReplacing(path, bytes);
}

void SaveTextFile(const std::string& path, const TextBuffer& lines) {
  WriteFileReplacing(path, JoinLines(lines));
}

}  // namespace pagora

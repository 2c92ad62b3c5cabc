// Loading and saving text buffers through the file layer.
#include "text/text_buffer.h"

namespace pagora {

TextBuffer splitLines(std::string_view bytes) {
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

std::string joinLines(const TextBuffer& lines) {
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

std::string readFileBytes(const std::string& path) {
  return readWholeFile(path);
}

TextBuffer loadTextFile(const std::string& path) {
  return splitLines(readFileBytes(path));
}

void saveTextFile(const std::string& path, const TextBuffer& lines) {
  writeFileReplacing(path, joinLines(lines));
}

}  // namespace pagora

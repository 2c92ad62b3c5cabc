// "Create file from clipboard": the file's path and its lines.
#include "text/clipboard_file.h"

#include "text/text_buffer.h"

namespace pagora {

std::string clipboardFilePath(std::string_view folder, std::string_view answer) {
  if (answer.find('/') != std::string_view::npos || folder.empty()) return std::string(answer);
  std::string path(folder);
  if (path.back() != '/') path.push_back('/');
  path += answer;
  return path;
}

void writeClipboardFile(const std::string& path, std::string_view text) {
  writeFileReplacing(path, joinLines(splitLines(text)));
}

}  // namespace pagora

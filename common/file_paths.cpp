// Folder and file parts of a path.
#include "common/file_paths.h"

namespace pagora {
namespace {

constexpr char kSeparator = '/';

bool endsWithSeparator(const std::string& path) {
  return !path.empty() && lastFolderSeparator(path) == path.size() - 1;
}

}  // namespace

std::size_t lastFolderSeparator(std::string_view path) {
#ifdef _WIN32
  return path.find_last_of("\\/");
#else
  return path.rfind(kSeparator);
#endif
}

std::string AddSlash(const std::string& path) {
  if (path.empty() || endsWithSeparator(path)) return path;
  return path + kSeparator;
}

std::string baseName(std::string_view path) {
  const std::size_t slash = lastFolderSeparator(path);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string folderOf(std::string_view path) {
  const std::size_t slash = lastFolderSeparator(path);
  return std::string(slash == std::string_view::npos ? std::string_view()
                                                     : path.substr(0, slash + 1));
}

}  // namespace pagora

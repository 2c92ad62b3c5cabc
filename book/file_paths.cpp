// Folder and file parts of a path.
#include "book/file_paths.h"

namespace pagora {
namespace {

constexpr char kSeparator = '/';

bool endsWithSeparator(const std::string& path) {
  return !path.empty() && lastFolderSeparator(path) == path.size() - 1;
}

}  // namespace

std::size_t lastFolderSeparator(const std::string& path) {
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

std::string baseName(const std::string& path) {
  auto slash = lastFolderSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  auto slash = lastFolderSeparator(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace pagora

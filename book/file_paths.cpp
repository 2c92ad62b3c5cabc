// Folder and file parts of a path.
#include "book/file_paths.h"

namespace pagora {
namespace {

constexpr char kSeparator = '/';

}  // namespace

std::string AddSlash(const std::string& path) {
  if (path.empty() || path.back() == kSeparator) return path;
  return path + kSeparator;
}

std::string BaseName(const std::string& path) {
  auto slash = path.rfind(kSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind(kSeparator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace pagora

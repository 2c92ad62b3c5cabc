// Shared helpers of the archive component tests, beside the temporary folders, files and seeded
// data of every test: whether a name exists (links included) and a folder tree's listing.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "data_generator.h"
#include "temp_folder.h"

namespace pagora::testing_support {

inline bool fileExists(const std::string& path) {
  struct stat st {};
  return pagora::statName(path, st) == 0;
}

// The names of everything in a folder tree, relative to it, with '/' between folders, sorted.
inline std::vector<std::string> listTree(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    names.push_back(e.path().lexically_relative(folder).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace pagora::testing_support

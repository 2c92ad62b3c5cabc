// A private temporary folder for one test, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pagora::testing_support {

// A new, empty folder under the test temp folder for a caller that removes it itself
// (removeTempFolder): the prefix, the process and a number make its name, so that runs side by
// side (ctest -j) and folders made at the same time on several threads never meet.
inline std::filesystem::path newTempFolder(const std::string& prefix) {
  static std::atomic<int> counter{0};
  std::string name = prefix + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  for (char& c : name)
    if (c == '/') c = '_';
  const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

// Removes the folder with everything in it: parts the test made unreadable or read-only do not
// stop it, and links are left as they are, so that nothing outside the folder changes.
inline void removeTempFolder(const std::filesystem::path& path) {
  std::error_code ec;
  std::error_code ignored;
  for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_symlink(ignored)) continue;
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path, ignored);
}

// A private folder for one test, named after the test, removed when it goes.
class TempFolder {
 public:
  // `prefix` only makes a left-over folder easier to place.
  explicit TempFolder(const std::string& prefix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = newTempFolder(prefix + (info ? info->test_suite_name() : "test") + "_" +
                          (info ? info->name() : "x") + "_");
  }
  ~TempFolder() { removeTempFolder(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The full name of a file in the folder ("" gives the folder with a trailing separator).
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string operator/(const std::string& name) const { return file(name); }

  // Writes a file (and the folders above it) and returns its full name.
  std::string write(const std::string& name, const std::string& bytes) const;
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    return write(name, std::string(bytes.begin(), bytes.end()));
  }

  // The names of the entries directly in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

// The file functions take a name as the caller has it: a std::string is opened as the narrow
// name it is, a std::filesystem::path as a path (the two differ on Windows).
// Writes the file whole; missing folders above it are made first.
template <class Name>
void writeFile(const Name& name, const std::string& bytes) {
  const auto parent = std::filesystem::path(name).parent_path();
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::exists(parent, ec))
    std::filesystem::create_directories(parent, ec);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <class Name>
void writeFile(const Name& name, const std::vector<std::uint8_t>& bytes) {
  writeFile(name, std::string(bytes.begin(), bytes.end()));
}

// The whole file; empty when it cannot be read.
template <class Name>
std::string readFile(const Name& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The same as bytes, for data that is not text.
template <class Name>
std::vector<std::uint8_t> readBytes(const Name& name) {
  const std::string bytes = readFile(name);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

inline std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
  const std::string full = file(name);
  writeFile(full, bytes);
  return full;
}

}  // namespace pagora::testing_support

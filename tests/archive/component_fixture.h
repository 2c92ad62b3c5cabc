// Shared helpers of the archive component tests: a private scratch folder per test, whole-file
// reading and writing, and seeded sample data.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace pagora::testing_support {

using Bytes = std::vector<std::uint8_t>;

// A folder of its own under the test temp folder, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info ? info->test_suite_name() : "t") + "_" +
                       (info ? info->name() : "x") + "_" + std::to_string(::getpid());
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::path(::testing::TempDir()) / ("lzh_" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    // Read-only files and folders made by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (!it->is_symlink()) ::chmod(it->path().string().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path() const { return path_.string(); }
  // The path of a file in the folder (with a trailing slash for "").
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const Bytes& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline void writeFile(const std::string& path, const std::string& text) {
  writeFile(path, Bytes(text.begin(), text.end()));
}

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

inline Bytes randomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Text-like data that compresses: words drawn from a small vocabulary, lines with CR LF.
inline Bytes textBytes(std::size_t n, std::uint32_t seed) {
  static const char* const kWords[] = {"книга", "the", "reader", "Casio", "глава", "and",
                                       "страница", "of", "a", "text", "handheld", "book"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(n + 16);
  while (out.size() < n) {
    std::string word = kWords[rng() % 12];
    out.insert(out.end(), word.begin(), word.end());
    if (rng() % 11 == 0) {
      out.push_back('\r');
      out.push_back('\n');
    } else {
      out.push_back(' ');
    }
  }
  out.resize(n);
  return out;
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

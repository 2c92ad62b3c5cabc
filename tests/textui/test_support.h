// Shared helpers of the view-window tests: one QApplication, private temporary folders, files.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "text/recode.h"

namespace pagora::testing_support {

inline void ensureApp() {
  static int argc = 1;
  static char name[] = "textui_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// A folder of its own for one test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        std::string("textui_") + (info ? info->name() : "x") + "_" + std::to_string(rd());
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Code page 1251 bytes of a UTF-8 literal.
inline std::string cp1251(const std::string& utf8) {
  return pagora::Utf8ToWin(utf8);
}

}  // namespace pagora::testing_support

// Shared pieces of the window tests: one QApplication, a private folder per test with the
// program folder pointed into it, and helpers to write and read files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "pagora/main_form.h"
#include "temp_folder.h"
#include "scripted_prompts.h"
#include "widgets/prompts.h"

namespace pagora::testing_support {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    std::filesystem::create_directories(root_ / "prog");
    std::filesystem::create_directories(root_ / "books");
    previousFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    TForm1::setProgramFolder(QString::fromStdString((root_ / "prog").string()));
  }
  void TearDown() override {
    std::filesystem::current_path(previousFolder_);
    TForm1::setProgramFolder(QString());
  }

  std::string write(const std::string& relative, const std::string& bytes) {
    auto path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  static std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string books() const { return (root_ / "books").string(); }
  std::string prog() const { return (root_ / "prog").string(); }

  TempFolder temp_{"app_"};
  const std::filesystem::path root_ = temp_.path();
  std::filesystem::path previousFolder_;
  // No box ever waits for a person in a test: one a test does not script is recorded here.
  ScriptedPrompts unexpectedPrompts_;
};

}  // namespace pagora::testing_support

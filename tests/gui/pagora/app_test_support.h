// Shared pieces of the window tests: one QApplication, a private folder per test with the
// program folder pointed into it, and helpers to write and read files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "pagora/main_form.h"
#include "scripted_prompts.h"
#include "temp_folder.h"
#include "widgets/file_list_box.h"
#include "widgets/prompts.h"

namespace pagora::testing_support {

inline QApplication& app() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A part of a window found as Qt's own test tools find it: by type and object name (empty: the
// only one of its type). A missing part fails the test instead of crashing it.
template <class Part>
Part& part(const QObject& window, const QString& name = QString()) {
  Part* found = window.findChild<Part*>(name);
  if (!found) throw std::logic_error("no part named \"" + name.toStdString() + "\"");
  return *found;
}

// The parts of the main window the tests look at most.
inline TFileListBox& fileList(const TForm1& form) {
  return part<TFileListBox>(form, QStringLiteral("FileListBox1"));
}
inline QListWidget& chosenList(const TForm1& form) {
  return part<QListWidget>(form, QStringLiteral("ListBox1"));
}
inline QString sizeLine(const TForm1& form) {
  return part<QLabel>(form, QStringLiteral("StaticText1")).text();
}
// Drops the file list's selection on the chosen list, as a drag from one to the other ends.
inline void dropSelection(TForm1& form) {
  form.ListBox1DragDrop(fileList(form).currentView());
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
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
  // A main window showing the books folder with the named files selected.
  std::unique_ptr<TForm1> window(const QStringList& select = {}) const {
    auto form = std::make_unique<TForm1>();
    form->showFolder(QString::fromStdString(books()));
    form->selectFiles(select);
    return form;
  }
  std::string prog() const { return (root_ / "prog").string(); }

  TempFolder temp_{"app_"};
  const std::filesystem::path root_ = temp_.path();
  std::filesystem::path previousFolder_;
  // No box ever waits for a person in a test: one a test does not script is recorded here.
  ScriptedPrompts unexpectedPrompts_;
};

}  // namespace pagora::testing_support

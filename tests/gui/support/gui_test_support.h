// Shared helpers of the window tests: one QApplication, code page 1251 literals (and, through
// temp_folder.h, private temporary folders and files).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include "temp_folder.h"
#include "text/recode.h"

namespace pagora::testing_support {

inline void ensureApp() {
  static int argc = 1;
  static char name[] = "textui_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Code page 1251 bytes of a UTF-8 literal.
inline std::string cp1251(const std::string& utf8) {
  return pagora::utf8ToWin(utf8);
}

}  // namespace pagora::testing_support

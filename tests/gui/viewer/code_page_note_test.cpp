// The view window's code-page note comes from the same guess as `pagora-cli text detect`, and
// says nothing when that guess is unsure.
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "scripted_prompts.h"
#include "text/recode.h"
#include "viewer/view.h"
#include "widgets/formstorage.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::ensureApp;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(ViewCodePageNote, NamesTheButtonOnlyWhenSure) {
  ensureApp();
  ScriptedPrompts prompts;
  TempFolder dir;
  const std::string capitals = utf8ToWin("ВНИМАНИЕ! СРОЧНО ПРОЧИТАЙТЕ ЭТО СООБЩЕНИЕ.\r\n");
  const struct {
    std::string bytes;
    const char* note;  // "": no note
  } cases[] = {
      // All capitals in 1251 once read as KOI8-R, and a 1251 "Ёж" as 866.
      {capitals, ""},
      {utf8ToWin("Ёж\r\n"), ""},
      {std::string("\x82\x8D\x88\x8C\x80\x8D\x88\x85! \x91\x90\x8E\x97\x8D\x8E "
                   "\x8F\x90\x8E\x97\x88\x92\x80\x89\x92\x85\r\n"),
       "\"DOS to WIN\""},
      {"\xF7\xEE\xE9\xED\xE1\xEE\xE9\xE5! \xF3\xF2\xEF\xFE\xEE\xEF\r\n", "\"KOI to WIN\""},
  };
  for (const auto& c : cases) {
    TForm2 form;
    form.FormStorage->setIniFileName(QString::fromStdString(dir.file("config.ini")));
    const std::string path = dir.file("note.txt");
    writeFile(path, c.bytes);
    form.openFile(QString::fromStdString(path));
    if (*c.note == '\0') {
      EXPECT_TRUE(form.statusText().isEmpty()) << form.statusText().toStdString();
    } else {
      EXPECT_TRUE(form.statusText().contains(c.note)) << form.statusText().toStdString();
    }
  }
}

}  // namespace
}  // namespace pagora

namespace pagora {
namespace {

// After "UTF-8 to WIN" the status bar counts what even the fallback left as "?".
TEST(ViewCodePageNote, CountsWhatUtf8ToWinCouldNotSpell) {
  testing_support::ensureApp();
  ScriptedPrompts prompts;
  testing_support::TempFolder dir;
  const struct {
    const char* text;
    const char* note;
  } cases[] = {
      {"Il a été très gentil, по\xE2\x80\x91своему\r\n", ""},
      {"日本 и 中国\r\n", "4 character(s) have no equivalent in code page 1251"},
  };
  for (const auto& c : cases) {
    TForm2 form;
    form.FormStorage->setIniFileName(QString::fromStdString(dir.file("config.ini")));
    const std::string path = dir.file("note.txt");
    testing_support::writeFile(path, c.text);
    form.openFile(QString::fromStdString(path));
    form.SpeedButton8Click();
    EXPECT_EQ(form.statusText().toStdString(), c.note);
  }
}

}  // namespace
}  // namespace pagora

// Opening the view window from both lists, and the About window.
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QTextEdit>

#include "app_test_support.h"
#include "pagora/about.h"
#include "scripted_prompts.h"
#include "viewer/view.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::chosenList;
using testing_support::part;
using testing_support::sizeLine;
using testing_support::WindowTest;

class ViewFromListsTest : public WindowTest {};

TEST_F(ViewFromListsTest, FileListOpensTheSelectedFileAndRecountsAfterwards) {
  std::string file = write("books/a.txt", "one\r\ntwo\r\n");
  ScriptedPrompts prompts;
  auto form = window({"a.txt"});
  form->N1Click();
  form->Calculate();
  EXPECT_EQ(sizeLine(*form), "Size : 10 bytes");
  std::vector<std::string> shown;
  QString name;
  form->execDialog = [&](QDialog* d) {
    auto& view = dynamic_cast<TForm2&>(*d);
    name = view.FileName();
    shown = view.r->Lines();
    write("books/a.txt", "one two\r\n");  // what a save from the view window does
    return int(QDialog::Accepted);
  };
  form->FileListBox1DblClick();
  EXPECT_EQ(name.toStdString(), file);
  EXPECT_EQ(shown, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(sizeLine(*form), "Size : 9 bytes");
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(ViewFromListsTest, ChosenListOpensTheEntryWithTheFocus) {
  std::string a = write("books/a.txt", "alpha\r\n");
  std::string b = write("books/b.txt", "beta\r\ngamma\n");
  ScriptedPrompts prompts;
  auto form = window({"a.txt", "b.txt"});
  int shows = 0;
  std::vector<std::string> shown;
  QString name;
  form->execDialog = [&](QDialog* d) {
    ++shows;
    auto& view = dynamic_cast<TForm2&>(*d);
    name = view.FileName();
    shown = view.r->Lines();
    return int(QDialog::Accepted);
  };
  form->ListBox1DblClick();  // nothing chosen yet
  EXPECT_EQ(shows, 0);
  form->N1Click();
  chosenList(*form).setCurrentRow(1);
  form->ListBox1DblClick();
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(name.toStdString(), b);
  EXPECT_EQ(shown, (std::vector<std::string>{"beta", "gamma"}));
  EXPECT_EQ(sizeLine(*form), "Size : 19 bytes");

  std::filesystem::remove(a);
  chosenList(*form).setCurrentRow(0);
  form->ListBox1DblClick();
  EXPECT_EQ(shows, 1);
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].kind, PromptKind::Error);
  EXPECT_TRUE(prompts.records()[0].text.contains("a.txt"));
}

TEST_F(ViewFromListsTest, NothingSelectedMeansNothingHappens) {
  write("books/a.txt", "x");
  ScriptedPrompts prompts;
  auto form = window({});
  int shows = 0;
  form->execDialog = [&](QDialog*) { return ++shows; };
  form->FileListBox1DblClick();
  form->Splitfile1Click();
  form->Rename1Click();
  form->Editnotepad1Click();
  EXPECT_EQ(shows, 0);
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(ViewFromListsTest, AboutWindowShowsTheVersionAndClosesOnAClick) {
  auto form = window({});
  TfrAbout* about = &part<TfrAbout>(*form);
  EXPECT_EQ(about->windowTitle(), "About");
  EXPECT_EQ(about->size(), QSize(470, 280));
  QStringList lines = about->Memo1->toPlainText().split('\n');
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines.mid(0, 4), (QStringList{"", "Pagora", "=============", "v 0.2.0"}));
  about->show();
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(about->Memo1->viewport(), &click);
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(about->result(), QDialog::Accepted);
}

}  // namespace
}  // namespace pagora

// The main window's book path as a user meets it: files named on the command line or dropped
// twice are chosen once, and "Go" builds, wraps and reports the archive named when the build
// began, with the name edit read-only until the build is over.
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "adt/adt_file.h"
#include "app_test_support.h"
#include "book/book_builder.h"
#include "pagora/book_notes.h"
#include "scripted_prompts.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::chosenList;
using testing_support::dropSelection;
using testing_support::part;
using testing_support::sizeLine;
using testing_support::WindowTest;

class BookWindowTest : public WindowTest {
 protected:
  QString book(const std::string& name) const {
    return QString::fromStdString(books() + "/" + name);
  }
};

TEST_F(BookWindowTest, FilesNamedTwiceOnTheCommandLineAreChosenOnce) {
  write("books/a.txt", "12345");
  write("books/Книга.txt", "1234567");
  ScriptedPrompts prompts;
  auto form = window();
  // The test runs in the folder above "books", so relative names work as in a shell.
  form->chooseFiles({"books/a.txt", book("Книга.txt"), book("a.txt"), "books/../books/a.txt",
                     "books/./Книга.txt", book("КНИГА.TXT"), book("missing.txt")});
  EXPECT_EQ(form->chosen(), (QStringList{book("a.txt"), book("Книга.txt")}));
  EXPECT_EQ(sizeLine(*form), "Size : 12 bytes");
  EXPECT_EQ(part<TDirectoryListBox>(*form, "DirListBox").Directory(),
            QString::fromStdString(books()));
  EXPECT_TRUE(prompts.records().empty());

  // Dropping what is already chosen, in another letter case, adds nothing either. (That
  // spelling names no file here, so the size line cannot be computed: two error boxes.)
  chosenList(*form).clear();
  form->addChosen(book("КНИГА.txt"));
  form->selectFiles({"Книга.txt", "a.txt"});
  dropSelection(*form);
  dropSelection(*form);
  EXPECT_EQ(form->chosen(), (QStringList{book("КНИГА.txt"), book("a.txt")}));
  EXPECT_EQ(prompts.records().size(), 2u);
}

TEST_F(BookWindowTest, GoUsesTheNameFixedWhenTheBuildBegan) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "Строка " + std::to_string(i) + " книги.\r\n";
  write("books/a.txt", text);
  ScriptedPrompts prompts;
  auto form = window({"a.txt"});
  dropSelection(*form);
  form->setBookName(book("war"));

  // While the archive is written the user types into the name edit and something else sets
  // its text; neither may change what is built, wrapped and reported. The build lets events
  // through as it reports its progress, so a timer set now goes off in the middle of it.
  auto& nameEdit = part<TFilenameEdit>(*form, "FilenameEdit1");
  bool sawReadOnly = false, sawBrowseDisabled = false, typed = false;
  QTimer::singleShot(0, form.get(), [&] {
    QLineEdit* edit = nameEdit.edit();
    sawReadOnly = edit->isReadOnly();
    sawBrowseDisabled = !nameEdit.button()->isEnabled();
    typed = true;
    edit->setFocus();
    edit->end(false);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(edit, &press);
    EXPECT_EQ(edit->text(), book("war.lzh")) << "typing reached a read-only edit";
    edit->setText(book("peace"));
  });
  form->SpeedButton1Click();
  ASSERT_TRUE(typed);
  EXPECT_TRUE(sawReadOnly);
  EXPECT_TRUE(sawBrowseDisabled);

  const std::string archive = books() + "/war.lzh";
  ASSERT_TRUE(std::filesystem::exists(archive));
  EXPECT_FALSE(std::filesystem::exists(books() + "/peace"));
  EXPECT_FALSE(std::filesystem::exists(books() + "/peace.adt"));
  const AdtInfo info = inspectAdtFile(archive + ".adt");
  EXPECT_TRUE(info.valid) << info.problem;
  EXPECT_EQ(info.dataSize, static_cast<std::int64_t>(std::filesystem::file_size(archive)));
  EXPECT_EQ(info.bookName, "war.lzh");
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text.toStdString(),
            "File " + archive +
                ".adt\n\r\n\rSize: " + std::to_string(std::filesystem::file_size(archive)) +
                " bytes\n\r\n\rReady to send in Casio PV");

  // Afterwards the edit takes keys again.
  EXPECT_FALSE(nameEdit.edit()->isReadOnly());
  EXPECT_TRUE(nameEdit.button()->isEnabled());
  form->setBookName(book("b"));
  nameEdit.edit()->end(false);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  QApplication::sendEvent(nameEdit.edit(), &press);
  EXPECT_EQ(form->bookName(), book("bx"));
}

TEST_F(BookWindowTest, GoStoresNamesThatConvertAlikeOnceEach) {
  write("books/日本.txt", "first\r\n");
  write("books/中文.txt", "second\r\n");
  ScriptedPrompts prompts;
  auto form = window({"日本.txt", "中文.txt"});
  dropSelection(*form);
  ASSERT_EQ(form->chosen().size(), 2);
  form->setBookName(book("book"));
  form->SpeedButton1Click();
  TLzhArchiver reader;
  reader.ArchiveName = books() + "/book.lzh";
  ASSERT_TRUE(reader.Scan());
  std::vector<std::string> names = reader.FileList();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"??.txt", "??~2.txt"}));
  // The files themselves keep their names.
  EXPECT_EQ(read(books() + "/日本.txt"), "first\r\n");
  EXPECT_EQ(read(books() + "/中文.txt"), "second\r\n");
}

// An imported book is noted for the characters its conversion lost, never as a text of an
// unsure code page.
TEST(BookTextNote, AnImportedBookIsNotedForWhatItLost) {
  auto note = [](bool tidied, bool imported, std::size_t missing) {
    TBookTextNote n{"/b/notes.txt", false, CodePage::Cp1251, 1.0, missing};
    n.tidied = tidied;
    n.imported = imported;
    return bookTextNote(n).toStdString();
  };
  EXPECT_EQ(note(false, true, 3), "notes.txt: 3 character(s) have no equivalent in code page 1251");
  EXPECT_EQ(note(true, true, 1),
            "notes.txt: tidied, 1 character(s) have no equivalent in code page 1251");
  EXPECT_EQ(note(false, false, 0), "notes.txt: code page unsure, stored as it is");
}

}  // namespace
}  // namespace pagora

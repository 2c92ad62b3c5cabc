// The file-browsing components: masks, the file list (filtering, order, selection, following
// the folder on disk, view styles), the book-name edit, the filter box and the status gauge.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "temp_folder.h"
#include "widgets/file_list_box.h"
#include "widgets/file_mask.h"
#include "widgets/filename_edit.h"
#include "widgets/filter_combo_box.h"
#include "widgets/glyphs.h"
#include "widgets/launcher.h"
#include "widgets/status_gauge.h"

namespace pagora {
namespace {

namespace fs = std::filesystem;

QApplication& app() {
  static int argc = 1;
  static char name[] = "components_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class FolderTest : public testing::Test {
 protected:
  void SetUp() override { app(); }
  void touch(const std::string& name) { std::ofstream(folder_ / name) << name; }
  static QStringList items(const TFileListBox& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i) out << list.item(i);
    return out;
  }
  testing_support::TempFolder temp_{"components_"};
  const fs::path folder_ = temp_.path();
};

TEST(FileMask, MatchesAsTheFileListDoes) {
  struct Case {
    const char* mask;
    const char* name;
    bool match;
  } cases[] = {
      {"*.txt;*.", "a.txt", true},      {"*.txt;*.", "A.TXT", true},
      {"*.txt;*.", "readme", true},     {"*.txt;*.", "a.b", false},
      {"*.txt;*.", "a.txt.bak", false}, {"*.txt;*.", "txt", true},  // no extension at all
      {"*.*htm*", "a.html", true},      {"*.*htm*", "a.htm", true},
      {"*.*htm*", "a.shtml", true},     {"*.*htm*", "a.txt", false},
      {"*.*htm*", "htm", false},        {"*.*", "readme", true},
      {"*.*", "a.b.c", true},           {"?.txt", "a.txt", true},
      {"?.txt", "ab.txt", false},       {"war*.", "war1", true},
      {"war*.", "war.txt", false},      {"*.fb2;*.fb2.zip;*.epub", "Anna.FB2.ZIP", true},
      {"[a].txt", "[a].txt", true},  // brackets are plain characters
      {"[a].txt", "a.txt", false},      {"", "a.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileMask(c.mask).matches(c.name), c.match) << c.mask << " " << c.name;
  }
}

TEST(ViewStyle, NamesRoundTrip) {
  for (TViewStyle s :
       {TViewStyle::vsIcon, TViewStyle::vsSmallIcon, TViewStyle::vsList, TViewStyle::vsReport}) {
    TViewStyle back = TViewStyle::vsIcon;
    ASSERT_TRUE(viewStyleFromName(viewStyleName(s), back));
    EXPECT_EQ(back, s);
  }
  EXPECT_EQ(viewStyleName(TViewStyle::vsSmallIcon), "vsSmallIcon");
  TViewStyle untouched = TViewStyle::vsList;
  EXPECT_FALSE(viewStyleFromName("vsTiles", untouched));
  EXPECT_EQ(untouched, TViewStyle::vsList);
}

TEST_F(FolderTest, FileListShowsMatchingFilesOnlyInNameOrder) {
  touch("b.txt");
  touch("A.txt");
  touch("readme");
  touch("page.html");
  touch(".hidden.txt");
  fs::create_directory(folder_ / "folder.txt");
  TFileListBox list;
  list.setDirectory(QString::fromStdString(folder_.string()));
  EXPECT_EQ(items(list), (QStringList{"A.txt", "b.txt", "readme"}));
  list.setMask("*.*");
  EXPECT_EQ(items(list), (QStringList{"A.txt", "b.txt", "page.html", "readme"}));
  EXPECT_EQ(list.firstSelected(), -1);
}

TEST_F(FolderTest, SelectionSurvivesARefreshAndFollowsTheFolder) {
  touch("a.txt");
  touch("b.txt");
  TFileListBox list;
  list.setDirectory(QString::fromStdString(folder_.string()));
  list.selectNames({"b.txt"});
  EXPECT_EQ(list.firstSelected(), 1);
  touch("0.txt");
  // The list notices the new file by itself.
  QElapsedTimer timer;
  timer.start();
  while (list.count() < 3 && timer.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  EXPECT_EQ(items(list), (QStringList{"0.txt", "a.txt", "b.txt"}));
  EXPECT_TRUE(list.selected(2));
  EXPECT_FALSE(list.selected(0));
  fs::remove(folder_ / "b.txt");
  list.Update();
  EXPECT_EQ(items(list), (QStringList{"0.txt", "a.txt"}));
  EXPECT_EQ(list.firstSelected(), -1);
}

TEST_F(FolderTest, ViewStylesKeepTheListADragSource) {
  touch("a.txt");
  TFileListBox list;
  list.setDirectory(QString::fromStdString(folder_.string()));
  for (TViewStyle s :
       {TViewStyle::vsIcon, TViewStyle::vsList, TViewStyle::vsSmallIcon, TViewStyle::vsReport}) {
    list.setViewStyle(s);
    EXPECT_EQ(list.viewStyle(), s);
    EXPECT_TRUE(list.currentView()->dragEnabled());
    EXPECT_EQ(TFileListBox::fromDragSource(list.currentView()), &list);
    EXPECT_EQ(TFileListBox::fromDragSource(list.currentView()->viewport()), &list);
  }
  QWidget other;
  EXPECT_EQ(TFileListBox::fromDragSource(&other), nullptr);
  EXPECT_EQ(TFileListBox::fromDragSource(nullptr), nullptr);
}

TEST(FilenameEdit, ChosenNamesAreQuotedWhenTheyHoldBlanks) {
  app();
  struct Case {
    const char* chosen;
    const char* shown;
  } cases[] = {{"/b/war.lzh", "/b/war.lzh"},
               {"/b/My Books/war.lzh", "\"/b/My Books/war.lzh\""},
               {"\"/b/My Books/war.lzh", "\"/b/My Books/war.lzh"}};
  for (const auto& c : cases) EXPECT_EQ(TFilenameEdit::quotedName(c.chosen), c.shown);

  TFilenameEdit edit;
  edit.setText("book");
  edit.BrowseDialog = [](TFilenameEdit*) { return QString("/b/My Books/war.lzh"); };
  edit.browse();
  EXPECT_EQ(edit.text(), "\"/b/My Books/war.lzh\"");
  edit.BrowseDialog = [](TFilenameEdit*) { return QString(); };  // cancelled
  edit.browse();
  EXPECT_EQ(edit.text(), "\"/b/My Books/war.lzh\"");
  EXPECT_EQ(edit.Filter, "Archive (*.lzh)");
  EXPECT_EQ(edit.DefaultExt, "lzh");
}

TEST(FilterComboBox, PairsAndChanges) {
  app();
  TFilterComboBox box;
  box.setFilter("Text files (*.txt)|*.txt;*.|All Files (*.*)|*.*|dangling");
  ASSERT_EQ(box.count(), 2);
  EXPECT_EQ(box.itemText(1), "All Files (*.*)");
  EXPECT_EQ(box.mask(), "*.txt;*.");
  QStringList masks;
  QObject::connect(&box, &TFilterComboBox::maskChanged, [&](const QString& m) { masks << m; });
  box.setCurrentIndex(1);
  EXPECT_EQ(masks, QStringList{"*.*"});
}

TEST(StatusBarGauge, PositionStaysInRange) {
  app();
  TStatusBarGauge bar;
  EXPECT_EQ(bar.position(), 0);
  const std::pair<int, int> cases[] = {{40, 40}, {100, 100}, {150, 100}, {-1, 0}};
  for (const auto& [set, shown] : cases) {
    bar.setPosition(set);
    EXPECT_EQ(bar.position(), shown) << set;
  }
}

TEST(Launcher, HandlersCaptureStartsAndOpens) {
  app();
  QString program;
  QStringList arguments;
  Launcher::setStartHandler([&](const QString& p, const QStringList& a) {
    program = p;
    arguments = a;
    return true;
  });
  EXPECT_TRUE(Launcher::startDetached("/opt/corvane", {"--port=COM1", "My Book.lzh"}));
  EXPECT_EQ(program, "/opt/corvane");
  EXPECT_EQ(arguments, (QStringList{"--port=COM1", "My Book.lzh"}));
  Launcher::setStartHandler(nullptr);
  QString opened;
  Launcher::setOpenHandler([&](const QString& t) {
    opened = t;
    return false;
  });
  EXPECT_FALSE(Launcher::open("https://pagora.example.org/"));
  EXPECT_EQ(opened, "https://pagora.example.org/");
  Launcher::setOpenHandler(nullptr);
}

TEST(Glyphs, EveryButtonHasAPicture) {
  app();
  for (Glyph g : {Glyph::Go, Glyph::PvmPath, Glyph::PvManager, Glyph::Settings, Glyph::Send,
                  Glyph::About, Glyph::Exit}) {
    QIcon icon = glyphIcon(g);
    EXPECT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(24, 24).toImage().isNull());
  }
}

}  // namespace
}  // namespace pagora

// The main window driven as a user would: choosing files, both build commands with their boxes
// answered by the test, the Corvane start, settings at start and exit, and the file commands.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QToolButton>

#include "adt/adt_file.h"
#include "app_test_support.h"
#include "book/book_builder.h"
#include "pagora/unit4.h"
#include "pagora/upload.h"
#include "scripted_prompts.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/filter_combo_box.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"
#include "widgets/status_gauge.h"

namespace pagora {
namespace {

using testing_support::chosenList;
using testing_support::dropSelection;
using testing_support::fileList;
using testing_support::part;
using testing_support::sizeLine;
using testing_support::WindowTest;

struct Start {
  QString program;
  QStringList arguments;
};

class MainWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Launcher::setStartHandler([this](const QString& program, const QStringList& arguments) {
      starts_.push_back({program, arguments});
      return true;
    });
    Launcher::setOpenHandler([this](const QString& target) {
      opened_ << target;
      return true;
    });
  }
  void TearDown() override {
    Launcher::setStartHandler(nullptr);
    Launcher::setOpenHandler(nullptr);
    WindowTest::TearDown();
  }

  static bool allEnabled(TForm1& form) {
    for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
                             "SpeedButton5", "SpeedButton6", "SpeedButton7", "SpeedButton8",
                             "DirListBox", "FileListBox1", "ListBox1"}) {
      if (!part<QWidget>(form, name).isEnabled()) return false;
    }
    return true;
  }
  static QToolButton& button(TForm1& form, const char* name) {
    return part<QToolButton>(form, name);
  }
  // Changes the window's settings as the settings dialog would.
  template <class Change>
  static void changeSettings(TForm1& form, Change change) {
    TMainSettings settings = form.settings();
    change(settings);
    form.setSettings(settings);
  }

  std::vector<Start> starts_;
  QStringList opened_;
};

TEST_F(MainWindowTest, StartsWithTheDesignAndNoSettingsFile) {
  ScriptedPrompts prompts;
  auto form = window();
  EXPECT_EQ(form->windowTitle(), "to Nimbrel");
  EXPECT_EQ(form->size(), QSize(890, 696));
  EXPECT_EQ(form->bookName(), "book");
  EXPECT_EQ(sizeLine(*form), "Size : 0 bytes");
  EXPECT_EQ(form->settings().ComPort, 0);
  EXPECT_EQ(form->settings().BaudRate, 0);
  EXPECT_EQ(button(*form, "SpeedButton1").toolTip(), "Go Go Go !!!");
  EXPECT_EQ(button(*form, "SpeedButton8").toolTip(), "Run compress & Corvane");
  EXPECT_FALSE(button(*form, "SpeedButton6").isVisibleTo(form.get()));
  EXPECT_EQ(chosenList(*form).toolTip(), "Double click - view text\nRight click - context menu");
  EXPECT_EQ(part<TFilenameEdit>(*form, "FilenameEdit1").toolTip(), "Select target archive");
  EXPECT_EQ(part<TStatusBarGauge>(*form, "StatusBar1").position(), 0);
  QStringList filters;
  auto& filter = part<TFilterComboBox>(*form, "FilterComboBox1");
  for (int i = 0; i < filter.count(); ++i) filters << filter.itemText(i) + "|" + filter.maskAt(i);
  EXPECT_EQ(filters.mid(0, 3),
            (QStringList{"Text files (*.txt)|*.txt;*.", "Html files (*.*htm*)|*.*htm*",
                         "All Files (*.*)|*.*"}));
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(MainWindowTest, DroppingChoosesEachFileOnceAndUpdatesTheSize) {
  write("books/a.txt", "12345");
  write("books/B.txt", "1234567");
  write("books/readme", "123");
  write("books/page.html", "<p>");
  ScriptedPrompts prompts;
  auto form = window({"a.txt", "readme"});
  // The text filter shows text files and names without an extension.
  QStringList shown;
  for (int i = 0; i < fileList(*form).count(); ++i) shown << fileList(*form).item(i);
  EXPECT_EQ(shown, (QStringList{"a.txt", "B.txt", "readme"}));

  EXPECT_TRUE(form->ListBox1DragOver(fileList(*form).currentView()));
  EXPECT_FALSE(form->ListBox1DragOver(&chosenList(*form)));
  EXPECT_FALSE(form->ListBox1DragOver(nullptr));

  dropSelection(*form);
  dropSelection(*form);
  const QString folder = QString::fromStdString(books()) + "/";
  EXPECT_EQ(form->chosen(), (QStringList{folder + "a.txt", folder + "readme"}));
  EXPECT_EQ(sizeLine(*form), "Size : 8 bytes");

  // A drop from elsewhere adds nothing but still recounts.
  write("books/a.txt", "1234567890");
  form->ListBox1DragDrop(&chosenList(*form));
  EXPECT_EQ(form->chosen().size(), 2);
  EXPECT_EQ(sizeLine(*form), "Size : 13 bytes");

  // "-->>" and Delete recount too: the line never shows a size the book would not have.
  form->selectFiles({"B.txt"});
  form->N1Click();
  EXPECT_EQ(form->chosen(), (QStringList{folder + "a.txt", folder + "readme", folder + "B.txt"}));
  EXPECT_EQ(sizeLine(*form), "Size : 20 bytes");
  chosenList(*form).item(0)->setSelected(true);
  chosenList(*form).item(2)->setSelected(true);
  form->ListBox1KeyDown(Qt::Key_Delete);
  EXPECT_EQ(form->chosen(), (QStringList{folder + "readme"}));
  EXPECT_EQ(sizeLine(*form), "Size : 3 bytes");
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(MainWindowTest, SameFileSpelledInOtherLetterCaseIsChosenOnce) {
  write("books/Book.txt", "x");
  ScriptedPrompts prompts;
  auto form = window({"Book.txt"});
  chosenList(*form).addItem(QString::fromStdString(books()) + "/BOOK.TXT");
  dropSelection(*form);
  EXPECT_EQ(form->chosen(), QStringList{QString::fromStdString(books()) + "/BOOK.TXT"});
  // Here the two spellings are two names: the one chosen cannot be sized.
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].kind, PromptKind::Error);
}

TEST_F(MainWindowTest, GoWithNothingChosenSaysSoAndStaysEnabled) {
  ScriptedPrompts prompts;
  auto form = window();
  form->SpeedButton1Click();
  form->SpeedButton8Click();
  ASSERT_EQ(prompts.records().size(), 2u);
  EXPECT_EQ(prompts.records()[0].text, "Файлы не заданы");
  EXPECT_EQ(prompts.records()[1].text, "Файлы не заданы");
  EXPECT_TRUE(allEnabled(*form));
  EXPECT_TRUE(starts_.empty());
}

TEST_F(MainWindowTest, GoBuildsTheArchiveAndTheAdtFileAndReports) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "Глава " + std::to_string(i) + ". Текст главы.\r\n";
  write("books/Глава.txt", text);
  write("books/notes.txt", "notes\r\n");
  ScriptedPrompts prompts;
  auto form = window({"Глава.txt", "notes.txt"});
  dropSelection(*form);
  std::string book = books() + "/My Books/war";
  std::filesystem::create_directories(books() + "/My Books");
  form->setBookName(QString::fromStdString("\"" + book + "\""));
  form->SpeedButton1Click();

  std::string archive = book + ".lzh";
  EXPECT_EQ(form->bookName().toStdString(), archive);
  ASSERT_TRUE(std::filesystem::exists(archive));
  auto size = std::filesystem::file_size(archive);
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text.toStdString(),
            "File " + archive + ".adt\n\r\n\rSize: " + std::to_string(size) +
                " bytes\n\r\n\rReady to send in Casio PV");
  AdtInfo info = inspectAdtFile(archive + ".adt");
  EXPECT_TRUE(info.valid) << info.problem;
  EXPECT_EQ(info.dataSize, static_cast<std::int64_t>(size));
  EXPECT_EQ(info.bookName, "war.lzh");
  EXPECT_TRUE(allEnabled(*form));
  EXPECT_EQ(part<TStatusBarGauge>(*form, "StatusBar1").position(), 100);
  // The chosen files are where they were, under their own names; the list keeps the file
  // list's display order.
  EXPECT_EQ(read(books() + "/Глава.txt"), text);

  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  EXPECT_EQ(reader.FileList(), (std::vector<std::string>{"notes.txt", "\x83\xAD\xA1\xA3\xA1.txt"}));
}

TEST_F(MainWindowTest, GoReportsEachFailureAndEnablesTheWindow) {
  write("books/a.txt", "text\r\n");
  ScriptedPrompts prompts;
  auto form = window({"a.txt"});
  dropSelection(*form);
  std::string archive = books() + "/no-such-folder/book.lzh";
  form->setBookName(QString::fromStdString(books() + "/no-such-folder/book"));
  form->SpeedButton1Click();
  ASSERT_EQ(prompts.records().size(), 3u);
  // The wrap finds no archive, the report cannot size it, then the build's own failure.
  EXPECT_TRUE(prompts.records()[0].text.startsWith("Error on open input file: "))
      << prompts.records()[0].text.toStdString();
  EXPECT_TRUE(prompts.records()[1].text.contains("book.lzh"));
  EXPECT_EQ(prompts.records()[1].kind, PromptKind::Error);
  EXPECT_EQ(prompts.records()[2].kind, PromptKind::Error);
  EXPECT_TRUE(allEnabled(*form));
  EXPECT_FALSE(std::filesystem::exists(archive + ".adt"));
}

TEST_F(MainWindowTest, SendAsksAndStartsCorvaneWithTheArchiveAsOneArgument) {
  write("books/a.txt", "text\r\n");
  struct Case {
    const char* what;
    int port;
    int baud;
    std::string portName;
    PromptAnswer answer;
    QStringList expected;  // empty: nothing started
  } cases[] = {
      {"second port, fastest rate",
       1,
       4,
       "",
       PromptAnswer::Yes,
       {"--baudrate=115200", "--port=COM2"}},
      {"first port, slowest rate", 0, 0, "", PromptAnswer::Yes, {"--baudrate=9600", "--port=COM1"}},
      {"a serial device beyond COM4",
       3,
       2,
       "/dev/ttyUSB0",
       PromptAnswer::Yes,
       {"--baudrate=38400", "--port=/dev/ttyUSB0"}},
      {"answer No", 1, 4, "", PromptAnswer::No, {}},
  };
  for (const auto& c : cases) {
    starts_.clear();
    ScriptedPrompts prompts;
    prompts.queueAnswer(c.answer);
    auto form = window({"a.txt"});
    dropSelection(*form);
    changeSettings(*form, [&](TMainSettings& s) {
      s.ComPort = c.port;
      s.BaudRate = c.baud;
      s.PortName = c.portName;
    });
    form->setBookName(QString::fromStdString(books() + "/My Book"));
    form->SpeedButton8Click();
    std::string archive = books() + "/My Book.lzh";
    ASSERT_TRUE(std::filesystem::exists(archive)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(archive + ".adt")) << c.what;
    ASSERT_EQ(prompts.records().size(), 1u) << c.what;
    EXPECT_EQ(prompts.records()[0].caption, "Confirm");
    EXPECT_EQ(prompts.records()[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompts.records()[0].text.toStdString(),
              "File " + archive +
                  "\n\r\n\rSize: " + std::to_string(std::filesystem::file_size(archive)) +
                  " bytes\n\r\n\rSend to Casio PV ?");
    if (c.expected.isEmpty()) {
      EXPECT_TRUE(starts_.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(starts_.size(), 1u) << c.what;
    EXPECT_EQ(starts_[0].program, QString::fromStdString(prog() + "/corvane"));
    EXPECT_EQ(starts_[0].arguments, c.expected + QStringList{QString::fromStdString(archive)})
        << c.what;
  }
}

TEST_F(MainWindowTest, SendAfterAFailedBuildOrWithABadIndexStartsNothing) {
  write("books/a.txt", "text\r\n");
  {
    ScriptedPrompts prompts;
    auto form = window({"a.txt"});
    dropSelection(*form);
    form->setBookName(QString::fromStdString(books() + "/missing/book"));
    form->SpeedButton8Click();
    ASSERT_EQ(prompts.records().size(), 2u);
    EXPECT_EQ(prompts.records()[0].text, "Error compress files");
    EXPECT_EQ(prompts.records()[1].kind, PromptKind::Error);
    EXPECT_TRUE(allEnabled(*form));
  }
  struct Case {
    int port;
    int baud;
    const char* message;
  } cases[] = {{0, 5, "List index out of bounds (5)"},
               {0, -1, "List index out of bounds (-1)"},
               {4, 0, "List index out of bounds (4)"}};
  for (const auto& c : cases) {
    ScriptedPrompts prompts;
    prompts.queueAnswer(PromptAnswer::Yes);
    auto form = window({"a.txt"});
    dropSelection(*form);
    changeSettings(*form, [&](TMainSettings& s) {
      s.ComPort = c.port;
      s.BaudRate = c.baud;
    });
    form->setBookName(QString::fromStdString(books() + "/book"));
    form->SpeedButton8Click();
    ASSERT_EQ(prompts.records().size(), 2u);
    EXPECT_EQ(prompts.records()[1].text, c.message);
  }
  EXPECT_TRUE(starts_.empty());
}

TEST_F(MainWindowTest, SettingsComeFromTheProgramFolderAndGoBackAtExit) {
  write("prog/config.ini",
        "[Main]\r\nPVM=/opt/pvm/pvm.exe\r\nLastBook=war.lzh\r\nComPort=0x2\r\nBaudrate=3\r\n"
        "Auto=1\r\n");
  // The layout file in the current folder does not hold the program settings.
  write("config.ini", "[Main]\r\nComPort=1\r\n");
  {
    ScriptedPrompts prompts;
    auto form = window();
    EXPECT_EQ(form->bookName(), "war.lzh");
    EXPECT_EQ(form->settings().PVM, "/opt/pvm/pvm.exe");
    EXPECT_EQ(form->settings().ComPort, 2);
    EXPECT_EQ(form->settings().BaudRate, 3);
    EXPECT_TRUE(form->settings().Auto);
    changeSettings(*form, [&](TMainSettings& s) { s.PVM = "/usr/local/bin/pvm"; });
    form->setBookName("anna.lzh");
  }
  EXPECT_EQ(read(root_ / "prog" / "config.ini"),
            "[Main]\r\nPVM=/usr/local/bin/pvm\r\nLastBook=anna.lzh\r\nComPort=2\r\nBaudRate=3\r\n"
            "Auto=1\r\n");
  EXPECT_EQ(read(root_ / "config.ini"), "[Main]\r\nComPort=1\r\n");
}

TEST_F(MainWindowTest, SettingsDialogShowsAndTakesBackPortAndRate) {
  ScriptedPrompts prompts;
  auto form = window();
  TForm3& dialog = part<TForm3>(*form);
  EXPECT_EQ(dialog.windowTitle(), "Upload");
  QStringList ports;
  for (int i = 0; i < 4; ++i) ports << dialog.ComboBox1->itemText(i);
  EXPECT_EQ(ports, (QStringList{"COM1", "COM2", "COM3", "COM4"}));
  QStringList rates;
  for (int i = 0; i < dialog.ComboBox2->count(); ++i) {
    rates << dialog.ComboBox2->itemText(i);
  }
  EXPECT_EQ(rates, (QStringList{"9600", "19200", "38400", "57600", "115200"}));

  struct Case {
    int port, baud;
    std::string portName;
    int shownPort, shownBaud;  // what the dialog shows
    int pickPort, pickBaud;    // what the user picks (-2: leave)
    int port2, baud2;
    std::string portName2;
  } cases[] = {
      {2, 1, "", 2, 1, 3, 4, 3, 4, ""},
      {7, 9, "", -1, -1, -2, -2, -1, -1, ""},
      {1, 0, "/dev/ttyUSB7", 4, 0, -2, -2, 1, 0, "/dev/ttyUSB7"},
      {1, 0, "/dev/ttyUSB7", 4, 0, 0, 2, 0, 2, ""},
  };
  for (const auto& c : cases) {
    changeSettings(*form, [&](TMainSettings& s) {
      s.ComPort = c.port;
      s.BaudRate = c.baud;
      s.PortName = c.portName;
    });
    int shownPort = -9, shownBaud = -9;
    form->execDialog = [&](QDialog* d) {
      EXPECT_EQ(d, &dialog);
      shownPort = dialog.ComboBox1->currentIndex();
      shownBaud = dialog.ComboBox2->currentIndex();
      if (c.pickPort != -2) dialog.ComboBox1->setCurrentIndex(c.pickPort);
      if (c.pickBaud != -2) dialog.ComboBox2->setCurrentIndex(c.pickBaud);
      return int(QDialog::Rejected);
    };
    form->SpeedButton7Click();
    if (!c.portName.empty()) {
      EXPECT_EQ(dialog.ComboBox1->itemText(shownPort).toStdString(), c.portName);
    } else {
      EXPECT_EQ(shownPort, c.shownPort);
    }
    EXPECT_EQ(shownBaud, c.shownBaud);
    EXPECT_EQ(form->settings().ComPort, c.port2);
    EXPECT_EQ(form->settings().BaudRate, c.baud2);
    EXPECT_EQ(form->settings().PortName, c.portName2);
  }
}

TEST_F(MainWindowTest, PvManagerStartsTheChosenProgram) {
  std::string pvm = write("prog/pvm", "#!/bin/sh\n");
  std::filesystem::permissions(pvm, std::filesystem::perms::owner_all);
  auto form = window();
  form->SpeedButton3Click();  // no path: asks the desktop, which finds nothing
  EXPECT_TRUE(starts_.empty());
  changeSettings(*form, [&](TMainSettings& s) { s.PVM = pvm; });
  form->SpeedButton3Click();
  ASSERT_EQ(starts_.size(), 1u);
  EXPECT_EQ(starts_[0].program.toStdString(), pvm);
  EXPECT_TRUE(starts_[0].arguments.isEmpty());
}

TEST_F(MainWindowTest, SplitWritesPartsOfTheChosenSize) {
  std::string text;
  for (int i = 0; i < 10; ++i) text += std::string(98, char('a' + i)) + "\r\n";  // 1000 bytes
  write("books/war.txt", text);
  ScriptedPrompts prompts;
  auto form = window({"war.txt"});
  QString shownSize, shownChunk;
  int range = 0, tick = 0, position = 0;
  form->execDialog = [&](QDialog* d) {
    EXPECT_EQ(d->windowTitle(), "Split");
    auto& split = dynamic_cast<TForm4&>(*d);
    shownSize = split.SizeLabel->text();
    range = split.TrackBar1->maximum();
    tick = split.TrackBar1->tickInterval();
    position = split.TrackBar1->value();
    split.TrackBar1->setValue(250);
    shownChunk = split.ChunkLabel->text();
    return int(QDialog::Accepted);
  };
  form->Splitfile1Click();
  EXPECT_EQ(shownSize, "1000 bytes");
  EXPECT_EQ(range, 1000);
  EXPECT_EQ(tick, 20);
  EXPECT_EQ(position, 250);
  EXPECT_EQ(shownChunk, "250");
  EXPECT_EQ(read(books() + "/war_1.txt"), text.substr(0, 300));
  EXPECT_EQ(read(books() + "/war_4.txt"), text.substr(900));
  EXPECT_FALSE(std::filesystem::exists(books() + "/war_5.txt"));
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(MainWindowTest, SplitCancelledOrAtZeroWritesNothing) {
  write("books/war.txt", "line\r\n");
  ScriptedPrompts prompts;
  auto form = window({"war.txt"});
  form->execDialog = [](QDialog*) { return int(QDialog::Rejected); };
  form->Splitfile1Click();
  form->execDialog = [](QDialog* d) {
    dynamic_cast<TForm4&>(*d).TrackBar1->setValue(0);
    return int(QDialog::Accepted);
  };
  form->Splitfile1Click();
  EXPECT_FALSE(std::filesystem::exists(books() + "/war_1.txt"));
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].kind, PromptKind::Error);
}

TEST_F(MainWindowTest, ClipboardTextBecomesACodePage1251File) {
  ScriptedPrompts prompts;
  auto form = window();
  QGuiApplication::clipboard()->setText(QString::fromUtf8("Раз\nдва\r\nтри"));
  prompts.queueInput(QString("clip.txt"));
  prompts.queueInput(QString::fromStdString(root_.string() + "/elsewhere.txt"));
  prompts.queueInput(std::nullopt);
  form->Createfilefromclipboard1Click();
  form->Createfilefromclipboard1Click();
  form->Createfilefromclipboard1Click();
  const std::string expected = "\xD0\xE0\xE7\r\n\xE4\xE2\xE0\r\n\xF2\xF0\xE8\r\n";
  EXPECT_EQ(read(books() + "/clip.txt"), expected);
  EXPECT_EQ(read(root_ / "elsewhere.txt"), expected);
  ASSERT_EQ(prompts.records().size(), 3u);
  EXPECT_EQ(prompts.records()[0].caption, "Input");
  EXPECT_EQ(prompts.records()[0].text, "name");
  EXPECT_EQ(fileList(*form).count(), 1);
}

TEST_F(MainWindowTest, DeleteAndRenameAskFirstAndNeverOverwrite) {
  write("books/a.txt", "a");
  write("books/b.txt", "b");
  write("books/c.txt", "c");
  ScriptedPrompts prompts;
  auto form = window({"a.txt", "b.txt"});
  prompts.queueAnswer(PromptAnswer::No);
  form->Delete2Click();
  EXPECT_TRUE(std::filesystem::exists(books() + "/a.txt"));
  prompts.queueAnswer(PromptAnswer::Yes);
  form->Delete2Click();
  EXPECT_FALSE(std::filesystem::exists(books() + "/a.txt"));
  EXPECT_FALSE(std::filesystem::exists(books() + "/b.txt"));
  ASSERT_EQ(prompts.records().size(), 2u);
  EXPECT_EQ(prompts.records()[0].caption, "Confirm ");
  EXPECT_EQ(prompts.records()[0].text, "Delete");

  write("books/d.txt", "d");
  fileList(*form).Update();
  form->selectFiles({"c.txt"});
  prompts.queueInput(QString("d.txt"));  // taken: nothing happens
  form->Rename1Click();
  EXPECT_EQ(read(books() + "/d.txt"), "d");
  EXPECT_EQ(read(books() + "/c.txt"), "c");
  prompts.queueInput(QString("C.TXT"));  // another letter case is another name
  form->Rename1Click();
  EXPECT_EQ(read(books() + "/C.TXT"), "c");
  EXPECT_FALSE(std::filesystem::exists(books() + "/c.txt"));
  form->selectFiles({"C.TXT"});
  prompts.queueInput(std::nullopt);  // cancelled
  form->Rename1Click();
  EXPECT_TRUE(std::filesystem::exists(books() + "/C.TXT"));
  EXPECT_EQ(prompts.records().back().caption, "New Name");
  EXPECT_EQ(prompts.records().back().text, "Input");
  EXPECT_EQ(prompts.records().back().initial, "C.TXT");
}

TEST_F(MainWindowTest, OpenStyleAndFilterWorkOnTheFileList) {
  write("books/a.txt", "a");
  write("books/b.htm", "b");
  write("books/c.shtml", "c");
  auto form = window({"a.txt"});
  form->Editnotepad1Click();
  EXPECT_EQ(opened_, QStringList{QString::fromStdString(books() + "/a.txt")});
  const std::pair<int, TViewStyle> styles[] = {{1, TViewStyle::vsIcon},
                                               {2, TViewStyle::vsList},
                                               {4, TViewStyle::vsSmallIcon},
                                               {3, TViewStyle::vsReport}};
  for (const auto& [tag, style] : styles) {
    form->Icon1Click(tag);
    EXPECT_EQ(fileList(*form).viewStyle(), style) << tag;
  }
  part<TFilterComboBox>(*form, "FilterComboBox1").setCurrentIndex(1);
  QStringList shown;
  for (int i = 0; i < fileList(*form).count(); ++i) shown << fileList(*form).item(i);
  EXPECT_EQ(shown, (QStringList{"b.htm", "c.shtml"}));
}

}  // namespace
}  // namespace pagora

namespace pagora {
namespace {

class LayoutTest : public testing_support::WindowTest {};

TEST_F(LayoutTest, WindowLayoutGoesToTheCurrentFolderAndComesBack) {
  write("config.ini", "[Form1]\r\nFileListBox1_ViewStyle=vsList\r\nDirListBox_Directory=" +
                          books() + "\r\nFormVersion=0\r\n");
  {
    ScriptedPrompts prompts;
    TForm1 form;
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(fileList(form).viewStyle(), TViewStyle::vsList);
    EXPECT_EQ(part<TDirectoryListBox>(form, "DirListBox").Directory().toStdString(), books());
    form.Icon1Click(1);
    form.close();
    EXPECT_TRUE(prompts.records().empty());
  }
  std::string saved = read(root_ / "config.ini");
  for (const char* key :
       {"Flags=", "ShowCmd=", "NormPos=", "DirListBox_Width=", "Panel4_Width=", "FormVersion=0"}) {
    EXPECT_NE(saved.find(key), std::string::npos) << key << "\n" << saved;
  }
  EXPECT_NE(saved.find("FileListBox1_ViewStyle=vsIcon\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("DirListBox_Directory=" + books() + "\r\n"), std::string::npos) << saved;
  // Section "Main" went to the program's folder, not here.
  EXPECT_EQ(saved.find("[Main]"), std::string::npos) << saved;
  EXPECT_NE(read(root_ / "prog" / "config.ini").find("LastBook=book\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pagora

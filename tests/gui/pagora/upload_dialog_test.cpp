// The Config Corvane dialog: ports this user may not open are marked, the "Fast transfer" box
// goes to config.ini and back, and a checked box starts Corvane with --fast.
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <cstdlib>

#include "app_test_support.h"
#include "pagora/upload.h"
#include "scripted_prompts.h"
#include "settings/inifile.h"
#include "settings/main_settings.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::WindowTest;

class UploadDialogTest : public WindowTest {
 protected:
  void TearDown() override {
    TForm3::setAccessCheck(nullptr);
    Launcher::setStartHandler(nullptr);
    WindowTest::TearDown();
  }
};

TEST_F(UploadDialogTest, PortsThisUserMayNotOpenAreMarked) {
  // Root is refused nothing, so the check is handed in; the group comes from the file itself.
  const std::string locked = write("dev/ttyUSB3", "");
  const std::string missing = (root_ / "dev" / "ttyUSB8").string();
  ::chmod(locked.c_str(), 0660);
  TForm3::setAccessCheck([&](const std::string& device) {
    if (device == "/dev/ttyS1" || device == locked) return TForm3::PortAccess::NoPermission;
    if (device == missing) return TForm3::PortAccess::Missing;
    return TForm3::PortAccess::Usable;
  });
  TForm3 dialog;
  dialog.setDevices({QString::fromStdString(locked), QString::fromStdString(missing)});
  ASSERT_EQ(dialog.ComboBox1->count(), 6);
  struct Expected {
    QString text;
    bool marked;
  };
  const Expected expected[] = {{"COM1", false},
                               {"COM2", true},
                               {"COM3", false},
                               {"COM4", false},
                               {QString::fromStdString(locked), true},
                               {QString::fromStdString(missing), false}};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(expected[i].text.toStdString());
    // The entry's text stays the port's name, which is what the settings keep.
    EXPECT_EQ(dialog.ComboBox1->itemText(i), expected[i].text);
    EXPECT_EQ(dialog.ComboBox1->itemData(i, TForm3::NoAccessRole).toBool(), expected[i].marked);
    EXPECT_EQ(!dialog.ComboBox1->itemIcon(i).isNull(), expected[i].marked);
  }
  const QString group = TForm3::owningGroup(locked);
  EXPECT_FALSE(group.isEmpty());
  EXPECT_EQ(dialog.ComboBox1->itemData(4, Qt::ToolTipRole).toString(),
            "No permission to open " + QString::fromStdString(locked) + ": join the group '" +
                group + "' that owns it, then log in again.");
  EXPECT_TRUE(dialog.ComboBox1->itemData(0, Qt::ToolTipRole).toString().isEmpty());
}

// The dialog keeps a fixed size; every part must fit in it without squeezing anything.
TEST_F(UploadDialogTest, TheFastTransferBoxFitsTheFixedDialog) {
  TForm3 dialog;
  dialog.show();
  QApplication::processEvents();
  for (QWidget* part : std::initializer_list<QWidget*>{
           dialog.Label1, dialog.ComboBox1, dialog.ComboBox2, dialog.FastCheck, dialog.ConvertCheck,
           dialog.TidyCheck, dialog.LanguageBox, dialog.OkButton}) {
    SCOPED_TRACE(part->metaObject()->className());
    EXPECT_TRUE(part->isVisible());
    EXPECT_GE(part->height(), part->minimumSizeHint().height());
  }
  const QRect box(dialog.TidyCheck->mapTo(&dialog, QPoint(0, 0)), dialog.TidyCheck->size());
  const QRect ok(dialog.OkButton->mapTo(&dialog, QPoint(0, 0)), dialog.OkButton->size());
  EXPECT_LE(box.bottom(), ok.top());
  EXPECT_TRUE(dialog.rect().contains(box));
}

TEST_F(UploadDialogTest, TheSystemsOwnCheckTellsARefusalFromAMissingDevice) {
  EXPECT_EQ(TForm3::checkAccess((root_ / "no-such-device").string()), TForm3::PortAccess::Missing);
  const std::string open = write("dev/ttyACM0", "");
  EXPECT_EQ(TForm3::checkAccess(open), TForm3::PortAccess::Usable);
  EXPECT_EQ(TForm3::devicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(TForm3::devicePath("COM4"), "/dev/ttyS3");
  EXPECT_EQ(TForm3::devicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(TForm3::devicePath("COMx"), "COMx");
}

TEST_F(UploadDialogTest, FastTransferIsStoredOnlyWhileOnAndReadBack) {
  struct Case {
    const char* what;
    std::string file;
    bool fast;
  } cases[] = {
      {"no key", "[Main]\r\nComPort=1\r\n", false},
      {"on", "[Main]\r\nFastTransfer=1\r\n", true},
      {"any other integer", "[main]\r\nfasttransfer=7\r\n", true},
      {"off", "[Main]\r\nFastTransfer=0\r\n", false},
      {"no number", "[Main]\r\nFastTransfer=yes\r\n", false},
  };
  for (const auto& c : cases) {
    write("config.ini", c.file);
    TIniFile ini(root_ / "config.ini");
    EXPECT_EQ(readMainSettings(ini).FastTransfer, c.fast) << c.what;
  }
  std::filesystem::remove(root_ / "config.ini");
  TIniFile ini(root_ / "config.ini");
  TMainSettings settings;
  settings.FastTransfer = true;
  writeMainSettings(ini, settings);
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=0\r\n"
            "FastTransfer=1\r\n");
  settings.FastTransfer = false;
  writeMainSettings(ini, settings);
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=0\r\n");
  // Converting texts is on by default: the key is written only while it is off.
  settings.ConvertTexts = false;
  writeMainSettings(ini, settings);
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=0\r\n"
            "ConvertTexts=0\r\n");
  EXPECT_FALSE(readMainSettings(TIniFile(root_ / "config.ini")).ConvertTexts);
  settings.ConvertTexts = true;
  writeMainSettings(ini, settings);
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=0\r\n");
}

TEST_F(UploadDialogTest, TheBoxGoesThroughTheDialogAndAddsFastToCorvanesArguments) {
  std::vector<QStringList> starts;
  Launcher::setStartHandler([&](const QString&, const QStringList& arguments) {
    starts.push_back(arguments);
    return true;
  });
  write("books/a.txt", "text\r\n");
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "checked" : "unchecked");
    starts.clear();
    ScriptedPrompts prompts;
    prompts.queueAnswer(PromptAnswer::Yes);
    TForm1 form;
    TForm3& dialog = testing_support::part<TForm3>(form);
    EXPECT_EQ(dialog.FastCheck->text(), "Fast transfer");
    TMainSettings settings = form.settings();
    settings.FastTransfer = !fast;
    form.setSettings(settings);
    form.execDialog = [&](QDialog*) {
      EXPECT_EQ(dialog.FastCheck->isChecked(), !fast);  // shows the setting
      dialog.FastCheck->setChecked(fast);
      return int(QDialog::Rejected);
    };
    form.SpeedButton7Click();
    EXPECT_EQ(form.settings().FastTransfer, fast);

    form.showFolder(QString::fromStdString(books()));
    form.selectFiles({"a.txt"});
    testing_support::dropSelection(form);
    settings = form.settings();
    settings.ComPort = 0;
    settings.BaudRate = 4;
    form.setSettings(settings);
    form.setBookName(QString::fromStdString(books() + "/book"));
    form.SpeedButton8Click();
    ASSERT_EQ(starts.size(), 1u);
    QStringList expected{"--baudrate=115200", "--port=COM1"};
    if (fast) expected << "--fast";
    expected << QString::fromStdString(books() + "/book.lzh");
    EXPECT_EQ(starts[0], expected);
  }
}

}  // namespace
}  // namespace pagora

// Window placement storage and the scripted prompts: what a saved layout looks like on disk and
// what comes back from it.
#include "widgets/formstorage.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QWidget>

#include "gui_test_support.h"
#include "scripted_prompts.h"
#include "settings/inifile.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::ensureApp;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

class FormStorageTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureApp(); }
  TempFolder dir;
  std::string ini() const { return dir.file("config.ini"); }
};

TEST_F(FormStorageTest, SavesThePlacementKeys) {
  QWidget form;
  form.setGeometry(100, 120, 300, 200);
  TFormStorage storage(&form, QString::fromStdString(ini()), "Form2");
  storage.setAutomatic(false);
  int width = 217;
  storage.addStoredProperty(
      "DirListBox_Width", [&] { return QString::number(width); },
      [&](const QString& v) { width = v.toInt(); });
  storage.saveFormPlacement();
  TIniFile file(ini());
  EXPECT_EQ(file.readSection("Form2"),
            (std::vector<std::string>{"Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos",
                                      "Visible", "FormVersion", "DirListBox_Width"}));
  EXPECT_EQ(file.readString("Form2", "Flags", ""), "0");
  EXPECT_EQ(file.readString("Form2", "ShowCmd", ""), "1");
  EXPECT_EQ(file.readString("Form2", "MinMaxPos", ""), "-1,-1,-1,-1");
  EXPECT_EQ(file.readString("Form2", "NormPos", ""), "100,120,400,320");
  EXPECT_EQ(file.readString("Form2", "Visible", ""), "0");
  EXPECT_EQ(file.readString("Form2", "FormVersion", ""), "0");
  EXPECT_EQ(file.readString("Form2", "DirListBox_Width", ""), "217");
  EXPECT_GT(file.readInteger("Form2", "PixelsPerInch", 0), 0);
}

TEST_F(FormStorageTest, RoundTripAndOtherSectionsUntouched) {
  writeFile(ini(), "[Main]\r\nLastBook=book.lzh\r\n");
  {
    QWidget form;
    form.setGeometry(50, 60, 320, 240);
    TFormStorage storage(&form, QString::fromStdString(ini()), "Form1");
    storage.setAutomatic(false);
    storage.addStoredProperty(
        "FileListBox1_ViewStyle", [] { return QString("vsList"); }, [](const QString&) {});
    storage.saveFormPlacement();
  }
  EXPECT_EQ(readFile(ini()).substr(0, 29), "[Main]\r\nLastBook=book.lzh\r\n[F");

  QWidget again;
  again.setGeometry(0, 0, 10, 10);
  TFormStorage storage(&again, QString::fromStdString(ini()), "Form1");
  storage.setAutomatic(false);
  QString style = "vsReport";
  QString untouched = "design";
  storage.addStoredProperty(
      "FileListBox1_ViewStyle", [] { return QString(); }, [&](const QString& v) { style = v; });
  storage.addStoredProperty(
      "Panel4_Width", [] { return QString(); }, [&](const QString& v) { untouched = v; });
  ASSERT_TRUE(storage.restoreFormPlacement());
  EXPECT_EQ(again.geometry(), QRect(50, 60, 320, 240));
  EXPECT_EQ(style, "vsList");
  EXPECT_EQ(untouched, "design") << "a missing key keeps the design value";
}

TEST_F(FormStorageTest, WhatIsNotRestored) {
  const struct {
    const char* name;
    std::string file;
    bool restored;
    QRect geometry;
  } cases[] = {
      {"no section", "[Main]\r\nA=1\r\n", false, QRect(1, 2, 30, 40)},
      {"older layout version", "[Form2]\r\nFormVersion=-1\r\nNormPos=5,5,105,105\r\n", false,
       QRect(1, 2, 30, 40)},
      {"garbled rectangle", "[Form2]\r\nNormPos=5,5,x,105\r\n", true, QRect(1, 2, 30, 40)},
      {"empty rectangle", "[Form2]\r\nNormPos=5,5,5,105\r\n", true, QRect(1, 2, 30, 40)},
      {"good rectangle", "[Form2]\r\nNormPos=5,6,105,206\r\n", true, QRect(5, 6, 100, 200)},
  };
  for (const auto& c : cases) {
    writeFile(ini(), c.file);
    QWidget form;
    form.setGeometry(1, 2, 30, 40);
    TFormStorage storage(&form, QString::fromStdString(ini()), "Form2");
    storage.setAutomatic(false);
    EXPECT_EQ(storage.restoreFormPlacement(), c.restored) << c.name;
    EXPECT_EQ(form.geometry(), c.geometry) << c.name;
  }
}

TEST_F(FormStorageTest, AWindowLostOffScreenComesBack) {
  writeFile(ini(), "[Form2]\r\nNormPos=90000,90000,90300,90200\r\n");
  QWidget form;
  TFormStorage storage(&form, QString::fromStdString(ini()), "Form2");
  storage.setAutomatic(false);
  ASSERT_TRUE(storage.restoreFormPlacement());
  EXPECT_EQ(form.size(), QSize(300, 200));
  EXPECT_LT(form.geometry().left(), 90000);
}

TEST_F(FormStorageTest, AcceptedCloseSavesRefusedCloseDoesNot) {
  class Refusing : public QWidget {
   public:
    bool refuse = true;

   protected:
    void closeEvent(QCloseEvent* e) override {
      if (refuse)
        e->ignore();
      else
        e->accept();
    }
  } form;
  form.setGeometry(10, 20, 200, 100);
  TFormStorage storage(&form, QString::fromStdString(ini()), "Form1");
  form.show();
  form.close();
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(std::filesystem::exists(ini()));
  form.refuse = false;
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(TIniFile(ini()).valueExists("Form1", "NormPos"));
}

TEST_F(FormStorageTest, FailedAutomaticSaveGoesToTheErrorHandler) {
  std::string reported;  // outlives the storage, which saves once more when destroyed
  QWidget form;
  TFormStorage storage(&form, QString::fromStdString(dir.file("missing/config.ini")), "Form1");
  storage.OnError = [&](const std::exception& e) { reported = e.what(); };
  form.show();
  form.close();
  EXPECT_FALSE(form.isVisible()) << "a failed save never stops the close";
  EXPECT_EQ(reported, "Unable to write to " + dir.file("missing/config.ini"));
}

TEST(ScriptedPrompts, RecordsQuestionsAndHandsOutAnswers) {
  ensureApp();
  Prompts* before = &Prompts::current();
  {
    ScriptedPrompts script;
    EXPECT_EQ(&Prompts::current(), &script);
    script.queueAnswer(PromptAnswer::Yes);
    script.queueInput(QString("part"));
    script.queueInput(std::nullopt);
    EXPECT_EQ(Prompts::current().question(nullptr, "Sure?", PromptButtons::YesNo),
              PromptAnswer::Yes);
    EXPECT_EQ(Prompts::current().input(nullptr, "Name", "File name:", "a.txt"), QString("part"));
    EXPECT_EQ(Prompts::current().input(nullptr, "Name", "File name:", "a.txt"), std::nullopt);
    // With nothing queued each box gets the answer closing it by its frame would give.
    const struct {
      PromptButtons buttons;
      PromptAnswer answer;
    } unqueued[] = {{PromptButtons::Ok, PromptAnswer::Ok},
                    {PromptButtons::OkCancel, PromptAnswer::Cancel},
                    {PromptButtons::YesNo, PromptAnswer::No},
                    {PromptButtons::YesNoCancel, PromptAnswer::Cancel}};
    for (const auto& u : unqueued)
      EXPECT_EQ(Prompts::current().ask(nullptr, "", "t", PromptKind::Warning, u.buttons), u.answer);
    ASSERT_EQ(script.records().size(), 7u);
    EXPECT_EQ(script.records()[0].caption, "Confirm");
    EXPECT_EQ(script.records()[0].text, "Sure?");
    EXPECT_FALSE(script.records()[0].unanswered);
    EXPECT_TRUE(script.records()[1].isInput);
    EXPECT_EQ(script.records()[1].initial, "a.txt");
    EXPECT_EQ(script.records()[3].caption, "Warning");
    EXPECT_TRUE(script.records()[3].unanswered);
  }
  EXPECT_EQ(&Prompts::current(), before);
}

}  // namespace
}  // namespace pagora

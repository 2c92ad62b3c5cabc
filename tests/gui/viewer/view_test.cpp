// The view window: every command through its button, the modified flag, the save question from
// either way of closing, the bytes saved, and what a failed save leaves.
#include "viewer/view.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include "gui_test_support.h"
#include "scripted_prompts.h"
#include "settings/inifile.h"
#include "widgets/formstorage.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::cp1251;
using testing_support::ensureApp;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;
using Lines = std::vector<std::string>;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApp();
    form = std::make_unique<TForm2>();
    form->FormStorage->setIniFileName(QString::fromStdString(dir.file("config.ini")));
  }
  // Opens the bytes as a file and shows the window, as the main window does.
  void open(const std::string& bytes, const std::string& name = "text.txt") {
    path = dir.file(name);
    writeFile(path, bytes);
    form->openFile(QString::fromStdString(path));
    form->show();
  }

  ScriptedPrompts prompts;
  TempFolder dir;
  std::string path;
  std::unique_ptr<TForm2> form;
};

TEST_F(ViewTest, CommandsChangeTheTextAndCloseSavesItWithCrLf) {
  const std::string koiA = "\xC1";  // "а" in KOI8-R
  const struct {
    const char* name;
    std::string input;
    QToolButton* TForm2::*button;
    std::string saved;
  } cases[] = {
      {"DOS to WIN", "\xE0\xAF\r\nx\n", &TForm2::SpeedButton1, "\xF0\xEF\r\nx\r\n"},
      {"KOI to WIN", koiA + "b\r", &TForm2::SpeedButton2,
       "\xE0"
       "b\r\n"},
      {"UTF-8 to WIN", "\xD0\x9F\xD1\x80\xD0\xB8", &TForm2::SpeedButton8, cp1251("При") + "\r\n"},
      {"Delete HTML tags", "<p>one <b>two</b>.\r\n\r\n&nbsp;x &NBSP;\r\n", &TForm2::SpeedButton5,
       "one \r\ntwo\r\n.\r\n x &NBSP;\r\n"},
      {"Delete HTML tags on no text at all", "", &TForm2::SpeedButton5, cp1251("Пусто") + "\r\n"},
      {"Delete HTML tags on nothing but tags", "<html><body>\r\n", &TForm2::SpeedButton5, "\r\n"},
      {"One paragraph one line", "a\r\nb\r\n\r\nc\r\nd\r\n", &TForm2::SpeedButton6,
       " a b\r\n  c d\r\n"},
      {"Collapse spaces", "a  b   \r\n \r\n\tx\t\r\n", &TForm2::SpeedButton7,
       "a b\r\n\r\n\tx\t\r\n"},
      {"Tidy",
       cp1251("Вечер опускался на реку медленно, как будто не хотел\nмешать рыбакам.\n\nСтарый "
              "паромщик Ефим смотрел на воду и думал о том,\nчто завтра дождь.\n\nОн всегда "
              "узнавал погоду по тому, как пахнет ветер\nнад лугом.\n"),
       &TForm2::SpeedButton9,
       cp1251(" Вечер опускался на реку медленно, как будто не хотел мешать рыбакам.\r\n Старый "
              "паромщик Ефим смотрел на воду и думал о том, что завтра дождь.\r\n Он всегда "
              "узнавал погоду по тому, как пахнет ветер над лугом.\r\n")},
  };
  for (const auto& c : cases) {
    open(c.input);
    EXPECT_FALSE(form->Modified()) << c.name;
    ((*form).*(c.button))->click();
    EXPECT_TRUE(form->Modified()) << c.name;
    EXPECT_TRUE(form->r->isEnabled()) << c.name;
    prompts.clearRecords();
    prompts.queueAnswer(PromptAnswer::Yes);
    form->SpeedButton3->click();
    ASSERT_EQ(prompts.records().size(), 1u) << c.name;
    EXPECT_EQ(prompts.records()[0].caption, "Confirm ") << c.name;
    EXPECT_EQ(prompts.records()[0].text,
              QString("Save changes to\n\r") + QString::fromStdString(path))
        << c.name;
    EXPECT_FALSE(form->isVisible()) << c.name;
    EXPECT_EQ(readFile(path), c.saved) << c.name;
    EXPECT_FALSE(form->Modified()) << c.name;
  }
}

TEST_F(ViewTest, DosToWinTwiceMapsAgain) {
  open("\xE0");
  form->SpeedButton1->click();
  EXPECT_EQ(form->r->Lines(), Lines{"\xF0"});
  form->SpeedButton1->click();
  EXPECT_EQ(form->r->Lines(), Lines{"\xA8"});
}

TEST_F(ViewTest, ClosingAsksOnlyWhenModifiedAndEveryAnswerDoesItsPart) {
  const std::string original = "a  b\r\n";
  const struct {
    const char* name;
    bool change;
    bool byFrame;
    std::vector<PromptAnswer> answers;
    int questions;
    bool stillOpen;
    std::string onDisk;
  } cases[] = {
      {"unchanged closes without asking", false, false, {}, 0, false, original},
      {"unchanged frame close", false, true, {}, 0, false, original},
      {"No discards", true, false, {PromptAnswer::No}, 1, false, original},
      {"Cancel keeps the window", true, false, {PromptAnswer::Cancel}, 1, true, original},
      {"frame close asks too: Yes saves", true, true, {PromptAnswer::Yes}, 1, false, "a b\r\n"},
      {"frame close: No discards", true, true, {PromptAnswer::No}, 1, false, original},
      {"frame close: Cancel keeps", true, true, {PromptAnswer::Cancel}, 1, true, original},
  };
  for (const auto& c : cases) {
    open(original);
    if (c.change) form->SpeedButton7->click();
    prompts.clearRecords();
    for (auto a : c.answers) prompts.queueAnswer(a);
    if (c.byFrame)
      form->close();
    else
      form->SpeedButton3->click();
    EXPECT_EQ(static_cast<int>(prompts.records().size()), c.questions) << c.name;
    EXPECT_EQ(form->isVisible(), c.stillOpen) << c.name;
    EXPECT_EQ(readFile(path), c.onDisk) << c.name;
    if (c.stillOpen) {
      EXPECT_TRUE(form->Modified()) << c.name;
      prompts.queueAnswer(PromptAnswer::No);
      form->close();
    }
  }
}

TEST_F(ViewTest, EscapeAsksLikeTheCloseButton) {
  open("x  y\r\n");
  form->SpeedButton7->click();
  prompts.queueAnswer(PromptAnswer::Cancel);
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_EQ(prompts.records().size(), 1u);
  EXPECT_TRUE(form->isVisible());
  prompts.queueAnswer(PromptAnswer::No);
  form->reject();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(ViewTest, FailedSaveKeepsTheWindowOpenAndSaysWhy) {
  open("a  b\r\n");
  form->SpeedButton7->click();
  // The file's place is taken by a folder: the write cannot replace it.
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  prompts.queueAnswer(PromptAnswer::Yes);
  prompts.queueAnswer(PromptAnswer::Ok);
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->Modified());
  ASSERT_EQ(prompts.records().size(), 2u);
  EXPECT_EQ(prompts.records()[1].kind, PromptKind::Error);
  EXPECT_TRUE(prompts.records()[1].text.contains(QString::fromStdString(path)))
      << prompts.records()[1].text.toStdString();
  EXPECT_EQ(form->r->Lines(), Lines{"a b"}) << "the text is still there to save elsewhere";
  std::filesystem::remove(path);
  prompts.queueAnswer(PromptAnswer::Yes);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(readFile(path), "a b\r\n");
}

TEST_F(ViewTest, ReloadKeepsTheModifiedFlag) {
  open("a  b\r\n");
  form->SpeedButton7->click();
  writeFile(path, "new\r\ntext");
  form->SpeedButton4->click();
  EXPECT_EQ(form->r->Lines(), (Lines{"new", "text"}));
  EXPECT_TRUE(form->Modified());
  std::filesystem::remove(path);
  form->SpeedButton4->click();
  EXPECT_TRUE(form->r->Lines().empty());
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text, QStringLiteral("Не могу загрузить документ из файла !"));
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
}

TEST_F(ViewTest, ShowingClearsModifiedAndNamesTheFile) {
  open("text");
  form->SpeedButton7->click();
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
  form->show();
  EXPECT_FALSE(form->Modified());
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(path));
  form->close();
  EXPECT_TRUE(prompts.records().size() == 1u);
}

TEST_F(ViewTest, LinesPutInDirectlyAreShownAndSavedToTheirFile) {
  open("<p>a book?</p>", "first.fb2");  // a book or not, the next file is a plain text
  path = dir.file("direct.txt");
  writeFile(path, "old");
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
  ASSERT_FALSE(form->isVisible());
  form->setFileName(QString::fromStdString(path));
  form->r->Lines() = {"x  y", "z"};
  form->show();
  EXPECT_FALSE(form->Modified());
  EXPECT_EQ(form->savePath(), QString::fromStdString(path));
  form->SpeedButton7->click();
  prompts.clearRecords();
  prompts.queueAnswer(PromptAnswer::Yes);
  form->close();
  EXPECT_EQ(readFile(path), "x y\r\nz\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("direct.txt.txt")));
}

TEST_F(ViewTest, ButtonsCarryTheirHints) {
  const struct {
    QToolButton* TForm2::*button;
    QString hint;
  } cases[] = {
      {&TForm2::SpeedButton1, "DOS to WIN"},
      {&TForm2::SpeedButton2, "KOI to WIN"},
      {&TForm2::SpeedButton8, "UTF-8 to WIN"},
      {&TForm2::SpeedButton5, "Delete HTML tags"},
      {&TForm2::SpeedButton6, QStringLiteral("Один абзац - одна строка")},
      {&TForm2::SpeedButton7, QStringLiteral("Заменить все пробелы от двух и больше одним")},
      {&TForm2::SpeedButton4, "Reload file"},
      {&TForm2::SpeedButton3, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(((*form).*(c.button))->toolTip(), c.hint) << c.hint.toStdString();
}

TEST_F(ViewTest, EnDisablesEverythingAndABusyWindowDoesNotClose) {
  open("x");
  form->En(false);
  for (QToolButton* b :
       {form->SpeedButton1, form->SpeedButton2, form->SpeedButton8, form->SpeedButton5,
        form->SpeedButton6, form->SpeedButton7, form->SpeedButton4, form->SpeedButton3})
    EXPECT_FALSE(b->isEnabled());
  EXPECT_FALSE(form->r->isEnabled());
  form->close();
  EXPECT_TRUE(form->isVisible());
  form->En(true);
  form->close();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(ViewTest, StatusBarNamesTheButtonForAnotherCodePage) {
  const std::string samples = PAGORA_SOURCE_DIR "/samples/";
  const struct {
    const char* file;
    const char* button;  // nullptr: no note
  } cases[] = {{"doroga.cp866.txt", "\"DOS to WIN\""},
               {"pisma.koi8r.txt", "\"KOI to WIN\""},
               {"reka.cp1251.txt", nullptr}};
  for (const auto& c : cases) {
    if (!std::filesystem::exists(samples + c.file)) GTEST_SKIP() << "samples missing";
    open(readFile(samples + c.file));
    if (c.button)
      EXPECT_TRUE(form->statusText().contains(c.button))
          << c.file << ": " << form->statusText().toStdString();
    else
      EXPECT_TRUE(form->statusText().isEmpty()) << c.file;
    form->close();
  }
  open(cp1251("") + "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80");
  EXPECT_TRUE(form->statusText().contains("\"UTF-8 to WIN\""));
  form->SpeedButton8->click();
  EXPECT_TRUE(form->statusText().isEmpty()) << "the note goes once the text is converted";
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
}

TEST_F(ViewTest, LayoutIsKeptInSectionForm2) {
  open("x");
  form->setGeometry(40, 50, 500, 400);
  form->close();
  TIniFile ini(dir.file("config.ini"));
  EXPECT_EQ(ini.readString("Form2", "NormPos", ""), "40,50,540,450");
  TForm2 again;
  again.FormStorage->setIniFileName(QString::fromStdString(dir.file("config.ini")));
  again.show();
  EXPECT_EQ(again.geometry(), QRect(40, 50, 500, 400));
  again.close();
}

TEST_F(ViewTest, GaugeFollowsTheLines) {
  Lines many(250, "x  y");
  std::string bytes;
  for (const auto& l : many) bytes += l + "\r\n";
  open(bytes);
  form->SpeedButton7->click();
  EXPECT_EQ(form->gauge->maximum(), 248);
  EXPECT_EQ(form->r->Lines(), Lines(250, "x y"));
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
}

TEST_F(ViewTest, BookOpensAsTextAndSavesBesideIt) {
  const std::string fb2 =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description>"
      "<title-info><author><first-name>A</first-name><last-name>B</last-name></author>"
      "<book-title>T</book-title></title-info></description>"
      "<body><section><p>Hello</p></section></body></FictionBook>\n";
  open(fb2, "book.fb2");
  if (!form->isImportedBook()) GTEST_SKIP() << "built without the book importer";
  EXPECT_TRUE(form->Modified()) << "the converted text exists only in the window";
  EXPECT_TRUE(form->windowTitle().startsWith(QString::fromStdString(path)));
  EXPECT_TRUE(form->windowTitle().contains(QString::fromStdString(dir.file("book.txt"))));
  prompts.queueAnswer(PromptAnswer::Yes);
  form->close();
  EXPECT_EQ(readFile(path), fb2) << "the book itself is never touched";
  const std::string text = readFile(dir.file("book.txt"));
  EXPECT_NE(text.find("Hello"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
}  // namespace pagora

namespace pagora {
namespace {

class ViewMarkupTest : public ViewTest {
 protected:
  std::vector<std::pair<int, std::string>> jumps() const {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& j : form->r->jumpPoints()) out.emplace_back(j.Column, j.Word);
    return out;
  }
};

TEST_F(ViewMarkupTest, EveryCommandFindsTheJumpWordsAgain) {
  using Jumps = std::vector<std::pair<int, std::string>>;
  const struct {
    const char* name;
    std::string bytes;
    QToolButton* TForm2::*button;
    Jumps before, after;
  } cases[] = {
      {"collapse spaces",
       "a      ~jump  text after\r\n",
       &TForm2::SpeedButton7,
       {{8, "jump"}},
       {{3, "jump"}}},
      {"one paragraph, one line",
       "x ~go\r\nmore ~on\r\n",
       &TForm2::SpeedButton6,
       {{3, "go"}, {6, "on"}},
       {{4, "go"}, {13, "on"}}},
      // A DOS letter becomes a 1251 letter, a word character: the "~" after it no longer counts.
      {"DOS to WIN", "\x80~go\r\n", &TForm2::SpeedButton1, {{2, "go"}}, {}},
      {"delete HTML tags", "<b>~go</b> on\r\n", &TForm2::SpeedButton5, {{4, "go"}}, {{1, "go"}}},
  };
  for (const auto& c : cases) {
    open(c.bytes);
    EXPECT_EQ(jumps(), c.before) << c.name;
    (form.get()->*c.button)->click();
    EXPECT_EQ(jumps(), c.after) << c.name;
    EXPECT_EQ(form->r->longestLine(), static_cast<int>(form->r->Lines()[0].size())) << c.name;
    prompts.queueAnswer(PromptAnswer::No);
    form->close();
  }
}

TEST_F(ViewMarkupTest, CollapsedSpacesLeaveNoOldGreenOverTheText) {
  open("a      ~jump  text after\r\n");
  form->resize(700, 300);
  form->SpeedButton7->click();
  const QImage img = form->r->viewport()->grab().toImage();
  const int cw = form->r->charWidth(), lh = form->r->lineHeight();
  auto green = [&](int fromCol, int toCol) {
    int n = 0;
    for (int y = 0; y < lh; ++y)
      for (int x = 4 + fromCol * cw; x < 4 + toCol * cw; ++x) {
        const QRgb px = img.pixel(x, y);
        if (qGreen(px) > qRed(px) + 25 && qGreen(px) > qBlue(px) + 25) ++n;
      }
    return n;
  };
  EXPECT_GT(green(3, 7), 0) << "the word in its new place";
  EXPECT_EQ(green(7, 20), 0) << "nothing green over \"text after\"";
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
}

TEST_F(ViewMarkupTest, ReloadFindsTheJumpWordsOfTheFileAgain) {
  open("~one\r\n");
  writeFile(path, "   ~two ~three\r\n");
  form->SpeedButton4->click();
  EXPECT_EQ(jumps(), (std::vector<std::pair<int, std::string>>{{4, "two"}, {9, "three"}}));
  EXPECT_EQ(form->r->longestLine(), 14);
  form->close();
}

TEST_F(ViewMarkupTest, AnotherFileShownByTheMainWindowIsLaidOutAfresh) {
  std::string bytes;
  for (int i = 0; i < 400; ++i)
    bytes += "line ~old" + std::to_string(i) + std::string(60, ' ') + "\r\n";
  open(bytes);
  form->r->setCaret(300, 20);
  ASSERT_GT(form->r->firstLine(), 0);
  form->close();
  ASSERT_FALSE(form->isVisible());
  form->setFileName(QString::fromStdString(dir.file("other.txt")));
  form->r->Lines() = {"see ~new here", "x"};
  form->show();
  EXPECT_EQ(jumps(), (std::vector<std::pair<int, std::string>>{{5, "new"}}));
  EXPECT_EQ(form->r->jumpWords(), Lines{"new"});
  EXPECT_EQ(form->r->longestLine(), 13);
  EXPECT_EQ(form->r->firstLine(), 0);
  EXPECT_EQ(form->r->caret().Line, 0);
  EXPECT_EQ(form->r->caret().Col, 0);
  form->close();
}

TEST_F(ViewMarkupTest, GaugeIsNeverBusyAndEndsFull) {
  const struct {
    const char* name;
    QToolButton* TForm2::*button;
  } buttons[] = {
      {"DOS", &TForm2::SpeedButton1},        {"KOI", &TForm2::SpeedButton2},
      {"UTF-8", &TForm2::SpeedButton8},      {"HTML", &TForm2::SpeedButton5},
      {"paragraphs", &TForm2::SpeedButton6}, {"spaces", &TForm2::SpeedButton7},
  };
  for (const char* text : {"one line\r\n", "two\r\nlines\r\n", ""}) {
    for (const auto& b : buttons) {
      open(text);
      (form.get()->*b.button)->click();
      EXPECT_LT(form->gauge->minimum(), form->gauge->maximum()) << b.name << " on " << text;
      EXPECT_EQ(form->gauge->value(), form->gauge->maximum()) << b.name << " on " << text;
      prompts.queueAnswer(PromptAnswer::No);
      form->close();
    }
  }
  Lines many(250, "x  y");
  std::string bytes;
  for (const auto& l : many) bytes += l + "\r\n";
  open(bytes);
  form->SpeedButton7->click();
  EXPECT_EQ(form->gauge->value(), form->gauge->maximum());
  EXPECT_EQ(form->gauge->maximum(), 248);
  prompts.queueAnswer(PromptAnswer::No);
  form->close();
}

}  // namespace
}  // namespace pagora

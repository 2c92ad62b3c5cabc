// The paged text control: loading, markup scan, page markers, caret keys, selection, clipboard
// text, folding and what actually lands on the screen.
#include "viewer/jmpmemo.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>

#include "gui_test_support.h"
#include "scripted_prompts.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::cp1251;
using testing_support::ensureApp;
using testing_support::TempFolder;
using testing_support::writeFile;
using Lines = std::vector<std::string>;

class JumpMemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApp();
    memo = std::make_unique<TJumpMemo>();
    memo->resize(420, 300);
    memo->show();
    memo->refreshLayout();
  }
  void load(const Lines& lines) { memo->setText(lines); }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(memo.get(), k, m);
  }
  // Caret as (line, column shown), the column clamped to the line as it is drawn.
  std::pair<int, int> caret() const {
    const auto& c = memo->caret();
    return {c.Line, std::min<int>(c.Col, static_cast<int>(memo->Lines()[c.Line].size()))};
  }
  QImage screen() const { return memo->viewport()->grab().toImage(); }
  QRect cell(int row, int col, int count = 1) const {
    return QRect(4 + (col - memo->firstColumn()) * memo->charWidth(), row * memo->lineHeight(),
                 count * memo->charWidth(), memo->lineHeight());
  }
  // Whether an (anti-aliased) pixel is this colour blended onto the white background, with at
  // least a third of the colour in it. Black or another colour's strokes do not pass.
  static bool tinted(QColor px, QColor c) {
    const int d[3] = {255 - c.red(), 255 - c.green(), 255 - c.blue()};
    const int p[3] = {px.red(), px.green(), px.blue()};
    const int k = static_cast<int>(std::max_element(d, d + 3) - d);
    if (d[k] == 0) return false;
    const double a = (255.0 - p[k]) / d[k];
    if (a < 0.33) return false;
    for (int i = 0; i < 3; ++i)
      if (std::abs(255.0 - a * d[i] - p[i]) > 24) return false;
    return true;
  }
  static int count(const QImage& img, const QRect& area, QColor colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (tinted(img.pixelColor(x, y), colour)) ++n;
    return n;
  }
  static int nonBackground(const QImage& img, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (img.pixelColor(x, y).rgb() != QColor(Qt::white).rgb()) ++n;
    return n;
  }

  ScriptedPrompts prompts;
  TempFolder dir;
  std::unique_ptr<TJumpMemo> memo;
};

TEST_F(JumpMemoTest, LoadSplitsAtEveryLineEnd) {
  const struct {
    const char* name;
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"empty file", "", {}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"mixed ends", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"CR then CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"only a line end", "\n", {""}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"final break adds nothing", "x\r", {"x"}},
      {"zero byte kept", std::string("a\0b", 3), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file("t.txt");
    writeFile(path, c.bytes);
    EXPECT_TRUE(memo->LoadFromFile(QString::fromStdString(path))) << c.name;
    EXPECT_EQ(memo->Lines(), c.lines) << c.name;
    EXPECT_EQ(memo->caret().Line, 0) << c.name;
    EXPECT_EQ(memo->caret().Col, 0) << c.name;
    EXPECT_FALSE(memo->selectionPresent()) << c.name;
  }
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(JumpMemoTest, UnreadableFileShowsItsMessageAndEmptiesTheText) {
  load({"old", "text"});
  EXPECT_FALSE(memo->LoadFromFile(QString::fromStdString(dir.file("missing.txt"))));
  EXPECT_TRUE(memo->Lines().empty());
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text, QStringLiteral("Не могу загрузить документ из файла !"));
  EXPECT_EQ(prompts.records()[0].caption, QStringLiteral("Ошибка"));
  EXPECT_EQ(prompts.records()[0].kind, PromptKind::Error);
  // A folder cannot be read as a text either.
  EXPECT_FALSE(memo->LoadFromFile(QString::fromStdString(dir.path().string())));
  EXPECT_EQ(prompts.records().size(), 2u);
}

TEST_F(JumpMemoTest, ScanFindsJumpPointsAndPictures) {
  const struct {
    const char* name;
    std::string line;
    Lines jumps;
    std::vector<int> jumpColumns;
    Lines pictures;
  } cases[] = {
      {"word after a tilde", "see ~Chapter2 now", {"Chapter2"}, {5}, {}},
      {"tilde after a letter ends the line", "a~b and ~c", {}, {}, {}},
      {"later tilde after a letter stops", "~one x~two ~three", {"one"}, {1}, {}},
      {"after punctuation", "(~a) [~b]", {"a", "b"}, {2, 7}, {}},
      {"empty jump word", "~ x", {""}, {1}, {}},
      {"Cyrillic word", cp1251("см. ~Глава2."), {cp1251("Глава2")}, {5}, {}},
      {"picture", "^pic_1.bmp", {}, {}, {"pic_1.bmp"}},
      {"picture name stops at a dash", "look ^a.b-c", {}, {}, {"a.b"}},
      {"picture after a letter", "x^pic", {}, {}, {}},
      {"both", "~go ^img.png", {"go"}, {1}, {"img.png"}},
  };
  for (const auto& c : cases) {
    load({"first line", c.line});
    Lines jumps, pictures;
    std::vector<int> columns;
    for (const auto& j : memo->jumpPoints()) {
      jumps.push_back(j.Word);
      columns.push_back(j.Column);
      EXPECT_EQ(j.Line, 1) << c.name;
      EXPECT_EQ(j.Rect, (TCellRect{j.Column * memo->charWidth(), memo->lineHeight(),
                                   static_cast<int>(j.Word.size()) * memo->charWidth(),
                                   memo->lineHeight()}))
          << c.name;
    }
    for (const auto& p : memo->pictures()) pictures.push_back(p.Word);
    EXPECT_EQ(jumps, c.jumps) << c.name;
    EXPECT_EQ(columns, c.jumpColumns) << c.name;
    EXPECT_EQ(pictures, c.pictures) << c.name;
  }
}

TEST_F(JumpMemoTest, JumpWordListIsSortedAndDistinct) {
  load({"~zeta ~alpha", "~zeta", "~mid"});
  EXPECT_EQ(memo->jumpPoints().size(), 4u);
  EXPECT_EQ(memo->jumpWords(), (Lines{"alpha", "mid", "zeta"}));
}

Lines numbered(int n) {
  Lines l;
  for (int i = 1; i <= n; ++i) l.push_back("line " + std::to_string(i));
  return l;
}

TEST_F(JumpMemoTest, PageMarkersGoInAndComeOutExactly) {
  const struct {
    int lines;
    std::vector<int> markerIndexes;
  } cases[] = {{120, {0, 51, 102}}, {100, {0, 51, 102}}, {49, {0}}, {0, {0}}, {50, {0, 51}}};
  for (const auto& c : cases) {
    const Lines text = numbered(c.lines);
    load(text);
    memo->setShowPages(true);
    const Lines& shown = memo->Lines();
    ASSERT_EQ(shown.size(), text.size() + c.markerIndexes.size()) << c.lines;
    int page = 1;
    for (int index : c.markerIndexes)
      EXPECT_EQ(shown[static_cast<std::size_t>(index)], "- Page " + std::to_string(page++) + " -")
          << c.lines;
    memo->setShowPages(false);
    EXPECT_EQ(memo->Lines(), text) << c.lines;
  }
}

TEST_F(JumpMemoTest, PageMarkersFollowLoadAndTheMarkerWord) {
  memo->setShowPages(true);
  const std::string path = dir.file("t.txt");
  std::string bytes;
  for (const auto& l : numbered(60)) bytes += l + "\r\n";
  writeFile(path, bytes);
  memo->LoadFromFile(QString::fromStdString(path));
  ASSERT_EQ(memo->Lines().size(), 62u);
  EXPECT_EQ(memo->Lines()[51], "- Page 2 -");
  memo->setPagemarker(cp1251("Стр"));
  ASSERT_EQ(memo->Lines().size(), 62u);
  EXPECT_EQ(memo->Lines()[0], "- " + cp1251("Стр") + " 1 -");
  EXPECT_EQ(memo->Lines()[51], "- " + cp1251("Стр") + " 2 -");
  memo->setShowPages(false);
  EXPECT_EQ(memo->Lines(), numbered(60));
}

TEST_F(JumpMemoTest, CaretKeys) {
  const Lines text = {"abc", "de", "", "fghij"};
  const struct {
    const char* name;
    int line, col;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int toLine, toCol;
  } cases[] = {
      {"right at line end goes after the next line's first char", 0, 3, Qt::Key_Right, {}, 1, 1},
      {"right onto an empty line", 1, 2, Qt::Key_Right, {}, 2, 0},
      {"right at the very end stays", 3, 5, Qt::Key_Right, {}, 3, 5},
      {"right inside a line", 0, 1, Qt::Key_Right, {}, 0, 2},
      {"left at column 0 goes to the previous line's end", 1, 0, Qt::Key_Left, {}, 0, 3},
      {"left at the very start stays", 0, 0, Qt::Key_Left, {}, 0, 0},
      {"left from an empty line", 3, 0, Qt::Key_Left, {}, 2, 0},
      {"down keeps the column, shown clamped", 0, 3, Qt::Key_Down, {}, 1, 2},
      {"up at the top stays", 0, 2, Qt::Key_Up, {}, 0, 2},
      {"down at the bottom stays", 3, 1, Qt::Key_Down, {}, 3, 1},
      {"home", 3, 4, Qt::Key_Home, {}, 3, 0},
      {"end", 3, 1, Qt::Key_End, {}, 3, 5},
      {"ctrl home", 3, 4, Qt::Key_Home, Qt::ControlModifier, 0, 0},
      {"ctrl end", 0, 1, Qt::Key_End, Qt::ControlModifier, 3, 5},
      {"page down clamps to the last line", 0, 1, Qt::Key_PageDown, {}, 3, 1},
      {"page up clamps to the first line", 3, 1, Qt::Key_PageUp, {}, 0, 1},
  };
  load(text);
  for (const auto& c : cases) {
    memo->setCaret(c.line, c.col);
    key(c.key, c.mods);
    EXPECT_EQ(caret(), std::make_pair(c.toLine, c.toCol)) << c.name;
    EXPECT_FALSE(memo->selectionPresent()) << c.name;
  }
  // The column survives a short line in between.
  memo->setCaret(0, 3);
  key(Qt::Key_Down);
  key(Qt::Key_Down);
  key(Qt::Key_Down);
  EXPECT_EQ(caret(), std::make_pair(3, 3));
}

TEST_F(JumpMemoTest, KeysScrollTheView) {
  load(numbered(200));
  const int rows = memo->visibleRows();
  ASSERT_GT(rows, 3);
  for (int i = 0; i < rows; ++i) key(Qt::Key_Down);
  EXPECT_EQ(memo->firstLine(), 1) << "one line past the bottom scrolls one line";
  key(Qt::Key_PageDown);
  EXPECT_EQ(memo->caret().Line, 2 * rows);
  EXPECT_EQ(memo->firstLine(), 1 + rows);
  key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(memo->caret().Line, memo->firstLine() + rows - 1) << "ctrl keeps the view";
  EXPECT_EQ(memo->firstLine(), 1 + rows);
  key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(memo->firstLine(), memo->maxScrollRow());
  EXPECT_EQ(memo->maxScrollRow(), 200 - rows);
  key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(memo->firstLine(), 0);
}

TEST_F(JumpMemoTest, UpAndDownOntoAShortLineBringTheViewBackToColumnZero) {
  for (Qt::Key k : {Qt::Key_Down, Qt::Key_Up}) {
    load(k == Qt::Key_Down ? Lines{std::string(300, 'x'), "short"}
                           : Lines{"short", std::string(300, 'x')});
    memo->setCaret(k == Qt::Key_Down ? 0 : 1, 0);
    key(Qt::Key_End);
    ASSERT_GT(memo->firstColumn(), 100);
    key(k);
    EXPECT_EQ(caret().second, 5);
    EXPECT_EQ(memo->firstColumn(), 0) << (k == Qt::Key_Down ? "down" : "up");
  }
}

TEST_F(JumpMemoTest, ShiftSelectsAndCopiesAcrossAPageMarker) {
  Lines text = numbered(60);
  text[49] = "tail ~of^49";
  load(text);
  memo->setShowPages(true);  // marker "- Page 2 -" now sits at index 51
  memo->setCaret(50, 2);     // "tail ~of^49", column 2
  int selects = 0, deselects = 0, copied = -1;
  memo->OnSelect = [&](TJumpMemo*) { ++selects; };
  memo->OnDeSelect = [&](TJumpMemo*) { ++deselects; };
  memo->OnCopyToClipboard = [&](TJumpMemo*, int n) { copied = n; };
  key(Qt::Key_Down, Qt::ShiftModifier);
  key(Qt::Key_Down, Qt::ShiftModifier);
  key(Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyRelease(memo.get(), Qt::Key_Shift);
  ASSERT_TRUE(memo->selectionPresent());
  EXPECT_EQ(selects, 3);
  // Lines 50 ("tail ~of^49"), 51 (marker), 52 ("line 51"), up to column 3.
  const std::string expected =
      "il  of 49\r\n"
      "lin";
  EXPECT_EQ(memo->selectedText(), expected);
  // Block size: (11 - 2 + 2) + (10 + 2) + (3 + 2) + 1.
  EXPECT_EQ(memo->CopyToClipboard(), 29);
  EXPECT_EQ(copied, 29);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdString(expected));
  EXPECT_FALSE(memo->selectionPresent());
  EXPECT_EQ(deselects, 1);
  EXPECT_EQ(memo->CopyToClipboard(), 0) << "nothing left to copy";
}

TEST_F(JumpMemoTest, OneLineSelectionAndCyrillicOnTheClipboard) {
  load({cp1251("Привет, мир")});
  memo->setCaret(0, 8);
  key(Qt::Key_End, Qt::ShiftModifier);
  QTest::keyRelease(memo.get(), Qt::Key_Shift);
  EXPECT_EQ(memo->selectedBlockSize(), 3 + 1);
  EXPECT_EQ(memo->CopyToClipboard(), 4);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("мир"));
}

TEST_F(JumpMemoTest, MovingWithoutShiftDropsTheSelection) {
  load({"abcdef", "ghijkl"});
  int deselects = 0;
  memo->OnDeSelect = [&](TJumpMemo*) { ++deselects; };
  key(Qt::Key_Right, Qt::ShiftModifier);
  key(Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyRelease(memo.get(), Qt::Key_Shift);
  ASSERT_TRUE(memo->selectionPresent());
  key(Qt::Key_Right);
  EXPECT_FALSE(memo->selectionPresent());
  EXPECT_EQ(deselects, 1);
  EXPECT_EQ(memo->selectedText(), "");
}

TEST_F(JumpMemoTest, MouseClickDragAndSwallowedDoubleClick) {
  load({"plain text here", "see ~Chapter2 now", "^pic_1.bmp"});
  std::vector<std::string> jumps, pictures;
  memo->OnJumpClick = [&](TJumpMemo*, const std::string& w) { jumps.push_back(w); };
  memo->OnPictureClick = [&](TJumpMemo*, const std::string& w) { pictures.push_back(w); };
  QWidget* vp = memo->viewport();
  auto centre = [&](int row, int col) { return cell(row, col).center(); };

  QTest::mouseClick(vp, Qt::LeftButton, {}, centre(1, 7));
  QTest::mouseClick(vp, Qt::LeftButton, {}, centre(2, 3));
  EXPECT_EQ(jumps, Lines{"Chapter2"});
  EXPECT_EQ(pictures, Lines{"pic_1.bmp"});

  // A click on plain text puts the caret at the first column whose left edge reaches it.
  QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(cell(0, 6).left() - 1, centre(0, 6).y()));
  EXPECT_EQ(caret(), std::make_pair(0, 6));

  QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(cell(0, 2).left(), centre(0, 2).y()));
  QTest::mouseMove(vp, QPoint(cell(0, 7).left(), centre(0, 7).y()));
  QMouseEvent move(QEvent::MouseMove, QPointF(cell(0, 7).left(), centre(0, 7).y()),
                   vp->mapToGlobal(QPointF(cell(0, 7).left(), centre(0, 7).y())), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(vp, &move);
  QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(cell(0, 7).left(), centre(0, 7).y()));
  ASSERT_TRUE(memo->selectionPresent());
  EXPECT_EQ(memo->selectedText(), "ain t");

  const auto before = caret();
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(centre(1, 7)),
                  vp->mapToGlobal(QPointF(centre(1, 7))), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(vp, &dbl);
  EXPECT_EQ(jumps.size(), 1u) << "the second press of a double click activates nothing";
  EXPECT_EQ(caret(), before);
  EXPECT_TRUE(memo->selectionPresent());
}

TEST_F(JumpMemoTest, EnterOnAJumpWord) {
  load({"x ~target y"});
  std::string hit;
  memo->OnJumpClick = [&](TJumpMemo*, const std::string& w) { hit = w; };
  memo->setCaret(0, 5);
  key(Qt::Key_Return);
  EXPECT_EQ(hit, "target");
}

TEST_F(JumpMemoTest, FoldTable) {
  const struct {
    unsigned char from, to;
  } cases[] = {
      {'A', 0xC0},  {'a', 0xC0},  {0xE0, 0xC0}, {0xC0, 0xC0}, {'B', 0xC2},  {'b', 0xC2},
      {0xE1, 0xC1}, {'E', 0xC5},  {'e', 0xC5},  {'K', 0xCA},  {'k', 0xCA},  {'M', 0xCC},
      {'m', 0xCC},  {'H', 0xCD},  {'h', 0xCD},  {0xBD, 0xCD}, {0xBE, 0xCD}, {'O', 0xCE},
      {'o', 0xCE},  {'P', 0xD0},  {'p', 0xD0},  {'C', 0xD1},  {'c', 0xD1},  {'T', 0xD2},
      {'t', 0xD2},  {'Y', 0xD3},  {'y', 0xD3},  {'X', 0xD5},  {'x', 0xD5},  {0xFF, 0xDF},
      {0xF4, 0xD4}, {'d', 'D'},   {'z', 'Z'},   {'q', 'Q'},   {'D', 'D'},   {'i', 'I'},
      {0xB2, 'I'},  {0xB3, 'I'},  {'I', 'I'},   {0xA1, 0xA2}, {0xA3, 0xA4}, {0xA6, 0xA8},
      {0xAC, 0xAD}, {0xAF, 0xB0}, {0xB5, 0xB8}, {0xBA, 0xBC}, {0xA8, 0xA8}, {0xB8, 0xB8},
      {'1', '1'},   {' ', ' '},   {'~', '~'},   {0x00, 0x00},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TJumpMemo::fold(c.from), c.to) << std::hex << static_cast<int>(c.from);
}

TEST_F(JumpMemoTest, LongestLineIsMeasuredAtLoadOnly) {
  load({"short", "lines"});
  const int measured = memo->longestLine();
  const int maxColumn = memo->maxScrollColumn();
  memo->Lines() = {std::string(500, 'x')};
  memo->refreshLayout();
  EXPECT_EQ(memo->longestLine(), measured);
  EXPECT_EQ(memo->maxScrollColumn(), maxColumn);
  memo->Lines() = {std::string(500, 'x')};
  memo->setText(memo->Lines());
  EXPECT_EQ(memo->longestLine(), 500);
}

TEST(JumpMemoDefaults, PublishedPropertiesStartAsDesigned) {
  ensureApp();
  TJumpMemo fresh;
  EXPECT_TRUE(fresh.Border());
  EXPECT_EQ(fresh.Color(), QColor(Qt::white));
  EXPECT_EQ(fresh.TextColor(), QColor(Qt::black));
  EXPECT_EQ(fresh.SelectColor(), QColor(255, 0, 0));
  EXPECT_EQ(fresh.JumpColor(), QColor(0, 128, 0));
  EXPECT_EQ(fresh.Pagemarker(), "Page");
  EXPECT_FALSE(fresh.ShowPages());
  EXPECT_EQ(fresh.ScrollBars(), TScrollStyle::ssNone);
  EXPECT_EQ(fresh.JumpPointLength(), 7);
  EXPECT_FALSE(fresh.UseJumpPointLength());
  EXPECT_TRUE(fresh.SelWords().empty());
  EXPECT_EQ(fresh.size(), QSize(200, 200));
  EXPECT_TRUE(QFontInfo(fresh.Font()).fixedPitch());
}

TEST(JumpMemoDefaults, AMissingFontFallsBackToAFixedPitchOne) {
  ensureApp();
  TJumpMemo memo;
  for (const char* family : {"No Such Font Xyzzy", "DejaVu Sans"}) {
    QFont wanted(family);
    wanted.setPixelSize(13);
    wanted.setBold(true);
    memo.setFont(wanted);
    EXPECT_TRUE(QFontInfo(memo.Font()).fixedPitch()) << family;
    EXPECT_EQ(memo.Font().pixelSize(), 13) << family;
    EXPECT_TRUE(memo.Font().bold()) << family;
    EXPECT_EQ(memo.charWidth(), QFontMetrics(memo.Font()).horizontalAdvance(QLatin1Char('W')))
        << family;
  }
}

// ---- what is painted --------------------------------------------------------------------------

TEST_F(JumpMemoTest, JumpMarkerVanishesAndTheWordIsGreen) {
  load({"", "see ~Chapter2 now"});
  const QImage img = screen();
  EXPECT_EQ(nonBackground(img, cell(1, 4)), 0) << "the tilde is not drawn";
  EXPECT_GT(count(img, cell(1, 5, 8), memo->JumpColor()), 0);
  EXPECT_EQ(count(img, cell(1, 0, 3), memo->JumpColor()), 0);
  EXPECT_GT(nonBackground(img, cell(1, 0, 3)), 0);
}

TEST_F(JumpMemoTest, PictureNameShowsDotsForUnderscores) {
  load({"", "^pic_1.bmp", "pic.1.bmp"});
  memo->setTextColor(QColor(0, 0, 255));  // the name is blue: compare like with like
  const QImage img = screen();
  // The "^" is not drawn (the frame's left edge may touch the cell's last pixel column).
  EXPECT_EQ(nonBackground(img, cell(1, 0).adjusted(0, 0, -2, 0)), 0);
  // "_" is shown as "." : the name's glyphs match the plain line below it.
  const QImage name = img.copy(cell(1, 1, 9).adjusted(1, 2, -1, -2));
  const QImage plain = img.copy(cell(2, 0, 9).adjusted(1, 2, -1, -2));
  EXPECT_EQ(name, plain);
}

TEST_F(JumpMemoTest, PageMarkerLinesAreBlue) {
  load(numbered(3));
  memo->setShowPages(true);
  const QImage img = screen();
  EXPECT_GT(count(img, cell(0, 0, 10), QColor(0, 0, 255)), 0);
  EXPECT_EQ(count(img, cell(1, 0, 6), QColor(0, 0, 255)), 0);
}

TEST_F(JumpMemoTest, SearchWordsAreHighlightedOnWordBoundaries) {
  const struct {
    const char* name;
    std::string line;
    std::string word;
    int col, len;
    bool highlighted;
  } cases[] = {
      {"same word", "xx word yy", "word", 3, 4, true},
      {"case and look-alikes fold", cp1251("xx МАМА yy"), "mama", 3, 4, true},
      {"inside a longer word", "xx words yy", "word", 3, 4, false},
      {"prefix with a star", "xx words yy", "word*", 3, 4, true},
      {"first miss ends the line", "swordfish word", "word", 10, 4, false},
      {"at line start", "word!", "word", 0, 4, true},
  };
  for (const auto& c : cases) {
    load({"", c.line});
    memo->setSelWords({c.word});
    const QImage img = screen();
    EXPECT_EQ(count(img, cell(1, c.col, c.len), Qt::red) > 0, c.highlighted) << c.name;
  }
}

TEST_F(JumpMemoTest, PaintingCopesWithLinesShortenedUnderIt) {
  load(numbered(300));
  memo->setCaret(250, 0);
  ASSERT_GT(memo->firstLine(), 100);
  memo->Lines() = {"only line"};
  memo->Repaint();
  const QImage img = screen();
  EXPECT_GT(nonBackground(img, cell(0, 1, 8)), 0) << "starts again at line 0";
  EXPECT_EQ(memo->selectedText(), "");
  memo->refreshLayout();
  EXPECT_EQ(memo->firstLine(), 0);
  EXPECT_EQ(memo->caret().Line, 0);
}

}  // namespace
}  // namespace pagora

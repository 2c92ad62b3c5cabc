// The paged text control's model without any window: the cell grid, keys, the mouse in pixels
// of that grid, scrolling, selection and the markup found again after the lines change.
#include "text/paged_text_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pagora {
namespace {

using Lines = std::vector<std::string>;

// An 8 by 16 pixel cell in a view of 100 columns and 20 rows.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.setCellSize(8, 16);
    m.setViewSize(100 * 8 + 5, 20 * 16 + 7);
    m.OnScrolled = [this](int, int) { ++scrolls; };
    m.OnSelect = [this] { ++selects; };
    m.OnDeSelect = [this] { ++deselects; };
  }
  std::pair<int, int> caret() const { return {m.caret().Line, m.caretColumn()}; }

  PagedTextModel m;
  int scrolls = 0, selects = 0, deselects = 0;
};

TEST_F(ModelTest, EveryColumnHasItsOwnCellAtEveryScrollPosition) {
  m.setText({std::string(400, 'x')});
  ASSERT_EQ(m.visibleColumns(), 100);
  const struct {
    int firstColumn, col;
  } cases[] = {{0, 0}, {0, 80}, {0, 99}, {250, 300}, {250, 250}, {301, 305}};
  for (const auto& c : cases) {
    m.scrollTo(0, c.firstColumn);
    ASSERT_EQ(m.firstColumn(), c.firstColumn);
    const int x = 4 + (c.col - c.firstColumn) * 8;
    EXPECT_EQ(m.columnX(c.col), x) << c.col;
    // A point anywhere inside the cell belongs to that column.
    EXPECT_EQ(m.cellColumnAt(x), c.col);
    EXPECT_EQ(m.cellColumnAt(x + 7), c.col);
    EXPECT_EQ(m.cellColumnAt(x + 8), c.col + 1);
    // A click puts the caret at the first column whose prefix reaches the point.
    EXPECT_EQ(m.caretColumnAt(0, x), c.col);
    EXPECT_EQ(m.caretColumnAt(0, x + 1), c.col + 1);
    EXPECT_EQ(m.caretColumnAt(0, x + 8), c.col + 1);
    m.setCaret(0, c.col);
    EXPECT_EQ(m.caretRect(), (TCellRect{x, 1, 2, 16})) << c.col;
  }
}

TEST_F(ModelTest, EndPutsTheCaretRightAfterTheLastCharacter) {
  const struct { int length, firstColumn; } cases[] = {{80, 0}, {99, 0}, {100, 1}, {303, 204}};
  for (const auto& c : cases) {
    m.setText({std::string(static_cast<std::size_t>(c.length), 'a'), "b"});
    EXPECT_TRUE(m.key(MemoKey::End, false, false));
    EXPECT_EQ(caret(), std::make_pair(0, c.length));
    EXPECT_EQ(m.firstColumn(), c.firstColumn) << c.length;
    EXPECT_EQ(m.caretRect().Left, m.columnX(c.length - 1) + 8) << c.length;
  }
}

TEST_F(ModelTest, CaretKeys) {
  const Lines text = {"abc", "de", "", "fghij"};
  const struct {
    const char* name;
    int line, col;
    MemoKey key;
    bool ctrl;
    int toLine, toCol;
  } cases[] = {
      {"right at line end goes after the next line's first char", 0, 3, MemoKey::Right, false, 1,
       1},
      {"right onto an empty line", 1, 2, MemoKey::Right, false, 2, 0},
      {"right at the very end stays", 3, 5, MemoKey::Right, false, 3, 5},
      {"left at column 0 goes to the previous line's end", 1, 0, MemoKey::Left, false, 0, 3},
      {"left at the very start stays", 0, 0, MemoKey::Left, false, 0, 0},
      {"down keeps the column, shown clamped", 0, 3, MemoKey::Down, false, 1, 2},
      {"up at the top stays", 0, 2, MemoKey::Up, false, 0, 2},
      {"home", 3, 4, MemoKey::Home, false, 3, 0},
      {"end", 3, 1, MemoKey::End, false, 3, 5},
      {"ctrl home", 3, 4, MemoKey::Home, true, 0, 0},
      {"ctrl end", 0, 1, MemoKey::End, true, 3, 5},
      {"page down clamps to the last line", 0, 1, MemoKey::PageDown, false, 3, 1},
      {"page up clamps to the first line", 3, 1, MemoKey::PageUp, false, 0, 1},
  };
  m.setText(text);
  for (const auto& c : cases) {
    m.setCaret(c.line, c.col);
    m.key(c.key, false, c.ctrl);
    EXPECT_EQ(caret(), std::make_pair(c.toLine, c.toCol)) << c.name;
    EXPECT_FALSE(m.selectionPresent()) << c.name;
  }
}

TEST_F(ModelTest, UpAndDownReturnTheViewToColumnZeroForAShortLine) {
  const struct {
    const char* name;
    MemoKey key;
    int startLine;
    int shortLength;
  } cases[] = {
      {"down onto a short line", MemoKey::Down, 0, 5},
      {"up onto a short line", MemoKey::Up, 1, 5},
      {"down onto an empty line", MemoKey::Down, 0, 0},
  };
  for (const auto& c : cases) {
    Lines text = {std::string(300, 'x'), std::string(300, 'y')};
    text[static_cast<std::size_t>(c.key == MemoKey::Down ? 1 : 0)] =
        std::string(static_cast<std::size_t>(c.shortLength), 's');
    m.setText(text);
    m.setCaret(c.startLine, 0);
    m.key(MemoKey::End, false, false);
    ASSERT_GT(m.firstColumn(), 150) << c.name;
    m.key(c.key, false, false);
    EXPECT_EQ(m.caretColumn(), c.shortLength) << c.name;
    EXPECT_EQ(m.firstColumn(), 0) << c.name;
    // Back on the long line the kept column is far right again and comes into view.
    m.key(c.key == MemoKey::Down ? MemoKey::Up : MemoKey::Down, false, false);
    EXPECT_EQ(m.caretColumn(), 300) << c.name;
    EXPECT_EQ(m.firstColumn(), 300 - 99) << c.name;
  }
  // A caret still inside the view leaves the view's column alone.
  m.setText({std::string(300, 'x'), std::string(290, 'y')});
  m.key(MemoKey::End, false, false);
  const int first = m.firstColumn();
  m.key(MemoKey::Down, false, false);
  EXPECT_EQ(m.firstColumn(), first);
}

TEST_F(ModelTest, LinesChangedFindsTheJumpWordsAgainAndMeasuresAgain) {
  m.setText({"a      ~jump  text after", "x"});
  ASSERT_EQ(m.jumpPoints().size(), 1u);
  EXPECT_EQ(m.jumpPoints()[0].Column, 8);
  EXPECT_EQ(m.longestLine(), 24);
  m.Lines() = {"a ~jump text after ~more", "x"};
  m.linesChanged();
  ASSERT_EQ(m.jumpPoints().size(), 2u);
  EXPECT_EQ(m.jumpPoints()[0].Column, 3);
  EXPECT_EQ(m.jumpPoints()[0].Word, "jump");
  EXPECT_EQ(m.jumpPoints()[1].Column, 20);
  EXPECT_EQ(m.jumpWords(), (Lines{"jump", "more"}));
  EXPECT_EQ(m.longestLine(), 24);
  m.Lines() = {std::string(500, 'z')};
  m.linesChanged();
  EXPECT_TRUE(m.jumpPoints().empty());
  EXPECT_TRUE(m.jumpWords().empty());
  EXPECT_EQ(m.longestLine(), 500);
  EXPECT_EQ(m.maxScrollColumn(), 500 - 100 + 1);
}

TEST_F(ModelTest, LinesChangedDropsASelectionOfTheOldLines) {
  m.setText({"first line", "second line"});
  m.setCaret(0, 2);
  m.key(MemoKey::Down, true, false);
  m.shiftReleased();
  ASSERT_TRUE(m.selectionPresent());
  m.Lines() = {"x"};
  m.linesChanged();
  EXPECT_FALSE(m.selectionPresent());
  EXPECT_EQ(m.selectedText(), "");
  EXPECT_EQ(caret(), std::make_pair(0, 1));
}

TEST_F(ModelTest, JumpAndPictureHitsFollowTheGrid) {
  m.setText({std::string(290, ' ') + "see ~Chapter2 now ^pic_1.bmp"});
  std::vector<std::string> jumps, pictures;
  m.OnJumpClick = [&](const std::string& w) { jumps.push_back(w); };
  m.OnPictureClick = [&](const std::string& w) { pictures.push_back(w); };
  m.scrollTo(0, 250);
  const int tilde = 294, hat = 308;
  EXPECT_EQ(m.jumpAt(m.columnX(tilde) + 3, 5), nullptr) << "the marker itself is not the word";
  ASSERT_NE(m.jumpAt(m.columnX(tilde + 1), 5), nullptr);
  EXPECT_EQ(m.jumpAt(m.columnX(tilde + 8) + 7, 5)->Word, "Chapter2");
  EXPECT_EQ(m.jumpAt(m.columnX(tilde + 9), 5), nullptr);
  EXPECT_NE(m.pictureAt(m.columnX(hat), 5), nullptr) << "the picture's marker is part of it";
  EXPECT_EQ(m.pictureAt(m.columnX(hat + 10), 5), nullptr);
  m.mousePress(m.columnX(tilde + 4) + 2, 3);
  m.mousePress(m.columnX(hat + 3) + 2, 3);
  EXPECT_EQ(jumps, Lines{"Chapter2"});
  EXPECT_EQ(pictures, Lines{"pic_1.bmp"});
  EXPECT_FALSE(m.mouseSelecting());
}

TEST_F(ModelTest, MouseSelectsFromTheClickToTheDrag) {
  m.setText({std::string(150, '.') + "0123456789" + std::string(200, '.'), "next line"});
  m.scrollTo(0, 120);
  m.mousePress(m.columnX(152), 4);
  EXPECT_EQ(caret(), std::make_pair(0, 152));
  EXPECT_FALSE(m.mouseDrag(m.columnX(157) - 3, 8));
  EXPECT_EQ(selects, 1);
  m.mouseRelease();
  ASSERT_TRUE(m.selectionPresent());
  EXPECT_EQ(m.selectedText(), "23456");
  EXPECT_EQ(m.selectedBlockSize(), 6);

  // A drag below the text keeps the view moving a line at a time.
  m.mousePress(m.columnX(150), 4);
  EXPECT_EQ(deselects, 1);
  EXPECT_TRUE(m.mouseDrag(m.columnX(150), 20 * 16 + 2));
  EXPECT_EQ(m.caret().Line, 1);
  EXPECT_TRUE(m.autoScrollTick());
  m.mouseRelease();
  EXPECT_FALSE(m.autoScrollTick());
  EXPECT_EQ(m.selectedText(), "0123456789" + std::string(200, '.') + "\r\nnext line");
}

TEST_F(ModelTest, ShiftSelectionCopiesWithoutMarkersAndPageLines) {
  Lines text;
  for (int i = 0; i < 60; ++i) text.push_back("line " + std::to_string(i));
  text[49] = "tail ~of^49";
  m.setText(text);
  ASSERT_TRUE(m.setShowPages(true));
  ASSERT_EQ(m.Lines().size(), 62u);
  EXPECT_EQ(m.Lines()[51], "- Page 2 -");
  m.setCaret(50, 5);
  m.key(MemoKey::Down, true, false);
  m.key(MemoKey::Down, true, false);
  m.shiftReleased();
  ASSERT_TRUE(m.selectionPresent());
  EXPECT_EQ(m.selectedText(), " of 49\r\nline ");
  EXPECT_EQ(m.selectedBlockSize(), (11 - 5 + 2) + (10 + 2) + (5 + 2) + 1);
  m.key(MemoKey::Right, false, false);
  EXPECT_FALSE(m.selectionPresent());
  EXPECT_EQ(deselects, 1);
}

TEST_F(ModelTest, EmptyTextAndViewsSmallerThanACell) {
  m.setText({});
  EXPECT_EQ(caret(), std::make_pair(0, 0));
  for (MemoKey k : {MemoKey::Down, MemoKey::End, MemoKey::PageDown, MemoKey::Right})
    EXPECT_TRUE(m.key(k, true, false));
  m.mousePress(50, 50);
  EXPECT_FALSE(m.mouseSelecting());
  m.setViewSize(3, 3);
  m.setText({"abc", "def"});
  m.key(MemoKey::Down, false, false);
  m.key(MemoKey::End, false, false);
  EXPECT_EQ(caret(), std::make_pair(1, 3));
}

TEST_F(ModelTest, SearchWordSpansKeepToWordBoundaries) {
  m.setText({"Moscow and MOCKBA, moscowite", "stop xmoscow moscow"});
  m.setSelWords({"moscow", "moscow*"});
  EXPECT_EQ(m.selWordSpans(0), (std::vector<std::pair<int, int>>{{0, 6}, {0, 6}, {19, 25}}));
  // The first occurrence off a boundary ends the search in the line.
  EXPECT_TRUE(m.selWordSpans(1).empty());
}

}  // namespace
}  // namespace pagora

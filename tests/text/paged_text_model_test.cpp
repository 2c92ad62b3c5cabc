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
    m.SetCellSize(8, 16);
    m.SetViewSize(100 * 8 + 5, 20 * 16 + 7);
    m.OnScrolled = [this](int, int) { ++scrolls; };
    m.OnSelect = [this] { ++selects; };
    m.OnDeSelect = [this] { ++deselects; };
  }
  std::pair<int, int> caret() const { return {m.Caret().Line, m.CaretColumn()}; }

  PagedTextModel m;
  int scrolls = 0, selects = 0, deselects = 0;
};

TEST_F(ModelTest, EveryColumnHasItsOwnCellAtEveryScrollPosition) {
  m.SetText({std::string(400, 'x')});
  ASSERT_EQ(m.VisibleColumns(), 100);
  const struct {
    int firstColumn, col;
  } cases[] = {{0, 0}, {0, 80}, {0, 99}, {250, 300}, {250, 250}, {301, 305}};
  for (const auto& c : cases) {
    m.ScrollTo(0, c.firstColumn);
    ASSERT_EQ(m.FirstColumn(), c.firstColumn);
    const int x = 4 + (c.col - c.firstColumn) * 8;
    EXPECT_EQ(m.ColumnX(c.col), x) << c.col;
    // A point anywhere inside the cell belongs to that column.
    EXPECT_EQ(m.CellColumnAt(x), c.col);
    EXPECT_EQ(m.CellColumnAt(x + 7), c.col);
    EXPECT_EQ(m.CellColumnAt(x + 8), c.col + 1);
    // A click puts the caret at the first column whose prefix reaches the point.
    EXPECT_EQ(m.CaretColumnAt(0, x), c.col);
    EXPECT_EQ(m.CaretColumnAt(0, x + 1), c.col + 1);
    EXPECT_EQ(m.CaretColumnAt(0, x + 8), c.col + 1);
    m.SetCaret(0, c.col);
    EXPECT_EQ(m.CaretRect(), (TCellRect{x, 1, 2, 16})) << c.col;
  }
}

TEST_F(ModelTest, EndPutsTheCaretRightAfterTheLastCharacter) {
  const struct { int length, firstColumn; } cases[] = {{80, 0}, {99, 0}, {100, 1}, {303, 204}};
  for (const auto& c : cases) {
    m.SetText({std::string(static_cast<std::size_t>(c.length), 'a'), "b"});
    EXPECT_TRUE(m.Key(MemoKey::End, false, false));
    EXPECT_EQ(caret(), std::make_pair(0, c.length));
    EXPECT_EQ(m.FirstColumn(), c.firstColumn) << c.length;
    EXPECT_EQ(m.CaretRect().Left, m.ColumnX(c.length - 1) + 8) << c.length;
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
  m.SetText(text);
  for (const auto& c : cases) {
    m.SetCaret(c.line, c.col);
    m.Key(c.key, false, c.ctrl);
    EXPECT_EQ(caret(), std::make_pair(c.toLine, c.toCol)) << c.name;
    EXPECT_FALSE(m.SelectionPresent()) << c.name;
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
    m.SetText(text);
    m.SetCaret(c.startLine, 0);
    m.Key(MemoKey::End, false, false);
    ASSERT_GT(m.FirstColumn(), 150) << c.name;
    m.Key(c.key, false, false);
    EXPECT_EQ(m.CaretColumn(), c.shortLength) << c.name;
    EXPECT_EQ(m.FirstColumn(), 0) << c.name;
    // Back on the long line the kept column is far right again and comes into view.
    m.Key(c.key == MemoKey::Down ? MemoKey::Up : MemoKey::Down, false, false);
    EXPECT_EQ(m.CaretColumn(), 300) << c.name;
    EXPECT_EQ(m.FirstColumn(), 300 - 99) << c.name;
  }
  // A caret still inside the view leaves the view's column alone.
  m.SetText({std::string(300, 'x'), std::string(290, 'y')});
  m.Key(MemoKey::End, false, false);
  const int first = m.FirstColumn();
  m.Key(MemoKey::Down, false, false);
  EXPECT_EQ(m.FirstColumn(), first);
}

TEST_F(ModelTest, LinesChangedFindsTheJumpWordsAgainAndMeasuresAgain) {
  m.SetText({"a      ~jump  text after", "x"});
  ASSERT_EQ(m.JumpPoints().size(), 1u);
  EXPECT_EQ(m.JumpPoints()[0].Column, 8);
  EXPECT_EQ(m.LongestLine(), 24);
  m.Lines() = {"a ~jump text after ~more", "x"};
  m.LinesChanged();
  ASSERT_EQ(m.JumpPoints().size(), 2u);
  EXPECT_EQ(m.JumpPoints()[0].Column, 3);
  EXPECT_EQ(m.JumpPoints()[0].Word, "jump");
  EXPECT_EQ(m.JumpPoints()[1].Column, 20);
  EXPECT_EQ(m.JumpWords(), (Lines{"jump", "more"}));
  EXPECT_EQ(m.LongestLine(), 24);
  m.Lines() = {std::string(500, 'z')};
  m.LinesChanged();
  EXPECT_TRUE(m.JumpPoints().empty());
  EXPECT_TRUE(m.JumpWords().empty());
  EXPECT_EQ(m.LongestLine(), 500);
  EXPECT_EQ(m.MaxScrollColumn(), 500 - 100 + 1);
}

TEST_F(ModelTest, LinesChangedDropsASelectionOfTheOldLines) {
  m.SetText({"first line", "second line"});
  m.SetCaret(0, 2);
  m.Key(MemoKey::Down, true, false);
  m.ShiftReleased();
  ASSERT_TRUE(m.SelectionPresent());
  m.Lines() = {"x"};
  m.LinesChanged();
  EXPECT_FALSE(m.SelectionPresent());
  EXPECT_EQ(m.SelectedText(), "");
  EXPECT_EQ(caret(), std::make_pair(0, 1));
}

TEST_F(ModelTest, JumpAndPictureHitsFollowTheGrid) {
  m.SetText({std::string(290, ' ') + "see ~Chapter2 now ^pic_1.bmp"});
  std::vector<std::string> jumps, pictures;
  m.OnJumpClick = [&](const std::string& w) { jumps.push_back(w); };
  m.OnPictureClick = [&](const std::string& w) { pictures.push_back(w); };
  m.ScrollTo(0, 250);
  const int tilde = 294, hat = 308;
  EXPECT_EQ(m.JumpAt(m.ColumnX(tilde) + 3, 5), nullptr) << "the marker itself is not the word";
  ASSERT_NE(m.JumpAt(m.ColumnX(tilde + 1), 5), nullptr);
  EXPECT_EQ(m.JumpAt(m.ColumnX(tilde + 8) + 7, 5)->Word, "Chapter2");
  EXPECT_EQ(m.JumpAt(m.ColumnX(tilde + 9), 5), nullptr);
  EXPECT_NE(m.PictureAt(m.ColumnX(hat), 5), nullptr) << "the picture's marker is part of it";
  EXPECT_EQ(m.PictureAt(m.ColumnX(hat + 10), 5), nullptr);
  m.MousePress(m.ColumnX(tilde + 4) + 2, 3);
  m.MousePress(m.ColumnX(hat + 3) + 2, 3);
  EXPECT_EQ(jumps, Lines{"Chapter2"});
  EXPECT_EQ(pictures, Lines{"pic_1.bmp"});
  EXPECT_FALSE(m.MouseSelecting());
}

TEST_F(ModelTest, MouseSelectsFromTheClickToTheDrag) {
  m.SetText({std::string(150, '.') + "0123456789" + std::string(200, '.'), "next line"});
  m.ScrollTo(0, 120);
  m.MousePress(m.ColumnX(152), 4);
  EXPECT_EQ(caret(), std::make_pair(0, 152));
  EXPECT_FALSE(m.MouseDrag(m.ColumnX(157) - 3, 8));
  EXPECT_EQ(selects, 1);
  m.MouseRelease();
  ASSERT_TRUE(m.SelectionPresent());
  EXPECT_EQ(m.SelectedText(), "23456");
  EXPECT_EQ(m.SelectedBlockSize(), 6);

  // A drag below the text keeps the view moving a line at a time.
  m.MousePress(m.ColumnX(150), 4);
  EXPECT_EQ(deselects, 1);
  EXPECT_TRUE(m.MouseDrag(m.ColumnX(150), 20 * 16 + 2));
  EXPECT_EQ(m.Caret().Line, 1);
  EXPECT_TRUE(m.AutoScrollTick());
  m.MouseRelease();
  EXPECT_FALSE(m.AutoScrollTick());
  EXPECT_EQ(m.SelectedText(), "0123456789" + std::string(200, '.') + "\r\nnext line");
}

TEST_F(ModelTest, ShiftSelectionCopiesWithoutMarkersAndPageLines) {
  Lines text;
  for (int i = 0; i < 60; ++i) text.push_back("line " + std::to_string(i));
  text[49] = "tail ~of^49";
  m.SetText(text);
  ASSERT_TRUE(m.SetShowPages(true));
  ASSERT_EQ(m.Lines().size(), 62u);
  EXPECT_EQ(m.Lines()[51], "- Page 2 -");
  m.SetCaret(50, 5);
  m.Key(MemoKey::Down, true, false);
  m.Key(MemoKey::Down, true, false);
  m.ShiftReleased();
  ASSERT_TRUE(m.SelectionPresent());
  EXPECT_EQ(m.SelectedText(), " of 49\r\nline ");
  EXPECT_EQ(m.SelectedBlockSize(), (11 - 5 + 2) + (10 + 2) + (5 + 2) + 1);
  m.Key(MemoKey::Right, false, false);
  EXPECT_FALSE(m.SelectionPresent());
  EXPECT_EQ(deselects, 1);
}

TEST_F(ModelTest, EmptyTextAndViewsSmallerThanACell) {
  m.SetText({});
  EXPECT_EQ(caret(), std::make_pair(0, 0));
  for (MemoKey k : {MemoKey::Down, MemoKey::End, MemoKey::PageDown, MemoKey::Right})
    EXPECT_TRUE(m.Key(k, true, false));
  m.MousePress(50, 50);
  EXPECT_FALSE(m.MouseSelecting());
  m.SetViewSize(3, 3);
  m.SetText({"abc", "def"});
  m.Key(MemoKey::Down, false, false);
  m.Key(MemoKey::End, false, false);
  EXPECT_EQ(caret(), std::make_pair(1, 3));
}

TEST_F(ModelTest, SearchWordSpansKeepToWordBoundaries) {
  m.SetText({"Moscow and MOCKBA, moscowite", "stop xmoscow moscow"});
  m.SetSelWords({"moscow", "moscow*"});
  EXPECT_EQ(m.SelWordSpans(0), (std::vector<std::pair<int, int>>{{0, 6}, {0, 6}, {19, 25}}));
  // The first occurrence off a boundary ends the search in the line.
  EXPECT_TRUE(m.SelWordSpans(1).empty());
}

}  // namespace
}  // namespace pagora

// What lands on the screen, cell by cell, with real fixed-pitch faces whose advance is not a
// whole number of pixels: every glyph, the caret, the selection and the jump-word colour must
// sit on the cell of the character they belong to, near column 0, 80 and 300.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "gui_test_support.h"
#include "scripted_prompts.h"
#include "viewer/jmpmemo.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

using testing_support::ensureApp;
using Lines = std::vector<std::string>;

struct Face {
  const char* family;
  int pixelSize;
  bool bold;
};

// Liberation Mono stands in for "Courier New"; 13 px bold is the view window's own setting.
const Face kFaces[] = {
    {"Liberation Mono", 13, true},
    {"Liberation Mono", 17, false},
    {"DejaVu Sans Mono", 13, true},
    {"DejaVu Sans Mono", 17, false},
};

bool ink(QRgb px) {
  return qRed(px) < 200 || qGreen(px) < 200 || qBlue(px) < 200;
}
bool greenish(QRgb px) {
  return qGreen(px) > qRed(px) + 25 && qGreen(px) > qBlue(px) + 25;
}

// Spaces with an "H" at the given columns.
std::string marks(int length, std::initializer_list<int> columns) {
  std::string s(static_cast<std::size_t>(length), ' ');
  for (int c : columns) s[static_cast<std::size_t>(c)] = 'H';
  return s;
}

class GridTest : public ::testing::TestWithParam<Face> {
 protected:
  void SetUp() override {
    ensureApp();
    const Face face = GetParam();
    memo = std::make_unique<TJumpMemo>();
    QFont f(QString::fromLatin1(face.family));
    f.setPixelSize(face.pixelSize);
    f.setBold(face.bold);
    memo->setFont(f);
    memo->setFrameShape(QFrame::NoFrame);
    memo->resize(930, 6 * 24);
    memo->show();
    memo->activateWindow();
    memo->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(memo.get()));
    ASSERT_EQ(QFontInfo(memo->font()).family(), QString::fromLatin1(face.family));
    // The point of the test: the face's advance is a fraction of a pixel.
    const double advance = QFontMetricsF(memo->font()).horizontalAdvance(QLatin1Char('H'));
    EXPECT_GT(std::abs(advance - std::round(advance)), 0.05) << advance;
    memo->setText({marks(400, {0, 1, 5, 10, 41, 77, 79, 80, 81, 150, 250, 297, 299, 300, 301, 310}),
                   "~abc" + std::string(74, ' ') + "~word" + std::string(213, ' ') + "~wxyz   ",
                   "a\tb\xAD"
                   "c",
                   std::string(80, 'x'), marks(310, {})});
    ASSERT_GT(memo->visibleColumns(), 85);
  }
  void scrollToColumn(int col) {
    memo->horizontalScrollBar()->setValue(col);
    ASSERT_EQ(memo->firstColumn(), col);
  }
  QImage screen() const { return memo->viewport()->grab().toImage(); }
  int x(int col) const { return 4 + (col - memo->firstColumn()) * memo->charWidth(); }
  int top(int line) const { return (line - memo->firstLine()) * memo->lineHeight(); }
  // Pixels of a cell (or a run of cells) that pass a test, over the whole row height.
  template <typename Test>
  int countIn(const QImage& img, int line, int fromX, int toX, Test test) const {
    int n = 0;
    for (int y = top(line); y < top(line) + memo->lineHeight(); ++y)
      for (int px = std::max(0, fromX); px < std::min(img.width(), toX); ++px)
        if (test(img.pixel(px, y))) ++n;
    return n;
  }
  int inkInCell(const QImage& img, int line, int col) const {
    return countIn(img, line, x(col), x(col + 1), ink);
  }
  int firstVisible() const { return memo->firstColumn(); }
  int lastVisible() const { return memo->firstColumn() + memo->visibleColumns() - 2; }

  ScriptedPrompts prompts;
  std::unique_ptr<TJumpMemo> memo;
};

TEST_P(GridTest, EveryGlyphSitsOnItsOwnCell) {
  const std::string& line = memo->Lines()[0];
  for (int first : {0, 40, 220}) {
    scrollToColumn(first);
    memo->setCaret(4, first);  // the caret out of the way, on a blank line
    const QImage img = screen();
    for (int c = firstVisible(); c <= lastVisible() && c < static_cast<int>(line.size()); ++c) {
      const bool h = line[static_cast<std::size_t>(c)] == 'H';
      EXPECT_EQ(inkInCell(img, 0, c) > 0, h) << "column " << c << " from " << first;
    }
  }
}

TEST_P(GridTest, TabAndSoftHyphenTakeOneCellEach) {
  memo->setCaret(4, 0);
  const QImage img = screen();
  const bool inked[] = {true, false, true, true, true, false, false};
  for (int c = 0; c < 7; ++c) EXPECT_EQ(inkInCell(img, 2, c) > 0, inked[c]) << "column " << c;
}

TEST_P(GridTest, CaretAtEndOfAnEightyCharacterLineTouchesTheText) {
  memo->setCaret(3, 0);
  QTest::keyClick(memo.get(), Qt::Key_End);
  ASSERT_EQ(memo->caret().Col, 80);
  const QImage img = screen();
  EXPECT_EQ(memo->caretRect().left(), x(80));
  // The caret's two columns are black over the row.
  const int y = top(3) + memo->lineHeight() / 2;
  EXPECT_EQ(img.pixel(x(80), y), QColor(Qt::black).rgb());
  EXPECT_EQ(img.pixel(x(80) + 1, y), QColor(Qt::black).rgb());
  // The last character's ink lies in the cell right before the caret, and nothing of the text
  // lies beyond it.
  EXPECT_GT(inkInCell(img, 3, 79), 0);
  EXPECT_EQ(countIn(img, 3, x(80) + 2, img.width(), ink), 0);
}

TEST_P(GridTest, CaretStandsAtTheLeftEdgeOfItsCharacter) {
  for (int col : {0, 80, 300}) {
    memo->setCaret(0, col);
    const QImage img = screen();
    const int y = top(0) + 2;
    EXPECT_EQ(memo->caretRect().left(), x(col)) << col;
    EXPECT_EQ(img.pixel(x(col), y), QColor(Qt::black).rgb()) << col;
    // The "H" of that column begins right after it, inside the same cell.
    EXPECT_GT(countIn(img, 0, x(col) + 2, x(col + 1), ink), 0) << col;
    if (col > 0) {
      EXPECT_EQ(inkInCell(img, 0, col - 1) > 0,
                memo->Lines()[0][static_cast<std::size_t>(col - 1)] == 'H')
          << col;
    }
  }
}

TEST_P(GridTest, SelectionCoversExactlyTheSelectedCells) {
  const QColor highlight = memo->palette().color(QPalette::Highlight);
  const QColor highlightedText = memo->palette().color(QPalette::HighlightedText);
  const struct { int first, from, to; } cases[] = {{0, 0, 2}, {0, 78, 82}, {220, 296, 302}};
  QWidget* vp = memo->viewport();
  for (const auto& c : cases) {
    scrollToColumn(c.first);
    const int y = top(0) + memo->lineHeight() / 2;
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(x(c.from), y));
    QMouseEvent move(QEvent::MouseMove, QPointF(x(c.to), y), vp->mapToGlobal(QPointF(x(c.to), y)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(x(c.to), y));
    ASSERT_TRUE(memo->selectionPresent()) << c.from;
    ASSERT_EQ(memo->selectedText(), memo->Lines()[0].substr(c.from, c.to - c.from));
    memo->clearFocus();  // no caret in the picture
    const QImage img = screen();
    const int bottom = top(0) + memo->lineHeight() - 1;
    auto isHighlight = [&](int px) { return img.pixel(px, bottom) == highlight.rgb(); };
    EXPECT_TRUE(isHighlight(x(c.from))) << c.from;
    EXPECT_TRUE(isHighlight(x(c.to) - 1)) << c.from;
    EXPECT_FALSE(isHighlight(x(c.to))) << c.from;
    if (c.from > c.first) {
      EXPECT_FALSE(isHighlight(x(c.from) - 1)) << c.from;
    }
    // Inside, each "H" in the highlighted text colour on its own cell; outside, black ink only.
    auto light = [&](QRgb px) {
      return qRed(px) > highlight.red() + 40 && qGreen(px) > highlight.green() + 40 &&
             highlightedText.lightness() > 200;
    };
    const std::string& line = memo->Lines()[0];
    for (int col = c.from; col < c.to; ++col) {
      const bool h = line[static_cast<std::size_t>(col)] == 'H';
      EXPECT_EQ(countIn(img, 0, x(col), x(col + 1), light) > 0, h) << col;
    }
    for (int col : {c.from - 1, c.to}) {
      if (col < c.first) continue;
      const bool h = line[static_cast<std::size_t>(col)] == 'H';
      EXPECT_EQ(inkInCell(img, 0, col) > 0, h) << col;
    }
    memo->setFocus();
    QTest::keyClick(memo.get(), Qt::Key_Home);  // drops the selection
  }
}

TEST_P(GridTest, JumpWordColourCoversExactlyItsCells) {
  const struct { int first, tilde, length; } cases[] = {{0, 0, 3}, {0, 78, 4}, {220, 296, 4}};
  for (const auto& c : cases) {
    scrollToColumn(c.first);
    memo->setCaret(4, c.first);
    const QImage img = screen();
    const int wordFrom = x(c.tilde + 1), wordTo = x(c.tilde + 1 + c.length);
    // The "~" leaves no trace; every letter of the word is green, and no green lies outside.
    EXPECT_EQ(inkInCell(img, 1, c.tilde), 0) << c.tilde;
    for (int col = c.tilde + 1; col <= c.tilde + c.length; ++col)
      EXPECT_GT(countIn(img, 1, x(col), x(col + 1), greenish), 0) << col;
    EXPECT_EQ(countIn(img, 1, x(c.tilde - 3), wordFrom, greenish), 0) << c.tilde;
    EXPECT_EQ(countIn(img, 1, wordTo, x(c.tilde + 1 + c.length + 3), greenish), 0) << c.tilde;
    EXPECT_EQ(countIn(img, 1, wordTo, x(c.tilde + 1 + c.length + 3), ink), 0) << c.tilde;
  }
}

INSTANTIATE_TEST_SUITE_P(Faces, GridTest, ::testing::ValuesIn(kFaces),
                         [](const ::testing::TestParamInfo<Face>& info) {
                           std::string name = std::string(info.param.family) + "_" +
                                              std::to_string(info.param.pixelSize) +
                                              (info.param.bold ? "_bold" : "");
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace pagora

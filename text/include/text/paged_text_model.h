// The paged text control without its window: the lines, the caret and selection, scrolling,
// page markers, jump words and picture references, and what the keys and the mouse do, all on a
// grid of equal character cells. The widget that shows it only converts pixels and paints.
//
// The grid: a character cell is cellWidth() pixels wide and lineHeight() pixels high; column c
// of a line is drawn at x = 4 + (c - first visible column) * cellWidth(), so the caret, a click,
// a highlight and every glyph agree at every column.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pagora {

// A rectangle in pixels (left, top, width, height).
struct TCellRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TCellRect&) const = default;
};

// A jump point or a picture reference: the word (name), its line, the column of its first
// character (right after the marker), and its rectangle in document pixels as measured when the
// text was scanned.
struct TJump {
  std::string Word;
  int Line = 0;
  int Column = 0;
  TCellRect Rect;
};
using TPict = TJump;

// A caret-like position: line index, screen row (line - first visible line when recorded),
// column and the length of that line.
struct TMemoPos {
  int Line = 0;
  int Row = 0;
  int Col = 0;
  int Len = 0;
  bool operator==(const TMemoPos& o) const { return Line == o.Line && Col == o.Col; }
};

enum class MemoKey { Down, Up, PageDown, PageUp, Left, Right, Home, End, Enter };

class PagedTextModel {
 public:
  static constexpr int kLeftMargin = 4;

  // What the view hears about. Lines are document line indexes; a scroll reports how far the
  // contents moved (old first line - new, old first column - new).
  std::function<void(int fromLine, int toLine)> OnRepaintLines;
  std::function<void()> OnRepaintAll;
  std::function<void(int dLines, int dCols)> OnScrolled;
  std::function<void()> OnSelect;
  std::function<void()> OnDeSelect;
  std::function<void(const std::string&)> OnJumpClick;
  std::function<void(const std::string&)> OnPictureClick;

  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Replaces the text as a load does: page markers, caret home, view at the top, the longest
  // line measured again, layout, scan. Returns false when page markers could not be inserted.
  bool setText(std::vector<std::string> lines);
  // The owner changed Lines(): the longest line is measured again, the layout follows, the jump
  // words and pictures are found again, and a selection made on the old lines is dropped.
  void linesChanged();

  // Cell size and the visible area, both in pixels.
  void setCellSize(int cellWidth, int lineHeight);
  void setViewSize(int width, int height);
  // Geometry, scroll ranges and caret clamping after the lines or the window changed.
  void refreshLayout();
  void scanJumpsAndPictures();

  // Page markers. Each returns false when the lines could not be changed (out of memory).
  const std::string& Pagemarker() const { return pagemarker_; }
  bool setPagemarker(const std::string& word);
  bool ShowPages() const { return showPages_; }
  bool setShowPages(bool on);
  std::string pageMarkerLine(int page) const;
  bool isMarkerLine(const std::string& line) const;

  const std::vector<std::string>& SelWords() const { return selWords_; }
  void setSelWords(const std::vector<std::string>& words) { selWords_ = words; }
  // The [begin, end) column spans of the line that SelWords highlight.
  std::vector<std::pair<int, int>> selWordSpans(int line) const;

  // Keys (Shift extends the selection, Ctrl as the key table says). Returns false for a key the
  // control does not handle.
  bool key(MemoKey key, bool shift, bool ctrl);
  // Shift let go: a keyboard selection ends; it stays present when the caret left the anchor.
  void shiftReleased();
  // The mouse, in viewport pixels. MouseMove with the button held returns true while the point
  // lies outside the text area, where autoScrollTick keeps moving the view.
  void mousePress(int x, int y);
  bool mouseDrag(int x, int y);
  bool autoScrollTick();
  void mouseRelease();
  bool mouseSelecting() const { return mouseSelecting_; }

  void setCaret(int line, int col);
  void scrollTo(int line, int col);
  // Drops the selection (repaint, OnDeSelect when there was one).
  void removeSelection();

  // Copying: the text for the clipboard (code page 1251, "~" and "^" as spaces, page-marker
  // parts left out) and the block size the copy reports.
  std::string selectedText() const;
  int selectedBlockSize() const;
  // The ordered ends of the selection, columns clamped to their lines.
  void orderedSelection(TMemoPos& start, TMemoPos& end) const;
  // Whether a selection shows (being made or present, and not empty).
  bool selectionShown() const { return (selPresent_ || selecting_) && !(caret_ == anchor_); }

  // Pixel geometry of the grid.
  int columnX(int col) const { return kLeftMargin + (col - firstCol_) * cellWidth_; }
  int lineY(int line) const { return (line - firstLine_) * lineHeight_; }
  TCellRect caretRect() const;
  // The line under a y, the column a click at x puts the caret on (the first column whose
  // prefix reaches x, or the line end), and the column of the cell under x.
  int lineAt(int y) const;
  int caretColumnAt(int line, int x) const;
  int cellColumnAt(int x) const;
  const TJump* jumpAt(int x, int y) const;
  const TPict* pictureAt(int x, int y) const;
  // The jump points and pictures of one line, as [first, last) into jumpPoints()/pictures().
  std::pair<const TJump*, const TJump*> jumpsOfLine(int line) const;
  std::pair<const TPict*, const TPict*> picturesOfLine(int line) const;

  const std::vector<TJump>& jumpPoints() const { return jumps_; }
  const std::vector<TPict>& pictures() const { return picts_; }
  const std::vector<std::string>& jumpWords() const { return jumpWords_; }
  const TMemoPos& caret() const { return caret_; }
  const TMemoPos& anchor() const { return anchor_; }
  bool selectionPresent() const { return selPresent_; }
  bool selecting() const { return selecting_; }
  int firstLine() const { return firstLine_; }
  int firstColumn() const { return firstCol_; }
  int cellWidth() const { return cellWidth_; }
  int lineHeight() const { return lineHeight_; }
  int visibleColumns() const { return visCols_; }
  int visibleRows() const { return visRows_; }
  int longestLine() const { return longest_; }
  int maxScrollColumn() const { return maxScrollCol_; }
  int maxScrollRow() const { return maxScrollRow_; }
  int lineLength(int line) const;
  // The caret's column as shown: clamped to its line.
  int caretColumn() const;

  // Byte -> byte folding for SelWords matching; word and picture-name characters.
  static unsigned char fold(unsigned char c);
  static bool isWordChar(unsigned char c);
  static bool isPictureChar(unsigned char c);

 private:
  void resetCaret();
  bool insertPageMarkers();
  void removePageMarkers();
  TMemoPos makePos(int line, int col) const;
  // Moves the caret, starting, extending or removing the selection; `vertical` keeps the view's
  // column unless the caret would lie outside it (Up, Down, pages).
  void moveCaret(int line, int col, bool extend, bool vertical = false);
  void ensureCaretVisible(bool vertical);
  void repaintLines(int from, int to);
  void repaintAll();

  std::vector<std::string> lines_;
  std::vector<std::string> selWords_;
  std::vector<std::string> jumpWords_;
  std::vector<TJump> jumps_;
  std::vector<TPict> picts_;
  std::string pagemarker_ = "Page";
  bool showPages_ = false;

  int cellWidth_ = 8;
  int lineHeight_ = 16;
  int viewWidth_ = 0;
  int viewHeight_ = 0;
  int visCols_ = 0;
  int visRows_ = 0;
  int longest_ = -1;  // -1: not measured since the lines last changed
  int maxScrollCol_ = 0;
  int maxScrollRow_ = 0;
  int firstLine_ = 0;
  int firstCol_ = 0;

  TMemoPos caret_, anchor_, prevCaret_;
  bool selecting_ = false;
  bool selPresent_ = false;
  bool mouseSelecting_ = false;
  int mouseX_ = 0;
  int mouseY_ = 0;
};

}  // namespace pagora

// TJumpMemo: a read-only fixed-pitch view of a list of code page 1251 lines, with jump words
// ("~word"), picture references ("^name"), optional page-marker lines, search-word highlighting,
// a caret, keyboard and mouse selection, and copying to the clipboard.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QMouseEvent;

namespace pagora {

// A jump point or a picture reference: the word (name), its line, and its rectangle in
// document pixels as measured when the text was scanned.
struct TJump {
  std::string Word;
  int Line = 0;
  int Column = 0;  // column of the first character of the word (right after the marker)
  QRect Rect;
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

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TJumpMemo : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TJumpMemo(QWidget* parent = nullptr);
  ~TJumpMemo() override;

  // The text. The owner may rewrite it and then call Repaint(); scroll ranges and the caret
  // follow the new lines at the next RefreshLayout() (or resize, font change, load).
  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Replaces the text with the file's lines. An unreadable file shows "Не могу загрузить
  // документ из файла !" (caption "Ошибка") and leaves the lines read so far (none). Returns
  // false on that failure.
  bool LoadFromFile(const QString& path);
  // Replaces the text with the given lines as a load does (caret home, markers, layout, scan).
  void SetText(std::vector<std::string> lines);

  // Geometry, scroll ranges, caret clamping and scroll bars after the lines changed.
  void RefreshLayout();
  // Scans the lines for jump points and picture references again.
  void ScanJumpsAndPictures();
  void Repaint();

  // Copies the selection (Ctrl+Insert); returns the block size, 0 when nothing was copied.
  int CopyToClipboard();
  // The text CopyToClipboard would put on the clipboard, in code page 1251 (empty without a
  // selection).
  std::string SelectedText() const;
  // The block size the clipboard copy reports for the current selection (0 without one).
  int SelectedBlockSize() const;

  // Published properties.
  bool Border() const { return border_; }
  void setBorder(bool on);
  QFont Font() const { return font(); }
  void setFont(const QFont& f);
  QColor Color() const { return color_; }
  void setColor(const QColor& c);
  QColor TextColor() const { return textColor_; }
  void setTextColor(const QColor& c);
  QColor SelectColor() const { return selectColor_; }
  void setSelectColor(const QColor& c);
  QColor JumpColor() const { return jumpColor_; }
  void setJumpColor(const QColor& c);
  const std::vector<std::string>& SelWords() const { return selWords_; }
  void setSelWords(const std::vector<std::string>& words);
  const std::string& Pagemarker() const { return pagemarker_; }
  void setPagemarker(const std::string& word);
  bool ShowPages() const { return showPages_; }
  void setShowPages(bool on);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void setScrollBars(TScrollStyle style);
  int JumpPointLength() const { return jumpPointLength_; }
  void setJumpPointLength(int n);
  bool UseJumpPointLength() const { return useJumpPointLength_; }
  void setUseJumpPointLength(bool on);
  int HelpContext() const { return helpContext_; }
  void setHelpContext(int c) { helpContext_ = c; }

  // Events.
  std::function<void(TJumpMemo*, const std::string&)> OnJumpClick;
  std::function<void(TJumpMemo*, const std::string&)> OnPictureClick;
  std::function<void(TJumpMemo*)> OnSelect;
  std::function<void(TJumpMemo*)> OnDeSelect;
  std::function<void(TJumpMemo*, int count)> OnCopyToClipboard;
  std::function<void(TJumpMemo*, QKeyEvent*)> OnKeyDown;
  std::function<void(TJumpMemo*, QKeyEvent*)> OnKeyUp;
  std::function<void(TJumpMemo*, QMouseEvent*)> OnMouseDown;
  // F1: the application's help for HelpContext (nothing happens when unset).
  std::function<void(int helpContext)> OnHelp;

  // State that owners and tests look at.
  const std::vector<TJump>& JumpPoints() const { return jumps_; }
  const std::vector<TPict>& Pictures() const { return picts_; }
  const std::vector<std::string>& JumpWords() const { return jumpWords_; }
  const TMemoPos& Caret() const { return caret_; }
  const TMemoPos& Anchor() const { return anchor_; }
  bool SelectionPresent() const { return selPresent_; }
  bool Selecting() const { return selecting_; }
  int FirstLine() const { return firstLine_; }
  int FirstColumn() const { return firstCol_; }
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  int VisibleColumns() const { return visCols_; }
  int VisibleRows() const { return visRows_; }
  int LongestLine() const { return longest_; }
  int MaxScrollColumn() const { return maxScrollCol_; }
  int MaxScrollRow() const { return maxScrollRow_; }
  // Puts the caret on a line and column (clamped), without selecting; scrolls it into view.
  void SetCaret(int line, int col);
  // The word under a viewport point: a jump word or picture name, or empty.
  const TJump* JumpAt(const QPoint& p) const;
  const TPict* PictureAt(const QPoint& p) const;

  // The marker line of page n (1-based): "- " + Pagemarker + " " + n + " -".
  std::string PageMarkerLine(int page) const;
  // The hand and picture cursors (drawn by the program, not loaded from files).
  static QCursor HandCursor();
  static QCursor PictureCursor();

  // Byte -> byte folding used to match SelWords without regard to case and to Latin/Cyrillic
  // look-alikes.
  static unsigned char Fold(unsigned char c);
  static bool IsWordChar(unsigned char c);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  bool focusNextPrevChild(bool next) override;
  void changeEvent(QEvent* e) override;

 private:
  void resetCaret();
  void measureFont();
  void insertPageMarkers();
  void removePageMarkers();
  bool isMarkerLine(const std::string& line) const;
  void scrollTo(int line, int col);
  void syncScrollBars();
  int lineLength(int line) const;
  TMemoPos makePos(int line, int col) const;
  // Moves the caret; handles selection start/extension/removal and the repaint of changed rows.
  void moveCaret(int line, int col, bool extend);
  void ensureCaretVisible();
  void removeSelection();
  void repaintLines(int from, int to);
  int columnAt(int line, int x) const;
  int lineAt(int y) const;
  void autoScrollTick();
  void paintRow(class QPainter& p, int row, int line) const;
  QRect caretRect() const;
  void orderedSelection(TMemoPos& start, TMemoPos& end) const;

  std::vector<std::string> lines_;
  std::vector<std::string> selWords_;
  std::vector<std::string> jumpWords_;
  std::vector<TJump> jumps_;
  std::vector<TPict> picts_;

  bool border_ = true;
  QColor color_ = Qt::white;
  QColor textColor_ = Qt::black;
  QColor selectColor_ = Qt::red;
  QColor jumpColor_ = QColor(0, 128, 0);
  std::string pagemarker_ = "Page";
  bool showPages_ = false;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  int jumpPointLength_ = 7;
  bool useJumpPointLength_ = false;
  int helpContext_ = 0;

  int charWidth_ = 8;
  int lineHeight_ = 16;
  int ascent_ = 12;
  int visCols_ = 0;
  int visRows_ = 0;
  int longest_ = -1;  // -1: not measured since the last load
  int maxScrollCol_ = 0;
  int maxScrollRow_ = 0;
  int firstLine_ = 0;
  int firstCol_ = 0;

  TMemoPos caret_, anchor_, prevCaret_;
  bool selecting_ = false;
  bool selPresent_ = false;
  bool mouseSelecting_ = false;
  QPoint lastMouse_;
  QTimer autoScroll_;
  std::string hoverWord_;
};

}  // namespace pagora

// TJumpMemo: a read-only fixed-pitch view of a list of code page 1251 lines, with jump words
// ("~word"), picture references ("^name"), optional page-marker lines, search-word highlighting,
// a caret, keyboard and mouse selection, and copying to the clipboard. The rules live in
// PagedTextModel; this widget paints its cell grid and hands it the keys and the mouse.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/paged_text_model.h"

class QKeyEvent;
class QMouseEvent;

namespace pagora {

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TJumpMemo : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TJumpMemo(QWidget* parent = nullptr);
  ~TJumpMemo() override;

  // The text. The owner may rewrite it and then call Repaint(); scroll ranges and the caret
  // follow the new lines at the next refreshLayout() (or resize, font change, load).
  std::vector<std::string>& Lines() { return model_.Lines(); }
  const std::vector<std::string>& Lines() const { return model_.Lines(); }

  // Replaces the text with the file's lines. An unreadable file shows "Не могу загрузить
  // документ из файла !" (caption "Ошибка") and leaves the lines read so far (none). Returns
  // false on that failure.
  bool LoadFromFile(const QString& path);
  // Replaces the text with the given lines as a load does (caret home, markers, layout, scan).
  void setText(std::vector<std::string> lines);

  // Geometry, scroll ranges, caret clamping and scroll bars after the lines changed.
  void refreshLayout();
  // The owner changed Lines(): the longest line is measured again, the layout follows, jump
  // words and pictures are found again and a selection of the old lines is dropped.
  void linesChanged();
  // Scans the lines for jump points and picture references again.
  void scanJumpsAndPictures();
  void Repaint();

  // Copies the selection (Ctrl+Insert); returns the block size, 0 when nothing was copied.
  int CopyToClipboard();
  // The text CopyToClipboard would put on the clipboard, in code page 1251 (empty without a
  // selection).
  std::string selectedText() const;
  // The block size the clipboard copy reports for the current selection (0 without one).
  int selectedBlockSize() const;

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
  const std::vector<std::string>& SelWords() const { return model_.SelWords(); }
  void setSelWords(const std::vector<std::string>& words);
  const std::string& Pagemarker() const { return model_.Pagemarker(); }
  void setPagemarker(const std::string& word);
  bool ShowPages() const { return model_.ShowPages(); }
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
  const PagedTextModel& model() const { return model_; }
  const std::vector<TJump>& jumpPoints() const { return model_.jumpPoints(); }
  const std::vector<TPict>& pictures() const { return model_.pictures(); }
  const std::vector<std::string>& jumpWords() const { return model_.jumpWords(); }
  const TMemoPos& caret() const { return model_.caret(); }
  const TMemoPos& anchor() const { return model_.anchor(); }
  bool selectionPresent() const { return model_.selectionPresent(); }
  bool selecting() const { return model_.selecting(); }
  int firstLine() const { return model_.firstLine(); }
  int firstColumn() const { return model_.firstColumn(); }
  // The width of every character cell, a whole number of pixels.
  int charWidth() const { return model_.cellWidth(); }
  int lineHeight() const { return model_.lineHeight(); }
  int visibleColumns() const { return model_.visibleColumns(); }
  int visibleRows() const { return model_.visibleRows(); }
  int longestLine() const { return model_.longestLine(); }
  int maxScrollColumn() const { return model_.maxScrollColumn(); }
  int maxScrollRow() const { return model_.maxScrollRow(); }
  // The caret's rectangle in viewport pixels.
  QRect caretRect() const;
  // Puts the caret on a line and column (clamped), without selecting; scrolls it into view.
  void setCaret(int line, int col);
  // The word under a viewport point: a jump word or picture name, or empty.
  const TJump* jumpAt(const QPoint& p) const;
  const TPict* pictureAt(const QPoint& p) const;

  // The marker line of page n (1-based): "- " + Pagemarker + " " + n + " -".
  std::string pageMarkerLine(int page) const { return model_.pageMarkerLine(page); }
  // The hand and picture cursors (drawn by the program, not loaded from files).
  static QCursor handCursor();
  static QCursor pictureCursor();

  // Byte -> byte folding used to match SelWords without regard to case and to Latin/Cyrillic
  // look-alikes.
  static unsigned char fold(unsigned char c) { return PagedTextModel::fold(c); }
  static bool isWordChar(unsigned char c) { return PagedTextModel::isWordChar(c); }

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
  void measureFont();
  void syncScrollBars();
  void scrolled(int dLines, int dCols);
  void repaintLines(int from, int to);
  void autoScrollTick();
  // The line shown in a row of the window, and the columns of it that can show.
  struct PaintedRow;
  void paintRow(class QPainter& p, int row, int line) const;
  // What is drawn over a row's text: search words, jump points, picture references and the
  // selected span.
  void paintSearchWords(class QPainter& p, const PaintedRow& row) const;
  void paintJumps(class QPainter& p, const PaintedRow& row) const;
  void paintPictures(class QPainter& p, const PaintedRow& row) const;
  void paintSelection(class QPainter& p, const PaintedRow& row) const;
  // Draws columns [from, to) of a line, each character at its own cell, in one colour. Markers
  // ("~", "^") show as blanks when `markersBlank`, and "_" as "." when `underscoreAsDot`.
  void drawCells(class QPainter& p, std::string_view s, int from, int to, int baseline,
                 const QColor& colour, bool markersBlank = false,
                 bool underscoreAsDot = false) const;
  void pagesFailed(bool inserting);

  PagedTextModel model_;

  bool border_ = true;
  QColor color_ = Qt::white;
  QColor textColor_ = Qt::black;
  QColor selectColor_ = Qt::red;
  QColor jumpColor_ = QColor(0, 128, 0);
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  int jumpPointLength_ = 7;
  bool useJumpPointLength_ = false;
  int helpContext_ = 0;

  // The face's glyph for every byte, so that a line is drawn as glyphs placed on the grid
  // rather than laid out as text. A byte the face lacks is drawn on its own with fall-back.
  QRawFont rawFont_;
  std::array<quint32, 256> glyph_{};
  std::array<unsigned char, 256> glyphKind_{};  // 0 blank, 1 glyph, 2 fall-back
  std::array<QChar, 256> shown_{};
  int ascent_ = 12;
  int underlinePos_ = 2;
  int lineWidth_ = 1;
  mutable QVector<quint32> runGlyphs_;
  mutable QVector<QPointF> runPositions_;

  QTimer autoScroll_;
  std::string hoverWord_;
};

}  // namespace pagora

// TJumpMemo: the paged, read-only text control of the view window.
#include "viewer/jmpmemo.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <optional>
#include <type_traits>

#include "text/recode.h"
#include "text/text_buffer.h"
#include "widgets/prompts.h"

namespace pagora {
namespace {

const QString kErrorCaption = QStringLiteral("Ошибка");
const QColor kMarkerColor(0, 0, 255);
const QColor kPictureColor(0, 0, 255);

// Code page 1251 -> Unicode, one entry per byte, built from the project's own table.
const std::array<QChar, 256>& cp1251Table() {
  static const std::array<QChar, 256> table = [] {
    std::array<QChar, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      QString s = QString::fromUtf8(QByteArray::fromStdString(winToUtf8(std::string_view(&c, 1))));
      t[static_cast<std::size_t>(b)] = s.isEmpty() ? QChar(0xFFFD) : s.at(0);
    }
    return t;
  }();
  return table;
}

QString decode(std::string_view s) {
  const auto& t = cp1251Table();
  QString out(static_cast<qsizetype>(s.size()), Qt::Uninitialized);
  QChar* d = out.data();
  for (unsigned char c : s) *d++ = t[c];
  return out;
}

// The system's fixed-pitch font stands in for a face the machine lacks. Only a face that really
// is fixed-pitch will do: columns are counted in character widths.
QFont fixedPitchOrFallback(const QFont& wanted) {
  if (QFontInfo(wanted).fixedPitch()) return wanted;
  auto sized = [&wanted](QFont f) {
    if (wanted.pixelSize() > 0)
      f.setPixelSize(wanted.pixelSize());
    else if (wanted.pointSizeF() > 0)
      f.setPointSizeF(wanted.pointSizeF());
    f.setWeight(wanted.weight());
    f.setItalic(wanted.italic());
    return f;
  };
  QFont sys = sized(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  if (QFontInfo(sys).fixedPitch()) return sys;
  for (const char* family : {"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Noto Mono",
                             "Courier", "monospace"}) {
    QFont f = sized(QFont(QString::fromLatin1(family)));
    if (QFontInfo(f).fixedPitch()) return f;
  }
  sys.setStyleHint(QFont::TypeWriter);
  return sys;
}

// The text looks the same enabled or not; only the caret changes. The usual full repaint on
// every enable/disable would cost each clean-up command a whole screen.
class MemoViewport : public QWidget {
 protected:
  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::EnabledChange) return;
    QWidget::changeEvent(e);
  }
};

}  // namespace

QCursor TJumpMemo::handCursor() {
  static const QCursor cursor = [] {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // A pointing hand: the index finger up, the fist below it.
    hand.addRoundedRect(QRectF(9, 1, 5, 16), 2.5, 2.5);
    hand.addRoundedRect(QRectF(5, 12, 19, 14), 4, 4);
    hand.addRoundedRect(QRectF(14, 9, 4, 8), 2, 2);
    hand.addRoundedRect(QRectF(18, 10, 4, 8), 2, 2);
    hand = hand.simplified();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.end();
    return QCursor(pm, 11, 1);
  }();
  return cursor;
}

QCursor TJumpMemo::pictureCursor() {
  static const QCursor cursor = [] {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    // An arrow tip at the hot spot and a small framed landscape beside it.
    QPolygon arrow({QPoint(0, 0), QPoint(0, 12), QPoint(3, 9), QPoint(8, 9)});
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
    p.setBrush(Qt::white);
    p.drawRect(10, 12, 18, 14);
    p.setBrush(QColor(0, 128, 0));
    p.drawPolygon(
        QPolygon({QPoint(11, 25), QPoint(17, 17), QPoint(21, 22), QPoint(23, 19), QPoint(27, 25)}));
    p.setBrush(QColor(255, 200, 0));
    p.drawEllipse(QPoint(14, 16), 2, 2);
    p.end();
    return QCursor(pm, 0, 0);
  }();
  return cursor;
}

TJumpMemo::TJumpMemo(QWidget* parent) : QAbstractScrollArea(parent) {
  setViewport(new MemoViewport);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_KeyCompression, false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setMouseTracking(true);
  setFrameShape(QFrame::StyledPanel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  model_.OnRepaintLines = [this](int from, int to) { repaintLines(from, to); };
  model_.OnRepaintAll = [this] { viewport()->update(); };
  model_.OnScrolled = [this](int dLines, int dCols) { scrolled(dLines, dCols); };
  model_.OnSelect = [this] {
    if (OnSelect) OnSelect(this);
  };
  model_.OnDeSelect = [this] {
    if (OnDeSelect) OnDeSelect(this);
  };
  model_.OnJumpClick = [this](const std::string& w) {
    if (OnJumpClick) OnJumpClick(this, w);
  };
  model_.OnPictureClick = [this](const std::string& w) {
    if (OnPictureClick) OnPictureClick(this, w);
  };
  QAbstractScrollArea::setFont(fixedPitchOrFallback(QFont(QStringLiteral("Courier New"), 10)));
  measureFont();
  autoScroll_.setInterval(40);
  connect(&autoScroll_, &QTimer::timeout, this, [this] { autoScrollTick(); });
  resize(200, 200);
}

TJumpMemo::~TJumpMemo() = default;

void TJumpMemo::measureFont() {
  QFontMetrics fm(font());
  // Every character gets a cell of one whole number of pixels: the face's advance rounded.
  // Glyphs are placed on that grid one by one, so a fractional advance cannot add up along a
  // line.
  model_.setCellSize(std::max(1, fm.horizontalAdvance(QLatin1Char('0'))), std::max(1, fm.height()));
  ascent_ = fm.ascent();
  underlinePos_ = std::max(1, fm.underlinePos());
  lineWidth_ = std::max(1, fm.lineWidth());

  rawFont_ = QRawFont::fromFont(font());
  const auto& table = cp1251Table();
  for (int b = 0; b < 256; ++b) {
    const auto i = static_cast<std::size_t>(b);
    QChar c = table[i];
    // A tab and other control characters take their cell as a blank; a soft hyphen shows.
    if (b < 0x20 || b == 0x7F) c = QLatin1Char(' ');
    if (b == 0xAD) c = QLatin1Char('-');
    shown_[i] = c;
    glyph_[i] = 0;
    glyphKind_[i] = 0;
    if (c == QLatin1Char(' ')) continue;
    if (rawFont_.isValid()) {
      const QList<quint32> g = rawFont_.glyphIndexesForString(QString(c));
      if (!g.isEmpty() && g.front() != 0) {
        glyph_[i] = g.front();
        glyphKind_[i] = 1;
        continue;
      }
    }
    glyphKind_[i] = 2;
  }
}

void TJumpMemo::drawCells(QPainter& p, std::string_view s, int from, int to, int baseline,
                          const QColor& colour, bool markersBlank, bool underscoreAsDot) const {
  from = std::max(from, 0);
  to = std::min(to, static_cast<int>(s.size()));
  if (to <= from) return;
  runGlyphs_.clear();
  runPositions_.clear();
  const int cw = model_.cellWidth();
  int x = model_.columnX(from);
  std::vector<std::pair<int, QChar>> fallback;
  for (int c = from; c < to; ++c, x += cw) {
    unsigned char b = static_cast<unsigned char>(s[static_cast<std::size_t>(c)]);
    if (markersBlank && (b == '~' || b == '^')) continue;
    if (underscoreAsDot && b == '_') b = '.';
    switch (glyphKind_[b]) {
      case 1:
        runGlyphs_.push_back(glyph_[b]);
        runPositions_.push_back(QPointF(x, baseline));
        break;
      case 2:
        fallback.emplace_back(x, shown_[b]);
        break;
      default:
        break;
    }
  }
  p.setPen(colour);
  if (!runGlyphs_.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(runGlyphs_);
    run.setPositions(runPositions_);
    p.drawGlyphRun(QPointF(0, 0), run);
  }
  // A character the face lacks comes from another face, still in its own cell.
  for (const auto& [fx, ch] : fallback) p.drawText(QPointF(fx, baseline), QString(ch));
}

void TJumpMemo::linesChanged() {
  model_.setViewSize(viewport()->width(), viewport()->height());
  model_.linesChanged();
}

bool TJumpMemo::LoadFromFile(const QString& path) {
  std::vector<std::string> lines;
  bool ok = true;
  try {
    lines = splitLines(readFileBytes(path.toStdString()));
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok)
    Prompts::current().ask(this, kErrorCaption,
                           QStringLiteral("Не могу загрузить документ из файла !"),
                           PromptKind::Error, PromptButtons::Ok);
  setText(std::move(lines));
  return ok;
}

void TJumpMemo::setText(std::vector<std::string> lines) {
  model_.setViewSize(viewport()->width(), viewport()->height());
  if (!model_.setText(std::move(lines))) pagesFailed(true);
}

void TJumpMemo::pagesFailed(bool inserting) {
  Prompts::current().ask(this, kErrorCaption,
                         inserting ? QStringLiteral("Не могу вставить указатель страницы !")
                                   : QStringLiteral("Не могу убрать указатель страницы !"),
                         PromptKind::Error, PromptButtons::Ok);
}

void TJumpMemo::refreshLayout() {
  model_.setViewSize(viewport()->width(), viewport()->height());
  model_.refreshLayout();
}

void TJumpMemo::syncScrollBars() {
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  const QSignalBlocker bh(h), bv(v);
  h->setRange(0, std::max(1, model_.maxScrollColumn()));
  h->setSingleStep(1);
  h->setPageStep(std::max(1, model_.visibleColumns() / 2));
  h->setValue(model_.firstColumn());
  v->setRange(0, std::max(1, model_.maxScrollRow()));
  v->setSingleStep(1);
  v->setPageStep(std::max(1, model_.visibleRows()));
  v->setValue(model_.firstLine());
}

void TJumpMemo::scrolled(int dLines, int dCols) {
  syncScrollBars();
  if (dLines == 0 && dCols == 0) return;
  // Move what is already drawn and repaint only the uncovered strip.
  if (dCols == 0 && std::abs(dLines) < model_.visibleRows())
    viewport()->scroll(0, dLines * model_.lineHeight());
  else if (dLines == 0 && std::abs(dCols) < model_.visibleColumns())
    viewport()->scroll(dCols * model_.cellWidth(), 0);
  else
    viewport()->update();
}

void TJumpMemo::scrollContentsBy(int, int) {
  model_.scrollTo(verticalScrollBar()->value(), horizontalScrollBar()->value());
}

void TJumpMemo::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  refreshLayout();
}

void TJumpMemo::Repaint() {
  viewport()->update();
}

void TJumpMemo::scanJumpsAndPictures() {
  model_.scanJumpsAndPictures();
}

void TJumpMemo::setShowPages(bool on) {
  model_.setViewSize(viewport()->width(), viewport()->height());
  if (!model_.setShowPages(on)) pagesFailed(true);
}

void TJumpMemo::setPagemarker(const std::string& word) {
  model_.setViewSize(viewport()->width(), viewport()->height());
  if (!model_.setPagemarker(word)) pagesFailed(true);
}

void TJumpMemo::setBorder(bool on) {
  border_ = on;
  setFrameShape(on ? QFrame::StyledPanel : QFrame::NoFrame);
  refreshLayout();
}

void TJumpMemo::setFont(const QFont& f) {
  QAbstractScrollArea::setFont(fixedPitchOrFallback(f));
  measureFont();
  refreshLayout();
  scanJumpsAndPictures();
  Repaint();
}

void TJumpMemo::setColor(const QColor& c) {
  color_ = c;
  Repaint();
}
void TJumpMemo::setTextColor(const QColor& c) {
  textColor_ = c;
  Repaint();
}
void TJumpMemo::setSelectColor(const QColor& c) {
  selectColor_ = c;
  Repaint();
}
void TJumpMemo::setJumpColor(const QColor& c) {
  jumpColor_ = c;
  Repaint();
}
void TJumpMemo::setSelWords(const std::vector<std::string>& words) {
  model_.setSelWords(words);
  Repaint();
}

void TJumpMemo::setScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  const bool h = style == TScrollStyle::ssHorizontal || style == TScrollStyle::ssBoth;
  const bool v = style == TScrollStyle::ssVertical || style == TScrollStyle::ssBoth;
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  refreshLayout();
}

void TJumpMemo::setJumpPointLength(int n) {
  jumpPointLength_ = n;
  scanJumpsAndPictures();
  Repaint();
}

void TJumpMemo::setUseJumpPointLength(bool on) {
  useJumpPointLength_ = on;
  scanJumpsAndPictures();
  Repaint();
}

// ---- painting -------------------------------------------------------------------------------

QRect TJumpMemo::caretRect() const {
  const TCellRect r = model_.caretRect();
  return QRect(r.Left, r.Top, r.Width, r.Height);
}

struct TJumpMemo::PaintedRow {
  const std::string& text;
  int line;
  int y, baseline;
  int cellWidth, lineHeight;
  int c0, c1;  // only the columns that can show: one either side of the window
  const PagedTextModel& model;

  QRect cells(int from, int to) const {
    return QRect(model.columnX(from), y, (to - from) * cellWidth, lineHeight);
  }
  bool visible(int from, int to) const { return to > c0 && from < c1; }
};

void TJumpMemo::paintRow(QPainter& p, int row, int line) const {
  const std::string& s = model_.Lines()[static_cast<std::size_t>(line)];
  const int len = static_cast<int>(s.size());
  const int first = model_.firstColumn();
  const int y = row * model_.lineHeight();
  const PaintedRow painted{.text = s,
                           .line = line,
                           .y = y,
                           .baseline = y + ascent_,
                           .cellWidth = model_.cellWidth(),
                           .lineHeight = model_.lineHeight(),
                           .c0 = std::min(len, std::max(0, first - 1)),
                           .c1 = std::min(len, first + model_.visibleColumns() + 2),
                           .model = model_};
  const bool marker = model_.isMarkerLine(s);
  drawCells(p, s, painted.c0, painted.c1, painted.baseline, marker ? kMarkerColor : textColor_);
  paintSearchWords(p, painted);
  paintJumps(p, painted);
  paintPictures(p, painted);
  // A page-marker line keeps its own look.
  if (!marker) paintSelection(p, painted);
}

// Search words, drawn again in the selection colour.
void TJumpMemo::paintSearchWords(QPainter& p, const PaintedRow& row) const {
  for (const auto& [a, b] : model_.selWordSpans(row.line)) {
    if (!row.visible(a, b)) continue;
    p.fillRect(row.cells(a, b), color_);
    drawCells(p, row.text, std::max(a, row.c0), std::min(b, row.c1), row.baseline, selectColor_);
  }
}

// Jump points: the marker vanishes, the word is underlined in the jump colour.
void TJumpMemo::paintJumps(QPainter& p, const PaintedRow& row) const {
  auto [jFrom, jTo] = model_.jumpsOfLine(row.line);
  for (const TJump* j = jFrom; j != jTo; ++j) {
    const int a = j->Column, b = a + static_cast<int>(j->Word.size());
    if (!row.visible(a - 1, b)) continue;
    p.fillRect(row.cells(a - 1, b), color_);
    drawCells(p, row.text, std::max(a, row.c0), std::min(b, row.c1), row.baseline, jumpColor_);
    if (b > a) {
      p.fillRect(QRect(model_.columnX(a), row.baseline + underlinePos_, (b - a) * row.cellWidth,
                       lineWidth_),
                 jumpColor_);
    }
  }
}

// Picture references: a dotted frame, the marker vanishes, the name in blue with "_" as ".".
void TJumpMemo::paintPictures(QPainter& p, const PaintedRow& row) const {
  auto [pFrom, pTo] = model_.picturesOfLine(row.line);
  for (const TPict* pc = pFrom; pc != pTo; ++pc) {
    const int a = pc->Column, b = a + static_cast<int>(pc->Word.size());
    if (!row.visible(a - 1, b)) continue;
    p.fillRect(row.cells(a - 1, b), color_);
    drawCells(p, row.text, std::max(a, row.c0), std::min(b, row.c1), row.baseline, kPictureColor,
              false, true);
    QPen dotted(textColor_, 1, Qt::DotLine);
    p.setPen(dotted);
    p.setBrush(Qt::NoBrush);
    p.drawRect(row.cells(a, b).adjusted(-1, 0, 0, -1));
  }
}

// The selected span in the system's highlight colours; markers show as spaces in it.
void TJumpMemo::paintSelection(QPainter& p, const PaintedRow& row) const {
  if (!model_.selectionShown()) return;
  TMemoPos st, en;
  model_.orderedSelection(st, en);
  const int line = row.line;
  if (line < st.Line || line > en.Line) return;
  const int a = line == st.Line ? st.Col : 0;
  const int b = line == en.Line ? en.Col : static_cast<int>(row.text.size());
  const int extra = (line != en.Line) ? 1 : 0;  // the line end of a spanned line
  if (b + extra > a && row.visible(a, b + extra)) {
    p.fillRect(row.cells(a, b + extra), palette().color(QPalette::Highlight));
    drawCells(p, row.text, std::max(a, row.c0), std::min(b, row.c1), row.baseline,
              palette().color(QPalette::HighlightedText), true);
  }
}

void TJumpMemo::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QRect area = e->rect();
  p.fillRect(area, color_);
  p.setFont(font());
  const auto& lines = model_.Lines();
  const int n = static_cast<int>(lines.size());
  const int lh = model_.lineHeight();
  if (n > 0) {
    // After the owner shortened the lines, start from the top rather than show nothing.
    const int first = model_.firstLine() >= n ? 0 : model_.firstLine();
    const int r0 = std::max(0, area.top() / lh);
    const int r1 = std::min(model_.visibleRows(), area.bottom() / lh);
    for (int r = r0; r <= r1; ++r) {
      const int line = first + r;
      if (line >= n) break;
      paintRow(p, r, line);
    }
  }
  if (hasFocus() && isEnabled()) p.fillRect(caretRect(), textColor_);
}

void TJumpMemo::repaintLines(int from, int to) {
  if (from > to) std::swap(from, to);
  const int rows = model_.visibleRows();
  const int lh = model_.lineHeight();
  const int r0 = std::max(0, from - model_.firstLine());
  const int r1 = std::min(rows + 1, to - model_.firstLine());
  if (r1 < 0 || r0 > rows + 1) return;
  viewport()->update(QRect(0, r0 * lh, viewport()->width(), (r1 - r0 + 1) * lh + 2));
}

// ---- caret and keys -------------------------------------------------------------------------

void TJumpMemo::setCaret(int line, int col) {
  model_.setCaret(line, col);
}

void TJumpMemo::keyPressEvent(QKeyEvent* e) {
  if (OnKeyDown) OnKeyDown(this, e);
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  auto memoKey = [](int k) -> std::optional<MemoKey> {
    switch (k) {
      case Qt::Key_Down:
        return MemoKey::Down;
      case Qt::Key_Up:
        return MemoKey::Up;
      case Qt::Key_PageDown:
        return MemoKey::PageDown;
      case Qt::Key_PageUp:
        return MemoKey::PageUp;
      case Qt::Key_Left:
        return MemoKey::Left;
      case Qt::Key_Right:
        return MemoKey::Right;
      case Qt::Key_Home:
        return MemoKey::Home;
      case Qt::Key_End:
        return MemoKey::End;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return MemoKey::Enter;
      default:
        return std::nullopt;
    }
  };
  if (const auto k = memoKey(e->key())) {
    model_.key(*k, shift, ctrl);
  } else if (e->key() == Qt::Key_F1) {
    if (OnHelp) OnHelp(helpContext_);
  } else if ((e->key() == Qt::Key_Insert || e->key() == Qt::Key_C) && ctrl) {
    // Ctrl+C as well: the usual copy key on this platform.
    CopyToClipboard();
  } else {
    QAbstractScrollArea::keyPressEvent(e);
    return;
  }
  e->accept();
}

void TJumpMemo::keyReleaseEvent(QKeyEvent* e) {
  if (OnKeyUp) OnKeyUp(this, e);
  if (e->key() == Qt::Key_Shift) model_.shiftReleased();
  QAbstractScrollArea::keyReleaseEvent(e);
}

bool TJumpMemo::focusNextPrevChild(bool next) {
  return QAbstractScrollArea::focusNextPrevChild(next);
}

void TJumpMemo::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  viewport()->update(caretRect());
}

void TJumpMemo::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  viewport()->update(caretRect());
}

void TJumpMemo::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) viewport()->update(caretRect());
}

// ---- mouse ------------------------------------------------------------------------------------

const TJump* TJumpMemo::jumpAt(const QPoint& pt) const {
  return model_.jumpAt(pt.x(), pt.y());
}

const TPict* TJumpMemo::pictureAt(const QPoint& pt) const {
  return model_.pictureAt(pt.x(), pt.y());
}

void TJumpMemo::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  if (OnMouseDown) OnMouseDown(this, e);
  if (model_.Lines().empty() || e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  if (jumpAt(pt) || pictureAt(pt)) viewport()->setCursor(Qt::ArrowCursor);
  model_.mousePress(pt.x(), pt.y());
}

void TJumpMemo::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (!(e->buttons() & Qt::LeftButton) || !model_.mouseSelecting()) {
    try {
      if (const TJump* j = jumpAt(pt)) {
        viewport()->setCursor(handCursor());
        hoverWord_ = j->Word;
      } else if (const TPict* pc = pictureAt(pt)) {
        viewport()->setCursor(pictureCursor());
        hoverWord_ = pc->Word;
      } else {
        viewport()->setCursor(Qt::IBeamCursor);
        hoverWord_.clear();
      }
    } catch (const std::exception&) {
      Prompts::current().ask(this, kErrorCaption,
                             QStringLiteral("Не могу распознать слово под курсором!"),
                             PromptKind::Error, PromptButtons::Ok);
    }
    return;
  }
  if (model_.mouseDrag(pt.x(), pt.y())) {
    if (!autoScroll_.isActive()) autoScroll_.start();
  } else {
    autoScroll_.stop();
  }
}

void TJumpMemo::autoScrollTick() {
  if (!model_.autoScrollTick()) autoScroll_.stop();
}

void TJumpMemo::mouseReleaseEvent(QMouseEvent* e) {
  autoScroll_.stop();
  if (e->button() == Qt::LeftButton) model_.mouseRelease();
}

// The second press of a double click neither moves the caret nor activates a word.
void TJumpMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
}

// ---- clipboard --------------------------------------------------------------------------------

int TJumpMemo::selectedBlockSize() const {
  return model_.selectedBlockSize();
}

std::string TJumpMemo::selectedText() const {
  return model_.selectedText();
}

int TJumpMemo::CopyToClipboard() {
  if (!model_.selectionPresent()) return 0;
  const int size = selectedBlockSize();
  const std::string text = selectedText();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return 0;
  clipboard->setText(decode(text));
  if (OnCopyToClipboard) OnCopyToClipboard(this, size);
  model_.removeSelection();
  Repaint();
  return size;
}

}  // namespace pagora

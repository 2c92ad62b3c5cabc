// TJumpMemo: the paged, read-only text control of the view window.
#include "text/ui/jmpmemo.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
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
#include <type_traits>

#include "components/prompts.h"
#include "text/recode.h"
#include "text/text_buffer.h"

namespace pagora {
namespace {

const QString kErrorCaption = QStringLiteral("Ошибка");
const QColor kMarkerColor(0, 0, 255);
const QColor kPictureColor(0, 0, 255);
constexpr int kLeftMargin = 4;

// Code page 1251 -> Unicode, one entry per byte, built from the project's own table.
const std::array<QChar, 256>& cp1251Table() {
  static const std::array<QChar, 256> table = [] {
    std::array<QChar, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      QString s = QString::fromUtf8(QByteArray::fromStdString(WinToUtf8(std::string_view(&c, 1))));
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

// The folding table: Latin look-alikes and small letters onto Cyrillic capitals, the remaining
// small Latin letters onto their capitals, and a few pairs of the upper half.
const std::array<unsigned char, 256>& foldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    auto set = [&t](unsigned char from, unsigned char to) { t[from] = to; };
    // Every small Cyrillic letter onto its capital.
    for (int i = 0xE0; i <= 0xFF; ++i)
      set(static_cast<unsigned char>(i), static_cast<unsigned char>(i - 0x20));
    // Latin letters that look like Cyrillic capitals.
    const struct {
      char latin;
      unsigned char cyr;
    } lookalikes[] = {{'A', 0xC0}, {'B', 0xC2}, {'E', 0xC5}, {'K', 0xCA}, {'M', 0xCC}, {'H', 0xCD},
                      {'O', 0xCE}, {'P', 0xD0}, {'C', 0xD1}, {'T', 0xD2}, {'Y', 0xD3}, {'X', 0xD5}};
    for (auto l : lookalikes) {
      set(static_cast<unsigned char>(l.latin), l.cyr);
      set(static_cast<unsigned char>(l.latin - 'A' + 'a'), l.cyr);
    }
    set(0xBD, 0xCD);  // Ѕ
    set(0xBE, 0xCD);  // ѕ
    for (char c : std::string_view("DFGJLNQRSUVWZ"))
      set(static_cast<unsigned char>(c - 'A' + 'a'), static_cast<unsigned char>(c));
    set('i', 'I');
    set(0xB2, 'I');  // І
    set(0xB3, 'I');  // і
    set(0xA1, 0xA2);
    set(0xA3, 0xA4);
    set(0xA6, 0xA8);
    set(0xAC, 0xAD);
    set(0xAF, 0xB0);
    set(0xB5, 0xB8);
    set(0xBA, 0xBC);
    return t;
  }();
  return table;
}

bool isPictureChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
         c == '_' || c >= 0xC0;
}

std::string fold(std::string_view s) {
  const auto& t = foldTable();
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i)
    out[i] = static_cast<char>(t[static_cast<unsigned char>(s[i])]);
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

unsigned char TJumpMemo::Fold(unsigned char c) {
  return foldTable()[c];
}

bool TJumpMemo::IsWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
}

QCursor TJumpMemo::HandCursor() {
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

QCursor TJumpMemo::PictureCursor() {
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
  QAbstractScrollArea::setFont(fixedPitchOrFallback(QFont(QStringLiteral("Courier New"), 10)));
  measureFont();
  autoScroll_.setInterval(40);
  connect(&autoScroll_, &QTimer::timeout, this, [this] { autoScrollTick(); });
  resize(200, 200);
}

TJumpMemo::~TJumpMemo() = default;

void TJumpMemo::measureFont() {
  QFontMetrics fm(font());
  // Columns follow the advance the text is drawn with; for a fixed-pitch face it is the
  // average character width.
  charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  lineHeight_ = std::max(1, fm.height());
  ascent_ = fm.ascent();
}

std::string TJumpMemo::PageMarkerLine(int page) const {
  return "- " + pagemarker_ + " " + std::to_string(page) + " -";
}

bool TJumpMemo::isMarkerLine(const std::string& line) const {
  return line.find("- " + pagemarker_ + " ") != std::string::npos;
}

int TJumpMemo::lineLength(int line) const {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return 0;
  return static_cast<int>(lines_[static_cast<std::size_t>(line)].size());
}

TMemoPos TJumpMemo::makePos(int line, int col) const {
  TMemoPos p;
  p.Line = line;
  p.Row = line - firstLine_;
  p.Len = lineLength(line);
  p.Col = std::max(0, col);
  return p;
}

void TJumpMemo::resetCaret() {
  caret_ = anchor_ = prevCaret_ = makePos(0, 0);
  caret_.Row = anchor_.Row = prevCaret_.Row = 0;
  selecting_ = selPresent_ = mouseSelecting_ = false;
}

bool TJumpMemo::LoadFromFile(const QString& path) {
  lines_.clear();
  bool ok = true;
  try {
    lines_ = SplitLines(ReadFileBytes(path.toStdString()));
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok)
    Prompts::current().ask(this, kErrorCaption,
                           QStringLiteral("Не могу загрузить документ из файла !"),
                           PromptKind::Error, PromptButtons::Ok);
  SetText(std::move(lines_));
  return ok;
}

void TJumpMemo::SetText(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  if (showPages_) {
    removePageMarkers();
    insertPageMarkers();
  }
  firstLine_ = firstCol_ = 0;
  resetCaret();
  longest_ = -1;
  RefreshLayout();
  ScanJumpsAndPictures();
  Repaint();
}

void TJumpMemo::RefreshLayout() {
  if (longest_ < 0) {
    std::size_t longest = 0;
    for (const auto& l : lines_) longest = std::max(longest, l.size());
    longest_ = static_cast<int>(std::min<std::size_t>(longest, 1 << 30));
  }
  const int n = static_cast<int>(lines_.size());
  visCols_ = viewport()->width() / charWidth_;
  visRows_ = viewport()->height() / lineHeight_;
  maxScrollCol_ = std::max(0, longest_ - visCols_ + 1);
  maxScrollRow_ = std::max(0, n - visRows_);
  if (n > 0) {
    caret_.Line = std::clamp(caret_.Line, 0, n - 1);
    anchor_.Line = std::clamp(anchor_.Line, 0, n - 1);
    caret_.Len = lineLength(caret_.Line);
    anchor_.Len = lineLength(anchor_.Line);
    const int row = caret_.Line - firstLine_;
    if (visRows_ > 0 && row > visRows_ - 1) firstLine_ = caret_.Line - (visRows_ - 1);
    firstLine_ = std::clamp(firstLine_, 0, maxScrollRow_);
    firstCol_ = std::clamp(firstCol_, 0, maxScrollCol_);
    caret_.Row = caret_.Line - firstLine_;
  } else {
    firstLine_ = firstCol_ = 0;
    resetCaret();
  }
  syncScrollBars();
  viewport()->update();
}

void TJumpMemo::syncScrollBars() {
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  const QSignalBlocker bh(h), bv(v);
  h->setRange(0, std::max(1, maxScrollCol_));
  h->setSingleStep(1);
  h->setPageStep(std::max(1, visCols_ / 2));
  h->setValue(firstCol_);
  v->setRange(0, std::max(1, maxScrollRow_));
  v->setSingleStep(1);
  v->setPageStep(std::max(1, visRows_));
  v->setValue(firstLine_);
}

void TJumpMemo::scrollTo(int line, int col) {
  line = std::clamp(line, 0, maxScrollRow_);
  col = std::clamp(col, 0, maxScrollCol_);
  const int dy = firstLine_ - line;
  const int dx = firstCol_ - col;
  firstLine_ = line;
  firstCol_ = col;
  caret_.Row = caret_.Line - firstLine_;
  syncScrollBars();
  if (dx == 0 && dy == 0) return;
  // Move what is already drawn and repaint only the uncovered strip.
  if (dx == 0 && std::abs(dy) < visRows_)
    viewport()->scroll(0, dy * lineHeight_);
  else if (dy == 0 && std::abs(dx) < visCols_)
    viewport()->scroll(dx * charWidth_, 0);
  else
    viewport()->update();
}

void TJumpMemo::scrollContentsBy(int, int) {
  scrollTo(verticalScrollBar()->value(), horizontalScrollBar()->value());
}

void TJumpMemo::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  RefreshLayout();
}

void TJumpMemo::Repaint() {
  viewport()->update();
}

void TJumpMemo::ScanJumpsAndPictures() {
  jumps_.clear();
  picts_.clear();
  jumpWords_.clear();
  const int scrollPx = firstCol_ * charWidth_;
  for (std::size_t li = 0; li < lines_.size(); ++li) {
    const std::string& s = lines_[li];
    // Two plain byte searches: far quicker than a search for either byte at once.
    if (s.find('~') == std::string::npos && s.find('^') == std::string::npos) continue;
    const int line = static_cast<int>(li);
    auto scan = [&](char marker, bool (*nameChar)(unsigned char), std::vector<TJump>& out,
                    bool jumpWords) {
      std::size_t pos = 0;
      while ((pos = s.find(marker, pos)) != std::string::npos) {
        if (pos > 0 && IsWordChar(static_cast<unsigned char>(s[pos - 1]))) break;
        std::size_t e = pos + 1;
        while (e < s.size() && nameChar(static_cast<unsigned char>(s[e]))) ++e;
        TJump j;
        j.Word = s.substr(pos + 1, e - pos - 1);
        j.Line = line;
        j.Column = static_cast<int>(pos + 1);
        const int left = j.Column * charWidth_ - scrollPx;
        const int top = line * lineHeight_;
        j.Rect = QRect(QPoint(left, top),
                       QSize(static_cast<int>(j.Word.size()) * charWidth_, lineHeight_));
        if (jumpWords) {
          auto it = std::lower_bound(jumpWords_.begin(), jumpWords_.end(), j.Word);
          if (it == jumpWords_.end() || *it != j.Word) jumpWords_.insert(it, j.Word);
        }
        out.push_back(std::move(j));
        pos = e;
      }
    };
    scan('~', &TJumpMemo::IsWordChar, jumps_, true);
    scan('^', &isPictureChar, picts_, false);
  }
}

void TJumpMemo::insertPageMarkers() {
  try {
    const std::size_t n = lines_.size() / 50;
    std::vector<std::string> out;
    out.reserve(lines_.size() + n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
      out.push_back(PageMarkerLine(static_cast<int>(i + 1)));
      const std::size_t from = i * 50, to = std::min(lines_.size(), from + 50);
      for (std::size_t k = from; k < to; ++k) out.push_back(std::move(lines_[k]));
    }
    lines_ = std::move(out);
  } catch (const std::bad_alloc&) {
    Prompts::current().ask(this, kErrorCaption,
                           QStringLiteral("Не могу вставить указатель страницы !"),
                           PromptKind::Error, PromptButtons::Ok);
  }
  longest_ = -1;
}

void TJumpMemo::removePageMarkers() {
  const std::string marker = "- " + pagemarker_ + " ";
  lines_.erase(
      std::remove_if(lines_.begin(), lines_.end(),
                     [&](const std::string& l) { return l.find(marker) != std::string::npos; }),
      lines_.end());
  longest_ = -1;
}

void TJumpMemo::setShowPages(bool on) {
  showPages_ = on;
  removePageMarkers();
  if (on) insertPageMarkers();
  RefreshLayout();
  ScanJumpsAndPictures();
  Repaint();
}

void TJumpMemo::setPagemarker(const std::string& word) {
  if (showPages_) removePageMarkers();
  pagemarker_ = word;
  if (showPages_) {
    insertPageMarkers();
    RefreshLayout();
    ScanJumpsAndPictures();
  }
  Repaint();
}

void TJumpMemo::setBorder(bool on) {
  border_ = on;
  setFrameShape(on ? QFrame::StyledPanel : QFrame::NoFrame);
  RefreshLayout();
}

void TJumpMemo::setFont(const QFont& f) {
  QAbstractScrollArea::setFont(fixedPitchOrFallback(f));
  measureFont();
  RefreshLayout();
  ScanJumpsAndPictures();
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
  selWords_ = words;
  Repaint();
}

void TJumpMemo::setScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  const bool h = style == TScrollStyle::ssHorizontal || style == TScrollStyle::ssBoth;
  const bool v = style == TScrollStyle::ssVertical || style == TScrollStyle::ssBoth;
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  RefreshLayout();
}

void TJumpMemo::setJumpPointLength(int n) {
  jumpPointLength_ = n;
  ScanJumpsAndPictures();
  Repaint();
}

void TJumpMemo::setUseJumpPointLength(bool on) {
  useJumpPointLength_ = on;
  ScanJumpsAndPictures();
  Repaint();
}

// ---- painting -------------------------------------------------------------------------------

QRect TJumpMemo::caretRect() const {
  const int col = std::min(caret_.Col, lineLength(caret_.Line));
  const int x = col * charWidth_ + kLeftMargin - firstCol_ * charWidth_;
  const int y = (caret_.Line - firstLine_) * lineHeight_ + 1;
  return QRect(x, y, 2, lineHeight_);
}

void TJumpMemo::orderedSelection(TMemoPos& start, TMemoPos& end) const {
  TMemoPos a = anchor_, c = caret_;
  a.Col = std::min(a.Col, lineLength(a.Line));
  c.Col = std::min(c.Col, lineLength(c.Line));
  if (a.Line < c.Line || (a.Line == c.Line && a.Col <= c.Col)) {
    start = a;
    end = c;
  } else {
    start = c;
    end = a;
  }
}

void TJumpMemo::paintRow(QPainter& p, int row, int line) const {
  const std::string& s = lines_[static_cast<std::size_t>(line)];
  const int len = static_cast<int>(s.size());
  const int y = row * lineHeight_;
  const int x0 = kLeftMargin - firstCol_ * charWidth_;
  const int baseline = y + ascent_;
  // Only the columns that can show: one either side of the window.
  const int c0 = std::min(len, std::max(0, firstCol_ - 1));
  const int c1 = std::min(len, firstCol_ + visCols_ + 2);
  auto xOf = [&](int col) { return x0 + col * charWidth_; };
  auto cellRect = [&](int from, int to) {
    return QRect(xOf(from), y, (to - from) * charWidth_, lineHeight_);
  };
  auto visible = [&](int from, int to) { return to > c0 && from < c1; };
  const bool marker = isMarkerLine(s);

  p.setPen(marker ? kMarkerColor : textColor_);
  if (c1 > c0) p.drawText(xOf(c0), baseline, decode(std::string_view(s).substr(c0, c1 - c0)));

  // Search words, drawn again in the selection colour.
  if (!selWords_.empty() && len > 0) {
    const std::string folded = fold(s);
    for (const std::string& rawWord : selWords_) {
      std::string word = rawWord;
      bool prefix = false;
      if (!word.empty() && word.back() == '*') {
        prefix = true;
        word.pop_back();
      }
      if (word.empty()) continue;
      word = fold(word);
      std::size_t pos = 0;
      while ((pos = folded.find(word, pos)) != std::string::npos) {
        const std::size_t e = pos + word.size();
        const bool startOk = pos == 0 || !IsWordChar(static_cast<unsigned char>(s[pos - 1]));
        const bool endOk = prefix || e == s.size() || !IsWordChar(static_cast<unsigned char>(s[e]));
        if (!startOk || !endOk) break;
        const int a = static_cast<int>(pos), b = static_cast<int>(e);
        if (visible(a, b)) {
          p.fillRect(cellRect(a, b), color_);
          p.setPen(selectColor_);
          p.drawText(xOf(a), baseline, decode(std::string_view(s).substr(pos, word.size())));
        }
        pos = e;
      }
    }
  }

  // Jump points: the marker vanishes, the word is underlined in the jump colour.
  auto lineRange = [line](const std::vector<TJump>& v) {
    return std::equal_range(v.begin(), v.end(), line, [](const auto& a, const auto& b) {
      if constexpr (std::is_same_v<std::decay_t<decltype(a)>, int>)
        return a < b.Line;
      else
        return a.Line < b;
    });
  };
  {
    auto [from, to] = lineRange(jumps_);
    if (from != to) {
      QFont underlined = font();
      underlined.setUnderline(true);
      for (auto it = from; it != to; ++it) {
        const int a = it->Column, b = a + static_cast<int>(it->Word.size());
        if (!visible(a - 1, b)) continue;
        p.fillRect(cellRect(a - 1, b), color_);
        p.setFont(underlined);
        p.setPen(jumpColor_);
        p.drawText(xOf(a), baseline, decode(it->Word));
        p.setFont(font());
      }
    }
  }
  // Picture references: a dotted frame, the marker vanishes, the name in blue with "_" as ".".
  {
    auto [from, to] = lineRange(picts_);
    for (auto it = from; it != to; ++it) {
      const int a = it->Column, b = a + static_cast<int>(it->Word.size());
      if (!visible(a - 1, b)) continue;
      p.fillRect(cellRect(a - 1, b), color_);
      std::string shown = it->Word;
      std::replace(shown.begin(), shown.end(), '_', '.');
      p.setPen(kPictureColor);
      p.drawText(xOf(a), baseline, decode(shown));
      QPen dotted(textColor_, 1, Qt::DotLine);
      p.setPen(dotted);
      p.setBrush(Qt::NoBrush);
      p.drawRect(cellRect(a, b).adjusted(-1, 0, 0, -1));
    }
  }

  // The selected span in the system's highlight colours; markers show as spaces in it and a
  // page-marker line keeps its own look.
  if ((selPresent_ || selecting_) && !(caret_ == anchor_) && !marker) {
    TMemoPos st, en;
    orderedSelection(st, en);
    if (line >= st.Line && line <= en.Line) {
      const int a = line == st.Line ? st.Col : 0;
      const int b = line == en.Line ? en.Col : len;
      const int extra = (line != en.Line) ? 1 : 0;  // the line end of a spanned line
      if (b + extra > a && visible(a, b + extra)) {
        p.fillRect(cellRect(a, b + extra), palette().color(QPalette::Highlight));
        std::string part = s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
        std::replace(part.begin(), part.end(), '~', ' ');
        std::replace(part.begin(), part.end(), '^', ' ');
        p.setPen(palette().color(QPalette::HighlightedText));
        p.drawText(xOf(a), baseline, decode(part));
      }
    }
  }
}

void TJumpMemo::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QRect area = e->rect();
  p.fillRect(area, color_);
  p.setFont(font());
  const int n = static_cast<int>(lines_.size());
  if (n > 0) {
    // After the owner shortened the lines, start from the top rather than show nothing.
    const int first = firstLine_ >= n ? 0 : firstLine_;
    const int r0 = std::max(0, area.top() / lineHeight_);
    const int r1 = std::min(visRows_, area.bottom() / lineHeight_);
    for (int r = r0; r <= r1; ++r) {
      const int line = first + r;
      if (line >= n) break;
      paintRow(p, r, line);
    }
  }
  if (hasFocus() && isEnabled() && n >= 0) p.fillRect(caretRect(), textColor_);
}

void TJumpMemo::repaintLines(int from, int to) {
  if (from > to) std::swap(from, to);
  const int r0 = std::max(0, from - firstLine_);
  const int r1 = std::min(visRows_ + 1, to - firstLine_);
  if (r1 < 0 || r0 > visRows_ + 1) return;
  viewport()->update(
      QRect(0, r0 * lineHeight_, viewport()->width(), (r1 - r0 + 1) * lineHeight_ + 2));
}

// ---- caret and selection ------------------------------------------------------------------

void TJumpMemo::removeSelection() {
  const bool had = selPresent_ || selecting_;
  TMemoPos st, en;
  orderedSelection(st, en);
  selPresent_ = selecting_ = false;
  anchor_ = caret_;
  if (had) {
    repaintLines(st.Line, en.Line);
    if (OnDeSelect) OnDeSelect(this);
  }
}

void TJumpMemo::ensureCaretVisible() {
  int line = firstLine_, col = firstCol_;
  if (caret_.Line < line) line = caret_.Line;
  if (visRows_ > 0 && caret_.Line > line + visRows_ - 1) line = caret_.Line - visRows_ + 1;
  const int c = std::min(caret_.Col, lineLength(caret_.Line));
  if (c < col) col = c;
  if (visCols_ > 0 && c > col + visCols_ - 1) col = c - visCols_ + 1;
  // The longest line was measured at load; a longer line reached by the caret widens the range.
  if (col > maxScrollCol_) maxScrollCol_ = col;
  scrollTo(line, col);
}

void TJumpMemo::moveCaret(int line, int col, bool extend) {
  const int n = static_cast<int>(lines_.size());
  if (n == 0) return;
  line = std::clamp(line, 0, n - 1);
  if (extend) {
    if (!selecting_ && !selPresent_) anchor_ = caret_;
    selecting_ = true;
  } else if (selPresent_ || selecting_) {
    removeSelection();
  }
  prevCaret_ = caret_;
  caret_ = makePos(line, col);
  if (!extend) anchor_ = caret_;
  ensureCaretVisible();
  caret_.Row = caret_.Line - firstLine_;
  repaintLines(prevCaret_.Line, caret_.Line);
  if (extend && OnSelect) OnSelect(this);
}

void TJumpMemo::SetCaret(int line, int col) {
  moveCaret(line, col, false);
}

void TJumpMemo::keyPressEvent(QKeyEvent* e) {
  if (OnKeyDown) OnKeyDown(this, e);
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  const int n = static_cast<int>(lines_.size());
  const int col = std::min(caret_.Col, lineLength(caret_.Line));
  switch (e->key()) {
    case Qt::Key_Down:
      if (n) {
        moveCaret(caret_.Line + 1, caret_.Col, shift);
        if (caret_.Col < firstCol_) scrollTo(firstLine_, 0);
      }
      break;
    case Qt::Key_Up:
      if (n) {
        moveCaret(caret_.Line - 1, caret_.Col, shift);
        if (caret_.Col < firstCol_) scrollTo(firstLine_, 0);
      }
      break;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
      if (!n) break;
      if (selPresent_) removeSelection();
      const bool down = e->key() == Qt::Key_PageDown;
      const int page = std::max(1, visRows_);
      if (ctrl) {
        const int target = down ? std::min(n - 1, firstLine_ + page - 1) : firstLine_;
        moveCaret(target, caret_.Col, shift);
      } else {
        const int target = std::clamp(caret_.Line + (down ? page : -page), 0, n - 1);
        scrollTo(firstLine_ + (down ? page : -page), firstCol_);
        moveCaret(target, caret_.Col, shift);
      }
      break;
    }
    case Qt::Key_Left:
      if (!n) break;
      if (col > 0)
        moveCaret(caret_.Line, col - 1, shift);
      else if (caret_.Line > 0)
        moveCaret(caret_.Line - 1, lineLength(caret_.Line - 1), shift);
      break;
    case Qt::Key_Right:
      if (!n) break;
      if (col < lineLength(caret_.Line))
        moveCaret(caret_.Line, col + 1, shift);
      else if (caret_.Line < n - 1)
        moveCaret(caret_.Line + 1, std::min(1, lineLength(caret_.Line + 1)), shift);
      break;
    case Qt::Key_Home:
      if (!n) break;
      if (ctrl) {
        moveCaret(0, 0, shift);
        scrollTo(0, 0);
      } else {
        moveCaret(caret_.Line, 0, shift);
        scrollTo(firstLine_, 0);
      }
      break;
    case Qt::Key_End:
      if (!n) break;
      if (ctrl) {
        moveCaret(n - 1, lineLength(n - 1), shift);
        scrollTo(maxScrollRow_, firstCol_);
      } else {
        moveCaret(caret_.Line, lineLength(caret_.Line), shift);
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      for (const auto* list : {&jumps_, &picts_}) {
        for (const TJump& j : *list) {
          if (j.Line != caret_.Line) continue;
          if (col >= j.Column - 1 && col <= j.Column + static_cast<int>(j.Word.size())) {
            if (list == &jumps_ && OnJumpClick) OnJumpClick(this, j.Word);
            if (list == &picts_ && OnPictureClick) OnPictureClick(this, j.Word);
            return;
          }
        }
      }
      break;
    }
    case Qt::Key_F1:
      if (OnHelp) OnHelp(helpContext_);
      break;
    case Qt::Key_Insert:
      if (ctrl) CopyToClipboard();
      break;
    case Qt::Key_C:
      // Ctrl+C as well: the usual copy key on this platform.
      if (ctrl) CopyToClipboard();
      break;
    default:
      QAbstractScrollArea::keyPressEvent(e);
      return;
  }
  e->accept();
}

void TJumpMemo::keyReleaseEvent(QKeyEvent* e) {
  if (OnKeyUp) OnKeyUp(this, e);
  if (e->key() == Qt::Key_Shift && selecting_ && !mouseSelecting_) {
    selecting_ = false;
    TMemoPos st, en;
    orderedSelection(st, en);
    selPresent_ = !(st == en);
    repaintLines(st.Line, en.Line);
  }
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

int TJumpMemo::lineAt(int y) const {
  return firstLine_ + (y < 0 ? -1 - (-y - 1) / lineHeight_ : y / lineHeight_);
}

int TJumpMemo::columnAt(int line, int x) const {
  const int len = lineLength(line);
  // The first column whose text prefix reaches the point, or the line end.
  for (int c = std::max(0, firstCol_ - 1); c <= len; ++c)
    if (kLeftMargin + (c - firstCol_) * charWidth_ >= x) return c;
  return len;
}

const TJump* TJumpMemo::JumpAt(const QPoint& pt) const {
  const int line = lineAt(pt.y());
  if (pt.x() < kLeftMargin || line < 0 || line >= static_cast<int>(lines_.size())) return nullptr;
  const int col = (pt.x() - kLeftMargin) / charWidth_ + firstCol_;
  auto it = std::lower_bound(jumps_.begin(), jumps_.end(), line,
                             [](const TJump& j, int l) { return j.Line < l; });
  for (; it != jumps_.end() && it->Line == line; ++it)
    if (col >= it->Column && col < it->Column + static_cast<int>(it->Word.size())) return &*it;
  return nullptr;
}

const TPict* TJumpMemo::PictureAt(const QPoint& pt) const {
  const int line = lineAt(pt.y());
  if (pt.x() < kLeftMargin || line < 0 || line >= static_cast<int>(lines_.size())) return nullptr;
  const int col = (pt.x() - kLeftMargin) / charWidth_ + firstCol_;
  auto it = std::lower_bound(picts_.begin(), picts_.end(), line,
                             [](const TPict& j, int l) { return j.Line < l; });
  for (; it != picts_.end() && it->Line == line; ++it)
    if (col >= it->Column - 1 && col < it->Column + static_cast<int>(it->Word.size())) return &*it;
  return nullptr;
}

void TJumpMemo::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  if (OnMouseDown) OnMouseDown(this, e);
  const int n = static_cast<int>(lines_.size());
  if (n == 0 || e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  if (const TJump* j = JumpAt(pt)) {
    viewport()->setCursor(Qt::ArrowCursor);
    const std::string word = j->Word;
    if (OnJumpClick) OnJumpClick(this, word);
    return;
  }
  if (const TPict* pc = PictureAt(pt)) {
    viewport()->setCursor(Qt::ArrowCursor);
    const std::string name = pc->Word;
    if (OnPictureClick) OnPictureClick(this, name);
    return;
  }
  const int line = std::clamp(lineAt(pt.y()), 0, n - 1);
  const int col = columnAt(line, pt.x());
  if (selPresent_ || selecting_) removeSelection();
  prevCaret_ = caret_;
  caret_ = makePos(line, col);
  anchor_ = caret_;
  selecting_ = true;
  mouseSelecting_ = true;
  lastMouse_ = pt;
  repaintLines(prevCaret_.Line, caret_.Line);
}

void TJumpMemo::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (!(e->buttons() & Qt::LeftButton) || !mouseSelecting_) {
    try {
      if (const TJump* j = JumpAt(pt)) {
        viewport()->setCursor(HandCursor());
        hoverWord_ = j->Word;
      } else if (const TPict* pc = PictureAt(pt)) {
        viewport()->setCursor(PictureCursor());
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
  lastMouse_ = pt;
  const int n = static_cast<int>(lines_.size());
  if (n == 0) return;
  const bool outside = pt.y() < 0 || pt.y() >= visRows_ * lineHeight_ || pt.x() < 0 ||
                       pt.x() > kLeftMargin + visCols_ * charWidth_;
  if (outside) {
    if (!autoScroll_.isActive()) autoScroll_.start();
    autoScrollTick();
    return;
  }
  autoScroll_.stop();
  const int line = std::clamp(lineAt(pt.y()), 0, n - 1);
  if (line != caret_.Line || columnAt(line, pt.x()) != caret_.Col)
    moveCaret(line, columnAt(line, pt.x()), true);
}

void TJumpMemo::autoScrollTick() {
  const int n = static_cast<int>(lines_.size());
  if (!mouseSelecting_ || n == 0) {
    autoScroll_.stop();
    return;
  }
  const QPoint pt = lastMouse_;
  const int col = std::min(caret_.Col, lineLength(caret_.Line));
  if (pt.y() >= visRows_ * lineHeight_) {
    if (caret_.Line < n - 1) moveCaret(caret_.Line + 1, columnAt(caret_.Line + 1, pt.x()), true);
  } else if (pt.y() < 0) {
    if (caret_.Line > 0) moveCaret(caret_.Line - 1, columnAt(caret_.Line - 1, pt.x()), true);
  } else if (pt.x() > kLeftMargin + visCols_ * charWidth_) {
    if (col < lineLength(caret_.Line)) moveCaret(caret_.Line, col + 1, true);
  } else if (pt.x() < 0) {
    if (col > 0) moveCaret(caret_.Line, col - 1, true);
  }
}

void TJumpMemo::mouseReleaseEvent(QMouseEvent* e) {
  autoScroll_.stop();
  if (e->button() == Qt::LeftButton && mouseSelecting_) {
    mouseSelecting_ = false;
    selecting_ = false;
    TMemoPos st, en;
    orderedSelection(st, en);
    selPresent_ = !(st == en);
    repaintLines(st.Line, en.Line);
  }
}

// The second press of a double click neither moves the caret nor activates a word.
void TJumpMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
}

// ---- clipboard --------------------------------------------------------------------------------

int TJumpMemo::SelectedBlockSize() const {
  if (!selPresent_ && !selecting_) return 0;
  TMemoPos st, en;
  orderedSelection(st, en);
  // A selection left over from lines the owner has since replaced copies nothing.
  if (st == en || en.Line >= static_cast<int>(lines_.size())) return 0;
  if (st.Line == en.Line) return en.Col - st.Col + 1;
  long long size = lineLength(st.Line) - st.Col + 2;
  for (int l = st.Line + 1; l < en.Line; ++l) size += lineLength(l) + 2;
  size += en.Col + 2;
  size += 1;
  return static_cast<int>(std::min<long long>(size, INT_MAX));
}

std::string TJumpMemo::SelectedText() const {
  if (!selPresent_ && !selecting_) return {};
  TMemoPos st, en;
  orderedSelection(st, en);
  if (st == en || en.Line >= static_cast<int>(lines_.size())) return {};
  const std::string marker = "- " + pagemarker_;
  std::string out;
  auto addPart = [&](std::string part, bool last) {
    if (part.find(marker) != std::string::npos) return;
    std::replace(part.begin(), part.end(), '~', ' ');
    std::replace(part.begin(), part.end(), '^', ' ');
    out += part;
    if (!last) out += "\r\n";
  };
  const auto& first = lines_[static_cast<std::size_t>(st.Line)];
  if (st.Line == en.Line) {
    addPart(
        first.substr(static_cast<std::size_t>(st.Col), static_cast<std::size_t>(en.Col - st.Col)),
        true);
    return out;
  }
  addPart(first.substr(static_cast<std::size_t>(st.Col)), false);
  for (int l = st.Line + 1; l < en.Line; ++l) addPart(lines_[static_cast<std::size_t>(l)], false);
  addPart(lines_[static_cast<std::size_t>(en.Line)].substr(0, static_cast<std::size_t>(en.Col)),
          true);
  return out;
}

int TJumpMemo::CopyToClipboard() {
  if (!selPresent_) return 0;
  const int size = SelectedBlockSize();
  const std::string text = SelectedText();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return 0;
  clipboard->setText(decode(text));
  if (OnCopyToClipboard) OnCopyToClipboard(this, size);
  removeSelection();
  Repaint();
  return size;
}

}  // namespace pagora

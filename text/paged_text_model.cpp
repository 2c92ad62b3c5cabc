// The paged text control's model: lines, caret, selection, scrolling and markup on a cell grid.
#include "text/paged_text_model.h"

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <string_view>
#include <type_traits>

namespace pagora {
namespace {

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

std::string foldText(std::string_view s) {
  const auto& t = foldTable();
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i)
    out[i] = static_cast<char>(t[static_cast<unsigned char>(s[i])]);
  return out;
}

// Floor division for pixel offsets left of or above the grid's origin.
int floorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

template <typename J>
std::pair<const J*, const J*> ofLine(const std::vector<J>& v, int line) {
  auto [from, to] = std::equal_range(v.begin(), v.end(), line, [](const auto& a, const auto& b) {
    if constexpr (std::is_same_v<std::decay_t<decltype(a)>, int>)
      return a < b.Line;
    else
      return a.Line < b;
  });
  const J* base = v.data();
  return {base + (from - v.begin()), base + (to - v.begin())};
}

}  // namespace

unsigned char PagedTextModel::fold(unsigned char c) {
  return foldTable()[c];
}

bool PagedTextModel::isWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
}

bool PagedTextModel::isPictureChar(unsigned char c) {
  return isWordChar(c) || c == '.' || c == '_';
}

int PagedTextModel::lineLength(int line) const {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return 0;
  return static_cast<int>(
      std::min<std::size_t>(lines_[static_cast<std::size_t>(line)].size(), INT_MAX / 2));
}

int PagedTextModel::caretColumn() const {
  return std::min(caret_.Col, lineLength(caret_.Line));
}

TMemoPos PagedTextModel::makePos(int line, int col) const {
  TMemoPos p;
  p.Line = line;
  p.Row = line - firstLine_;
  p.Len = lineLength(line);
  p.Col = std::max(0, col);
  return p;
}

void PagedTextModel::resetCaret() {
  caret_ = anchor_ = prevCaret_ = makePos(0, 0);
  caret_.Row = anchor_.Row = prevCaret_.Row = 0;
  selecting_ = selPresent_ = mouseSelecting_ = false;
}

void PagedTextModel::repaintLines(int from, int to) {
  if (OnRepaintLines) OnRepaintLines(std::min(from, to), std::max(from, to));
}

void PagedTextModel::repaintAll() {
  if (OnRepaintAll) OnRepaintAll();
}

// ---- text and layout ------------------------------------------------------------------------

bool PagedTextModel::setText(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  bool ok = true;
  if (showPages_) {
    removePageMarkers();
    ok = insertPageMarkers();
  }
  firstLine_ = firstCol_ = 0;
  resetCaret();
  longest_ = -1;
  refreshLayout();
  scanJumpsAndPictures();
  repaintAll();
  return ok;
}

void PagedTextModel::linesChanged() {
  selecting_ = selPresent_ = mouseSelecting_ = false;
  anchor_ = prevCaret_ = caret_;
  longest_ = -1;
  refreshLayout();
  scanJumpsAndPictures();
  repaintAll();
}

void PagedTextModel::setCellSize(int cellWidth, int lineHeight) {
  cellWidth_ = std::max(1, cellWidth);
  lineHeight_ = std::max(1, lineHeight);
}

void PagedTextModel::setViewSize(int width, int height) {
  viewWidth_ = std::max(0, width);
  viewHeight_ = std::max(0, height);
}

void PagedTextModel::refreshLayout() {
  if (longest_ < 0) {
    std::size_t longest = 0;
    for (const auto& l : lines_) longest = std::max(longest, l.size());
    longest_ = static_cast<int>(std::min<std::size_t>(longest, 1 << 30));
  }
  const int n = static_cast<int>(lines_.size());
  visCols_ = viewWidth_ / cellWidth_;
  visRows_ = viewHeight_ / lineHeight_;
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
  if (OnScrolled) OnScrolled(0, 0);
  repaintAll();
}

void PagedTextModel::scanJumpsAndPictures() {
  jumps_.clear();
  picts_.clear();
  jumpWords_.clear();
  const int scrollPx = firstCol_ * cellWidth_;
  for (std::size_t li = 0; li < lines_.size(); ++li) {
    const std::string& s = lines_[li];
    // Two plain byte searches: far quicker than a search for either byte at once.
    if (s.find('~') == std::string::npos && s.find('^') == std::string::npos) continue;
    const int line = static_cast<int>(li);
    auto scan = [&](char marker, bool (*nameChar)(unsigned char), std::vector<TJump>& out,
                    bool jumpWords) {
      std::size_t pos = 0;
      while ((pos = s.find(marker, pos)) != std::string::npos) {
        if (pos > 0 && isWordChar(static_cast<unsigned char>(s[pos - 1]))) break;
        std::size_t e = pos + 1;
        while (e < s.size() && nameChar(static_cast<unsigned char>(s[e]))) ++e;
        TJump j;
        j.Word = s.substr(pos + 1, e - pos - 1);
        j.Line = line;
        j.Column = static_cast<int>(pos + 1);
        j.Rect = {j.Column * cellWidth_ - scrollPx, line * lineHeight_,
                  static_cast<int>(j.Word.size()) * cellWidth_, lineHeight_};
        if (jumpWords) {
          auto it = std::lower_bound(jumpWords_.begin(), jumpWords_.end(), j.Word);
          if (it == jumpWords_.end() || *it != j.Word) jumpWords_.insert(it, j.Word);
        }
        out.push_back(std::move(j));
        pos = e;
      }
    };
    scan('~', &isWordChar, jumps_, true);
    scan('^', &isPictureChar, picts_, false);
  }
}

// ---- page markers ---------------------------------------------------------------------------

std::string PagedTextModel::pageMarkerLine(int page) const {
  return "- " + pagemarker_ + " " + std::to_string(page) + " -";
}

bool PagedTextModel::isMarkerLine(const std::string& line) const {
  return line.find("- " + pagemarker_ + " ") != std::string::npos;
}

bool PagedTextModel::insertPageMarkers() {
  try {
    // Everything that allocates comes first: a failure leaves the lines as they were.
    const std::size_t n = lines_.size() / 50;
    std::vector<std::string> markers;
    markers.reserve(n + 1);
    for (std::size_t i = 0; i <= n; ++i) markers.push_back(pageMarkerLine(static_cast<int>(i + 1)));
    std::vector<std::string> out;
    out.reserve(lines_.size() + n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
      out.push_back(std::move(markers[i]));
      const std::size_t from = i * 50, to = std::min(lines_.size(), from + 50);
      for (std::size_t k = from; k < to; ++k) out.push_back(std::move(lines_[k]));
    }
    lines_ = std::move(out);
  } catch (const std::bad_alloc&) {
    longest_ = -1;
    return false;
  }
  longest_ = -1;
  return true;
}

void PagedTextModel::removePageMarkers() {
  const std::string marker = "- " + pagemarker_ + " ";
  lines_.erase(
      std::remove_if(lines_.begin(), lines_.end(),
                     [&](const std::string& l) { return l.find(marker) != std::string::npos; }),
      lines_.end());
  longest_ = -1;
}

bool PagedTextModel::setShowPages(bool on) {
  showPages_ = on;
  removePageMarkers();
  const bool ok = on ? insertPageMarkers() : true;
  refreshLayout();
  scanJumpsAndPictures();
  repaintAll();
  return ok;
}

bool PagedTextModel::setPagemarker(const std::string& word) {
  if (showPages_) removePageMarkers();
  pagemarker_ = word;
  bool ok = true;
  if (showPages_) {
    ok = insertPageMarkers();
    refreshLayout();
    scanJumpsAndPictures();
  }
  repaintAll();
  return ok;
}

// ---- search words -----------------------------------------------------------------------------

std::vector<std::pair<int, int>> PagedTextModel::selWordSpans(int line) const {
  std::vector<std::pair<int, int>> spans;
  if (selWords_.empty() || line < 0 || line >= static_cast<int>(lines_.size())) return spans;
  const std::string& s = lines_[static_cast<std::size_t>(line)];
  if (s.empty()) return spans;
  const std::string folded = foldText(s);
  for (const std::string& rawWord : selWords_) {
    std::string word = rawWord;
    bool prefix = false;
    if (!word.empty() && word.back() == '*') {
      prefix = true;
      word.pop_back();
    }
    if (word.empty()) continue;
    word = foldText(word);
    std::size_t pos = 0;
    while ((pos = folded.find(word, pos)) != std::string::npos) {
      const std::size_t e = pos + word.size();
      const bool startOk = pos == 0 || !isWordChar(static_cast<unsigned char>(s[pos - 1]));
      const bool endOk = prefix || e == s.size() || !isWordChar(static_cast<unsigned char>(s[e]));
      // As with the markers, the first occurrence off a word boundary ends the search.
      if (!startOk || !endOk) break;
      spans.emplace_back(static_cast<int>(pos), static_cast<int>(e));
      pos = e;
    }
  }
  return spans;
}

// ---- scrolling, caret, selection --------------------------------------------------------------

void PagedTextModel::scrollTo(int line, int col) {
  line = std::clamp(line, 0, maxScrollRow_);
  col = std::clamp(col, 0, maxScrollCol_);
  const int dy = firstLine_ - line;
  const int dx = firstCol_ - col;
  firstLine_ = line;
  firstCol_ = col;
  caret_.Row = caret_.Line - firstLine_;
  if (OnScrolled) OnScrolled(dy, dx);
}

void PagedTextModel::orderedSelection(TMemoPos& start, TMemoPos& end) const {
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

void PagedTextModel::removeSelection() {
  const bool had = selPresent_ || selecting_;
  TMemoPos st, en;
  orderedSelection(st, en);
  selPresent_ = selecting_ = false;
  anchor_ = caret_;
  if (had) {
    repaintLines(st.Line, en.Line);
    if (OnDeSelect) OnDeSelect();
  }
}

void PagedTextModel::ensureCaretVisible(bool vertical) {
  int line = firstLine_, col = firstCol_;
  if (caret_.Line < line) line = caret_.Line;
  if (visRows_ > 0 && caret_.Line > line + visRows_ - 1) line = caret_.Line - visRows_ + 1;
  const int c = caretColumn();
  // Up and Down keep the view's column; a caret that the shorter line puts left of it brings
  // the view back to the line start.
  if (c < col) col = vertical ? 0 : c;
  if (visCols_ > 0 && c > col + visCols_ - 1) col = c - visCols_ + 1;
  // The longest line was measured when the lines last changed; a longer line reached by the
  // caret widens the range.
  if (col > maxScrollCol_) maxScrollCol_ = col;
  scrollTo(line, col);
}

void PagedTextModel::moveCaret(int line, int col, bool extend, bool vertical) {
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
  ensureCaretVisible(vertical);
  caret_.Row = caret_.Line - firstLine_;
  repaintLines(prevCaret_.Line, caret_.Line);
  if (extend && OnSelect) OnSelect();
}

void PagedTextModel::setCaret(int line, int col) {
  moveCaret(line, col, false);
}

bool PagedTextModel::key(MemoKey key, bool shift, bool ctrl) {
  const int n = static_cast<int>(lines_.size());
  const int col = caretColumn();
  switch (key) {
    case MemoKey::Down:
    case MemoKey::Up:
      if (n) moveCaret(caret_.Line + (key == MemoKey::Down ? 1 : -1), caret_.Col, shift, true);
      return true;
    case MemoKey::PageDown:
    case MemoKey::PageUp: {
      if (!n) return true;
      if (selPresent_) removeSelection();
      const bool down = key == MemoKey::PageDown;
      const int page = std::max(1, visRows_);
      if (ctrl) {
        const int target = down ? std::min(n - 1, firstLine_ + page - 1) : firstLine_;
        moveCaret(target, caret_.Col, shift);
      } else {
        const int target = std::clamp(caret_.Line + (down ? page : -page), 0, n - 1);
        scrollTo(firstLine_ + (down ? page : -page), firstCol_);
        moveCaret(target, caret_.Col, shift);
      }
      return true;
    }
    case MemoKey::Left:
      if (!n) return true;
      if (col > 0)
        moveCaret(caret_.Line, col - 1, shift);
      else if (caret_.Line > 0)
        moveCaret(caret_.Line - 1, lineLength(caret_.Line - 1), shift);
      return true;
    case MemoKey::Right:
      if (!n) return true;
      if (col < lineLength(caret_.Line))
        moveCaret(caret_.Line, col + 1, shift);
      else if (caret_.Line < n - 1)
        moveCaret(caret_.Line + 1, std::min(1, lineLength(caret_.Line + 1)), shift);
      return true;
    case MemoKey::Home:
      if (!n) return true;
      if (ctrl) {
        moveCaret(0, 0, shift);
        scrollTo(0, 0);
      } else {
        moveCaret(caret_.Line, 0, shift);
        scrollTo(firstLine_, 0);
      }
      return true;
    case MemoKey::End:
      if (!n) return true;
      if (ctrl) {
        moveCaret(n - 1, lineLength(n - 1), shift);
        scrollTo(maxScrollRow_, firstCol_);
      } else {
        moveCaret(caret_.Line, lineLength(caret_.Line), shift);
      }
      return true;
    case MemoKey::Enter: {
      for (const auto* list : {&jumps_, &picts_}) {
        auto [from, to] = ofLine(*list, caret_.Line);
        for (const TJump* j = from; j != to; ++j) {
          if (col >= j->Column - 1 && col <= j->Column + static_cast<int>(j->Word.size())) {
            const std::string word = j->Word;
            if (list == &jumps_ && OnJumpClick) OnJumpClick(word);
            if (list == &picts_ && OnPictureClick) OnPictureClick(word);
            return true;
          }
        }
      }
      return true;
    }
  }
  return false;
}

void PagedTextModel::shiftReleased() {
  if (!selecting_ || mouseSelecting_) return;
  selecting_ = false;
  TMemoPos st, en;
  orderedSelection(st, en);
  selPresent_ = !(st == en);
  repaintLines(st.Line, en.Line);
}

// ---- grid geometry and the mouse --------------------------------------------------------------

TCellRect PagedTextModel::caretRect() const {
  return {columnX(caretColumn()), lineY(caret_.Line) + 1, 2, lineHeight_};
}

int PagedTextModel::lineAt(int y) const {
  return firstLine_ + floorDiv(y, lineHeight_);
}

int PagedTextModel::caretColumnAt(int line, int x) const {
  // The first column whose prefix reaches x: column c ends at columnX(c).
  const int dx = x - kLeftMargin;
  const int rel = dx <= 0 ? -floorDiv(-dx, cellWidth_) : (dx + cellWidth_ - 1) / cellWidth_;
  const long long c = static_cast<long long>(firstCol_) + rel;
  return static_cast<int>(std::clamp<long long>(
      c, std::min(lineLength(line), std::max(0, firstCol_ - 1)), lineLength(line)));
}

int PagedTextModel::cellColumnAt(int x) const {
  return firstCol_ + floorDiv(x - kLeftMargin, cellWidth_);
}

std::pair<const TJump*, const TJump*> PagedTextModel::jumpsOfLine(int line) const {
  return ofLine(jumps_, line);
}

std::pair<const TPict*, const TPict*> PagedTextModel::picturesOfLine(int line) const {
  return ofLine(picts_, line);
}

const TJump* PagedTextModel::jumpAt(int x, int y) const {
  const int line = lineAt(y);
  if (x < kLeftMargin || line < 0 || line >= static_cast<int>(lines_.size())) return nullptr;
  const int col = cellColumnAt(x);
  auto [from, to] = jumpsOfLine(line);
  for (const TJump* j = from; j != to; ++j)
    if (col >= j->Column && col < j->Column + static_cast<int>(j->Word.size())) return j;
  return nullptr;
}

const TPict* PagedTextModel::pictureAt(int x, int y) const {
  const int line = lineAt(y);
  if (x < kLeftMargin || line < 0 || line >= static_cast<int>(lines_.size())) return nullptr;
  const int col = cellColumnAt(x);
  auto [from, to] = picturesOfLine(line);
  for (const TPict* j = from; j != to; ++j)
    if (col >= j->Column - 1 && col < j->Column + static_cast<int>(j->Word.size())) return j;
  return nullptr;
}

void PagedTextModel::mousePress(int x, int y) {
  const int n = static_cast<int>(lines_.size());
  if (n == 0) return;
  if (const TJump* j = jumpAt(x, y)) {
    const std::string word = j->Word;
    if (OnJumpClick) OnJumpClick(word);
    return;
  }
  if (const TPict* pc = pictureAt(x, y)) {
    const std::string name = pc->Word;
    if (OnPictureClick) OnPictureClick(name);
    return;
  }
  const int line = std::clamp(lineAt(y), 0, n - 1);
  const int col = caretColumnAt(line, x);
  if (selPresent_ || selecting_) removeSelection();
  prevCaret_ = caret_;
  caret_ = makePos(line, col);
  anchor_ = caret_;
  selecting_ = true;
  mouseSelecting_ = true;
  mouseX_ = x;
  mouseY_ = y;
  repaintLines(prevCaret_.Line, caret_.Line);
}

bool PagedTextModel::mouseDrag(int x, int y) {
  if (!mouseSelecting_) return false;
  mouseX_ = x;
  mouseY_ = y;
  const int n = static_cast<int>(lines_.size());
  if (n == 0) return false;
  const bool outside =
      y < 0 || y >= visRows_ * lineHeight_ || x < 0 || x > kLeftMargin + visCols_ * cellWidth_;
  if (outside) {
    autoScrollTick();
    return true;
  }
  const int line = std::clamp(lineAt(y), 0, n - 1);
  const int col = caretColumnAt(line, x);
  if (line != caret_.Line || col != caret_.Col) moveCaret(line, col, true);
  return false;
}

bool PagedTextModel::autoScrollTick() {
  const int n = static_cast<int>(lines_.size());
  if (!mouseSelecting_ || n == 0) return false;
  const int col = caretColumn();
  if (mouseY_ >= visRows_ * lineHeight_) {
    if (caret_.Line < n - 1)
      moveCaret(caret_.Line + 1, caretColumnAt(caret_.Line + 1, mouseX_), true);
  } else if (mouseY_ < 0) {
    if (caret_.Line > 0) moveCaret(caret_.Line - 1, caretColumnAt(caret_.Line - 1, mouseX_), true);
  } else if (mouseX_ > kLeftMargin + visCols_ * cellWidth_) {
    if (col < lineLength(caret_.Line)) moveCaret(caret_.Line, col + 1, true);
  } else if (mouseX_ < 0) {
    if (col > 0) moveCaret(caret_.Line, col - 1, true);
  }
  return true;
}

void PagedTextModel::mouseRelease() {
  if (!mouseSelecting_) return;
  mouseSelecting_ = false;
  selecting_ = false;
  TMemoPos st, en;
  orderedSelection(st, en);
  selPresent_ = !(st == en);
  repaintLines(st.Line, en.Line);
}

// ---- copying ----------------------------------------------------------------------------------

int PagedTextModel::selectedBlockSize() const {
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

std::string PagedTextModel::selectedText() const {
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

}  // namespace pagora

// TForm2: the view window and its clean-up commands, which call the text library and keep the
// window responsive while they run.
#include "viewer/view.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "text/recode.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"
#include "text/tidy.h"
#include "widgets/failure_text.h"
#include "widgets/formstorage.h"
#include "widgets/glyphs.h"
#include "widgets/prompts.h"
#if PAGORA_BOOK_IMPORT
#include "textimport/book_import.h"
#endif

namespace pagora {
namespace {

// How often Delete HTML tags lets the window breathe: its progress comes once per character,
// far too often to run the message loop every time.
constexpr int kHtmlPumpMs = 5;
constexpr qint64 kGaugeMs = 40;
constexpr qint64 kQuietStartMs = 15;
// Below this size Delete HTML tags parses well within the quiet start (about 8 ms for 2 MB).
constexpr std::size_t kHtmlQuietBytes = 4u << 20;
// How much of the text the code-page guess looks at.
constexpr std::size_t kSampleBytes = 64 * 1024;

QToolButton* makeButton(QWidget* parent, const QString& text, const QString& hint) {
  auto* b = new QToolButton(parent);
  b->setText(text);
  b->setToolTip(hint);
  b->setFixedSize(40, 40);
  b->setAutoRaise(true);
  return b;
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  resize(870, 640);

  auto* panel = new QWidget(this);
  panel->setFixedHeight(41);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 1);
  row->setSpacing(0);
  SpeedButton1 = makeButton(panel, QStringLiteral("DOS"), tr("DOS to WIN"));
  SpeedButton2 = makeButton(panel, QStringLiteral("KOI"), tr("KOI to WIN"));
  SpeedButton8 = makeButton(panel, QStringLiteral("UTF8"), tr("UTF-8 to WIN"));
  SpeedButton5 = makeButton(panel, QStringLiteral("<H>"), tr("Delete HTML tags"));
  SpeedButton6 = makeButton(panel, QStringLiteral("¶"), QStringLiteral("Один абзац - одна строка"));
  SpeedButton7 = makeButton(panel, QStringLiteral("a  b"),
                            QStringLiteral("Заменить все пробелы от двух и больше одним"));
  SpeedButton9 =
      makeButton(panel, QString(), tr("Tidy: one line per paragraph from a wrapped text"));
  SpeedButton9->setIcon(glyphIcon(Glyph::Tidy));
  SpeedButton9->setIconSize(QSize(24, 24));
  makeTidyMenu();
  SpeedButton4 = makeButton(panel, QStringLiteral("⟳"), tr("Reload file"));
  SpeedButton3 = makeButton(panel, QStringLiteral("✕"), QString());
  for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton8, SpeedButton5, SpeedButton6,
                         SpeedButton7, SpeedButton9, SpeedButton4})
    row->addWidget(b);
  row->addStretch(1);
  row->addWidget(SpeedButton3);

  r = new TJumpMemo(this);
  r->setObjectName(QStringLiteral("r"));
  QFont f(QStringLiteral("Courier New"));
  f.setPixelSize(13);
  f.setBold(true);
  r->setFont(f);
  r->setColor(Qt::white);
  r->setTextColor(Qt::black);
  r->setSelectColor(Qt::red);
  r->setJumpColor(QColor(0, 128, 0));
  r->setJumpPointLength(7);
  r->setUseJumpPointLength(false);
  r->setPagemarker("Page");
  r->setScrollBars(TScrollStyle::ssBoth);

  st = new QStatusBar(this);
  st->setSizeGripEnabled(true);
  status_ = new QLabel(st);
  gauge = new QProgressBar(st);
  gauge->setTextVisible(false);
  gauge->setFixedWidth(200);
  gauge->setRange(0, 1);
  gauge->setValue(0);
  st->addWidget(status_, 1);
  st->addPermanentWidget(gauge);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(panel);
  column->addWidget(r, 1);
  column->addWidget(st);

  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButton8, &QToolButton::clicked, this, [this] { SpeedButton8Click(); });
  connect(SpeedButton5, &QToolButton::clicked, this, [this] { SpeedButton5Click(); });
  connect(SpeedButton6, &QToolButton::clicked, this, [this] { SpeedButton6Click(); });
  connect(SpeedButton7, &QToolButton::clicked, this, [this] { SpeedButton7Click(); });
  connect(SpeedButton9, &QToolButton::clicked, this, [this] { SpeedButton9Click(); });
  connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });

  FormStorage = new TFormStorage(this, QStringLiteral("config.ini"), QStringLiteral("Form2"));
  FormStorage->OnError = [this](const std::exception& e) {
    Prompts::current().error(this, failureText(e));
  };
}

TForm2::~TForm2() = default;

QString TForm2::savePath() const {
#if PAGORA_BOOK_IMPORT
  if (imported_) return QString::fromStdString(importedTextName(fileName_.toStdString()));
#endif
  return fileName_;
}

QString TForm2::statusText() const {
  return status_->text();
}

bool TForm2::openFile(const QString& path) {
  fileName_ = path;
  imported_ = false;
  linesGiven_ = false;
  bool ok = true;
#if PAGORA_BOOK_IMPORT
  // A web page opens as it is: "Delete HTML tags" is this window's way with HTML. Books go
  // into the archive as text, and FB2/EPUB open here as their text, since their markup is XML
  // that the window's commands cannot clean.
  if (isImportableBook(path.toStdString()) && !isHtmlPage(path.toStdString())) {
    imported_ = true;
    importMissing_ = 0;
    std::vector<std::string> lines;
    try {
      lines = importBook(path.toStdString(), &importMissing_);
    } catch (const std::exception& e) {
      ok = false;
      Prompts::current().error(this, failureText(e), QStringLiteral("Ошибка"));
    }
    r->setText(std::move(lines));
    noteCodePage();
    return ok;
  }
#endif
  ok = r->LoadFromFile(path);
  noteCodePage();
  return ok;
}

void TForm2::noteCodePage() {
  if (imported_) {
    QString note = tr("Converted from the book; Close saves the text as %1")
                       .arg(QFileInfo(savePath()).fileName());
    if (importMissing_ != 0) {
      note += QStringLiteral("; ") + tr("%n character(s) have no equivalent in code page 1251", "",
                                        static_cast<int>(importMissing_));
    }
    status_->setText(note);
    return;
  }
  // The start of the text is plenty to tell the code pages apart.
  std::string sample;
  for (const std::string& line : r->Lines()) {
    if (sample.size() >= kSampleBytes) break;
    sample += line;
    sample += '\n';
  }
  QString note;
  // An unsure guess (a word or two) says nothing rather than point at the wrong button.
  const CodePageGuess guess = guessCodePage(sample);
  switch (isConfident(guess) ? guess.page : CodePage::Cp1251) {
    case CodePage::Cp866:
      note = tr("The text looks like DOS code page 866: \"DOS to WIN\" converts it");
      break;
    case CodePage::Koi8r:
      note = tr("The text looks like KOI8-R: \"KOI to WIN\" converts it");
      break;
    case CodePage::Utf8:
      note = tr("The text looks like UTF-8: \"UTF-8 to WIN\" converts it");
      break;
    default:
      break;
  }
  status_->setText(note);
}

void TForm2::En(bool enabled) {
  for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton8, SpeedButton5, SpeedButton6,
                         SpeedButton7, SpeedButton9, SpeedButton4, SpeedButton3})
    b->setEnabled(enabled);
  r->setEnabled(enabled);
  busy_ = !enabled;
}

void TForm2::afterCommand(bool changed) {
  // New lines: their jump words and pictures sit elsewhere, the longest line differs, and a
  // selection made on the old lines means nothing in them.
  r->linesChanged();
  // The gauge shows where the command ended, not where its last throttled update fell.
  gauge->setValue(gauge->maximum());
  if (changed) modified_ = true;
  noteCodePage();
  En(true);
}

void TForm2::setGaugeRange(int maximum) {
  // A text of one or two lines gives a maximum of 0 or less, which a progress bar would show as
  // its endless "busy" animation.
  const int top = std::max(1, maximum);
  if (gauge->maximum() != top || gauge->minimum() != 0) gauge->setRange(0, top);
}

template <typename F>
void TForm2::runLineCommand(F&& command) {
  En(false);
  QElapsedTimer clock;
  clock.start();
  qint64 gaugeShown = -kGaugeMs;
  LineProgress progress = [this, &clock, &gaugeShown](int position, int maximum) {
    setGaugeRange(maximum);
    if (position % 100 != 0) return;
    // The first turn of the message loop repaints the whole window (greyed buttons); a command
    // that ends before anyone could notice is spared it. After that the loop runs every 100
    // lines, and the bar, which repaints itself at once on every new value, moves only as
    // often as an eye can follow.
    const qint64 now = clock.elapsed();
    if (now < kQuietStartMs) return;
    if (now - gaugeShown >= kGaugeMs) {
      gauge->setValue(position);
      gaugeShown = now;
    }
    QCoreApplication::processEvents();
  };
  command(r->Lines(), progress);
  afterCommand(true);
}

void TForm2::SpeedButton1Click() {
  runLineCommand(
      [](TextBuffer& l, const LineProgress& p) { recodeLines(l, Recoding::DosToWin, p); });
}

void TForm2::SpeedButton2Click() {
  runLineCommand(
      [](TextBuffer& l, const LineProgress& p) { recodeLines(l, Recoding::KoiToWin, p); });
}

void TForm2::SpeedButton8Click() {
  std::size_t missing = 0;
  runLineCommand([&missing](TextBuffer& l, const LineProgress& p) {
    missing = recodeLines(l, Recoding::Utf8ToWin, p);
  });
  // What even the fallback could not spell in 1251 became "?": say how much.
  if (missing != 0) {
    status_->setText(
        tr("%n character(s) have no equivalent in code page 1251", "", static_cast<int>(missing)));
  }
}

void TForm2::SpeedButton6Click() {
  runLineCommand([](TextBuffer& l, const LineProgress& p) { oneParagraphOneLine(l, p); });
}

void TForm2::SpeedButton7Click() {
  runLineCommand([](TextBuffer& l, const LineProgress& p) { collapseSpaces(l, p); });
}

void TForm2::makeTidyMenu() {
  auto* menu = new QMenu(SpeedButton9);
  auto* layouts = new QActionGroup(menu);
  const std::pair<TidyLayout, QString> choices[] = {
      {TidyLayout::Auto, tr("Automatic")},
      {TidyLayout::Lines, tr("One paragraph a line (leave the text as it is)")},
      {TidyLayout::Indent, tr("Indented paragraphs")},
      {TidyLayout::Blank, tr("Blank lines between paragraphs")},
      {TidyLayout::Width, tr("By line width (a short line ends a paragraph)")},
  };
  for (const auto& [layout, text] : choices) {
    QAction* a = menu->addAction(text);
    a->setCheckable(true);
    a->setChecked(layout == tidyLayout_);
    layouts->addAction(a);
    connect(a, &QAction::triggered, this, [this, layout = layout] { tidyLayout_ = layout; });
  }
  menu->addSeparator();
  keepHyphens_ = menu->addAction(tr("Keep hyphens at line ends"));
  keepHyphens_->setCheckable(true);
  SpeedButton9->setMenu(menu);
  // The button runs Tidy; its arrow opens the choices.
  SpeedButton9->setPopupMode(QToolButton::MenuButtonPopup);
}

void TForm2::SpeedButton9Click() {
  En(false);
  TidyOptions options;
  options.layout = tidyLayout_;
  options.keepHyphens = keepHyphens_->isChecked();
  TidyReport report;
  TextBuffer tidied = tidyLines(r->Lines(), options, &report);
  const bool changed = tidied != r->Lines();
  r->Lines() = std::move(tidied);
  afterCommand(changed);
  const QString layouts[] = {tr("automatic"), tr("one paragraph a line"), tr("indented paragraphs"),
                             tr("blank lines between paragraphs"), tr("by line width")};
  status_->setText(tr("Tidy (%1): %2 lines, %3 words rejoined, %4 page lines removed%5")
                       .arg(layouts[static_cast<int>(report.layout)])
                       .arg(report.paragraphs)
                       .arg(report.hyphensJoined)
                       .arg(report.pageLines)
                       .arg(changed ? QString() : tr(", nothing to change")));
}

void TForm2::SpeedButton5Click() {
  En(false);
  QElapsedTimer clock;
  clock.start();
  qint64 lastPump = kQuietStartMs - kHtmlPumpMs;  // the first turn comes after the quiet start
  unsigned calls = 0;
  HtmlProgress progress = [this, &clock, &lastPump, &calls](int line, int total) {
    // Even reading the clock once per character would cost the command much of its speed.
    if (++calls % 1024 != 0) return;
    const qint64 now = clock.elapsed();
    if (now - lastPump < kHtmlPumpMs) return;
    setGaugeRange(total);
    gauge->setValue(line);
    QCoreApplication::processEvents();
    lastPump = now;
  };
  // The parser's progress comes once per character, and that call alone costs a text most of
  // the parsing time again. A text this short is through long before the first turn of the
  // message loop would come, so it runs without the event.
  std::size_t bytes = 0;
  for (const std::string& line : r->Lines()) bytes += line.size();
  deleteHtmlTags(r->Lines(), HTMLParser1, bytes < kHtmlQuietBytes ? HtmlProgress() : progress);
  afterCommand(true);
}

void TForm2::SpeedButton4Click() {
  En(false);
  openFile(fileName_);
  En(true);
}

void TForm2::SpeedButton3Click() {
  close();
}

bool TForm2::saveLines() {
  try {
    saveTextFile(savePath().toStdString(), r->Lines());
  } catch (const std::exception& e) {
    Prompts::current().error(this, failureText(e), QStringLiteral("Ошибка"));
    return false;
  }
  modified_ = false;
  return true;
}

void TForm2::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TForm2::FormShow() {
  // A converted book exists only in memory until it is saved.
  modified_ = imported_;
  QString caption = fileName_;
  if (imported_) caption += tr(" (converted text, saved as %1)").arg(savePath());
  setWindowTitle(caption);
  // Lines a caller put in directly are another text: caret and view go home, and its jump
  // words, pictures and longest line are found afresh.
  if (linesGiven_)
    r->setText(std::move(r->Lines()));
  else
    r->refreshLayout();
  linesGiven_ = false;
  noteCodePage();
  En(true);
  r->setFocus();
}

void TForm2::closeEvent(QCloseEvent* e) {
  // A command still runs and pumps the message loop: closing now would pull its text away.
  if (busy_) {
    e->ignore();
    return;
  }
  // Closing by the frame asks like the close button: unsaved work is never dropped silently.
  if (modified_) {
    const PromptAnswer a =
        Prompts::current().ask(this, tr("Confirm "), tr("Save changes to\n\r%1").arg(savePath()),
                               PromptKind::Question, PromptButtons::YesNoCancel);
    if (a == PromptAnswer::Cancel || (a == PromptAnswer::Yes && !saveLines())) {
      e->ignore();
      return;
    }
  }
  closing_ = true;
  QDialog::closeEvent(e);
  closing_ = false;
}

void TForm2::reject() {
  // Escape goes the same way as the close button.
  if (closing_)
    QDialog::reject();
  else
    close();
}

int runViewWindowStandalone(const QString& path) {
  TForm2 window;
  const bool ok = window.openFile(path);
  window.exec();
  return ok ? 0 : 1;
}

}  // namespace pagora

// The dialog's layout, its log and progress operations, the tick and the About box.
#include "corvane/uploader_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace corvane {

namespace {

// The log keeps CR LF line ends; the box shows plain lines.
QString displayText(const std::string& log) {
  QString text = QString::fromUtf8(log.data(), static_cast<qsizetype>(log.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  return text;
}

bool isUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
      return true;
    default:
      return false;
  }
}

// Qt shows a busy animation for an empty range; an empty range means nothing to show here.
int barMaximum(std::uint32_t maximum) {
  return maximum == 0 ? 1 : static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX));
}

}  // namespace

QIcon corvaneIcon() {
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1F, 0x5F, 0x8F));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    painter.setPen(QPen(Qt::white, size / 8.0));
    const QRectF arc(size * 0.22, size * 0.22, size * 0.56, size * 0.56);
    painter.drawArc(arc, 45 * 16, 270 * 16);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

UploaderDialog::UploaderDialog(UploadOptions options, SerialPort& port, Clock& clock,
                               std::optional<std::string> receiverImage, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      port_(port) {
  setWindowTitle(QStringLiteral("Corvane"));
  setWindowIcon(corvaneIcon());

  logBox_ = new QPlainTextEdit(this);
  logBox_->setReadOnly(true);
  logBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
  logBox_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(logBox_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { contextMenu()->exec(logBox_->mapToGlobal(at)); });
  progressBar_ = new QProgressBar(this);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(12);
  layout->addWidget(logBox_, 1);
  layout->addWidget(progressBar_);
  resize(300, 310);

  engine_ = std::make_unique<UploadEngine>(std::move(options), port, clock, *this,
                                           std::move(receiverImage));
  showLog();

  // One data block per tick is the protocol's speed limit, so the tick keeps its period.
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(static_cast<int>(UploadEngine::kTickMs));
  connect(&timer_, &QTimer::timeout, this, &UploaderDialog::onTick);
  QApplication::instance()->installEventFilter(this);
}

UploaderDialog::~UploaderDialog() {
  QApplication::instance()->removeEventFilter(this);
  for (auto& held : heldInput_) delete held.second;
}

void UploaderDialog::initialize() {
  logBox_->moveCursor(QTextCursor::End);
  logBox_->ensureCursorVisible();
  const bool opened = engine_->openPort();
  QTextCursor caret = logBox_->textCursor();
  caret.setPosition(std::min(1000, logBox_->document()->characterCount() - 1));
  logBox_->setTextCursor(caret);
  logBox_->ensureCursorVisible();
  if (!opened) return;
  engine_->start();
  if (!timer_.isActive()) timer_.start();
  if (engine_->fast() && port_.inputDescriptor() >= 0) {
    portNotifier_ =
        std::make_unique<QSocketNotifier>(port_.inputDescriptor(), QSocketNotifier::Read);
    portNotifier_->setEnabled(false);
    connect(portNotifier_.get(), &QSocketNotifier::activated, this, &UploaderDialog::fastStep);
  }
}

bool UploaderDialog::watchingPort() const {
  return portNotifier_ != nullptr && portNotifier_->isEnabled();
}

void UploaderDialog::fastStep() {
  if (inTick_) return;
  onTick();
  // The tick stands in only after a whole period without a step.
  if (timer_.isActive()) timer_.start();
}

void UploaderDialog::afterStep() {
  if (!portNotifier_) return;
  const bool fast = engine_->fastPhase() && port_.isOpen();
  portNotifier_->setEnabled(fast);
  if (fast && engine_->stepDueNow()) QTimer::singleShot(0, this, &UploaderDialog::fastStep);
}

void UploaderDialog::showLog() {
  logBox_->setPlainText(displayText(logText_));
  logBox_->moveCursor(QTextCursor::End);
  logBox_->ensureCursorVisible();
}

void UploaderDialog::appendLog(std::string_view text) {
  logText_ += text;
  showLog();
}

void UploaderDialog::setProgressRange(std::uint32_t maximum) {
  progressMaximum_ = maximum;
  progressBar_->setRange(0, barMaximum(maximum));
}

void UploaderDialog::setProgressPosition(std::uint32_t position) {
  progressValue_ = std::min(position, progressMaximum_);
  progressBar_->setValue(static_cast<int>(progressValue_));
}

void UploaderDialog::advanceProgress(std::uint32_t amount) {
  progressValue_ =
      std::min<std::uint64_t>(std::uint64_t{progressValue_} + amount, progressMaximum_);
  progressBar_->setValue(static_cast<int>(progressValue_));
}

bool UploaderDialog::inputPending() {
  return inputProbe_ ? inputProbe_() : userInputWaiting();
}

// Qt offers no look at queued input that leaves it queued. So while a tick runs, the dialog
// holds back every key press and pointer event meant for it (the application-wide filter
// below) and lets the other events through; anything held means the user wants attention.
// The held events are handed back, in their order, once the tick is over: nothing is lost.
// The pointer moving over the dialog and held modifier keys count too, as the window system
// reports them.
bool UploaderDialog::userInputWaiting() {
  if (heldInput_.empty()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  if (!heldInput_.empty()) return true;
  const QPoint cursor = QCursor::pos();
  if (cursor != cursorAtTick_ && frameGeometry().contains(cursor)) return true;
  return QGuiApplication::queryKeyboardModifiers() != Qt::NoModifier;
}

bool UploaderDialog::belongsToDialog(QObject* object) const {
  if (object == nullptr) return false;
  if (object->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(object);
    return widget == this || isAncestorOf(widget);
  }
  if (object->isWindowType()) {
    const QWindow* own = windowHandle();
    return own != nullptr && object == own;
  }
  return false;
}

bool UploaderDialog::eventFilter(QObject* watched, QEvent* event) {
  if (holdingInput_ && isUserInput(event->type()) && belongsToDialog(watched)) {
    heldInput_.emplace_back(QPointer<QObject>(watched), event->clone());
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void UploaderDialog::replayHeldInput() {
  std::vector<std::pair<QPointer<QObject>, QEvent*>> held;
  held.swap(heldInput_);
  for (auto& [receiver, event] : held) {
    if (receiver) {
      QCoreApplication::postEvent(receiver, event);
    } else {
      delete event;
    }
  }
}

void UploaderDialog::onTick() {
  if (inTick_) return;
  inTick_ = true;
  cursorAtTick_ = QCursor::pos();
  holdingInput_ = true;
  engine_->tick();
  holdingInput_ = false;
  inTick_ = false;
  replayHeldInput();
  afterStep();
}

std::unique_ptr<QMenu> UploaderDialog::contextMenu() {
  std::unique_ptr<QMenu> menu(logBox_->createStandardContextMenu());
  menu->addSeparator();
  QAction* about = menu->addAction(tr("&About Corvane..."));
  connect(about, &QAction::triggered, this, &UploaderDialog::showAbout);
  return menu;
}

void UploaderDialog::contextMenuEvent(QContextMenuEvent* event) {
  contextMenu()->exec(event->globalPos());
}

void UploaderDialog::showAbout() {
  QDialog about(this, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  about.setObjectName(QStringLiteral("aboutBox"));
  about.setWindowTitle(tr("About Corvane"));
  auto* icon = new QLabel(&about);
  icon->setPixmap(corvaneIcon().pixmap(32, 32));
  auto* version = new QLabel(tr("Corvane Version 1.0"), &about);
  version->setObjectName(QStringLiteral("version"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addWidget(version, 1);
  row->addWidget(buttons);
  auto* layout = new QVBoxLayout(&about);
  layout->addLayout(row);
  about.exec();
}

}  // namespace corvane

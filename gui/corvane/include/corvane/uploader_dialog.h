// Corvane's only window: the log box and the progress bar, driven by a 200 ms tick that runs
// the upload engine one step at a time.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uploader/upload_engine.h"

class QPlainTextEdit;
class QProgressBar;
class QMenu;
class QSocketNotifier;

namespace corvane {

class UploaderDialog final : public QDialog, public UploadView {
  Q_OBJECT

 public:
  UploaderDialog(UploadOptions options, SerialPort& port, Clock& clock,
                 std::optional<std::string> receiverImage, QWidget* parent = nullptr);
  ~UploaderDialog() override;

  // Opens the port, wakes the handheld and starts the tick when that succeeded. Called once,
  // before the dialog is first shown, so that it appears already holding those lines.
  void initialize();

  // UploadView
  void appendLog(std::string_view text) override;
  void setProgressRange(std::uint32_t maximum) override;
  void setProgressPosition(std::uint32_t position) override;
  void advanceProgress(std::uint32_t amount) override;
  bool inputPending() override;

  // The timer's handler; a call while a tick is still running is ignored, so ticks never
  // overlap.
  void onTick();

  // With --fast in the file batch: input from the device runs the next step at once; the tick
  // stands in only after a whole period of silence.
  bool watchingPort() const;

  const std::string& logText() const { return logText_; }
  bool tickRunning() const { return timer_.isActive(); }
  const UploadEngine& engine() const { return *engine_; }
  QPlainTextEdit* logBox() const { return logBox_; }
  QProgressBar* progressBar() const { return progressBar_; }
  // The menu offered on a right click in the dialog or its log box, About item included.
  std::unique_ptr<QMenu> contextMenu();

  // Changes the tick's period (tests stretch it, so that only what they drive moves).
  void setTickPeriod(int ms) { timer_.setInterval(ms); }

  // Replaces the check for waiting user input (tests script it).
  void setInputProbe(std::function<bool()> probe) { inputProbe_ = std::move(probe); }

  // Shows the About box modally; the ticks go on reaching the dialog while it is open.
  void showAbout();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showLog();
  bool userInputWaiting();
  bool belongsToDialog(QObject* object) const;
  void replayHeldInput();
  void fastStep();
  void afterStep();

  std::string logText_ = "Corvane\r\n";
  QPlainTextEdit* logBox_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QTimer timer_;
  std::unique_ptr<UploadEngine> engine_;
  bool inTick_ = false;
  QPoint cursorAtTick_;
  std::function<bool()> inputProbe_;
  SerialPort& port_;
  std::unique_ptr<QSocketNotifier> portNotifier_;
  // User input that arrived for the dialog while a tick ran; handed back once the tick is over.
  bool holdingInput_ = false;
  std::vector<std::pair<QPointer<QObject>, QEvent*>> heldInput_;
  std::uint32_t progressMaximum_ = 100;
  std::uint32_t progressValue_ = 0;
};

// The program icon, drawn rather than loaded so that the program needs no resource files.
QIcon corvaneIcon();

}  // namespace corvane

// corvane-cli: Corvane's upload in a terminal. Same command line and log as the dialog; the
// log goes to stdout, a progress bar to stderr when that is a terminal.
//
// Usage: corvane-cli [--baudrate=n] [--port=p] [--delete] file...
// Exit status: 0 when the batch ended with the Receiver's ACK, 1 when the upload ended any
// other way, 2 when no port was given or it could not be opened, 128 + signal when ended by
// SIGINT or SIGTERM. The Receiver image is chosen as uploader/README-dev.md describes.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "uploader/receiver_image.h"
#include "uploader/upload_engine.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t progressShown = 0;

// Ends the program at once, as closing Corvane's dialog does: neither CAN nor EOT is sent.
extern "C" void endAtOnce(int signalNumber) {
  if (progressShown) {
    const char lineEnd = '\n';
    [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, &lineEnd, 1);
  }
  std::_Exit(128 + signalNumber);
}

class TerminalView final : public corvane::UploadView {
 public:
  TerminalView() : barOnTerminal_(isatty(STDERR_FILENO) == 1) {}

  void appendLog(std::string_view text) override {
    hideBar();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!text.empty()) lastLogByte_ = text.back();
    drawBar(true);
  }
  void setProgressRange(std::uint32_t maximum) override {
    maximum_ = maximum;
    drawBar(true);
  }
  void setProgressPosition(std::uint32_t position) override {
    position_ = position;
    drawBar(true);
  }
  void advanceProgress(std::uint32_t amount) override {
    position_ += amount;
    drawBar(false);
  }
  bool inputPending() override { return false; }

  // Leaves the terminal tidy: the bar gone and the log's last line ended.
  void finish() {
    hideBar();
    if (lastLogByte_ != '\n') std::fputs("\r\n", stdout);
    std::fflush(stdout);
  }

 private:
  void hideBar() {
    if (!barOnTerminal_ || !progressShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    progressShown = 0;
  }

  void drawBar(bool always) {
    if (!barOnTerminal_ || maximum_ == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (!always && position_ < maximum_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    constexpr int kWidth = 40;
    const std::uint32_t shown = position_ < maximum_ ? position_ : maximum_;
    const int filled = static_cast<int>(static_cast<std::uint64_t>(shown) * kWidth / maximum_);
    std::string bar = "\r\033[K[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), ' ');
    bar += "] " + std::to_string(shown) + "/" + std::to_string(maximum_);
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
    progressShown = 1;
  }

  const bool barOnTerminal_;
  std::uint32_t maximum_ = 0;
  std::uint32_t position_ = 0;
  char lastLogByte_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace

// Printed for --help alone; every other command line is Corvane's own.
constexpr const char* kHelp =
    "Usage: corvane-cli [--baudrate=n] [--port=p] [--delete] file...\n"
    "Sends files to a Casio PV handheld over a serial line: wakes the handheld, installs the\n"
    "Receiver program through its BootStrap loader and uploads the files in YMODEM-style\n"
    "blocks. The log goes to standard output, a progress bar to standard error when that is a\n"
    "terminal.\n"
    "\n"
    "Options:\n"
    "  --baudrate=n  upload rate: 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600 or\n"
    "                115200 (anything else means 38400)\n"
    "  --port=p      serial port: COMn or a device path such as /dev/ttyUSB0\n"
    "  --delete      pass the delete flag to the handheld in every file's header\n"
    "  --help        show this text and exit (alone on the command line)\n"
    "  --version     show the version and exit (alone on the command line)\n"
    "\n"
    "On Windows options may start with / as well, and COMn is the Windows port; elsewhere\n"
    "COMn means /dev/ttyS(n-1).\n"
    "\n"
    "The Receiver image is the file named by CORVANE_RECEIVER_FILE, else receiver.hex beside\n"
    "the program, in $XDG_DATA_HOME/pagora/ (~/.local/share/pagora/) or in /usr/share/pagora/,\n"
    "else the image built into the program.\n"
    "\n"
    "Exit status: 0 when the handheld confirmed the whole batch, 1 when the upload ended any\n"
    "other way, 2 when no port was given or it could not be opened, 128 + signal number when\n"
    "stopped by SIGINT or SIGTERM.\n";

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::puts("corvane-cli " PAGORA_VERSION);
    return 0;
  }
  std::signal(SIGINT, endAtOnce);
  std::signal(SIGTERM, endAtOnce);

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const corvane::UploadOptions options =
      corvane::parseUploadOptions(arguments, corvane::kSlashFlagsByDefault);

  TerminalView view;
  view.appendLog("Corvane\r\n");
  const auto port = corvane::makeSystemSerialPort();
  corvane::SteadyClock clock;
  corvane::UploadEngine engine(options, *port, clock, view, corvane::loadReceiverImage());

  if (!engine.openPort()) {
    view.finish();
    return 2;
  }
  engine.start();

  // A periodic 200 ms tick; a tick that overruns delays the next one instead of piling up.
  using std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(corvane::UploadEngine::kTickMs);
  auto next = steady_clock::now() + period;
  while (!engine.finished()) {
    std::this_thread::sleep_until(next);
    engine.tick();
    next += period;
    const auto now = steady_clock::now();
    if (next <= now) next = now + period;
  }
  view.finish();
  return engine.succeeded() ? 0 : 1;
}

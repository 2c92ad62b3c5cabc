// corvane-cli: Corvane's upload in a terminal. Same command line and log as the dialog; the
// log goes to stdout, a progress bar to stderr when that is a terminal.
//
// Usage: corvane-cli [--baudrate=n] [--port=p] [--delete] [--fast] file...
// Exit status: 0 when the batch ended with the Receiver's ACK, 1 when the upload ended any
// other way, 2 when no port was given or it could not be opened, 128 + signal when ended by
// SIGINT or SIGTERM. The Receiver image is chosen as uploader/README-dev.md describes.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "uploader/receiver_image.h"
#include "uploader/upload_engine.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDOUT_FILENO 1
#define STDERR_FILENO 2
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What the signal handler needs to leave the terminal tidy; set only by the main flow.
volatile std::sig_atomic_t barShown = 0;
volatile std::sig_atomic_t logLineOpen = 0;
// The bar sits on the row below the log (log and bar share one terminal), or on a row of its
// own when the log goes elsewhere.
volatile std::sig_atomic_t barBelowLog = 0;

// The bar's row is left with the cursor back at the end of the log: save the cursor, go down
// one row without scrolling (the row is there: it was reserved when the bar was first drawn),
// work there, restore the cursor.
constexpr char kEraseBarBelow[] = "\0337\033D\r\033[K\0338";
constexpr char kEraseBarInPlace[] = "\r\033[K";

void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const auto put = ::write(fd, data, size);
    if (put <= 0) return;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

void eraseBar() {
  if (!barShown) return;
  if (barBelowLog) {
    writeAll(STDERR_FILENO, kEraseBarBelow, sizeof kEraseBarBelow - 1);
  } else {
    writeAll(STDERR_FILENO, kEraseBarInPlace, sizeof kEraseBarInPlace - 1);
  }
  barShown = 0;
}

// Ends the program at once, as closing Corvane's dialog does: neither CAN nor EOT is sent. The
// bar goes and the log's last line is ended, so the shell prompt starts on a line of its own.
extern "C" void endAtOnce(int signalNumber) {
  eraseBar();
  if (logLineOpen) writeAll(STDOUT_FILENO, "\r\n", 2);
  std::_Exit(128 + signalNumber);
}

bool sameDevice([[maybe_unused]] int first, [[maybe_unused]] int second) {
#ifdef _WIN32
  return false;
#else
  struct stat a {};
  struct stat b {};
  return ::fstat(first, &a) == 0 && ::fstat(second, &b) == 0 && a.st_rdev == b.st_rdev &&
         a.st_ino == b.st_ino;
#endif
}

int terminalColumns() {
#ifndef _WIN32
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

// The log byte for byte on stdout, and the progress bar on stderr when that is a terminal. On
// a terminal that also shows the log, the bar lives on the row below the log's last line, so
// what stays on the screen is exactly the log a pipe receives.
class TerminalView final : public corvane::UploadView {
 public:
  TerminalView() : barOnTerminal_(isatty(STDERR_FILENO) == 1) {
    barBelowLog =
        barOnTerminal_ && isatty(STDOUT_FILENO) == 1 && sameDevice(STDOUT_FILENO, STDERR_FILENO);
  }

  void appendLog(std::string_view text) override {
    if (text.empty()) return;
    eraseBar();
    writeAll(STDOUT_FILENO, text.data(), text.size());
    logLineOpen = text.back() != '\n';
    drawBar(true);
  }
  void setProgressRange(std::uint32_t maximum) override {
    maximum_ = maximum;
    if (maximum_ == 0) eraseBar();
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
    eraseBar();
    if (logLineOpen) writeAll(STDOUT_FILENO, "\r\n", 2);
    logLineOpen = 0;
  }

 private:
  void drawBar(bool always) {
    if (!barOnTerminal_ || maximum_ == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (!always && position_ < maximum_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const std::uint32_t shown = position_ < maximum_ ? position_ : maximum_;
    const std::string count = "] " + std::to_string(shown) + "/" + std::to_string(maximum_);
    // The bar never reaches the last column, so it never wraps onto a row of its own.
    const int width = std::min(40, terminalColumns() - static_cast<int>(count.size()) - 2);
    if (width < 4) return;
    const int filled = static_cast<int>(static_cast<std::uint64_t>(shown) *
                                        static_cast<std::uint64_t>(width) / maximum_);
    std::string bar;
    if (barBelowLog) {
      // The first drawing makes sure there is a row below the log: a step down scrolls the
      // screen when the log ends on its last row, and the step back up keeps the column.
      if (!barShown) bar += "\033D\033M";
      bar += "\0337\033D\r";
    } else {
      bar += "\r";
    }
    bar += "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), ' ');
    bar += count + "\033[K";
    if (barBelowLog) bar += "\0338";
    writeAll(STDERR_FILENO, bar.data(), bar.size());
    barShown = 1;
  }

  const bool barOnTerminal_;
  std::uint32_t maximum_ = 0;
  std::uint32_t position_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace

// Printed for --help alone; every other command line is Corvane's own.
constexpr const char* kHelp =
    "Usage: corvane-cli [--baudrate=n] [--port=p] [--delete] [--fast] file...\n"
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
    "  --fast        in the file batch, send each block as soon as the handheld has replied\n"
    "                instead of on the next 200 ms tick (leave it off if a device misbehaves)\n"
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
    // The log stays as Corvane writes it; the reason, or the advice, goes beside it.
    const std::string device = corvane::devicePathForPort(options.portName);
    const int error = port->openError();
    const std::string hint = corvane::permissionHint(device, error);
    if (!hint.empty()) {
      std::fprintf(stderr, "%s\n", hint.c_str());
    } else if (error != 0) {
      std::fprintf(stderr, "cannot open %s: %s\n", device.c_str(), std::strerror(error));
    }
    return 2;
  }
  engine.start();

  // A periodic 200 ms tick; a tick that overruns delays the next one instead of piling up.
  // With --fast the file batch steps as soon as the device's reply is in, and the tick comes
  // only after a whole period of silence.
  using std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(corvane::UploadEngine::kTickMs);
  auto next = steady_clock::now() + period;
  while (!engine.finished()) {
    if (engine.fastPhase()) {
      if (!engine.stepDueNow()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - steady_clock::now());
        if (left.count() > 0) port->waitForInput(static_cast<std::uint32_t>(left.count()));
      }
      engine.tick();
      next = steady_clock::now() + period;
      continue;
    }
    std::this_thread::sleep_until(next);
    engine.tick();
    next += period;
    const auto now = steady_clock::now();
    if (next <= now) next = now + period;
  }
  view.finish();
  return engine.succeeded() ? 0 : 1;
}

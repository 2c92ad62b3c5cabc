// pvsim: a Casio PV handheld simulated on a pseudo-terminal, for trying and testing Corvane
// without a device. Prints the port path on its first line, then plays the handheld's part.
#include <CLI/CLI.hpp>

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "pvsim/device.h"
#include "pvsim/protocol.h"
#include "pvsim/pty_line.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) {
  stopSignal = signal;
}

using Clock = std::chrono::steady_clock;

const Clock::time_point started = Clock::now();

pvsim::Device::Millis elapsedMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
}

void logLine(std::string_view text) {
  std::fprintf(stderr, "pvsim %8.3f: %.*s\n", static_cast<double>(elapsedMs()) / 1000.0,
               static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

// The command line as typed; the parts that need checking are turned into DeviceOptions by
// finishOptions.
struct CommandLine {
  pvsim::DeviceOptions options;
  std::string outFolder = ".";
  std::string linkPath;
  std::string imagePath;
  std::vector<int> nakBlocks;
  std::string cancelText;
  std::string cancelStyle = "device";
  std::string closingText;
  int timeoutSeconds = 30;
  bool lineTime = false;
};

void describeOptions(CLI::App& app, CommandLine& line) {
  pvsim::DeviceOptions& options = line.options;
  app.set_version_flag("--version", "pvsim " PAGORA_VERSION);
  app.add_option("--out", line.outFolder, "Folder for the received files (made when missing)");
  app.add_option("--link", line.linkPath, "Also make this symbolic link to the port");
  app.add_flag("--line-time", line.lineTime,
               "Take in the uploader's bytes no faster than a real line at the port's rate "
               "(10 bits a byte), as a benchmark needs");
  app.add_option("--image", line.imagePath, "Receiver image the uploader must send, byte for byte")
      ->check(CLI::ExistingFile);
  app.add_flag("--checksum", options.checksum, "Start requests with NAK (1-byte checksums)");
  app.add_flag("--checksum-first", options.checksumFirst,
               "Only the first start request is NAK; later ones are C, checksums stay");
  app.add_option("--nak-block", line.nakBlocks,
                 "NAK block N of every file (0 = header); repeatable")
      ->check(CLI::Range(0, 1 << 20));
  app.add_option("--nak-every", options.nakEvery, "NAK every Nth data block of every file")
      ->check(CLI::Range(1, 1 << 20));
  app.add_option("--nak-times", options.nakTimes, "NAKs per chosen block before it is taken")
      ->check(CLI::Range(1, 100));
  app.add_flag("--nak-eot", options.nakEot, "NAK the first EOT of every file");
  app.add_option("--cancel", line.cancelText,
                 "Cancel at start[:FILE], header[:FILE], data[:BLOCK], eot[:FILE] or final");
  app.add_option("--cancel-style", line.cancelStyle,
                 "device (one CAN) or standard (CAN bytes, then backspaces)")
      ->check(CLI::IsMember({"device", "standard"}));
  app.add_flag("--c-after-header", options.cAfterHeader,
               "ACK the header block, then send C a tick later");
  app.add_flag("--ack-c-after-eot", options.ackCAfterEot, "Answer EOT with ACK and C together");
  app.add_flag("--noise", options.noise, "Put noise bytes in front of every answer");
  app.add_flag("--zero-byte", options.zeroByte,
               "Put a zero byte in front of every Receiver answer and into the closing text");
  app.add_option("--hold-record", options.holdRecord,
                 "Hold the loader's replies from record N on for --hold-ms")
      ->check(CLI::Range(1, 1 << 20));
  app.add_option("--hold-block", options.holdBlock,
                 "Answer data block N of the first file --hold-ms late")
      ->check(CLI::Range(1, 1 << 20));
  app.add_option("--hold-ms", options.holdMs, "How long replies are held (ms)")
      ->check(CLI::Range(1, 60000));
  app.add_option("--wrong-rate", options.wrongRate,
                 "Switch the handheld to this rate instead of the requested one")
      ->check(CLI::IsMember({300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}));
  app.add_option("--closing", line.closingText,
                 "The Receiver's last words (escapes \\r \\n \\t \\0 \\xHH)");
  app.add_option("--timeout", line.timeoutSeconds, "Give up after this many silent seconds")
      ->check(CLI::Range(1, 3600));
}

// Completes line.options from the parsed text; false (with the reason on stderr) when a value
// cannot be used.
bool finishOptions(const CLI::App& app, CommandLine& line) {
  pvsim::DeviceOptions& options = line.options;
  options.nakBlocks.insert(line.nakBlocks.begin(), line.nakBlocks.end());
  options.cancelStyle =
      line.cancelStyle == "standard" ? pvsim::CancelStyle::Standard : pvsim::CancelStyle::Device;
  options.silenceMs = line.timeoutSeconds * 1000;
  if (!line.cancelText.empty()) {
    const auto point = pvsim::parseCancelPoint(line.cancelText);
    if (!point) {
      std::cerr << "pvsim: --cancel: expected start[:N], header[:N], data[:N], eot[:N] or final\n";
      return false;
    }
    options.cancel = *point;
  }
  if (app.count("--closing") > 0) {
    const auto text = pvsim::unescapeText(line.closingText);
    if (!text) {
      std::cerr << "pvsim: --closing: malformed escape\n";
      return false;
    }
    options.closingText = *text;
  }
  if (!line.imagePath.empty()) {
    std::ifstream image(line.imagePath, std::ios::binary);
    std::ostringstream content;
    content << image.rdbuf();
    if (!image || content.str().empty()) {
      std::cerr << "pvsim: cannot read the image " << line.imagePath << "\n";
      return false;
    }
    options.expectedImage = content.str();
  }
  std::error_code folderError;
  std::filesystem::create_directories(line.outFolder, folderError);
  if (!std::filesystem::is_directory(line.outFolder)) {
    std::cerr << "pvsim: cannot use the folder " << line.outFolder << "\n";
    return false;
  }
  options.outFolder = line.outFolder;
  return true;
}

void catchStopSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Points linkPath at the port, replacing a link left by an earlier run; false (with the reason
// on stderr) when it cannot be made.
bool linkPort(const std::string& portPath, const std::string& linkPath) {
  std::error_code error;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(linkPath, error))) {
    std::filesystem::remove(linkPath, error);
  }
  std::filesystem::create_symlink(portPath, linkPath, error);
  if (error) {
    std::cerr << "pvsim: cannot make the link " << linkPath << ": " << error.message() << "\n";
    return false;
  }
  return true;
}

// Plays the handheld until the session ends or a stop signal comes.
void runSession(pvsim::Device& device, pvsim::PtyLine& line, bool lineTime) {
  bool portOpen = false;
  // With --line-time: when the bytes read so far would have finished arriving on a real line.
  double lineFreeMs = 0;
  while (!device.finished() && stopSignal == 0) {
    pvsim::Device::Millis now = elapsedMs();
    if (!portOpen) {
      if (line.portOpen()) {
        portOpen = true;
        device.lineOpened(now);
      } else {
        ::usleep(10000);
        continue;
      }
    }
    device.advance(now);
    if (device.finished()) break;
    const pvsim::Device::Millis deadline = device.nextDeadline();
    int timeout = 1000;
    if (deadline >= 0)
      timeout = static_cast<int>(std::clamp<pvsim::Device::Millis>(deadline - now, 0, 1000));
    pollfd entry{line.fd(), POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeout);
    if (ready < 0 && errno != EINTR) break;
    now = elapsedMs();
    if (ready > 0) {
      const std::string bytes = (entry.revents & POLLIN) ? line.readAvailable() : std::string();
      if (!bytes.empty()) {
        const int speed = lineTime ? line.portSpeed() : 0;
        if (speed > 0) {
          lineFreeMs = std::max(lineFreeMs, static_cast<double>(now)) +
                       static_cast<double>(bytes.size()) * 10000.0 / speed;
          if (lineFreeMs > static_cast<double>(now)) {
            ::usleep(static_cast<useconds_t>((lineFreeMs - static_cast<double>(now)) * 1000));
            now = elapsedMs();
          }
        }
        device.receive(bytes, now);
      } else if (entry.revents & (POLLHUP | POLLERR)) {
        device.lineClosed(now);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "A Casio PV handheld on a pseudo-terminal. Prints the port to give Corvane on its first "
      "line, answers the wake-up, takes the Receiver image and the files, and stores the files "
      "in the --out folder. Exit status: 0 session as configured, 1 protocol error, 2 bad "
      "command line or no pseudo-terminal, 3 the session did not reach its end.",
      "pvsim"};
  CommandLine commandLine;
  describeOptions(app, commandLine);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& failure) {
    const int status = app.exit(failure);
    return status == 0 ? 0 : 2;
  }
  if (!finishOptions(app, commandLine)) return 2;
  catchStopSignals();

  std::unique_ptr<pvsim::PtyLine> line;
  try {
    line = std::make_unique<pvsim::PtyLine>();
  } catch (const std::exception& failure) {
    std::cerr << "pvsim: " << failure.what() << "\n";
    return 2;
  }
  const std::string& linkPath = commandLine.linkPath;
  const bool linked = !linkPath.empty();
  if (linked && !linkPort(line->portPath(), linkPath)) return 2;
  std::cout << line->portPath() << std::endl;
  logLine("port " + line->portPath() + (linked ? " (link " + linkPath + ")" : "") +
          "; waiting for the uploader");

  pvsim::DeviceIo io;
  io.send = [&line](std::string_view bytes) { line->write(bytes); };
  io.lineSpeed = [&line] { return line->portSpeed(); };
  io.log = logLine;
  pvsim::Device device(commandLine.options, io);
  runSession(device, *line, commandLine.lineTime);

  int status = device.exitStatus();
  if (stopSignal != 0) {
    logLine("stopped by signal " + std::to_string(stopSignal));
    status = 128 + stopSignal;
  }
  if (linked) {
    std::error_code error;
    std::filesystem::remove(linkPath, error);
  }
  logLine("finished: exit status " + std::to_string(status));
  return status;
}

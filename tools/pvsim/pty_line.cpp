// Pseudo-terminal master for the simulated handheld.
#include "pvsim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace pvsim {

namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

int baudOf(speed_t speed) {
  switch (speed) {
    case B300:
      return 300;
    case B600:
      return 600;
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

}  // namespace

PtyLine::PtyLine() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw systemError("cannot open a pseudo-terminal");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    const auto failure = systemError("cannot unlock the pseudo-terminal");
    ::close(master_);
    throw failure;
  }
  char name[256];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    const auto failure = systemError("cannot name the pseudo-terminal");
    ::close(master_);
    throw failure;
  }
  portPath_ = name;
  termios settings{};
  if (::tcgetattr(master_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(master_, TCSANOW, &settings);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  // The master reports a hang-up only once the port side has been open and closed again;
  // opening and closing it here makes the uploader's first open visible.
  const int port = ::open(portPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (port >= 0) ::close(port);
}

PtyLine::~PtyLine() {
  if (master_ >= 0) ::close(master_);
}

bool PtyLine::portOpen() const {
  pollfd entry{master_, POLLIN, 0};
  if (::poll(&entry, 1, 0) < 0) return false;
  return (entry.revents & POLLHUP) == 0;
}

int PtyLine::portSpeed() const {
  // On a pseudo-terminal master the line settings are those of the port side.
  termios settings{};
  if (::tcgetattr(master_, &settings) != 0) return 0;
  return baudOf(::cfgetospeed(&settings));
}

std::string PtyLine::readAvailable() {
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(master_, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;  // EAGAIN: nothing more; EIO: the port side is closed
  }
  return bytes;
}

void PtyLine::write(std::string_view bytes) {
  // An uploader that has stopped reading must not hang the simulator: after about two seconds
  // of a full line buffer the rest is dropped.
  int waits = 0;
  while (!bytes.empty()) {
    const ssize_t written = ::write(master_, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN && ++waits <= 20) {
      pollfd entry{master_, POLLOUT, 0};
      ::poll(&entry, 1, 100);
      if (entry.revents & (POLLHUP | POLLERR)) return;
      continue;
    }
    return;  // the port side is gone; nobody is left to hear it
  }
}

}  // namespace pvsim

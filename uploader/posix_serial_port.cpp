// The serial port on POSIX systems: termios in raw mode, modem lines through ioctl.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "uploader/serial_port.h"

namespace corvane {

namespace {

speed_t speedFor(std::int32_t rate) {
  switch (rate) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

// How long a write may wait for room in the output queue before the rest is given up; a line
// that takes nothing for this long has no listener, and the protocol does not check writes.
constexpr int kWriteStallMs = 5000;

class PosixSerialPort final : public SerialPort {
 public:
  ~PosixSerialPort() override { close(); }

  bool open(const std::string& name) override {
    close();
    const std::string path = devicePathForPort(name);
    // Non-blocking, so that a read returns at once and opening does not wait for carrier.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      openError_ = errno;
      return false;
    }
    openError_ = 0;
    // Exclusive use, like an unshared Windows port; a device that does not know the request
    // (not a terminal) fails later at reading its settings.
    ::ioctl(fd, TIOCEXCL);
    fd_ = fd;
    return true;
  }

  bool isOpen() const override { return fd_ >= 0; }

  void close() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

  bool readSettings() override { return fd_ >= 0 && ::tcgetattr(fd_, &pending_) == 0; }

  void configureRawLine(std::int32_t baudRate) override {
    ::cfmakeraw(&pending_);
    pending_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
    pending_.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    pending_.c_cflag |= CS8 | CLOCAL | CREAD;
    pending_.c_cc[VMIN] = 0;
    pending_.c_cc[VTIME] = 0;
    setPendingBaudRate(baudRate);
    configureLines_ = true;
  }

  void setPendingBaudRate(std::int32_t baudRate) override {
    const speed_t speed = speedFor(baudRate);
    ::cfsetispeed(&pending_, speed);
    ::cfsetospeed(&pending_, speed);
  }

  bool applySettings() override {
    if (fd_ < 0 || ::tcsetattr(fd_, TCSANOW, &pending_) != 0) return false;
    if (configureLines_) {
      configureLines_ = false;
      // RTS stays on for the whole run and DTR starts off. A pseudo-terminal has no modem
      // lines and refuses these requests; the line works without them.
      int rts = TIOCM_RTS;
      ::ioctl(fd_, TIOCMBIS, &rts);
      int dtr = TIOCM_DTR;
      ::ioctl(fd_, TIOCMBIC, &dtr);
    }
    return true;
  }

  void setDtr(bool on) override {
    if (fd_ < 0) return;
    int dtr = TIOCM_DTR;
    ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &dtr);
  }

  std::uint32_t bytesWaiting() override {
    int waiting = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
    return static_cast<std::uint32_t>(waiting);
  }

  long read(std::uint8_t* data, std::size_t n) override {
    if (fd_ < 0) return -1;
    for (;;) {
      const ssize_t got = ::read(fd_, data, n);
      if (got >= 0) return static_cast<long>(got);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      return -1;
    }
  }

  void write(const std::uint8_t* data, std::size_t n, bool flush) override {
    if (fd_ < 0) return;
    std::size_t done = 0;
    while (done < n) {
      const ssize_t put = ::write(fd_, data + done, n - done);
      if (put > 0) {
        done += static_cast<std::size_t>(put);
        continue;
      }
      if (put < 0 && errno == EINTR) continue;
      if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
      pollfd waitFor{fd_, POLLOUT, 0};
      if (::poll(&waitFor, 1, kWriteStallMs) <= 0) return;
    }
    if (flush) ::tcdrain(fd_);
  }

  int openError() const override { return openError_; }

  bool waitForInput(std::uint32_t ms) override {
    if (fd_ < 0) return false;
    pollfd waitFor{fd_, POLLIN, 0};
    const int ready = ::poll(&waitFor, 1, static_cast<int>(std::min<std::uint32_t>(ms, 60000)));
    return ready > 0 && bytesWaiting() > 0;
  }

  int inputDescriptor() const override { return fd_; }

 private:
  int fd_ = -1;
  int openError_ = 0;
  termios pending_{};
  bool configureLines_ = false;
};

}  // namespace

std::string devicePathForPort(const std::string& name) {
  if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
      (name[2] == 'M' || name[2] == 'm')) {
    unsigned long number = 0;
    bool digits = true;
    for (std::size_t i = 3; i < name.size() && digits; ++i) {
      digits = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
      if (digits && number < 100000)
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    if (digits && number >= 1 && number < 100000) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return name;
}

std::string permissionHint(const std::string& devicePath, int openError) {
  if (openError != EACCES && openError != EPERM) return {};
  struct stat info {};
  if (::stat(devicePath.c_str(), &info) != 0) return {};
  std::string owner;
  if (const struct group* entry = ::getgrgid(info.st_gid);
      entry != nullptr && entry->gr_name != nullptr) {
    owner = entry->gr_name;
  } else {
    owner = std::to_string(info.st_gid);
  }
  return "No permission to open " + devicePath + ": join the group '" + owner +
         "' that owns it (sudo usermod -a -G " + owner + " $USER), then log in again.";
}

std::unique_ptr<SerialPort> makeSystemSerialPort() {
  return std::make_unique<PosixSerialPort>();
}

}  // namespace corvane

// The serial port on Windows: CreateFile on COMn, the DCB line settings, EscapeCommFunction for
// DTR, ClearCommError for the input count. Built on Windows only.
#include <windows.h>

#include "uploader/serial_port.h"

namespace corvane {

namespace {

class Win32SerialPort final : public SerialPort {
 public:
  ~Win32SerialPort() override { close(); }

  bool open(const std::string& name) override {
    close();
    const std::string path = devicePathForPort(name);
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    // Reads return at once with what is there; the protocol never asks for more than waits.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(handle_, &timeouts);
    return true;
  }

  bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  void close() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }

  bool readSettings() override {
    pending_ = DCB{};
    pending_.DCBlength = sizeof(DCB);
    return isOpen() && GetCommState(handle_, &pending_) != 0;
  }

  void configureRawLine(std::int32_t baudRate) override {
    pending_.BaudRate = static_cast<DWORD>(baudRate);
    pending_.fBinary = 1;
    pending_.fParity = 0;
    pending_.fOutxCtsFlow = 0;
    pending_.fOutxDsrFlow = 0;
    pending_.fDtrControl = DTR_CONTROL_DISABLE;
    pending_.fDsrSensitivity = 0;
    pending_.fTXContinueOnXoff = 0;
    pending_.fOutX = 0;
    pending_.fInX = 0;
    pending_.fErrorChar = 0;
    pending_.fNull = 0;
    pending_.fRtsControl = RTS_CONTROL_ENABLE;
    pending_.fAbortOnError = 0;
    pending_.XonLim = 0;
    pending_.XoffLim = 0;
    pending_.ByteSize = 8;
    pending_.Parity = NOPARITY;
    pending_.StopBits = ONESTOPBIT;
  }

  void setPendingBaudRate(std::int32_t baudRate) override {
    pending_.BaudRate = static_cast<DWORD>(baudRate);
  }

  bool applySettings() override { return isOpen() && SetCommState(handle_, &pending_) != 0; }

  void setDtr(bool on) override {
    if (isOpen()) EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
  }

  std::uint32_t bytesWaiting() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!isOpen() || !ClearCommError(handle_, &errors, &status)) return 0;
    return status.cbInQue;
  }

  long read(std::uint8_t* data, std::size_t n) override {
    DWORD got = 0;
    if (!isOpen() || !ReadFile(handle_, data, static_cast<DWORD>(n), &got, nullptr)) return -1;
    return static_cast<long>(got);
  }

  void write(const std::uint8_t* data, std::size_t n, bool flush) override {
    if (!isOpen()) return;
    DWORD written = 0;
    WriteFile(handle_, data, static_cast<DWORD>(n), &written, nullptr);
    if (flush) FlushFileBuffers(handle_);
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DCB pending_{};
};

}  // namespace

std::string devicePathForPort(const std::string& name) {
  // COM10 and above open only through the device namespace; that form serves every COMn.
  if (name.size() > 3 && _strnicmp(name.c_str(), "COM", 3) == 0 &&
      name.find_first_not_of("0123456789", 3) == std::string::npos) {
    return "\\\\.\\" + name;
  }
  return name;
}

// Windows grants a port to whoever opens it first; there is no group to join.
std::string permissionHint(const std::string&, int) {
  return {};
}

std::unique_ptr<SerialPort> makeSystemSerialPort() {
  return std::make_unique<Win32SerialPort>();
}

}  // namespace corvane

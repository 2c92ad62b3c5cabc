// The platform's serial line: opening, line settings, modem lines, reads that never wait and
// flushed writes. The protocol and its log texts live above this, in UploadEngine.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace corvane {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the named port for reading and writing, for this program alone. False when that is
  // impossible (no such device, busy, no permission).
  virtual bool open(const std::string& name) = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;

  // Reads the current line settings into a pending copy; false when they cannot be read.
  virtual bool readSettings() = 0;
  // Changes the pending copy to raw 8N1 without any flow control, RTS on, DTR off, at the rate.
  virtual void configureRawLine(std::int32_t baudRate) = 0;
  // Changes only the rate of the pending copy.
  virtual void setPendingBaudRate(std::int32_t baudRate) = 0;
  // Applies the pending copy to the line; false when the line refuses it.
  virtual bool applySettings() = 0;

  virtual void setDtr(bool on) = 0;
  // Bytes in the input queue; 0 when that cannot be told.
  virtual std::uint32_t bytesWaiting() = 0;
  // Reads at most n bytes without waiting; the count read, or -1 on failure.
  virtual long read(std::uint8_t* data, std::size_t n) = 0;
  // Writes the whole message; with flush, waits until it has left the port.
  virtual void write(const std::uint8_t* data, std::size_t n, bool flush) = 0;

  // The system's reason (errno) why the last open failed; 0 when it did not fail or none is
  // known.
  virtual int openError() const { return 0; }
  // Waits until input arrives or ms pass; true when bytes are waiting. This plain form looks
  // every millisecond; a port that the system can wait on does better.
  virtual bool waitForInput(std::uint32_t ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (bytesWaiting() > 0) return true;
      if (!isOpen() || std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // A descriptor that becomes readable when input arrives, for an event loop to watch; -1 when
  // the port has none (or is closed).
  virtual int inputDescriptor() const { return -1; }
};

// The device a port name stands for on this platform: COMn is /dev/ttyS(n-1) on POSIX, any
// other name is a path used as given.
std::string devicePathForPort(const std::string& name);

// One line for the user when a port exists but may not be opened by this user: the device and
// the group that owns it, which the user can join. Empty for any other reason of failure.
std::string permissionHint(const std::string& devicePath, int openError);

// The real serial port of the platform this program was built for.
std::unique_ptr<SerialPort> makeSystemSerialPort();

}  // namespace corvane

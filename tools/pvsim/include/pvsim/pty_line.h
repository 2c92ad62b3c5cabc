// The simulator's end of the serial line: the master side of a pseudo-terminal pair whose other
// side the uploader opens as its port.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pvsim {

class PtyLine {
 public:
  // Opens the pair in raw mode; throws std::runtime_error when the system refuses.
  PtyLine();
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // The device path the uploader opens.
  const std::string& portPath() const { return portPath_; }
  int fd() const { return master_; }

  // Whether some program holds the port side open. A pseudo-terminal has no modem lines, so
  // the opening of the port stands in for the DTR line coming up.
  bool portOpen() const;
  // The rate the port side is set to, in baud; 0 when it cannot be told.
  int portSpeed() const;
  // Reads what is waiting without blocking; empty when nothing is.
  std::string readAvailable();
  // Writes all bytes, waiting while the line's buffer is full.
  void write(std::string_view bytes);

 private:
  int master_ = -1;
  std::string portPath_;
};

}  // namespace pvsim

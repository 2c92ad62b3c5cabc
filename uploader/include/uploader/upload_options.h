// Corvane's command line: the port, the baud rate, the delete flag and the files to send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

struct UploadOptions {
  std::string portName;
  std::int32_t baudRate = 38400;
  bool deleteFlag = false;
  // --fast: in the file batch each step follows the device's reply at once instead of the
  // next 200 ms tick. An older Corvane takes the flag for a file name and skips it.
  bool fast = false;
  std::vector<std::string> files;
};

// The ten rates the handheld's BootStrap loader knows.
bool isSupportedBaudRate(std::int32_t rate);

// Never fails: unknown flags become file names, unreadable rates become 38400. With
// slashFlags, "/" introduces a flag as "-" does (the Windows convention); elsewhere an
// absolute path starts with "/" and must stay a file name.
UploadOptions parseUploadOptions(const std::vector<std::string>& arguments,
                                 bool slashFlags = false);

// The platform's own convention: slash flags on Windows only.
inline constexpr bool kSlashFlagsByDefault =
#ifdef _WIN32
    true;
#else
    false;
#endif

}  // namespace corvane

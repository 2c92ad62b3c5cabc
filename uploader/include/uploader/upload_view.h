// What the upload engine needs from whoever shows it: the log, the progress bar, and a check
// for waiting user input that lets long loops give way.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvane {

class UploadView {
 public:
  virtual ~UploadView() = default;
  // Adds UTF-8 text to the end of the log; "\r\n" ends a line.
  virtual void appendLog(std::string_view text) = 0;
  virtual void setProgressRange(std::uint32_t maximum) = 0;
  virtual void setProgressPosition(std::uint32_t position) = 0;
  virtual void advanceProgress(std::uint32_t amount) = 0;
  // True when the user has input waiting; must not consume it.
  virtual bool inputPending() = 0;
};

}  // namespace corvane

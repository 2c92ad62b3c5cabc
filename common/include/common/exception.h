// The one base of every failure class of the system: the message a person reads, the kind of
// failure a caller decides on, and the system's error number where one caused it.
#pragma once

#include <stdexcept>
#include <string>

namespace pagora {

// What went wrong, for callers and exit statuses; the message stays for people.
enum class FailureKind {
  Other,          // none of the kinds below
  NotFound,       // a file or folder that is not there
  AccessDenied,   // no permission, a read-only medium or file
  InUse,          // another program holds the file
  BadData,        // input that is damaged or not of the expected format
  WrongPassword,  // scrambled data without the right password
  NoSpace,        // the disk or a size limit is full
  Cancelled,      // a person or a signal stopped the operation
  ClosedOutput,   // the reader of our output went away (a closed pipe)
  Usage,          // a request that cannot be carried out as asked
};

// The kind of failure a system error number (errno) stands for; 0 gives Other.
FailureKind failureKindOf(int systemError) noexcept;

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message, FailureKind kind = FailureKind::Other,
                     int systemError = 0)
      : std::runtime_error(message), kind_(kind), systemError_(systemError) {}
  // A failure caused by a system call: its kind follows the error number.
  static Exception fromSystemError(const std::string& message, int systemError) {
    return Exception(message, failureKindOf(systemError), systemError);
  }

  // What went wrong; callers decide on this, never on the message.
  FailureKind kind() const noexcept { return kind_; }
  // The errno that caused the failure, 0 when no system call did.
  int systemError() const noexcept { return systemError_; }

 private:
  FailureKind kind_;
  int systemError_;
};

}  // namespace pagora

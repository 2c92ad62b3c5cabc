// How pagora-cli's commands report a failure and which exit status it gives: 0 done, 1 the job
// failed, 2 the request itself was wrong (a usage error), the classic convention that lets a
// script tell the two apart.
#pragma once

#include <exception>
#include <string>

namespace pagora::cli {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// kExitUsage for a failure of the Usage kind, kExitFailed for any other.
int exitStatusFor(const std::exception& failure) noexcept;

// "pagora-cli: GROUP COMMAND: MESSAGE" on standard error (control characters escaped), after
// what standard output already holds.
void say(const std::string& group, const std::string& command, const std::string& message);
// say, then `status`.
int fail(const std::string& group, const std::string& command, const std::string& message,
         int status = kExitFailed);
// say the failure's text, then its exit status.
int fail(const std::string& group, const std::string& command, const std::exception& failure);

}  // namespace pagora::cli

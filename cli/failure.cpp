// pagora-cli's failure lines and exit statuses.
#include "failure.h"

#include <cstdio>

#include "common/exception.h"
#include "terminal.h"

namespace pagora::cli {

int exitStatusFor(const std::exception& failure) noexcept {
  const auto* known = dynamic_cast<const Exception*>(&failure);
  return known && known->kind() == FailureKind::Usage ? kExitUsage : kExitFailed;
}

void say(const std::string& group, const std::string& command, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "pagora-cli: %s %s: %s\n", group.c_str(), command.c_str(),
               escapeControl(message).c_str());
}

int fail(const std::string& group, const std::string& command, const std::string& message,
         int status) {
  say(group, command, message);
  return status;
}

int fail(const std::string& group, const std::string& command, const std::exception& failure) {
  return fail(group, command, failure.what(), exitStatusFor(failure));
}

}  // namespace pagora::cli

// What the parts of `pagora-cli lzh` share: names and failures as shown, Ctrl-C, selection.
#include "lzh_shared.h"

#include <cstdio>
#include <cstring>

#include "terminal.h"
#include "text/recode.h"

namespace pagora::cli {
namespace {

std::string g_memberNames;  // "device", "1251", "866", "utf8", or "" for the guess

std::atomic<std::atomic<bool>*> g_abortFlag{nullptr};

extern "C" void onInterrupt(int) {
  if (std::atomic<bool>* flag = g_abortFlag.load()) flag->store(true);
}

}  // namespace

void setMemberNames(const std::string& names) {
  g_memberNames = names;
}

std::string shownName(const std::string& name) {
  return escapeControl(name);
}

// Books store their names in the handheld's set, so a name that is not valid UTF-8 is taken to
// be in that set. Only bytes from 0x80 up (and the handheld's bar) change, so no "/" or "."
// can appear that was not there.
std::string memberName(const std::string& name) {
  if (g_memberNames == "utf8" || (g_memberNames.empty() && isValidUtf8(name))) return name;
  if (g_memberNames == "1251") return winToUtf8(name);
  if (g_memberNames == "866") return winToUtf8(DosToWin(name));
  return winToUtf8(deviceToWin(name));
}

std::string shownMember(const std::string& name) {
  return shownName(memberName(name));
}

InterruptGuard::InterruptGuard(std::atomic<bool>& flag) {
  g_abortFlag.store(&flag);
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous_);
}

InterruptGuard::~InterruptGuard() {
  ::sigaction(SIGINT, &previous_, nullptr);
  g_abortFlag.store(nullptr);
}

std::string withReason(const std::string& text, int error) {
  return text + ": " + std::strerror(error);
}

std::string notArchiveText(const std::string& name) {
  return name + " is not an LZH archive";
}

bool selected(const std::vector<std::string>& patterns, const std::string& member) {
  if (patterns.empty()) return true;
  for (const std::string& pattern : patterns)
    if (TLzhArchiver::selects(pattern, member)) return true;
  return false;
}

bool allPatternsMatch(const std::string& command, const std::vector<std::string>& patterns,
                      const std::vector<std::string>& members) {
  bool all = true;
  for (const std::string& pattern : patterns) {
    bool any = false;
    for (const std::string& member : members) any = any || TLzhArchiver::selects(pattern, member);
    if (!any) {
      say("lzh", command, "No member matches " + pattern);
      all = false;
    }
  }
  return all;
}

}  // namespace pagora::cli

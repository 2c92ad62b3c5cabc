// What the parts of `pagora-cli lzh` share: how names and failures are shown, Ctrl-C, member
// selection, the subcommands' options and entry points.
// Exit status of every subcommand: 0 when everything was done, 1 when anything failed, was
// skipped without consent or was cancelled, 2 for a usage error (set by the program's parser).
#pragma once

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "archive/lzharchiver.h"
#include "failure.h"

namespace pagora::cli {

// The character set that `l` and `x` read member names in (--names): "device", "1251", "866",
// "utf8", or "" for the guess.
void setMemberNames(const std::string& names);

// Every member or file name printed by `lzh` passes through here, so that a choice of how
// stored names are decoded plugs in at one place. Control characters are always escaped.
std::string shownName(const std::string& name);
// A member name as UTF-8 for the terminal and the file system (see setMemberNames).
std::string memberName(const std::string& name);
// shownName of memberName.
std::string shownMember(const std::string& name);

// "TEXT: the system's reason for ERROR".
std::string withReason(const std::string& text, int error);
// The failure told for a file that holds no archive.
std::string notArchiveText(const std::string& name);

// Whether a member is selected by the patterns (all members when there are none).
bool selected(const std::vector<std::string>& patterns, const std::string& member);
// Reports every pattern that selects none of the members; true when all select some.
bool allPatternsMatch(const std::string& command, const std::vector<std::string>& patterns,
                      const std::vector<std::string>& members);

// Ctrl-C asks the running operation to stop at its next chunk instead of killing the process,
// so that the previous archive survives and half-written files are removed.
class InterruptGuard {
 public:
  explicit InterruptGuard(std::atomic<bool>& flag);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

enum class Overwrite { Ask, Always, Never };

struct ExtractOptions {
  std::vector<std::string> patterns;
  std::string folder;
  std::string password;
  Overwrite overwrite = Overwrite::Ask;
  bool confirm = false;
};

struct AddOptions {
  std::string method = "lh5";
  int level = 1;
  bool storePath = false;
  bool upper = false;
  bool append = false;
  bool confirm = false;
  std::string password;
};

// The subcommands l, t, p (lzh_read.cpp), x (lzh_extract.cpp) and a (lzh_add.cpp); each
// returns the exit status.
int listArchive(const std::string& archiveName, bool verbose);
int testArchive(const std::string& archiveName, const std::vector<std::string>& patterns,
                const std::string& password);
int printMembers(const std::string& archiveName, const std::vector<std::string>& patterns,
                 const std::string& password);
int extractArchive(const std::string& archiveName, const ExtractOptions& options);
int addToArchive(const std::string& archiveName, const std::vector<std::string>& files,
                 const AddOptions& options);

}  // namespace pagora::cli

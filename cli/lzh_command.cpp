// `pagora-cli lzh`: list (l), test (t), extract (x), print (p) and add (a).
// Exit status of every subcommand: 0 when everything was done, 1 when anything failed, was
// skipped without consent or was cancelled, 2 for a usage error (set by the program's parser).
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/byte_pump.h"
#include "archive/coder_state.h"
#include "archive/lzh_errors.h"
#include "archive/lzh_format.h"
#include "archive/lzh_names.h"
#include "archive/lzharchiver.h"
#include "archive/member_coder.h"
#include "commands.h"
#include "terminal.h"
#include "text/recode.h"

namespace pagora::cli {

namespace {

constexpr int kFailed = 1;

// Every member or file name printed by this group passes through here, so that a choice of
// how stored names are decoded (the handheld's character set, 1251, 866, UTF-8) plugs in at
// one place. Control characters are always escaped.
std::string shownName(const std::string& name) {
  return escapeControl(name);
}

// The character set that `l` and `x` read member names in (--names). Books store their names
// in the handheld's set, so a name that is not valid UTF-8 is taken to be in that set.
std::string g_memberNames;  // "device", "1251", "866", "utf8", or "" for the guess

// A member name as UTF-8 for the terminal and the file system. Only bytes from 0x80 up (and the
// handheld's bar) change, so no "/" or "." can appear that was not there.
std::string memberName(const std::string& name) {
  if (g_memberNames == "utf8" || (g_memberNames.empty() && IsValidUtf8(name))) return name;
  if (g_memberNames == "1251") return WinToUtf8(name);
  if (g_memberNames == "866") return WinToUtf8(DosToWin(name));
  return WinToUtf8(DeviceToWin(name));
}

std::string shownMember(const std::string& name) {
  return shownName(memberName(name));
}

std::atomic<std::atomic<bool>*> g_abortFlag{nullptr};

extern "C" void onInterrupt(int) {
  if (std::atomic<bool>* flag = g_abortFlag.load()) flag->store(true);
}

// Ctrl-C asks the running operation to stop at its next chunk instead of killing the process,
// so that the previous archive survives and half-written files are removed.
class InterruptGuard {
 public:
  explicit InterruptGuard(std::atomic<bool>& flag) {
    g_abortFlag.store(&flag);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() {
    ::sigaction(SIGINT, &previous_, nullptr);
    g_abortFlag.store(nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

void say(const std::string& command, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "pagora-cli: lzh %s: %s\n", command.c_str(), escapeControl(message).c_str());
}

int fail(const std::string& command, const std::string& message) {
  say(command, message);
  return kFailed;
}

std::string withReason(const std::string& text, int error) {
  return text + ": " + std::strerror(error);
}

std::string dosDateTimeText(std::uint32_t dateTime) {
  unsigned date = dateTime >> 16, time = dateTime & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

// Packed size in percent of the original, one decimal; an empty original counts as 100 %.
double ratio(std::uint64_t packed, std::uint64_t original) {
  return original == 0 ? 100.0
                       : static_cast<double>(packed) * 100.0 / static_cast<double>(original);
}

// ---------------------------------------------------------------------------------------------
// Reading an archive header by header. `l`, `t`, `p` and the checks before `x` and `a` share it,
// so that they agree on what an archive is and on where a broken one stops.

struct WalkResult {
  int members = 0;          // headers read
  std::string error;        // an open failure or the header fault that ended the walk
  bool opened = false;      // the file could be opened at all
  bool notArchive = false;  // it holds no member and is not an empty archive either
  bool stopped = false;     // the visitor asked to stop
};

// visit(header, archive) runs with the stream at the member's data and returns false to stop.
template <class Visit>
WalkResult walkArchive(const std::string& name, Visit visit) {
  WalkResult result;
  LzhReadArchive archive;
  try {
    archive = openArchiveForReading(name);
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }
  result.opened = true;
  std::int64_t start = 0;
  try {
    start = archive.stream.position();
    LzhMemberHeader header;
    while (readMemberHeader(archive.stream, archive.brisko, header)) {
      const std::int64_t data = archive.stream.position();
      ++result.members;
      if (!visit(header, archive)) {
        result.stopped = true;
        return result;
      }
      archive.stream.seek(data + header.packedSize, SEEK_SET);
    }
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  if (result.members == 0 && !archive.brisko) {
    // An empty file and a lone end marker are empty archives; anything else that yields no
    // member is some other kind of file.
    // A first header with a method id in its place is an archive whose first header is broken:
    // its fault is told rather than a guess about the kind of file.
    try {
      const std::int64_t rest = archive.stream.size() - start;
      std::uint8_t first[7] = {1, 0, 0, 0, 0, 0, 0};
      archive.stream.seek(start, SEEK_SET);
      const std::size_t got = archive.stream.read(first, sizeof first);
      const bool methodId = got == sizeof first && first[2] == '-' && first[6] == '-';
      result.notArchive =
          !(rest == 0 || (rest == 1 && first[0] == 0) || (methodId && !result.error.empty()));
    } catch (const std::exception&) {
      result.notArchive = true;
    }
  }
  return result;
}

std::string notArchiveText(const std::string& name) {
  return name + " is not an LZH archive";
}

// Whether a member is selected by the patterns (all members when there are none).
bool selected(const std::vector<std::string>& patterns, const std::string& member) {
  if (patterns.empty()) return true;
  for (const std::string& pattern : patterns)
    if (lzhSelects(pattern, member)) return true;
  return false;
}

// Reports every pattern that selects none of the members; true when all select some.
bool allPatternsMatch(const std::string& command, const std::vector<std::string>& patterns,
                      const std::vector<std::string>& members) {
  bool all = true;
  for (const std::string& pattern : patterns) {
    bool any = false;
    for (const std::string& member : members) any = any || lzhSelects(pattern, member);
    if (!any) {
      say(command, "No member matches " + pattern);
      all = false;
    }
  }
  return all;
}

// Decodes the member at the stream's position into sink (the CRC is checked on the way).
// Returns the failure text, or an empty string; a cancel sets `cancelled` instead.
std::string decodeInto(TLzhCoderState& state, LzhReadArchive& archive,
                       const LzhMemberHeader& header, FileStream& sink,
                       const LzhCoderContext& context, bool& cancelled) {
  try {
    const LzhExpandRequest request = expandRequestFor(header, archive, sink);
    expandMember(state, request, context);
    return {};
  } catch (const ELzhOperationAborted&) {
    cancelled = true;
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

LzhCoderContext coderContext(const std::string& password, ProgressBar* bar,
                             const std::atomic<bool>& abortFlag) {
  LzhCoderContext context;
  context.password = password;
  if (bar != nullptr) context.progress = [bar](int percent, int&) { bar->update(percent); };
  context.abortFlag = &abortFlag;
  return context;
}

// ---------------------------------------------------------------------------------------------

int listArchive(const std::string& archiveName, bool verbose) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("l", withReason("Cannot open " + archiveName, errno));
  bool headerShown = false;
  auto showHeader = [&] {
    if (headerShown) return;
    headerShown = true;
    std::printf(" Original   Packed  Ratio Method Date       Time      CRC  Attr Lvl Name\n");
    std::printf("--------- -------- ------ ------ ---------- -------- ---- ---- --- ----\n");
  };
  std::uint64_t original = 0, packed = 0;
  bool scrambled = false;
  WalkResult walk = walkArchive(archiveName, [&](const LzhMemberHeader& h, LzhReadArchive&) {
    showHeader();
    original += h.originalSize;
    packed += h.packedSize;
    scrambled = scrambled || h.scrambled();
    std::printf("%9u %8u %5.1f%% %-6s %s %04X  %02X  %d%s %s\n", h.originalSize, h.packedSize,
                ratio(h.packedSize, h.originalSize), shownName(h.methodId).c_str(),
                dosDateTimeText(h.dateTime()).c_str(), h.crc, h.attribute, h.level(),
                h.scrambled() ? "*" : " ", shownMember(h.name).c_str());
    if (verbose) {
      std::printf("          stored as %s\n", shownName(h.name).c_str());
      if (!h.comment.empty()) std::printf("          note: %s\n", shownMember(h.comment).c_str());
    }
    return true;
  });
  if (!walk.opened) return fail("l", walk.error);
  if (walk.notArchive) return fail("l", notArchiveText(archiveName));
  showHeader();
  std::printf("--------- -------- ------ ------ ---------- -------- ---- ---- --- ----\n");
  std::printf("%9llu %8llu %5.1f%% %d file(s)%s\n", static_cast<unsigned long long>(original),
              static_cast<unsigned long long>(packed), ratio(packed, original), walk.members,
              scrambled ? "   (* = scrambled with a password)" : "");
  if (!walk.error.empty()) return fail("l", archiveName + ": " + walk.error);
  return 0;
}

// `t`: every selected member is decoded into a sink that only counts and checksums (the byte
// pump keeps the CRC), so testing needs no disk space and writes nothing.
int testArchive(const std::string& archiveName, const std::vector<std::string>& patterns,
                const std::string& password) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("t", withReason("Cannot open " + archiveName, errno));
  int discard = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (discard < 0) return fail("t", withReason("Cannot open /dev/null", errno));
  FileStream sink(discard, "/dev/null");
  TLzhCoderState state;
  std::atomic<bool> abortFlag{false};
  InterruptGuard interrupt(abortFlag);
  ProgressBar bar;
  const LzhCoderContext context = coderContext(password, &bar, abortFlag);
  int tested = 0, failed = 0;
  bool cancelled = false;
  std::vector<std::string> members;
  WalkResult walk = walkArchive(archiveName, [&](const LzhMemberHeader& h,
                                                 LzhReadArchive& archive) {
    members.push_back(h.name);
    if (!selected(patterns, h.name)) return true;
    bar.setLabel(shownMember(h.name));
    const std::string error = decodeInto(state, archive, h, sink, context, cancelled);
    if (cancelled) return false;
    bar.clear();
    ++tested;
    if (error.empty()) {
      std::printf("OK      %s\n", shownMember(h.name).c_str());
    } else {
      ++failed;
      std::printf("FAILED  %s: %s\n", shownMember(h.name).c_str(), escapeControl(error).c_str());
    }
    return true;
  });
  bar.clear();
  if (cancelled) return fail("t", "Operation cancelled");
  if (!walk.opened) return fail("t", walk.error);
  if (walk.notArchive) return fail("t", notArchiveText(archiveName));
  if (!walk.error.empty()) {
    // The header after the last member read is broken: what follows it can't be tested.
    ++failed;
    std::printf("FAILED  header of member %d: %s\n", walk.members + 1,
                escapeControl(walk.error).c_str());
  }
  const bool matched = allPatternsMatch("t", patterns, members);
  std::printf("%d member(s) tested, %d failed\n", tested, failed);
  return failed > 0 || !matched ? kFailed : 0;
}

// `p`: the selected members, one after another, to standard output.
int printMembers(const std::string& archiveName, const std::vector<std::string>& patterns,
                 const std::string& password) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("p", withReason("Cannot open " + archiveName, errno));
  std::fflush(stdout);
#ifdef _WIN32
  int out = ::_dup(STDOUT_FILENO);
  if (out >= 0) ::_setmode(out, _O_BINARY);  // members go out byte for byte, no CR added
#else
  int out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
#endif
  if (out < 0) return fail("p", withReason("Cannot write to standard output", errno));
  FileStream sink(out, "standard output");
  TLzhCoderState state;
  std::atomic<bool> abortFlag{false};
  InterruptGuard interrupt(abortFlag);
  const LzhCoderContext context = coderContext(password, nullptr, abortFlag);
  // A reader that goes away (`| head`) ends the output with EPIPE instead of killing us.
  // Windows has no SIGPIPE: a write to a closed pipe just fails.
#ifndef _WIN32
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
#endif
  int failed = 0;
  bool cancelled = false, outputGone = false;
  std::vector<std::string> members;
  WalkResult walk =
      walkArchive(archiveName, [&](const LzhMemberHeader& h, LzhReadArchive& archive) {
        members.push_back(h.name);
        if (!selected(patterns, h.name)) return true;
        const std::string error = decodeInto(state, archive, h, sink, context, cancelled);
        if (cancelled) return false;
        if (!error.empty()) {
          ++failed;
          if (error.find(std::strerror(EPIPE)) != std::string::npos) {
            outputGone = true;  // the reader has all it wanted: end quietly, as the classics do
            return false;
          }
          say("p", shownMember(h.name) + ": " + error);
        }
        return true;
      });
#ifndef _WIN32
  ::sigaction(SIGPIPE, &previous, nullptr);
#endif
  if (cancelled) return fail("p", "Operation cancelled");
  if (!walk.opened) return fail("p", walk.error);
  if (walk.notArchive) return fail("p", notArchiveText(archiveName));
  if (!walk.error.empty()) return fail("p", archiveName + ": " + walk.error);
  if (outputGone) return kFailed;
  const bool matched = allPatternsMatch("p", patterns, members);
  return failed > 0 || !matched ? kFailed : 0;
}

enum class Overwrite { Ask, Always, Never };

struct ExtractOptions {
  std::vector<std::string> patterns;
  std::string folder;
  std::string password;
  Overwrite overwrite = Overwrite::Ask;
  bool confirm = false;
};

std::string folderOf(const std::string& path) {
  std::size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// What one `x` keeps between the component's callbacks and its runs.
struct Extraction {
  TLzhArchiver& archiver;
  ProgressBar& bar;
  Overwrite overwrite;
  bool interactive;
  int resume = 0;    // members before this index were dealt with by an earlier run
  int current = -1;  // the member under way, -1 when none is
  std::string currentTarget{};
  int extracted = 0, failed = 0, refused = 0;
  bool cancelled = false;

  // Gives the member its readable name and decides about a file already at its place; an
  // emptied target skips the member.
  void placeMember(const std::string& member, std::string& target) {
    const int index = archiver.FileInformationIndex();
    if (index < resume) {
      target.clear();
      return;
    }
    current = index;
    // The file gets the readable name; the folder part before it stays as given.
    const std::size_t folderLength = archiver.TargetPath().size();
    if (target.size() >= folderLength)
      target = target.substr(0, folderLength) + memberName(target.substr(folderLength));
    currentTarget = target;
    bar.setLabel(shownMember(member));
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) != 0) return;
    if (overwrite == Overwrite::Ask && interactive) {
      bar.clear();
      switch (askReplace(target)) {
        case ReplaceAnswer::Yes:
          return;
        case ReplaceAnswer::All:
          overwrite = Overwrite::Always;
          return;
        case ReplaceAnswer::None:
          overwrite = Overwrite::Never;
          break;
        case ReplaceAnswer::No:
          break;
      }
    } else if (overwrite == Overwrite::Ask) {
      ++refused;
      say("x", "skipped " + shownName(target) +
                   ": the file exists (-o replaces it, -n keeps it quietly)");
    }
    if (overwrite == Overwrite::Always) return;
    target.clear();
    current = -1;
  }

  TLzhConfirmAnswer confirmMember(const std::string& text) {
    bar.clear();
    switch (askYesNo(text, true)) {
      case PromptAnswer::Yes:
        return TLzhConfirmAnswer::Yes;
      case PromptAnswer::No:
        current = -1;
        return TLzhConfirmAnswer::No;
      case PromptAnswer::Cancel:
        break;
    }
    cancelled = true;
    return TLzhConfirmAnswer::Cancel;
  }

  void memberDone(const std::string& target) {
    bar.clear();
    std::printf("x %s\n", shownName(target).c_str());
    ++extracted;
    current = -1;
  }

  // Reports why a run of the component stopped; true when a new run goes on after the member
  // that failed.
  bool runFailed(const std::exception& e, const std::string& archiveName,
                 const std::vector<std::string>& members) {
    bar.clear();
    const int index = archiver.FileInformationIndex();
    if (archiver.AbortFlag) return false;
    std::string reason = e.what();
    if (current < 0 || current != index) {
      // No member was under way: the archive's own header is broken, and nothing after it
      // can be read.
      ++failed;
      say("x", archiveName + ": " + reason);
      return false;
    }
    const std::string name = static_cast<std::size_t>(index) < members.size()
                                 ? shownMember(members[static_cast<std::size_t>(index)])
                                 : "member " + std::to_string(index + 1);
    say("x", name + ": " + escapeControl(targetReason(reason)));
    ++failed;
    resume = index + 1;
    return true;
  }

  // The component names its temporary file; the user knows only the file it stands for.
  std::string targetReason(std::string reason) const {
    const std::string folder = folderOf(currentTarget);
    const std::string temporaryPrefix =
        "Cannot create file " + (folder.empty() ? std::string("./") : folder) + "LHA";
    if (reason.rfind(temporaryPrefix, 0) == 0) {
      const std::size_t why = reason.find(": ", temporaryPrefix.size());
      reason = "Cannot create file " + currentTarget +
               (why == std::string::npos ? "" : reason.substr(why));
    }
    return reason;
  }
};

// `x` runs the component in its safe mode only: every member is expanded into a temporary file
// beside its target and renamed over it after its check value held, so a failed member never
// leaves a half, empty or wrong file under a real name. A member that fails ends the
// component's run; the run is started again after it, so that the other members still come out.
int extractArchive(const std::string& archiveName, const ExtractOptions& options) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("x", withReason("Cannot open " + archiveName, errno));
  std::vector<std::string> members;
  WalkResult walk = walkArchive(archiveName, [&](const LzhMemberHeader& h, LzhReadArchive&) {
    members.push_back(h.name);
    return true;
  });
  if (!walk.opened) return fail("x", walk.error);
  if (walk.notArchive) return fail("x", notArchiveText(archiveName));
  const bool matched = allPatternsMatch("x", options.patterns, members);

  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.Password = options.password;
  archiver.SafeMode = true;
  archiver.MakeDirectories = true;
  archiver.ExceptionOnFileError = true;
  archiver.setTargetPath(options.folder);
  ProgressBar bar;
  archiver.OnShowProgress = [&bar](int& percent) { bar.update(percent); };
  InterruptGuard interrupt(archiver.AbortFlag);

  Extraction x{.archiver = archiver,
               .bar = bar,
               .overwrite = options.overwrite,
               .interactive = isTerminal(stdin)};
  archiver.OnCheckFile = [&x](const std::string& member, std::string& target, std::int32_t,
                              TLzhProcessMode) { x.placeMember(member, target); };
  if (options.confirm) {
    archiver.Confirm = true;
    archiver.OnConfirm = [&x](const std::string&, const std::string& text) {
      return x.confirmMember(text);
    };
  }
  archiver.OnAfterProcessed = [&x](const std::string&, const std::string& target, std::int32_t,
                                   TLzhProcessMode) { x.memberDone(target); };

  for (;;) {
    archiver.setFilesToProcess(options.patterns);
    x.current = -1;
    try {
      archiver.Expand();
      break;
    } catch (const std::exception& e) {
      if (!x.runFailed(e, archiveName, members)) break;
    }
  }
  bar.clear();
  if (archiver.AbortFlag || x.cancelled) return fail("x", "Operation cancelled");
  std::printf("%d member(s) extracted, %d failed, %d skipped\n", x.extracted, x.failed, x.refused);
  return x.failed > 0 || x.refused > 0 || !matched ? kFailed : 0;
}

struct AddOptions {
  std::string method = "lh5";
  int level = 1;
  bool storePath = false;
  bool upper = false;
  bool append = false;
  bool confirm = false;
  std::string password;
};

struct FileId {
  dev_t device;
  ino_t inode;
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

// The archive's temporary name while it is rebuilt: its extension replaced by ".$$$".
std::string temporaryArchiveName(const std::string& archiveName) {
  const std::size_t slash = archiveName.rfind('/');
  const std::size_t dot = archiveName.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? archiveName.substr(0, dot) : archiveName) + ".$$$";
}

// The files to add. Wildcards are expanded here by the archiver's own rule, so that a pattern
// matching nothing is reported and the archive is not met among its own inputs; each file goes
// in once, and none of `skip`. Returns why a file cannot be added, or nothing.
std::string collectInputs(const std::vector<std::string>& files, const std::vector<FileId>& skip,
                          std::vector<std::string>& entries) {
  std::set<FileId> ids;
  for (const std::string& file : files) {
    std::string entry = file.rfind("./", 0) == 0 ? file.substr(2) : file;
    std::vector<std::string> paths;
    if (lzhHasWildcard(entry)) {
      paths = lzhExpandWildcard(entry);
      if (paths.empty()) return "No file matches " + entry + "; nothing was changed";
    } else {
      struct stat st {};
      if (::stat(entry.c_str(), &st) != 0) return withReason("Cannot open " + entry, errno);
      if (!S_ISREG(st.st_mode)) return "Cannot add " + entry + ": not a regular file";
      if (::access(entry.c_str(), R_OK) != 0) return withReason("Cannot read " + entry, errno);
      paths.push_back(entry);
    }
    for (std::string& path : paths) {
      struct stat st {};
      if (::stat(path.c_str(), &st) != 0) return withReason("Cannot open " + path, errno);
      const FileId id{st.st_dev, st.st_ino};
      bool itself = false;
      for (const FileId& s : skip) itself = itself || (!(s < id) && !(id < s));
      if (itself) {
        say("a", "skipping " + shownName(path) + ": it is the archive itself");
        continue;
      }
      if (!ids.insert(id).second) continue;  // the same file named twice
      entries.push_back(std::move(path));
    }
  }
  return {};
}

int addToArchive(const std::string& archiveName, const std::vector<std::string>& files,
                 const AddOptions& options) {
  // An existing file must be an archive this program reads in full before anything changes.
  struct stat archiveStat {};
  const bool archiveExists = ::stat(archiveName.c_str(), &archiveStat) == 0;
  if (archiveExists) {
    if (!S_ISREG(archiveStat.st_mode))
      return fail("a", archiveName + " is not a regular file; nothing was changed");
    WalkResult walk =
        walkArchive(archiveName, [](const LzhMemberHeader&, LzhReadArchive&) { return true; });
    if (!walk.opened) return fail("a", walk.error + "; nothing was changed");
    if (walk.notArchive) return fail("a", notArchiveText(archiveName) + "; nothing was changed");
    if (!walk.error.empty())
      return fail("a", archiveName + ": " + walk.error + "; nothing was changed");
  }
  std::vector<FileId> skip;  // the archive and its temporary file are never added
  if (archiveExists) skip.push_back({archiveStat.st_dev, archiveStat.st_ino});
  struct stat tempStat {};
  if (::stat(temporaryArchiveName(archiveName).c_str(), &tempStat) == 0)
    skip.push_back({tempStat.st_dev, tempStat.st_ino});

  std::vector<std::string> entries;
  const std::string problem = collectInputs(files, skip, entries);
  if (!problem.empty()) return fail("a", problem);
  if (entries.empty()) return fail("a", "Nothing to add; nothing was changed");

  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.ArchiveType = options.level == 0 ? caLHARC : caLHA;
  archiver.CompressionMethod = options.method == "lh0"   ? colh0
                               : options.method == "lh1" ? colh1
                                                         : colh5;
  archiver.StorePath = options.storePath;
  archiver.ForceUpperCase = options.upper;
  archiver.AllowDuplicates = options.append;
  archiver.Password = options.password;
  archiver.ExceptionOnFileError = true;
  archiver.MakeDirectories = true;
  archiver.setFilesToProcess(entries);
  ProgressBar bar;
  archiver.OnShowProgress = [&bar](int& percent) { bar.update(percent); };
  bool cancelled = false;
  if (options.confirm) {
    archiver.Confirm = true;
    archiver.OnConfirm = [&](const std::string&, const std::string& text) {
      bar.clear();
      switch (askYesNo(text, true)) {
        case PromptAnswer::Yes:
          return TLzhConfirmAnswer::Yes;
        case PromptAnswer::No:
          return TLzhConfirmAnswer::No;
        case PromptAnswer::Cancel:
          break;
      }
      cancelled = true;
      return TLzhConfirmAnswer::Cancel;
    };
  }
  InterruptGuard interrupt(archiver.AbortFlag);
  archiver.OnCheckFile = [&](const std::string& file, std::string&, std::int32_t, TLzhProcessMode) {
    bar.setLabel(shownName(file));
  };
  archiver.OnAfterProcessed = [&](const std::string&, const std::string& stored, std::int32_t,
                                  TLzhProcessMode) {
    bar.clear();
    std::printf("a %s (%d%%)\n", shownName(stored).c_str(), archiver.CompressionRatio());
  };
  try {
    archiver.Compress();
  } catch (const std::exception& e) {
    bar.clear();
    return fail("a", e.what());
  }
  bar.clear();
  if (cancelled) return fail("a", "Operation cancelled");
  return 0;
}

}  // namespace

void addLzhCommand(CLI::App& app, int& status) {
  CLI::App* lzh = app.add_subcommand("lzh", "LZH archives: list, test, extract, print, add");
  lzh->require_subcommand(1);

  auto archive = std::make_shared<std::string>();
  auto password = std::make_shared<std::string>();
  auto patterns = std::make_shared<std::vector<std::string>>();
  auto names = std::make_shared<std::string>();
  const char* namesHelp =
      "Character set of member names: device, 1251, 866 or utf8 "
      "(default: UTF-8 when valid, else the device's)";
  auto nameSets = CLI::IsMember({"device", "1251", "866", "utf8"});

  CLI::App* list = lzh->add_subcommand("l", "List the members of an archive");
  auto verbose = std::make_shared<bool>(false);
  list->add_option("archive", *archive, "Archive file")->required();
  list->add_option("--names", *names, namesHelp)->check(nameSets);
  list->add_flag("-v,--verbose", *verbose, "Also show each member's name as stored and its note");
  list->callback([&status, archive, names, verbose] {
    g_memberNames = *names;
    status = listArchive(*archive, *verbose);
  });

  CLI::App* test = lzh->add_subcommand("t", "Test members (all, or those matching patterns)");
  test->add_option("archive", *archive, "Archive file")->required();
  test->add_option("members", *patterns, "Member names or patterns (* and ?)");
  test->add_option("--password", *password, "Password of scrambled members");
  test->add_option("--names", *names, namesHelp)->check(nameSets);
  test->callback([&status, archive, patterns, password, names] {
    g_memberNames = *names;
    status = testArchive(*archive, *patterns, *password);
  });

  CLI::App* print = lzh->add_subcommand("p", "Write members to standard output");
  print->add_option("archive", *archive, "Archive file")->required();
  print->add_option("members", *patterns, "Member names or patterns (* and ?)");
  print->add_option("--password", *password, "Password of scrambled members");
  print->callback([&status, archive, patterns, password] {
    status = printMembers(*archive, *patterns, *password);
  });

  auto extractOptions = std::make_shared<ExtractOptions>();
  auto replace = std::make_shared<bool>(false);
  auto keep = std::make_shared<bool>(false);
  auto safe = std::make_shared<bool>(false);
  CLI::App* extract = lzh->add_subcommand("x", "Extract members (all, or those matching patterns)");
  extract->add_option("archive", *archive, "Archive file")->required();
  extract->add_option("members", extractOptions->patterns, "Member names or patterns (* and ?)");
  extract->add_option("-C,--directory", extractOptions->folder,
                      "Folder to extract into (default: current)");
  extract->add_option("--password", extractOptions->password, "Password of scrambled members");
  CLI::Option* replaceOption =
      extract->add_flag("-o,--overwrite", *replace, "Replace existing files without asking");
  extract->add_flag("-n,--no-overwrite", *keep, "Never replace existing files (skip them quietly)")
      ->excludes(replaceOption);
  // Every member goes through a temporary file now; the flag stays for old scripts.
  extract->add_flag("--safe", *safe, "Accepted for compatibility: extraction is always safe");
  extract->add_flag("--confirm", extractOptions->confirm, "Ask before each member");
  extract->add_option("--names", *names, namesHelp)->check(nameSets);
  extract->callback([&status, archive, extractOptions, replace, keep, names] {
    g_memberNames = *names;
    extractOptions->overwrite = *replace ? Overwrite::Always
                                : *keep  ? Overwrite::Never
                                         : Overwrite::Ask;
    status = extractArchive(*archive, *extractOptions);
  });

  auto files = std::make_shared<std::vector<std::string>>();
  auto options = std::make_shared<AddOptions>();
  CLI::App* add =
      lzh->add_subcommand("a", "Add files to an archive (rebuilt, or appended with --append)");
  add->add_option("archive", *archive, "Archive file")->required();
  add->add_option("files", *files, "Files to add (* and ? patterns, pattern/S for subfolders)")
      ->required();
  add->add_option("--method", options->method, "Compression method")
      ->check(CLI::IsMember({"lh0", "lh1", "lh5"}))
      ->default_str("lh5");
  add->add_option("--level", options->level, "Header level")
      ->check(CLI::IsMember({0, 1}))
      ->default_str("1");
  add->add_flag("--store-path", options->storePath, "Keep folder names in the stored names");
  add->add_flag("--upper", options->upper, "Store names in upper case");
  add->add_option("--password", options->password, "Scramble new members with this password");
  add->add_flag("--append", options->append, "Append instead of rebuilding the archive");
  add->add_flag("--confirm", options->confirm, "Ask before each file");
  add->callback(
      [&status, archive, files, options] { status = addToArchive(*archive, *files, *options); });
}

}  // namespace pagora::cli

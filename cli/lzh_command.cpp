// `pagora-cli lzh`: list (l), test (t), extract (x) and add (a) with the archive component.
#include <CLI/CLI.hpp>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "archive/lzh_format.h"
#include "archive/lzharchiver.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "text/recode.h"

namespace pagora::cli {

namespace {

// Every member or file name printed by this group passes through here, so that a choice of
// how stored names are decoded (the handheld's character set, 1251, 866, UTF-8) plugs in at
// one place. Control characters are always escaped.
std::string shownName(const std::string& name) { return escapeControl(name); }

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

std::atomic<std::atomic<bool>*> g_abortFlag{nullptr};

extern "C" void onInterrupt(int) {
  if (std::atomic<bool>* flag = g_abortFlag.load()) flag->store(true);
}

// Ctrl-C asks the running operation to stop at its next chunk instead of killing the process,
// so that the previous archive survives and half-written files are removed.
class InterruptGuard {
 public:
  explicit InterruptGuard(TLzhArchiver& archiver) {
    g_abortFlag.store(&archiver.AbortFlag);
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() {
    ::sigaction(SIGINT, &previous_, nullptr);
    g_abortFlag.store(nullptr);
  }

 private:
  struct sigaction previous_{};
};

int fail(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "pagora-cli: lzh %s: %s\n", command.c_str(), escapeControl(message).c_str());
  return 1;
}

std::string methodName(TLzhMethod method) {
  return std::string(kLzhMethodIds[method]);
}

std::string dosDateTimeText(std::uint32_t dateTime) {
  unsigned date = dateTime >> 16, time = dateTime & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

void useProgress(TLzhArchiver& archiver, ProgressBar& bar) {
  archiver.OnShowProgress = [&bar](int& percent) { bar.update(percent); };
}

void useTerminalConfirm(TLzhArchiver& archiver, ProgressBar& bar) {
  archiver.Confirm = true;
  archiver.OnConfirm = [&bar](const std::string&, const std::string& text) {
    bar.clear();
    switch (askYesNo(text, true)) {
      case PromptAnswer::Yes: return TLzhConfirmAnswer::Yes;
      case PromptAnswer::No: return TLzhConfirmAnswer::No;
      case PromptAnswer::Cancel: break;
    }
    return TLzhConfirmAnswer::Cancel;
  };
}

int listArchive(const std::string& archiveName, bool verbose) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  if (!archiver.Scan()) return fail("l", "Cannot open " + archiveName + ": No such file");
  std::printf(" Original   Packed Ratio Method Date       Time      CRC  Attr Lvl Name\n");
  std::printf("--------- -------- ----- ------ ---------- -------- ---- ---- --- ----\n");
  std::uint64_t original = 0, packed = 0;
  for (std::size_t i = 0; i < archiver.FileList().size(); ++i) {
    const TLzhFileInfo& info = archiver.FileInfoList()[i];
    original += info.UncompressedSize;
    packed += info.CompressedSize;
    std::printf("%9u %8u %4d%% %-6s %s %04X  %02X  %u%s %s\n", info.UncompressedSize,
                info.CompressedSize, lzhPercent(info.CompressedSize, info.UncompressedSize),
                methodName(info.Method).c_str(), dosDateTimeText(info.DateTime).c_str(), info.CRC,
                info.Attributes, info.HeaderLevel, info.Encrypted ? "*" : " ",
                shownName(memberName(archiver.FileList()[i])).c_str());
    if (verbose && !info.Comment.empty()) std::printf("    note: %s\n", shownName(memberName(info.Comment)).c_str());
  }
  std::printf("--------- -------- ----- ------ ---------- -------- ---- ---- --- ----\n");
  std::printf("%9llu %8llu %4d%% %zu file(s)%s\n", static_cast<unsigned long long>(original),
              static_cast<unsigned long long>(packed),
              lzhPercent(static_cast<std::int64_t>(packed), static_cast<std::int64_t>(original)),
              archiver.FileList().size(),
              archiver.FileList().empty() ? "" : "   (* = scrambled with a password)");
  return 0;
}

// Removes a folder tree this command made itself (no links are followed).
void removeTree(const std::string& path) {
  if (DIR* dir = ::opendir(path.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat st{};
      if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) removeTree(child);
      else ::unlink(child.c_str());
    }
    ::closedir(dir);
  }
  ::rmdir(path.c_str());
}

int testArchive(const std::string& archiveName, const std::string& password) {
  struct stat st{};
  if (::stat(archiveName.c_str(), &st) != 0) return fail("t", "Cannot open " + archiveName + ": No such file");
  std::string scratch = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : "/tmp") +
                        "/pagora-lzh-test-XXXXXX";
  if (!::mkdtemp(scratch.data())) return fail("t", "Cannot make a scratch folder " + scratch);
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.Password = password;
  archiver.MakeDirectories = true;
  archiver.ExceptionOnFileError = true;
  archiver.setTargetPath(scratch);
  ProgressBar bar;
  useProgress(archiver, bar);
  InterruptGuard interrupt(archiver);
  // Names by position, for members that fail before their name is announced.
  std::vector<std::string> names;
  try {
    archiver.Scan();
  } catch (const std::exception&) {
  }
  names = archiver.FileList();
  int resume = 0, finished = -1, tested = 0, failed = 0;
  archiver.OnCheckFile = [&](const std::string& member, std::string& target, std::int32_t, TLzhProcessMode) {
    if (archiver.FileInformationIndex() < resume) {
      target.clear();
      finished = archiver.FileInformationIndex();
      return;
    }
    bar.setLabel(shownName(memberName(member)));
  };
  archiver.OnAfterProcessed = [&](const std::string& member, const std::string&, std::int32_t, TLzhProcessMode) {
    bar.clear();
    std::printf("OK      %s\n", shownName(memberName(member)).c_str());
    finished = archiver.FileInformationIndex();
    ++tested;
  };
  int status = 0;
  // A failing member ends Verify; run it again from the member after it. A failure while no
  // member was under way is the archive's own (a broken header) and ends the test.
  for (;;) {
    try {
      archiver.Verify();
      break;
    } catch (const std::exception& e) {
      bar.clear();
      const int index = archiver.FileInformationIndex();
      if (archiver.AbortFlag || index <= finished || index < resume) {
        status = fail("t", e.what());
        break;
      }
      const std::string name = static_cast<std::size_t>(index) < names.size() ? names[static_cast<std::size_t>(index)]
                                                                           : "member " + std::to_string(index + 1);
      std::printf("FAILED  %s: %s\n", shownName(memberName(name)).c_str(), escapeControl(e.what()).c_str());
      ++tested;
      ++failed;
      resume = index + 1;
      finished = index;
    }
  }
  bar.clear();
  removeTree(scratch);
  if (archiver.AbortFlag) return fail("t", "Operation cancelled");
  std::printf("%d member(s) tested, %d failed\n", tested, failed);
  return failed > 0 ? 1 : status;
}

int extractArchive(const std::string& archiveName, const std::vector<std::string>& patterns,
                   const std::string& folder, const std::string& password, bool safe,
                   bool confirm) {
  struct stat st{};
  if (::stat(archiveName.c_str(), &st) != 0) return fail("x", "Cannot open " + archiveName + ": No such file");
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.Password = password;
  archiver.SafeMode = safe;
  archiver.MakeDirectories = true;
  archiver.ExceptionOnFileError = true;
  archiver.setTargetPath(folder);
  archiver.setFilesToProcess(patterns);
  ProgressBar bar;
  useProgress(archiver, bar);
  if (confirm) useTerminalConfirm(archiver, bar);
  InterruptGuard interrupt(archiver);
  archiver.OnCheckFile = [&](const std::string& member, std::string& target, std::int32_t, TLzhProcessMode) {
    // The file gets the readable name; the folder part before it stays as given.
    const std::size_t folderLength = archiver.TargetPath().size();
    if (target.size() >= folderLength) target = target.substr(0, folderLength) + memberName(target.substr(folderLength));
    bar.setLabel(shownName(memberName(member)));
  };
  archiver.OnAfterProcessed = [&](const std::string&, const std::string& target, std::int32_t, TLzhProcessMode) {
    bar.clear();
    std::printf("x %s\n", shownName(target).c_str());
  };
  try {
    archiver.Expand();
  } catch (const std::exception& e) {
    bar.clear();
    return fail("x", e.what());
  }
  bar.clear();
  if (archiver.AbortFlag) return fail("x", "Operation cancelled");
  return 0;
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

int addToArchive(const std::string& archiveName, const std::vector<std::string>& files,
                 const AddOptions& options) {
  std::vector<std::string> entries;
  for (const std::string& file : files) {
    // Compress drops missing files silently; on a command line that is a mistake to report.
    std::string entry = file.rfind("./", 0) == 0 ? file.substr(2) : file;
    if (entry.find_first_of("*?") == std::string::npos) {
      struct stat st{};
      if (::stat(entry.c_str(), &st) != 0) return fail("a", "Cannot open " + entry + ": No such file");
      if (!S_ISREG(st.st_mode)) return fail("a", "Cannot add " + entry + ": not a regular file");
      if (::access(entry.c_str(), R_OK) != 0) return fail("a", "Cannot read " + entry + ": Permission denied");
    }
    entries.push_back(entry);
  }
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.ArchiveType = options.level == 0 ? caLHARC : caLHA;
  archiver.CompressionMethod = options.method == "lh0" ? colh0 : options.method == "lh1" ? colh1 : colh5;
  archiver.StorePath = options.storePath;
  archiver.ForceUpperCase = options.upper;
  archiver.AllowDuplicates = options.append;
  archiver.Password = options.password;
  archiver.ExceptionOnFileError = true;
  archiver.MakeDirectories = true;
  archiver.setFilesToProcess(entries);
  ProgressBar bar;
  useProgress(archiver, bar);
  if (options.confirm) useTerminalConfirm(archiver, bar);
  InterruptGuard interrupt(archiver);
  archiver.OnCheckFile = [&](const std::string& file, std::string&, std::int32_t, TLzhProcessMode) {
    bar.setLabel(shownName(file));
  };
  archiver.OnAfterProcessed = [&](const std::string&, const std::string& stored, std::int32_t, TLzhProcessMode) {
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
  return 0;
}

}  // namespace

void addLzhCommand(CLI::App& app, int& status) {
  CLI::App* lzh = app.add_subcommand("lzh", "LZH archives: list, test, extract, add");
  lzh->require_subcommand(1);

  auto archive = std::make_shared<std::string>();
  auto password = std::make_shared<std::string>();

  CLI::App* list = lzh->add_subcommand("l", "List the members of an archive");
  auto names = std::make_shared<std::string>();
  const char* namesHelp = "Character set of member names: device, 1251, 866 or utf8 "
                          "(default: UTF-8 when valid, else the device's)";
  list->add_option("archive", *archive, "Archive file")->required();
  list->add_option("--names", *names, namesHelp)->check(CLI::IsMember({"device", "1251", "866", "utf8"}));
  auto verbose = std::make_shared<bool>(false);
  list->add_flag("-v,--verbose", *verbose, "Also show the notes stored with members");
  list->callback([&status, archive, names, verbose] {
    g_memberNames = *names;
    try {
      status = listArchive(*archive, *verbose);
    } catch (const std::exception& e) {
      status = fail("l", e.what());
    }
  });

  CLI::App* test = lzh->add_subcommand("t", "Test every member of an archive");
  test->add_option("archive", *archive, "Archive file")->required();
  test->add_option("--password", *password, "Password of scrambled members");
  test->callback([&status, archive, password] { status = testArchive(*archive, *password); });

  auto patterns = std::make_shared<std::vector<std::string>>();
  auto folder = std::make_shared<std::string>();
  auto safe = std::make_shared<bool>(false);
  auto confirmExtract = std::make_shared<bool>(false);
  CLI::App* extract = lzh->add_subcommand("x", "Extract members (all, or those matching patterns)");
  extract->add_option("archive", *archive, "Archive file")->required();
  extract->add_option("members", *patterns, "Member names or patterns (* and ?)");
  extract->add_option("-C,--directory", *folder, "Folder to extract into (default: current)");
  extract->add_option("--password", *password, "Password of scrambled members");
  extract->add_flag("--safe", *safe, "Extract into a temporary file first, then replace");
  extract->add_flag("--confirm", *confirmExtract, "Ask before each member");
  extract->add_option("--names", *names, namesHelp)->check(CLI::IsMember({"device", "1251", "866", "utf8"}));
  extract->callback([&status, archive, patterns, folder, password, safe, confirmExtract, names] {
    g_memberNames = *names;
    status = extractArchive(*archive, *patterns, *folder, *password, *safe, *confirmExtract);
  });

  auto files = std::make_shared<std::vector<std::string>>();
  auto options = std::make_shared<AddOptions>();
  CLI::App* add = lzh->add_subcommand("a", "Add files to an archive (rebuilt, or appended with --append)");
  add->add_option("archive", *archive, "Archive file")->required();
  add->add_option("files", *files, "Files to add (* and ? patterns, pattern/S for subfolders)")->required();
  add->add_option("--method", options->method, "Compression method")
      ->check(CLI::IsMember({"lh0", "lh1", "lh5"}))
      ->default_str("lh5");
  add->add_option("--level", options->level, "Header level")->check(CLI::IsMember({0, 1}))->default_str("1");
  add->add_flag("--store-path", options->storePath, "Keep folder names in the stored names");
  add->add_flag("--upper", options->upper, "Store names in upper case");
  add->add_option("--password", options->password, "Scramble new members with this password");
  add->add_flag("--append", options->append, "Append instead of rebuilding the archive");
  add->add_flag("--confirm", options->confirm, "Ask before each file");
  add->callback([&status, archive, files, options] {
    status = addToArchive(*archive, *files, *options);
  });
}

}  // namespace pagora::cli

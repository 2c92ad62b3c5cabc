// `pagora-cli lzh a`: adding files to an archive through the component, the archive being
// rebuilt or appended to; inputs are checked and gathered here first.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <utility>

#include "lzh_shared.h"
#include "terminal.h"

namespace pagora::cli {
namespace {

struct FileId {
  dev_t device;
  ino_t inode;
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

// The files to add. Wildcards are expanded here by the archiver's own rule, so that a pattern
// matching nothing is reported and the archive is not met among its own inputs; each file goes
// in once, and never the archive itself. Returns why a file cannot be added, or nothing.
std::string collectInputs(const std::vector<std::string>& files, const TLzhArchiver& archiver,
                          std::vector<std::string>& entries) {
  std::set<FileId> ids;
  for (const std::string& file : files) {
    std::string entry = file.rfind("./", 0) == 0 ? file.substr(2) : file;
    std::vector<std::string> paths;
    if (TLzhArchiver::hasWildcard(entry)) {
      paths = TLzhArchiver::expandWildcard(entry);
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
      if (archiver.isArchiveItself(path)) {
        say("lzh", "a", "skipping " + shownName(path) + ": it is the archive itself");
        continue;
      }
      if (!ids.insert(id).second) continue;  // the same file named twice
      entries.push_back(std::move(path));
    }
  }
  return {};
}

}  // namespace

int addToArchive(const std::string& archiveName, const std::vector<std::string>& files,
                 const AddOptions& options) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  // An existing file must be an archive this program reads in full before anything changes.
  struct stat archiveStat {};
  if (::stat(archiveName.c_str(), &archiveStat) == 0) {
    if (!S_ISREG(archiveStat.st_mode))
      return fail("lzh", "a", archiveName + " is not a regular file; nothing was changed");
    const TLzhWalkResult walk = archiver.walkMembers();
    if (!walk.Opened) return fail("lzh", "a", walk.Error + "; nothing was changed");
    if (walk.NotArchive)
      return fail("lzh", "a", notArchiveText(archiveName) + "; nothing was changed");
    if (!walk.Error.empty())
      return fail("lzh", "a", archiveName + ": " + walk.Error + "; nothing was changed");
  }

  std::vector<std::string> entries;
  const std::string problem = collectInputs(files, archiver, entries);
  if (!problem.empty()) return fail("lzh", "a", problem);
  if (entries.empty()) return fail("lzh", "a", "Nothing to add; nothing was changed");

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
    return fail("lzh", "a", e);
  }
  bar.clear();
  if (cancelled) return fail("lzh", "a", "Operation cancelled");
  return 0;
}

}  // namespace pagora::cli

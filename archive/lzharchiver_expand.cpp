// TLzhArchiver::Expand and Verify: the member loop, safe target paths (never outside the
// target folder, never through a symbolic link), temporary files, space check, time stamps.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/lzharchiver.h"
#include "common/file_access.h"
#include "file_stream.h"
#include "lzh_format.h"
#include "lzh_names.h"
#include "lzharchiver_engine.h"
#include "member_coder.h"

namespace pagora {

namespace {

std::string folderOf(const std::string& path) {
  std::size_t cut = lzhLastFolderSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return statName(path, st) == 0;
}

// Walks the folders of target below base (and the target itself): none may be a symbolic
// link, so nothing is written through one. Missing folders are made when asked.
void prepareFolders(const std::string& base, const std::string& target, bool makeFolders) {
  std::size_t from = 0;
  if (!base.empty() && target.compare(0, base.size(), base) == 0)
    from = base.size();
  else
    from = folderOf(target).size();  // a host-chosen target: only its last part is checked
  for (std::size_t i = 1; i <= target.size(); ++i) {
    if (i != target.size() && target[i] != '/') continue;
    std::string part = target.substr(0, i);
    struct stat st {};
    if (statName(part, st) == 0) {
      if (part.size() > from && S_ISLNK(st.st_mode))
        throw ELzhUnsafePath("Refusing to write through the symbolic link " + part);
    } else if (makeFolders && i != target.size()) {
      ::mkdir(part.c_str(), 0777);
    }
  }
}

// Creates a file the way the expansion output is created: anew, with normal permissions, and
// never by following a symbolic link at its place. The descriptor opened here is the one
// written, so the checked file is the written file.
FileStream createOutput(const std::string& name) {
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    throw EFileError("Cannot create file " + name + ": " + std::strerror(error), error);
  }
  return FileStream(fd, name);
}

std::int64_t freeSpace(const std::string& name) {
  std::string folder = folderOf(name);
  struct statvfs vfs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &vfs) != 0) return -1;
  return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

// Makes a temporary file next to target, with the permissions a new file gets, and puts its
// name into name; -1 when it cannot be made.
int makeTemporaryNextTo(const std::string& target, std::string& name) {
  std::string folder = folderOf(target);
  name = (folder.empty() ? std::string("./") : folder) + "LHAXXXXXX";
  int fd = createUniqueFile(name);
  if (fd >= 0) ::fchmod(fd, static_cast<mode_t>(newFileMode()));
  return fd;
}

// Refuses a member the disk cannot hold: its expanded size against the free space (counted as
// a 32-bit figure), plus the file it overwrites when it is expanded in place.
void requireSpace(const std::string& outName, bool inPlace, std::uint32_t size,
                  const std::string& target) {
  std::int64_t space = freeSpace(outName);
  struct stat st {};
  if (space >= 0 && inPlace && ::stat(outName.c_str(), &st) == 0) space += st.st_size;
  if (space > 2147483647) space = 2147483647;
  if (space < static_cast<std::int64_t>(size))
    throw ELzhInsufficientDiskSpace("Not enough disk space to expand " + target);
}

// Gives the expanded file the member's time stamp and, when asked, takes away its write
// permission (a read-only member).
void stampOutput(FileStream& out, const LzhMemberHeader& header, bool readOnly) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = lzhUnixTime(header.dateTime());
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::futimens(out.descriptor(), times);
  if (readOnly) {
    struct stat st {};
    if (::fstat(out.descriptor(), &st) == 0)
      ::fchmod(out.descriptor(), st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
  }
}

}  // namespace

void TLzhArchiver::Engine::expandMembers() {
  owner.processedFiles_.clear();
  owner.AbortFlag = false;
  const bool given = !owner.filesToProcess_.empty();
  std::vector<std::string> done;
  auto finish = [&] {
    if (given) owner.filesToProcess_ = done;
    owner.processedFiles_ = done;
  };
  try {
    LzhReadArchive archive = openArchiveForReading(owner.ArchiveName);
    owner.fileInformationIndex_ = -1;
    LzhMemberHeader header;
    while (readMemberHeader(archive.stream, archive.brisko, header)) {
      ++owner.fileInformationIndex_;
      const std::int64_t data = archive.stream.position();
      bool selected = !given;
      for (const std::string& entry : owner.filesToProcess_)
        if (lzhSelects(entry, header.name)) selected = true;
      if (selected && !expandOne(archive, header, done)) break;
      archive.stream.seek(data + header.packedSize, SEEK_SET);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// Where a member goes: its name made safe below the target folder, then as the host leaves it.
// Empty: the member is skipped; "*": the host stops the expansion.
std::string TLzhArchiver::Engine::expandTarget(const LzhMemberHeader& header) {
  const auto dateTime = static_cast<std::int32_t>(header.dateTime());
  // Rooted and drive-prefixed names are put inside the target folder; a name with ".." has no
  // safe place there: the host may skip or rename it, else it is refused.
  std::string target;
  std::string unsafe;
  try {
    target = owner.targetPath_ + lzhSafeRelativePath(header.name);
  } catch (const ELzhUnsafePath& e) {
    unsafe = e.what();
    target = owner.targetPath_ + lzhUnsafeRelativePath(header.name);
  }
  if (owner.OnCheckFile) owner.OnCheckFile(header.name, target, dateTime, pmExpand);
  confirm(owner.VerifyMode ? 4 : 2, header.name, target);
  if (target.empty() || target == "*") return target;
  // Also what a host made of the name must stay below the target folder.
  std::string_view below = target;
  if (below.substr(0, owner.targetPath_.size()) == owner.targetPath_)
    below.remove_prefix(owner.targetPath_.size());
  if (lzhLeavesFolder(below))
    throw ELzhUnsafePath(unsafe.empty() ? "Unsafe member name in archive: " + header.name : unsafe);
  return target;
}

bool TLzhArchiver::Engine::expandOne(LzhReadArchive& archive, const LzhMemberHeader& header,
                                     std::vector<std::string>& done) {
  const std::string target = expandTarget(header);
  if (target.empty()) return true;
  if (target == "*") return false;

  prepareFolders(owner.targetPath_, target, owner.MakeDirectories);
  const bool temporary = owner.SafeMode || owner.VerifyMode;
  std::string outName = target;
  FileStream out;
  bool outCreated = false;
  try {
    if (temporary) {
      std::string pattern;
      int fd = makeTemporaryNextTo(target, pattern);
      if (fd < 0) {
        const int error = errno;
        if (owner.ExceptionOnFileError)
          throw ELzhTemporaryFile("Cannot create file " + pattern + ": " + std::strerror(error),
                                  error);
        return true;
      }
      outName = pattern;
      outCreated = true;
      out = FileStream(fd, outName);
    }
    if (owner.CheckSpaceBeforeExpand)
      requireSpace(outName, !temporary, header.originalSize, target);
    const bool replacing = temporary && exists(target);
    try {
      if (replacing) {
        // A locked or read-only target fails here, before anything is expanded.
        FileStream probe(target, FileStream::Mode::ReadWrite, true);
      }
      if (!temporary) out = createOutput(outName);
      outCreated = true;
    } catch (const EFileError&) {
      if (owner.ExceptionOnFileError) throw;
      out = FileStream();
      if (temporary) removeFile(outName);
      return true;
    }

    const LzhExpandRequest request = expandRequestFor(header, archive, out);
    owner.elapsedTicks_ = expandMember(coderState, request, coderContext());

    // The temporary file replaces a file next: its data must be on disk first, so that a crash
    // never swaps an empty file in for a good one. A new name has nothing to lose and is not
    // waited for; a verified copy is removed, and a file expanded in place replaces nothing.
    if (owner.SafeMode && !owner.VerifyMode && replacing) out.sync();
    stampOutput(out, header, !owner.VerifyMode && (header.attribute & 0x01));
    out.close();
    if (owner.VerifyMode) {
      removeFile(outName);
    } else if (owner.SafeMode && renameReplacing(outName, target) != 0) {
      throw ELzhCouldNotRenameFile("Could not replace " + target + " with " + outName);
    }
    done.push_back(target);
    if (owner.OnAfterProcessed) {
      owner.OnAfterProcessed(header.name, target, static_cast<std::int32_t>(header.dateTime()),
                             pmExpand);
    }
  } catch (const ELzhOperationAborted&) {
    out = FileStream();
    if (outCreated) removeFile(outName);
    return false;
  } catch (...) {
    out = FileStream();
    if (temporary && outCreated) removeFile(outName);
    throw;
  }
  return true;
}

}  // namespace pagora

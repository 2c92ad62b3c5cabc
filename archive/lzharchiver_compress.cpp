// TLzhArchiver::Compress: adding files to a new, rebuilt or appended archive so that the
// previous archive survives every failure.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/lzharchiver.h"
#include "common/file_access.h"
#include "file_stream.h"
#include "lzh_format.h"
#include "lzh_names.h"
#include "lzharchiver_engine.h"
#include "member_coder.h"

namespace pagora {

namespace {

// The output would read itself: never mapped to a disk failure.
class ESelfAdd : public EStreamWriteError {
 public:
  using EStreamWriteError::EStreamWriteError;
};

bool isRegularFile(const std::string& path, struct stat* out = nullptr) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (out) *out = st;
  return true;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string folderOf(const std::string& path) {
  std::size_t cut = lzhLastFolderSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string fileOf(const std::string& path) {
  std::size_t cut = lzhLastFolderSeparator(path);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void makeFolders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      std::string part = folder.substr(0, i);
      if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) break;
    }
  }
}

// A write failure of the archive being made (full disk, size limit, read-only medium).
bool isWriteFailure(const std::exception& e) {
  return dynamic_cast<const EStreamWriteError*>(&e) || dynamic_cast<const EFileWriteError*>(&e);
}

// Copies the whole of an open file into a new one; false on any failure (the copy is then
// removed).
bool copyFile(FileStream& in, const std::string& to) {
  try {
    in.seek(0, SEEK_SET);
    FileStream out(to, FileStream::Mode::Create, true);
    std::vector<char> buffer(65536);
    for (;;) {
      std::size_t got = in.read(buffer.data(), buffer.size());
      if (got == 0) break;
      out.write(buffer.data(), got);
    }
    out.sync();  // the copy is renamed over the archive next
    out.close();
    return true;
  } catch (const EFileInUse&) {
    return false;  // somebody else's file: not ours to remove
  } catch (const Exception&) {
    removeFile(to);
    return false;
  }
}

// Sizes in level 0 and 1 headers are 32 bits wide.
constexpr std::int64_t kLargestMember = 0xFFFFFFFFLL;

[[noreturn]] void refuseLargeFile(const std::string& name) {
  throw EFileError("Cannot add " + name +
                   ": files of 4 GiB or more do not fit in an LZH archive (its sizes are 32 bits)");
}

}  // namespace

struct TLzhArchiver::Engine::CompressOutput {
  std::string name;
  FileStream stream;
  LzhReadArchive old;  // the archive being rebuilt, locked for the whole run
  bool appending = false;
  bool rebuilding = false;
  bool created = false;
  bool opened = false;
  std::int64_t appendPosition = 0;
  std::int64_t originalSize = 0;
  struct stat identity {};
};

void TLzhArchiver::Compress() {
  processedFiles_.clear();
  AbortFlag = false;
  Engine::CompressOutput out;
  engine_->planOutput(out);
  engine_->writeNewMembers(out);
  if (out.rebuilding) engine_->finishRebuild(out);
}

// Appends to the archive, rebuilds it through a temporary file, or makes a new one; what is
// refused is refused here, before any work is done.
void TLzhArchiver::Engine::planOutput(CompressOutput& out) {
  const bool exists = isRegularFile(owner.ArchiveName);
  if (exists && owner.AllowDuplicates) {
    out.appending = true;
    out.name = owner.ArchiveName;
  } else if (exists) {
    out.rebuilding = true;
    std::string folder = folderOf(owner.ArchiveName);
    bool useTemp = !owner.tempArchivePath_.empty() &&
                   !lzhSameIgnoringCase(owner.tempArchivePath_, folder.empty() ? "./" : folder) &&
                   isDirectory(owner.tempArchivePath_) &&
                   ::access(owner.tempArchivePath_.c_str(), W_OK) == 0;
    out.name = temporaryArchiveName(useTemp ? owner.tempArchivePath_ + fileOf(owner.ArchiveName)
                                            : owner.ArchiveName);
    // Refused before any work is done: these archives are never altered.
    out.old = openArchiveForReading(owner.ArchiveName);
    if (out.old.brisko) throw ELzhInvalidHeader("Cannot alter Brisko archives!");
  } else {
    out.name = owner.ArchiveName;
  }
  for (const std::string& entry : owner.filesToProcess_)
    if (lzhSelects(entry, out.name))
      throw EStreamWriteError("Cannot add " + out.name + " to itself!");
  if (out.rebuilding) {
    // Held until the new archive has replaced it, so that a second run on the same archive
    // (a rebuild or an append) fails at once instead of working on a file about to vanish.
    out.old.stream.lockExclusive();
  }
}

// Writes the chosen files; on failure the archive is left as it was and no new file remains.
void TLzhArchiver::Engine::writeNewMembers(CompressOutput& out) {
  try {
    if (out.appending) {
      out.stream = openArchiveForAppend(out.name, out.appendPosition);
      out.originalSize = out.stream.size();
      out.opened = true;
    } else {
      if (owner.MakeDirectories) makeFolders(folderOf(out.name));
      // A new archive must still be new when it is created; the temporary file of a rebuild
      // is locked before it is truncated, so that a run holding it keeps it whole.
      try {
        out.stream = out.rebuilding ? FileStream(out.name, FileStream::Mode::Create, true)
                                    : FileStream(out.name, FileStream::Mode::CreateNew, true);
      } catch (const EFileInUse&) {
        throw EFileInUse(owner.ArchiveName + " is in use by another program");
      }
      out.created = true;
    }
    ::fstat(out.stream.descriptor(), &out.identity);
    compressFiles(out);
    if (!out.rebuilding) {
      writeEndMarker(out.stream);
      out.stream.close();
    }
  } catch (const std::exception& e) {
    if (out.appending && out.opened && out.stream.isOpen()) {
      // Cut back to what was there, end marker included, through the descriptor that holds
      // the lock.
      try {
        out.stream.truncate(out.appendPosition);
        if (out.originalSize > out.appendPosition) {
          out.stream.seek(out.appendPosition, SEEK_SET);
          writeEndMarker(out.stream);
        }
      } catch (const Exception&) {
      }
    } else if (out.created) {
#ifdef _WIN32
      out.stream = FileStream();  // Windows deletes no file that is still open
#endif
      removeFile(out.name);
    }
    out.stream = FileStream();
    if (!dynamic_cast<const ESelfAdd*>(&e) && isWriteFailure(e))
      throw ELzhInsufficientDiskSpace("Disk protected or full during compression");
    throw;
  }
}

// Brings the old archive's other members over and puts the new archive in the old one's place.
void TLzhArchiver::Engine::finishRebuild(CompressOutput& out) {
  try {
    copyOldMembers(out.stream, out.old);
    writeEndMarker(out.stream);
    out.stream.sync();  // on disk before it is renamed over the old archive
  } catch (const ELzhInvalidHeader&) {
    out.stream = FileStream();
    removeFile(out.name);
    throw;
  } catch (const std::exception&) {
    out.stream = FileStream();
    removeFile(out.name);
    throw ELzhInsufficientDiskSpace("Disk full or write error during compression");
  }

  // The rename swaps the archive in one step: the old one stays whole until the new one is there.
  // Both stay open (and locked) until then.
  const std::string failure = "Could not replace " + owner.ArchiveName + " with " + out.name;
#ifdef _WIN32
  // Windows renames no open file: both are closed just before the swap,
  // which leaves another run a moment to take the old archive.
  try {
    out.stream.close();
  } catch (const Exception&) {
    // Synced above.
  }
  out.old.stream = FileStream();
#endif
  if (renameReplacing(out.name, owner.ArchiveName) == 0) {
    try {
      out.stream.close();
    } catch (const Exception&) {
      // The data was synced above; a late close failure changes nothing on disk.
    }
    return;
  }
  if (errno != EXDEV) {
    out.stream = FileStream();
    removeFile(out.name);
    throw ELzhCouldNotRenameFile(failure);
  }
  // The temporary folder is on another file system: bring the archive over first.
  std::string local = temporaryArchiveName(owner.ArchiveName);
#ifdef _WIN32
  try {
    out.stream = FileStream(out.name, FileStream::Mode::Read);
  } catch (const Exception&) {
    removeFile(out.name);
    throw ELzhCouldNotRenameFile(failure);
  }
#endif
  bool moved = copyFile(out.stream, local) && renameReplacing(local, owner.ArchiveName) == 0;
  out.stream = FileStream();
  removeFile(out.name);
  if (!moved) {
    removeFile(local);
    throw ELzhCouldNotRenameFile(failure);
  }
}

void TLzhArchiver::Engine::compressFiles(CompressOutput& out) {
  const bool upperNames = owner.ForceUpperCase || owner.ArchiveType == caLHARC;
  std::vector<std::string>& files = owner.filesToProcess_;
  for (std::size_t i = 0; i < files.size();) {
    if (lzhHasWildcard(files[i])) {
      std::vector<std::string> found = lzhExpandWildcard(files[i]);
      files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
      files.insert(files.begin() + static_cast<std::ptrdiff_t>(i), found.begin(), found.end());
      i += found.size();
    } else {
      ++i;
    }
  }

  for (std::size_t i = 0; i < files.size();) {
    const std::string entry = files[i];
    std::string stored = lzhStoredName(entry, owner.StorePath, owner.targetPath_, upperNames);
    struct stat st {};
    std::uint32_t dateTime = 0;
    if (!isRegularFile(entry, &st)) {
      stored.clear();
    } else {
      dateTime = lzhDosDateTime(st.st_mtime);
      if (owner.OnCheckFile) {
        owner.OnCheckFile(entry, stored, static_cast<std::int32_t>(dateTime), pmCompress);
        for (char& c : stored)
          if (c == '/') c = '\\';
        stored = lzhStoredNameTail(stored, upperNames);
      }
      confirm(1, entry, stored);
    }
    if (stored.empty()) {
      files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (stored == "*") {
      files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
    if (st.st_dev == out.identity.st_dev && st.st_ino == out.identity.st_ino)
      throw ESelfAdd("Cannot add " + out.name + " to itself!");
    // Refused before a byte of it is read; the archive is then left as it was.
    if (st.st_size > kLargestMember) refuseLargeFile(entry);
    // The host may hand over the member's bytes itself (a text converted in memory); the
    // member keeps the file's date and attributes either way.
    std::string supplied;
    const bool fromHost = owner.OnMemberContents && owner.OnMemberContents(entry, supplied);
    if (fromHost && static_cast<std::int64_t>(supplied.size()) > kLargestMember) {
      refuseLargeFile(entry);
    }
    FileStream source;
    try {
      if (!fromHost) source = FileStream(entry, FileStream::Mode::Read);
    } catch (const EFileError&) {
      if (owner.ExceptionOnFileError) throw;
      files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    files[i] = stored;
    LzhMemberHeader header;
    header.methodId = std::string(
        kLzhMethodIds[owner.CompressionMethod == coTCR ? colh0 : owner.CompressionMethod]);
    header.time = static_cast<std::uint16_t>(dateTime);
    header.date = static_cast<std::uint16_t>(dateTime >> 16);
    // POSIX has no archive bit; every file counts as changed, as a fresh Windows file does.
    std::uint8_t attributes = 0x20;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= 0x01;
    header.attribute = attributes & 0x7F;
    header.levelByte = static_cast<std::uint8_t>(owner.ArchiveType);
    header.name = stored;
    if (fromHost) {
      addMember(out.stream, supplied, header);
    } else {
      addMember(out.stream, source, header);
    }
    owner.processedFiles_.push_back(stored);
    if (owner.OnAfterProcessed)
      owner.OnAfterProcessed(entry, stored, static_cast<std::int32_t>(dateTime), pmCompress);
    ++i;
  }
}

void TLzhArchiver::Engine::addMember(FileStream& archive, FileStream& source,
                                     LzhMemberHeader& header) {
  const std::int64_t sourceStart = source.position();
  const std::int64_t toRead = source.size() - sourceStart;
  if (toRead > kLargestMember) refuseLargeFile(source.path());  // it grew since it was listed
  codeMemberInto(
      archive, source, toRead, [&] { source.seek(sourceStart, SEEK_SET); }, header);
}

void TLzhArchiver::Engine::addMember(FileStream& archive, const std::string& contents,
                                     LzhMemberHeader& header) {
  MemorySource source(contents.data(), contents.size());
  codeMemberInto(
      archive, source, static_cast<std::int64_t>(contents.size()),
      [&] { source = MemorySource(contents.data(), contents.size()); }, header);
}

void TLzhArchiver::Engine::codeMemberInto(FileStream& archive, ByteSource& source,
                                          std::int64_t toRead, const std::function<void()>& rewind,
                                          LzhMemberHeader& header) {
  const std::int64_t start = archive.position();
  writeMemberHeader(archive, header);
  const std::int64_t dataStart = archive.position();
  int method = owner.CompressionMethod == coTCR ? 0 : static_cast<int>(owner.CompressionMethod);
  LzhCoderContext context = coderContext();
  LzhCodeResult result;
  try {
    result = codeMember(coderState, source, archive, toRead, method, context);
  } catch (const EUnableToCompress&) {
    archive.seek(dataStart, SEEK_SET);
    rewind();
    method = 0;
    result = codeMember(coderState, source, archive, toRead, method, context);
  }
  header.methodId = std::string(kLzhMethodIds[method]);
  header.packedSize = static_cast<std::uint32_t>(result.compressedSize);
  header.originalSize = static_cast<std::uint32_t>(toRead);
  header.crc = result.crc;
  if (!owner.Password.empty()) header.levelByte |= 0x80;
  const std::int64_t end = dataStart + result.compressedSize;
  archive.seek(start, SEEK_SET);
  writeMemberHeader(archive, header);
  archive.seek(end, SEEK_SET);
  owner.compressionRatio_ = lzhPercent(result.compressedSize, toRead);
  owner.elapsedTicks_ = result.elapsedTicks;
}

void TLzhArchiver::Engine::copyOldMembers(FileStream& out, LzhReadArchive& old) {
  old.stream.seek(old.start, SEEK_SET);
  LzhMemberHeader header;
  std::vector<char> buffer(65536);
  while (readMemberHeader(old.stream, old.brisko, header)) {
    const std::int64_t data = old.stream.position();
    // Only a member that a file of this run actually replaced is left out: entries a stop
    // never reached replace nothing, and names are compared whole, so that a new "README"
    // leaves an old "README.TXT" alone.
    bool replaced = false;
    for (const std::string& added : owner.processedFiles_)
      if (lzhSameIgnoringCase(added, header.name)) replaced = true;
    if (!replaced) {
      writeMemberHeader(out, header);
      std::int64_t left = header.packedSize;
      while (left > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, 65536));
        std::size_t got = old.stream.read(buffer.data(), want);
        if (got == 0) throw ELzhInvalidHeader("Archive data cut short: " + header.name);
        out.write(buffer.data(), got);
        left -= static_cast<std::int64_t>(got);
      }
    }
    old.stream.seek(data + header.packedSize, SEEK_SET);
  }
}

}  // namespace pagora

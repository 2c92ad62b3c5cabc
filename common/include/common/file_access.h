// The file layer: opening, reading whole, writing beside and atomically replacing files. The
// differences of Windows (a rename must be told to replace; read-only files block it) live here.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "common/exception.h"

namespace pagora {

// A file that could not be opened, read, created or written: "<what> <path>: <reason>".
class EFileAccess : public Exception {
 public:
  EFileAccess(const std::string& message, int systemError)
      : Exception(message, failureKindOf(systemError), systemError) {}
  EFileAccess(const char* what, const std::string& path, int systemError);
};

// Permission bits of a new file: 0666 less the process's umask (read once, then kept).
unsigned newFileMode();

// Opens for reading, not inherited by child programs, binary on Windows; -1 with errno set.
int openForReading(const std::string& path);

// Writes all `size` bytes, retrying after signals; false with errno set (ENOSPC when the system
// takes no byte).
bool fullWrite(int fd, const void* data, std::size_t size);

// Flushes an open file's data to the device; 0, or -1 with errno set.
int syncFile(int fd);

// The whole file's bytes. Raises EFileAccess ("Cannot open file", "Cannot read file"; a folder
// reads as EISDIR).
std::string readWholeFile(const std::string& path);

// Creates a new file from a pattern ending in "XXXXXX" (replaced in place), open for reading
// and writing, not inherited, and openable again by name on Windows; -1 with errno set.
int createUniqueFile(std::string& pattern);

// Status of a name without following a symbolic link (Windows has none to follow).
int statName(const std::string& path, struct stat& status);

// Whether two names lead to one file on disk (links followed, any spelling of the path): the
// same device and file number. False when either name leads nowhere.
bool sameFile(const std::string& first, const std::string& second);

// The file a write to `path` should replace: the target of a symbolic link, else `path`.
std::string writeTarget(const std::string& path);

// Renames `from` over `to`, replacing a file there in one step (a read-only one too); 0, or
// -1 with errno set.
int renameReplacing(const std::string& from, const std::string& to);

// Deletes a file, a read-only one too; 0, or -1 with errno set.
int removeFile(const std::string& path);

// Finishes a file written beside `target` and puts it in the target's place: gives it `mode`,
// syncs it when `replacing` (a file stood there: the one sync rule is that a file which would
// destroy another is on disk before the rename; a new file has nothing to lose), closes `fd` and
// renames `temp` over `target`. 0, or the errno of the failing step; on failure `temp` is gone.
int commitReplacement(int fd, const std::string& temp, const std::string& target, unsigned mode,
                      bool replacing);

// Writes `bytes` as the new contents of `path` through a file beside it; a symbolic link is
// followed and an existing file keeps its permission bits. Raises EFileAccess ("Cannot create
// file", "Cannot write file"); the old file then stays as it was.
void writeFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace pagora

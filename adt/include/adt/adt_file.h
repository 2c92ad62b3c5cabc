// The ADT container that carries a book archive to PV Manager: TAdtFile, which writes and opens
// such files, CopyArchiveToAdt, which wraps an archive, and extractArchiveFromAdt, which unwraps
// it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/exception.h"

namespace pagora {

// A failure of the container: "Invalid ADT file", "Invalid record number",
// "Expanding record not yet implemented", "Compacting record not yet implemented".
class EAdtError : public Exception {
 public:
  explicit EAdtError(const std::string& message) : Exception(message, FailureKind::BadData) {}
};

// The file itself could not be created, opened, read or written: "Cannot create file NAME",
// "Cannot open file NAME", or a read/write text naming the file and the reason.
class EAdtFileError : public Exception {
 public:
  explicit EAdtFileError(const std::string& message, int systemError = 0)
      : Exception(message, failureKindOf(systemError), systemError) {}
};

class TAdtFile {
 public:
  static constexpr std::int32_t kHeaderSize = 256;
  static constexpr std::int32_t kBookNameSize = 24;
  static constexpr std::int32_t kArchiveRecordSize = 3072;

  enum class OpenMode {
    Create,  // new empty file, replacing an existing one
    Open,    // existing file, read and write
    Read,    // existing file, read only: WriteRecord/WriteHeader raise EAdtFileError
  };

  // Opens the file; a file holding at least one byte has its header read and checked, an empty
  // one gets a fresh header (count 0, book name derived from `fileName`).
  TAdtFile(const std::string& fileName, OpenMode mode);
  // The same, with a new file's book name derived from `bookNameSource` instead (a file built
  // under a temporary name gets the name of the file it will become).
  TAdtFile(const std::string& fileName, OpenMode mode, std::string_view bookNameSource);
  ~TAdtFile();
  TAdtFile(const TAdtFile&) = delete;
  TAdtFile& operator=(const TAdtFile&) = delete;

  void ReadHeader();
  void WriteHeader();
  // File offset of record `index`; raises "Invalid record number" unless index < RecordCount.
  std::int32_t RecordOffset(std::int32_t index);
  // index -1 appends; another index overwrites that record, whose length must equal `length`.
  void WriteRecord(std::int32_t index, const void* data, std::int32_t length);
  // Applies the record key in place (scrambling and unscrambling are the same operation).
  static void ScrambleRecord(void* buffer, std::int32_t length);

  std::int32_t RecordCount() const { return recordCount_; }
  // The 24-byte field as stored.
  const std::array<char, kBookNameSize>& BookName() const { return bookName_; }
  // The field up to its first zero byte (code page 1251).
  std::string bookNameText() const;
  // The book name a new file named `fileName` gets: the text before the first ".ADT" (any
  // case), after the last "/", "\" or ":", converted from UTF-8 to code page 1251 (a character
  // 1251 lacks becomes "?", bytes that are not UTF-8 stay as they are), then its first 24
  // characters, one byte each.
  static std::array<char, kBookNameSize> bookNameFor(std::string_view fileName);

  // Beyond writing: the unscrambled data of record `index` (checked against the file's end).
  std::string readRecord(std::int32_t index);
  std::int64_t fileSize() const;

 private:
  int fd_ = -1;
  std::string fileName_;
  bool readOnly_ = false;
  std::int32_t recordCount_ = 0;
  std::array<char, kBookNameSize> bookName_{};
};

// Wraps an archive into a new ADT file (replacing one of that name) in records of 3072 bytes.
// Never throws: returns nothing on success, else the one text to show, one of
// "Error on open input file: ...", "Error on create destination ADT file: ...", "Error on copy:
// ...". The file is built under a temporary name beside the target and renamed over it when
// complete, so a failed copy leaves an older file of that name as it was and no partial file
// behind.
[[nodiscard]] std::optional<std::string> CopyArchiveToAdt(const std::string& archiveName,
                                                          const std::string& adtName);

// What a check of an ADT file found.
struct AdtInfo {
  std::int64_t fileSize = 0;
  std::int32_t sizeField = 0;
  std::int32_t recordCount = 0;
  std::string bookName;       // as stored: code page 1251, up to the first zero byte
  std::int64_t dataSize = 0;  // the carried archive's size: the sum of the record lengths
  bool hasHeader = false;     // the file starts with the container's magic text
  bool valid = false;         // header good and the records fill the file exactly
  std::string problem;        // why not valid
};

// Reads and checks an ADT file without changing it. Raises EAdtFileError when it cannot be read.
AdtInfo inspectAdtFile(const std::string& adtName);

// Checks an ADT file (header, size field, records filling the file exactly) and writes the
// archive it carries to `archiveName` through a temporary file, so nothing half-written is left.
// Reads the file once, front to back.
// Raises EAdtError / EAdtFileError; returns the archive's size.
std::int64_t extractArchiveFromAdt(const std::string& adtName, const std::string& archiveName);

}  // namespace pagora

// The ADT container: TAdtFile, wrapping an archive into records and unwrapping it again.
#include "adt/adt_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "common/file_access.h"
#include "text/recode.h"

namespace pagora {
namespace {

constexpr char kMagic[] = "CASIO ADDIN DATAFILE\x1A";  // 21 bytes; a zero byte follows on disk
constexpr std::size_t kMagicLength = sizeof kMagic - 1;
constexpr std::int32_t kBookNameOffset = 30;
constexpr unsigned char kRecordKey[20] = {0x5A, 0x13, 0xC7, 0x2E, 0x91, 0x08, 0xF4,
                                          0x6B, 0x3D, 0xA2, 0x7E, 0x19, 0xD5, 0x40,
                                          0x8C, 0x37, 0xE6, 0x52, 0x0B, 0x99};

const char* const kInvalidFile = "Invalid ADT file";

std::int32_t getInt32(const unsigned char* p) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

void putInt32(unsigned char* p, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

[[noreturn]] void fileFailure(const char* what, const std::string& name, int error) {
  throw EAdtFileError(std::string(what) + " " + name + ": " + std::strerror(error), error);
}

// Reads up to n bytes at offset; fewer only at the end of the file.
std::size_t readAt(int fd, const std::string& name, void* buffer, std::size_t n, std::int64_t at) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, static_cast<char*>(buffer) + done, n - done,
                                static_cast<off_t>(at + static_cast<std::int64_t>(done)));
    if (got < 0) {
      if (errno == EINTR) continue;
      fileFailure("Cannot read file", name, errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void writeAt(int fd, const std::string& name, const void* buffer, std::size_t n, std::int64_t at) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t put = ::pwrite(fd, static_cast<const char*>(buffer) + done, n - done,
                                 static_cast<off_t>(at + static_cast<std::int64_t>(done)));
    if (put < 0) {
      if (errno == EINTR) continue;
      fileFailure("Cannot write file", name, errno);
    }
    done += static_cast<std::size_t>(put);
  }
}

constexpr std::size_t kMaxPieces = 1024;  // IOV_MAX on Linux

// Writes the pieces one after the other from offset `at` on (advanced past them).
void writeGathered(int fd, const std::string& name, std::vector<iovec>& pieces, std::int64_t& at) {
  std::size_t first = 0;
  while (first < pieces.size()) {
    const ssize_t put = ::pwritev(fd, pieces.data() + first,
                                  static_cast<int>(pieces.size() - first), static_cast<off_t>(at));
    if (put < 0) {
      if (errno == EINTR) continue;
      fileFailure("Cannot write file", name, errno);
    }
    if (put == 0) fileFailure("Cannot write file", name, EIO);
    at += put;
    // Past the pieces written whole; a piece written in part continues where it stopped.
    auto left = static_cast<std::size_t>(put);
    while (first < pieces.size() && left >= pieces[first].iov_len) left -= pieces[first++].iov_len;
    if (left > 0) {
      pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
      pieces[first].iov_len -= left;
    }
  }
}

std::int64_t sizeOf(int fd, const std::string& name) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) fileFailure("Cannot read file", name, errno);
  return static_cast<std::int64_t>(st.st_size);
}

// Opens a file to be read from start to end; a folder is refused as a file that cannot be
// opened (reading it would only fail later, half way through).
int openInput(const std::string& name) {
  const int fd = openForReading(name);
  if (fd < 0) throw EAdtFileError("Cannot open file " + name, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EAdtFileError("Cannot open file " + name);
  }
  return fd;
}

struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

// The record key repeated, one period more than a block, so that a block may start at any key
// position: XOR against it lets the compiler work on many bytes at a time instead of one byte
// and one division per step.
constexpr std::size_t kKeyBlock = 20 * 205;  // 4100 bytes, whole periods
const std::array<unsigned char, kKeyBlock + 20>& keyStream() {
  static const auto stream = [] {
    std::array<unsigned char, kKeyBlock + 20> s{};
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = kRecordKey[i % 20];
    return s;
  }();
  return stream;
}

// Applies the key to n bytes whose first byte is byte `position` of its record, eight bytes
// at a time (the key stream never overlaps the data, which lets the compiler widen further).
void applyKey(unsigned char* __restrict p, std::size_t n, std::size_t position) {
  const unsigned char* __restrict key = keyStream().data() + position % 20;
  while (n > 0) {
    const std::size_t block = std::min(kKeyBlock, n);
    std::size_t i = 0;
    for (; i + 8 <= block; i += 8) {
      std::uint64_t data, mask;
      std::memcpy(&data, p + i, 8);
      std::memcpy(&mask, key + i, 8);
      data ^= mask;
      std::memcpy(p + i, &data, 8);
    }
    for (; i < block; ++i) p[i] ^= key[i];
    p += block;  // whole periods: the key position carries on unchanged
    n -= block;
  }
}

// Reads a file front to back through one buffer: the record walk asks for 4 bytes at a time,
// and a system call for each of them would cost more than the data.
class SequentialReader {
 public:
  SequentialReader(int fd, const std::string& name, std::int64_t at)
      : fd_(fd), name_(name), next_(at), buffer_(1 << 20) {}

  // Up to n bytes; fewer only at the end of the file.
  std::size_t read(void* out, std::size_t n) {
    auto* dst = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < n) {
      std::size_t got = 0;
      char* span = take(n - done, got);
      if (got == 0) break;
      std::memcpy(dst + done, span, got);
      done += got;
    }
    return done;
  }

  // The next bytes, at most n of them, where they lie in the buffer; valid until the buffer is
  // filled again (BeforeRefill tells when). Fewer than n when the buffer ends first; none only
  // at the end of the file.
  char* take(std::size_t n, std::size_t& got) {
    if (pos_ == end_) {
      if (BeforeRefill) BeforeRefill();
      end_ = readAt(fd_, name_, buffer_.data(), buffer_.size(), next_);
      next_ += static_cast<std::int64_t>(end_);
      pos_ = 0;
    }
    got = std::min(end_ - pos_, n);
    char* span = buffer_.data() + pos_;
    pos_ += got;
    return span;
  }

  // Called before the buffer is filled again: spans handed out so far are about to go.
  std::function<void()> BeforeRefill;

  void skip(std::int64_t n) {
    const auto buffered = static_cast<std::int64_t>(end_ - pos_);
    if (n <= buffered) {
      pos_ += static_cast<std::size_t>(n);
    } else {
      next_ += n - buffered;
      pos_ = end_ = 0;
    }
  }

 private:
  int fd_;
  const std::string& name_;
  std::int64_t next_;  // file offset of the byte after the buffer's end
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

// Permissions for a file that replaces `target`: the target's own, or those of a new file.
unsigned modeFor(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  return newFileMode();
}

// A temporary file beside a target that either becomes the target or disappears.
class TempBeside {
 public:
  explicit TempBeside(const std::string& target) : target_(target), path_(target + ".XXXXXX") {
    // A folder of that name cannot be replaced by a file: say so now, not after the copy.
    struct stat st {};
    if (statName(target, st) == 0) {
      replacing_ = true;
      if (S_ISDIR(st.st_mode) ||
          (S_ISLNK(st.st_mode) && ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        throw EAdtFileError("Cannot create file " + target);
      }
    }
    fd_ = createUniqueFile(path_);
    if (fd_ < 0) throw EAdtFileError("Cannot create file " + target, errno);
  }
  ~TempBeside() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) removeFile(path_);
  }
  TempBeside(const TempBeside&) = delete;
  TempBeside& operator=(const TempBeside&) = delete;
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Closes our descriptor (others may hold the file open too; they must be closed first).
  void commit() {
    const int fd = fd_;
    fd_ = -1;
    // The file layer's rule: synced first only when it replaces something.
    committed_ = true;  // a failed commit has removed the temporary file itself
    if (const int error = commitReplacement(fd, path_, target_, modeFor(target_), replacing_))
      fileFailure("Cannot write file", target_, error);
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  bool replacing_ = false;  // something of the target's name exists
  bool committed_ = false;
};

}  // namespace

TAdtFile::TAdtFile(const std::string& fileName, OpenMode mode)
    : TAdtFile(fileName, mode, fileName) {}

TAdtFile::TAdtFile(const std::string& fileName, OpenMode mode, std::string_view bookNameSource)
    : fileName_(fileName), readOnly_(mode == OpenMode::Read) {
  switch (mode) {
    case OpenMode::Create:
      fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd_ < 0) throw EAdtFileError("Cannot create file " + fileName);
      break;
    case OpenMode::Open:
    case OpenMode::Read:
      fd_ = ::open(fileName.c_str(), (readOnly_ ? O_RDONLY : O_RDWR) | O_CLOEXEC);
      if (fd_ < 0) throw EAdtFileError("Cannot open file " + fileName);
      break;
  }
  try {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      throw EAdtFileError("Cannot open file " + fileName);
    }
    if (fileSize() > 0) {
      ReadHeader();
    } else {
      recordCount_ = 0;
      bookName_ = bookNameFor(bookNameSource);
      WriteHeader();
    }
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
}

TAdtFile::~TAdtFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t TAdtFile::fileSize() const {
  return sizeOf(fd_, fileName_);
}

std::array<char, TAdtFile::kBookNameSize> TAdtFile::bookNameFor(std::string_view fileName) {
  std::array<char, kBookNameSize> name{};
  std::string upper(fileName);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const std::size_t adt = upper.find(".ADT");
  if (adt == std::string::npos) return name;
  std::string_view before = fileName.substr(0, adt);
  const std::size_t separator = before.find_last_of("/\\:");
  if (separator != std::string_view::npos) before = before.substr(separator + 1);
  // PV Manager and the handheld read the field as code page 1251, one byte a letter, so the
  // UTF-8 name is converted first and cut afterwards: the cut never splits a letter, and takes
  // letters of the stem rather than the extension.
  const std::string converted = shortenName(utf8ToWin(before), kBookNameSize);
  std::copy_n(converted.begin(), std::min<std::size_t>(converted.size(), kBookNameSize),
              name.begin());
  return name;
}

std::string TAdtFile::bookNameText() const {
  const auto end = std::find(bookName_.begin(), bookName_.end(), '\0');
  return std::string(bookName_.begin(), end);
}

void TAdtFile::ReadHeader() {
  unsigned char header[kHeaderSize];
  if (readAt(fd_, fileName_, header, sizeof header, 0) < sizeof header) {
    throw EAdtError(kInvalidFile);
  }
  const auto* zero = static_cast<const unsigned char*>(std::memchr(header, 0, 22));
  const std::size_t magicLength = zero == nullptr ? 22 : static_cast<std::size_t>(zero - header);
  if (magicLength != kMagicLength || std::memcmp(header, kMagic, kMagicLength) != 0) {
    throw EAdtError(kInvalidFile);
  }
  if (getInt32(header + 22) != fileSize()) throw EAdtError(kInvalidFile);
  recordCount_ = getInt32(header + 26);
  std::memcpy(bookName_.data(), header + kBookNameOffset, kBookNameSize);
}

void TAdtFile::WriteHeader() {
  if (readOnly_) throw EAdtFileError("Cannot write file " + fileName_ + ": opened for reading");
  unsigned char header[kHeaderSize] = {};
  std::memcpy(header, kMagic, kMagicLength);
  header[21] = 0x00;
  putInt32(header + 22, static_cast<std::int32_t>(fileSize()));
  putInt32(header + 26, recordCount_);
  std::memcpy(header + kBookNameOffset, bookName_.data(), kBookNameSize);
  writeAt(fd_, fileName_, header, sizeof header, 0);
}

std::int32_t TAdtFile::RecordOffset(std::int32_t index) {
  if (index >= recordCount_) throw EAdtError("Invalid record number");
  // A damaged length could point past the file or past what the format can address; such a
  // file is refused rather than read at a wild offset.
  const std::int64_t size = fileSize();
  std::int64_t offset = kHeaderSize;
  for (std::int32_t i = 0; i < index; ++i) {
    unsigned char length[4];
    if (readAt(fd_, fileName_, length, 4, offset) < 4) throw EAdtError(kInvalidFile);
    const std::int32_t l = getInt32(length);
    if (l < 0) throw EAdtError(kInvalidFile);
    offset += 4 + static_cast<std::int64_t>(l);
    if (offset > size) throw EAdtError(kInvalidFile);
  }
  return static_cast<std::int32_t>(offset);
}

void TAdtFile::WriteRecord(std::int32_t index, const void* data, std::int32_t length) {
  if (readOnly_) throw EAdtFileError("Cannot write file " + fileName_ + ": opened for reading");
  if (length < 0) throw EAdtError("Invalid record length");
  std::int64_t position;
  std::int32_t oldLength;
  if (index == -1) {
    position = fileSize();
    oldLength = length;
    if (position + 4 + length > std::numeric_limits<std::int32_t>::max()) {
      throw EAdtError("ADT file would exceed 2 GiB");
    }
  } else {
    position = RecordOffset(index);
    unsigned char old[4];
    if (readAt(fd_, fileName_, old, 4, position) < 4) throw EAdtError(kInvalidFile);
    oldLength = getInt32(old);
  }
  if (length > oldLength) throw EAdtError("Expanding record not yet implemented");
  if (length < oldLength) throw EAdtError("Compacting record not yet implemented");

  std::vector<unsigned char> record(4 + static_cast<std::size_t>(length));
  putInt32(record.data(), length);
  if (length > 0) std::memcpy(record.data() + 4, data, static_cast<std::size_t>(length));
  ScrambleRecord(record.data() + 4, length);
  writeAt(fd_, fileName_, record.data(), record.size(), position);
  if (index == -1) ++recordCount_;
  WriteHeader();
}

void TAdtFile::ScrambleRecord(void* buffer, std::int32_t length) {
  if (length > 0)
    applyKey(static_cast<unsigned char*>(buffer), static_cast<std::size_t>(length), 0);
}

std::string TAdtFile::readRecord(std::int32_t index) {
  if (index < 0) throw EAdtError("Invalid record number");
  const std::int64_t offset = RecordOffset(index);
  unsigned char length[4];
  if (readAt(fd_, fileName_, length, 4, offset) < 4) throw EAdtError(kInvalidFile);
  const std::int32_t l = getInt32(length);
  if (l < 0 || offset + 4 + l > fileSize()) throw EAdtError(kInvalidFile);
  std::string data(static_cast<std::size_t>(l), '\0');
  if (readAt(fd_, fileName_, data.data(), data.size(), offset + 4) < data.size()) {
    throw EAdtError(kInvalidFile);
  }
  ScrambleRecord(data.data(), l);
  return data;
}

std::optional<std::string> CopyArchiveToAdt(const std::string& archiveName,
                                            const std::string& adtName) {
  int archive = -1;
  try {
    archive = openInput(archiveName);
  } catch (const std::exception& e) {
    return std::string("Error on open input file: ") + e.what();
  }
  FdCloser closeArchive{archive};

  // The new container is built beside its final name and replaces an older one only when
  // complete: a failed copy never costs the user a good ADT file.
  std::optional<TempBeside> temp;
  std::optional<TAdtFile> adt;
  try {
    temp.emplace(adtName);
    adt.emplace(temp->path(), TAdtFile::OpenMode::Create, adtName);
  } catch (const std::exception& e) {
    return std::string("Error on create destination ADT file: ") + e.what();
  }
  try {
    std::vector<unsigned char> buffer(TAdtFile::kArchiveRecordSize);
    std::int64_t at = 0;
    for (;;) {
      const std::size_t got = readAt(archive, archiveName, buffer.data(), buffer.size(), at);
      if (got == 0) break;
      adt->WriteRecord(-1, buffer.data(), static_cast<std::int32_t>(got));
      at += static_cast<std::int64_t>(got);
    }
    adt.reset();
    temp->commit();
  } catch (const std::exception& e) {
    return std::string("Error on copy: ") + e.what();
  }
  return std::nullopt;
}

namespace {

// Checks the header and walks the records once, front to back. With `sink` every record's
// unscrambled data goes to it in order; without, the data is skipped. Leaves the verdict in
// `info` and stops at the first fault.
void walkAdtFile(int fd, const std::string& adtName, AdtInfo& info,
                 const std::function<void(char* data, std::size_t length)>& sink,
                 const std::function<void()>& beforeRefill = nullptr) {
  // `sink` may keep the spans it is given until `beforeRefill` is called, which happens before
  // the read buffer is filled again and once more at the end of the walk.
  info.fileSize = sizeOf(fd, adtName);
  unsigned char header[TAdtFile::kHeaderSize] = {};
  const std::size_t got = readAt(fd, adtName, header, sizeof header, 0);
  if (got < sizeof header) {
    info.problem = "shorter than its 256-byte header";
    return;
  }
  info.sizeField = getInt32(header + 22);
  info.recordCount = getInt32(header + 26);
  const char* name = reinterpret_cast<const char*>(header + kBookNameOffset);
  info.bookName.assign(name, std::find(name, name + TAdtFile::kBookNameSize, '\0'));
  if (std::memcmp(header, kMagic, kMagicLength) != 0 || header[21] != 0) {
    info.problem = "no \"CASIO ADDIN DATAFILE\" header";
    return;
  }
  info.hasHeader = true;
  if (info.sizeField != info.fileSize) {
    info.problem = "size field " + std::to_string(info.sizeField) + " differs from the file size " +
                   std::to_string(info.fileSize);
    return;
  }
  if (info.recordCount < 0) {
    info.problem = "negative record count";
    return;
  }
  SequentialReader in(fd, adtName, TAdtFile::kHeaderSize);
  in.BeforeRefill = beforeRefill;
  std::int64_t offset = TAdtFile::kHeaderSize;
  for (std::int32_t i = 0; i < info.recordCount; ++i) {
    unsigned char length[4];
    if (in.read(length, 4) < 4) {
      info.problem = "record " + std::to_string(i) + " lies past the end of the file";
      return;
    }
    const std::int32_t l = getInt32(length);
    if (l < 0 || offset + 4 + l > info.fileSize) {
      info.problem = "record " + std::to_string(i) + " runs past the end of the file";
      return;
    }
    if (sink) {
      // Unscrambled where the reader holds it and handed on from there, piece by piece.
      for (std::size_t done = 0; done < static_cast<std::size_t>(l);) {
        std::size_t got = 0;
        char* span = in.take(static_cast<std::size_t>(l) - done, got);
        if (got == 0) {  // the file shrank under us
          info.problem = "record " + std::to_string(i) + " runs past the end of the file";
          return;
        }
        applyKey(reinterpret_cast<unsigned char*>(span), got, done);
        sink(span, got);
        done += got;
      }
    } else {
      in.skip(l);
    }
    offset += 4 + static_cast<std::int64_t>(l);
    info.dataSize += l;
  }
  if (beforeRefill) beforeRefill();  // the last spans handed out go with the reader
  if (offset != info.fileSize) {
    info.problem = std::to_string(info.fileSize - offset) + " bytes after the last record";
    return;
  }
  info.valid = true;
}

}  // namespace

AdtInfo inspectAdtFile(const std::string& adtName) {
  const int fd = openInput(adtName);
  FdCloser closer{fd};
  AdtInfo info;
  walkAdtFile(fd, adtName, info, nullptr);
  return info;
}

std::int64_t extractArchiveFromAdt(const std::string& adtName, const std::string& archiveName) {
  const int fd = openInput(adtName);
  FdCloser closer{fd};
  TempBeside out(archiveName);
  // The data goes out straight from the read buffer, one gathered write per buffer, so that
  // the archive is copied no more often than a plain copy of the file would copy it.
  std::vector<iovec> pieces;
  pieces.reserve(kMaxPieces);
  std::int64_t at = 0;
  auto flush = [&] {
    writeGathered(out.fd(), archiveName, pieces, at);
    pieces.clear();
  };
  AdtInfo info;
  walkAdtFile(
      fd, adtName, info,
      [&](char* data, std::size_t length) {
        if (pieces.size() == kMaxPieces) flush();
        pieces.push_back({data, length});
      },
      flush);
  // A fault found part way leaves the temporary file to its destructor: nothing half-written
  // takes the archive's name.
  if (!info.valid) throw EAdtError(std::string(kInvalidFile) + ": " + info.problem);
  out.commit();
  return at;
}

}  // namespace pagora

// The LZH container: member headers of levels 0 and 1 with their checksums and extended
// headers, the executable-stub rule, Brisko multi-file archives (read only), append and end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/lzh_types.h"
#include "file_stream.h"

namespace pagora {

// One member header as read or to be written. `name` is the full stored name in the archive's
// own form (backslash between folders); `packedSize` is the coded data size only.
struct LzhMemberHeader {
  std::string methodId = "-lh0-";  // five bytes
  std::uint32_t packedSize = 0;
  std::uint32_t originalSize = 0;
  std::uint16_t time = 0;  // MS-DOS
  std::uint16_t date = 0;  // MS-DOS
  std::uint8_t attribute = 0;
  std::uint8_t levelByte = 0;  // bits 0-6 the level, bit 7 scrambled
  std::string name;
  // Level 0 only: what follows a zero byte in the name field (some archivers keep a file
  // note there). Written back after the name and a zero byte.
  std::string comment;
  std::uint16_t crc = 0;

  int level() const { return levelByte & 0x7F; }
  bool scrambled() const { return (levelByte & 0x80) != 0; }
  std::uint32_t dateTime() const { return (std::uint32_t{date} << 16) | time; }
};

// The five method ids in ordinal order of TLzhMethod.
inline constexpr std::string_view kLzhMethodIds[4] = {"-lh0-", "-lh1-", "-lh5-", "-rle-"};

// Exact, case-sensitive look-up; raises ELzhUnrecognizedCompressionMethod.
TLzhMethod lzhMethodIndex(std::string_view id);

// Sum modulo 256 of the bytes, the header checksum.
std::uint8_t lzhHeaderChecksum(const std::uint8_t* data, std::size_t n);

// The bytes of a member header exactly as written (checksum included).
std::vector<std::uint8_t> encodeMemberHeader(const LzhMemberHeader& header);
// Writes the header at the stream's position and leaves the stream after it.
void writeMemberHeader(FileStream& stream, const LzhMemberHeader& header);
void writeEndMarker(FileStream& stream);

// Where the archive starts in a file: after an MS-DOS executable stub when the name ends in
// .EXE (any case) and the file starts with "MZ", else at 0. Leaves the stream there.
std::int64_t seekArchiveStart(FileStream& stream, const std::string& fileName);
// Whether the bytes hold a whole LZH member header of level 0 or 1 with a method id of the LZH
// family and a right checksum (what a search for an archive behind a stub looks for).
bool lzhLooksLikeHeader(const std::uint8_t* data, std::size_t size);
// The first position from `from` on (checked up to a few MB into the file) that holds such a
// header, or -1. The stream's position is left undefined.
std::int64_t findArchiveStart(FileStream& stream, std::int64_t from);

// True for a Brisko archive header at the position (the stream is then after its 21 bytes);
// otherwise the position is unchanged. A Brisko kind other than multi-file raises.
bool detectBrisko(FileStream& stream);

// Reads the next member header; false at the end of the list (a short read). On success the
// stream stands at the member's coded data. Header faults raise the ELzh* classes.
bool readMemberHeader(FileStream& stream, bool brisko, LzhMemberHeader& header);

// An archive opened for reading, positioned after its start (and Brisko header). When the
// start that the stub rule gives holds nothing like a member header, the first real header
// found in the file is taken (self-extracting archives whose stub is not an MS-DOS .EXE).
struct LzhReadArchive {
  FileStream stream;
  bool brisko = false;
  std::int64_t start = 0;  // where the first member header is (after a Brisko header)
};
LzhReadArchive openArchiveForReading(const std::string& fileName);

// Opens an existing archive for appending: refuses Brisko archives ("Cannot alter Brisko
// archives!"); positions at the end, or on the old end marker when the last byte is 0x00.
FileStream openArchiveForAppend(const std::string& fileName, std::int64_t& appendPosition);

}  // namespace pagora

// Reading and writing LZH member headers (levels 0 and 1), Brisko member headers, the
// executable stub, append positioning and the end marker.
#include "lzh_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/lzh_errors.h"

namespace pagora {

namespace {

const char kExtendedShort[] = "Unexpected end of extended header section in archive";

std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Reads exactly n bytes or raises the extended-header error.
void readExtended(FileStream& stream, void* buffer, std::size_t n) {
  if (stream.read(buffer, n) != n) throw ELzhInvalidHeader(kExtendedShort);
}

// Sum of the H bytes that follow the first two of the header at start; the stream returns to
// `resume` afterwards.
std::uint8_t checksumFromStream(FileStream& stream, std::int64_t start, std::size_t h,
                                std::int64_t resume) {
  std::vector<std::uint8_t> bytes(h);
  stream.seek(start + 2, SEEK_SET);
  if (stream.read(bytes.data(), h) != h) throw ELzhInvalidHeader(kExtendedShort);
  stream.seek(resume, SEEK_SET);
  return lzhHeaderChecksum(bytes.data(), h);
}

bool readBriskoHeader(FileStream& stream, LzhMemberHeader& header) {
  std::uint8_t b[25];
  if (stream.read(b, sizeof b) != sizeof b) return false;
  auto nameLength = static_cast<std::int16_t>(get16(b));
  if (nameLength < 0) return false;
  std::string name(static_cast<std::size_t>(nameLength), '\0');
  if (stream.read(name.data(), name.size()) != name.size()) return false;
  if (static_cast<std::int32_t>(get32(b + 21)) > 0)
    throw ELzhUnrecognizedCompressionMethod("Sorry - can't handle locked Brisko archives");
  static const char* const kBriskoMethods[] = {"-lh0-", "-rle-", "-lh1-", nullptr, "-lh5-"};
  if (b[16] == 3)
    throw ELzhUnrecognizedCompressionMethod(
        "Sorry - can't handle custom Brisko compression method");
  // An unknown method byte keeps an empty id, which the method look-up refuses.
  header.methodId = b[16] < 5 ? kBriskoMethods[b[16]] : "";
  header.time = get16(b + 2);
  header.date = get16(b + 4);
  header.attribute = b[6];
  header.originalSize = get32(b + 8);
  header.packedSize = get32(b + 12);
  header.crc = get16(b + 17);
  header.levelByte = 0;
  header.name = std::move(name);
  header.comment.clear();
  return true;
}

}  // namespace

TLzhMethod lzhMethodIndex(std::string_view id) {
  for (int i = 0; i < 4; ++i)
    if (kLzhMethodIds[i] == id) return static_cast<TLzhMethod>(i);
  throw ELzhUnrecognizedCompressionMethod("Unrecognized compression method: \"" + std::string(id) +
                                          "\" in header");
}

std::uint8_t lzhHeaderChecksum(const std::uint8_t* data, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i];
  return static_cast<std::uint8_t>(sum);
}

std::vector<std::uint8_t> encodeMemberHeader(const LzhMemberHeader& header) {
  const int level = header.level();
  std::string dir;
  std::string file = header.name;
  if (level == 0 && !header.comment.empty()) {
    file += '\0';
    file += header.comment;
  }
  if (level == 1) {
    std::size_t cut = header.name.rfind('\\');
    if (cut != std::string::npos) {
      dir = header.name.substr(0, cut + 1);
      file = header.name.substr(cut + 1);
      for (char& c : dir)
        if (c == '\\') c = static_cast<char>(0xFF);
    }
  }
  // The header size is one byte: longer names would corrupt the archive silently.
  if (file.size() > 230 || dir.size() > 30000)
    throw EFileError("Name too long for an archive member: " + header.name);

  std::uint32_t skip = header.packedSize;
  std::uint8_t attributeField = header.attribute | 0x20;
  if (level == 1) {
    if (header.attribute != 0) skip += 5;
    if (!dir.empty()) skip += static_cast<std::uint32_t>(dir.size()) + 3;
    attributeField = 0x20;
  }
  std::vector<std::uint8_t> out;
  out.reserve(64 + file.size() + dir.size());
  out.push_back(static_cast<std::uint8_t>(file.size() + (level == 1 ? 25 : 22)));
  out.push_back(0);  // checksum, filled in below
  for (std::size_t i = 0; i < 5; ++i)
    out.push_back(i < header.methodId.size() ? static_cast<std::uint8_t>(header.methodId[i]) : ' ');
  put32(out, skip);
  put32(out, header.originalSize);
  put16(out, header.time);
  put16(out, header.date);
  out.push_back(attributeField);
  out.push_back(header.levelByte);
  out.push_back(static_cast<std::uint8_t>(file.size()));
  out.insert(out.end(), file.begin(), file.end());
  put16(out, header.crc);
  if (level == 1) {
    out.push_back('M');
    std::size_t baseEnd = out.size() + 2;  // the checksum ends with the first extended size
    if (header.attribute != 0) {
      put16(out, 5);
      out.push_back(0x40);
      put16(out, static_cast<std::uint16_t>(header.attribute | 0x20));
    }
    if (!dir.empty()) {
      put16(out, static_cast<std::uint16_t>(dir.size() + 3));
      out.push_back(0x02);
      out.insert(out.end(), dir.begin(), dir.end());
    }
    put16(out, 0);
    out[1] = lzhHeaderChecksum(out.data() + 2, baseEnd - 2);
  } else {
    out[1] = lzhHeaderChecksum(out.data() + 2, out.size() - 2);
  }
  return out;
}

void writeMemberHeader(FileStream& stream, const LzhMemberHeader& header) {
  std::vector<std::uint8_t> bytes = encodeMemberHeader(header);
  stream.write(bytes.data(), bytes.size());
}

void writeEndMarker(FileStream& stream) {
  const std::uint8_t zero = 0;
  stream.write(&zero, 1);
}

std::int64_t seekArchiveStart(FileStream& stream, const std::string& fileName) {
  std::int64_t start = 0;
  const std::int64_t size = stream.size();
  std::size_t slash = fileName.rfind('/');
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  std::size_t dot = base.rfind('.');
  if (size > 5 && dot != std::string::npos && upper(base.substr(dot)) == ".EXE") {
    std::uint8_t mz[6];
    stream.seek(0, SEEK_SET);
    if (stream.read(mz, 6) == 6 && mz[0] == 'M' && mz[1] == 'Z') {
      std::int64_t lastPage = get16(mz + 2);
      std::int64_t pages = get16(mz + 4);
      std::int64_t stubEnd = pages * 512 + lastPage - 512;
      if (stubEnd >= 0 && stubEnd <= size) start = stubEnd;
    }
  }
  stream.seek(start, SEEK_SET);
  return start;
}

bool detectBrisko(FileStream& stream) {
  const std::int64_t at = stream.position();
  if (stream.size() - at < 21) return false;
  std::uint8_t b[21];
  std::size_t got = stream.read(b, sizeof b);
  stream.seek(at, SEEK_SET);
  if (got != sizeof b || std::memcmp(b, "KVRT\x1A", 5) != 0) return false;
  if (b[12] != 1) throw ELzhInvalidHeader("Brisko archive type must be multi-file");
  stream.seek(at + 21, SEEK_SET);
  return true;
}

bool readMemberHeader(FileStream& stream, bool brisko, LzhMemberHeader& header) {
  if (brisko) return readBriskoHeader(stream, header);
  const std::int64_t start = stream.position();
  std::uint8_t b[22];
  if (stream.read(b, sizeof b) != sizeof b) return false;
  // A header size of 0 is the end marker, also where more bytes follow it (a self-extractor
  // with data after its archive, say).
  if (b[0] == 0) return false;
  std::string name(b[21], '\0');
  if (stream.read(name.data(), name.size()) != name.size()) return false;
  std::uint8_t crc[2];
  if (stream.read(crc, 2) != 2) return false;

  header.methodId.assign(reinterpret_cast<const char*>(b + 2), 5);
  std::uint32_t skip = get32(b + 7);
  header.originalSize = get32(b + 11);
  header.time = get16(b + 15);
  header.date = get16(b + 17);
  header.attribute = b[19];
  header.levelByte = b[20];
  header.crc = get16(crc);

  const int level = b[20] & 0x7F;
  if (level == 1) {
    std::uint8_t tail[3];
    readExtended(stream, tail, 3);
    const std::int64_t baseEnd = stream.position();
    std::uint8_t sum = checksumFromStream(stream, start, b[0], baseEnd);
    if (sum != b[1])
      throw ELzhBadChecksum("Bad checksum in LHA archive header: " + std::to_string(sum));
    if (tail[0] != 'M' && tail[0] != 'U')
      throw ELzhInvalidHeader(std::string("Unsupported OS mode in archive: ") +
                              static_cast<char>(tail[0]));
    std::uint32_t next = get16(tail + 1);
    std::string dirs;
    while (next != 0) {
      // A size below 3 cannot hold its own type and link; taking it would loop for ever.
      if (next < 3) throw ELzhInvalidHeader(kExtendedShort);
      std::uint8_t type;
      readExtended(stream, &type, 1);
      const std::size_t dataSize = next - 3;
      if (type == 0x02) {
        std::string dir(dataSize, '\0');
        readExtended(stream, dir.data(), dataSize);
        for (char& c : dir)
          if (static_cast<std::uint8_t>(c) == 0xFF) c = '\\';
        dirs = dir + dirs;
      } else if (type == 0x40) {
        std::uint8_t attr[2] = {0, 0};
        std::vector<std::uint8_t> data(dataSize);
        readExtended(stream, data.data(), dataSize);
        if (!data.empty()) attr[0] = data[0];
        header.attribute = attr[0];
      } else {
        const std::int64_t target = stream.position() + static_cast<std::int64_t>(dataSize);
        if (target > stream.size()) throw ELzhInvalidHeader(kExtendedShort);
        stream.seek(target, SEEK_SET);
      }
      std::uint8_t size[2];
      readExtended(stream, size, 2);
      next = get16(size);
    }
    name = dirs + name;
    auto extended = static_cast<std::int16_t>(stream.position() - baseEnd);
    skip -= static_cast<std::uint32_t>(static_cast<std::int32_t>(extended));
  } else if (level == 0) {
    const std::int64_t baseEnd = stream.position();
    std::uint8_t sum = checksumFromStream(stream, start, b[0], baseEnd);
    if (sum != b[1])
      throw ELzhBadChecksum("Bad checksum in LHARC archive header: " + std::to_string(sum));
  } else {
    throw ELzhInvalidHeaderLevel("Unsupported header level in archive: " +
                                 std::to_string(static_cast<unsigned>(b[20])));
  }
  header.packedSize = skip;
  header.comment.clear();
  if (level == 0) {
    // The name ends at a zero byte; what follows is the member's note.
    const std::size_t zero = name.find('\0');
    if (zero != std::string::npos) {
      header.comment = name.substr(zero + 1);
      name.resize(zero);
    }
  }
  header.name = std::move(name);
  return true;
}

bool lzhLooksLikeHeader(const std::uint8_t* p, std::size_t size) {
  if (size < 24) return false;
  const int level = p[20] & 0x7F;
  if (level > 1) return false;
  const bool lzhFamily = p[2] == '-' && p[3] == 'l' && (p[4] == 'h' || p[4] == 'z') && p[6] == '-';
  if (!lzhFamily && std::memcmp(p + 2, "-rle-", 5) != 0) return false;
  const std::size_t h = p[0];
  const std::size_t n = p[21];
  if (h < 22 + n + (level == 1 ? 3 : 0) || h + 2 > size) return false;
  return lzhHeaderChecksum(p + 2, h) == p[1];
}

std::int64_t findArchiveStart(FileStream& stream, std::int64_t from) {
  // Self-extractor stubs are a few hundred KB at most; a big file that is no archive at all
  // is not read through.
  constexpr std::int64_t kSearchLimit = 4 << 20;
  constexpr std::size_t kChunk = 65536;
  constexpr std::size_t kHeaderMost = 257;  // a header is at most 255 + 2 bytes
  const std::int64_t size = stream.size();
  std::vector<std::uint8_t> buffer(kChunk + kHeaderMost);
  for (std::int64_t at = from; at < size && at < from + kSearchLimit; at += kChunk) {
    stream.seek(at, SEEK_SET);
    const std::size_t got = stream.read(buffer.data(), buffer.size());
    const std::size_t last = std::min(got, kChunk);  // candidates in this chunk
    const std::size_t end = std::min(last + 2, got);
    for (std::size_t i = 0; i + 2 < end; ++i) {
      // The method id's first dash comes two bytes in.
      const void* dash = std::memchr(buffer.data() + i + 2, '-', end - (i + 2));
      if (!dash) break;
      i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(dash) - buffer.data()) - 2;
      if (lzhLooksLikeHeader(buffer.data() + i, got - i)) return at + static_cast<std::int64_t>(i);
    }
  }
  return -1;
}

LzhReadArchive openArchiveForReading(const std::string& fileName) {
  LzhReadArchive archive;
  archive.stream = FileStream(fileName, FileStream::Mode::Read, true);
  const std::int64_t start = seekArchiveStart(archive.stream, fileName);
  archive.brisko = detectBrisko(archive.stream);
  if (!archive.brisko) {
    // The stub rule is tried first. Only when its start holds nothing shaped like a header
    // (a damaged header there is still reported as such) is the file searched.
    std::uint8_t id[7];
    const std::size_t got = archive.stream.read(id, sizeof id);
    const bool headerShaped = got == sizeof id && id[2] == '-' && id[6] == '-';
    std::int64_t found = -1;
    if (!headerShaped && archive.stream.size() - start > 21)
      found = findArchiveStart(archive.stream, 0);
    archive.stream.seek(found >= 0 ? found : start, SEEK_SET);
  }
  archive.start = archive.stream.position();
  return archive;
}

FileStream openArchiveForAppend(const std::string& fileName, std::int64_t& appendPosition) {
  FileStream stream(fileName, FileStream::Mode::ReadWrite, true);
  seekArchiveStart(stream, fileName);
  if (detectBrisko(stream)) throw ELzhInvalidHeader("Cannot alter Brisko archives!");
  std::int64_t end = stream.size();
  if (end > 0) {
    std::uint8_t last = 1;
    stream.seek(end - 1, SEEK_SET);
    if (stream.read(&last, 1) == 1 && last == 0) --end;
  }
  appendPosition = stream.seek(end, SEEK_SET);
  return stream;
}

}  // namespace pagora

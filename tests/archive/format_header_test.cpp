// Member headers byte for byte: levels 0 and 1, both checksums, extended headers, every header
// failure text, the executable stub, append positioning and Brisko archives.
#include <gtest/gtest.h>

#include <cstring>
#include <typeinfo>

#include "archive/lzh_errors.h"
#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_format.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

Bytes ascii(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

LzhMemberHeader bookHeader() {
  LzhMemberHeader h;
  h.methodId = "-lh5-";
  h.packedSize = 100;
  h.originalSize = 200;
  h.time = 0x1234;
  h.date = 0x5678;
  h.attribute = 0x20;
  h.levelByte = 1;
  h.name = "BOOK\\PART1.TXT";
  h.crc = 0xABCD;
  return h;
}

// Reads the first header of the bytes through a real file.
bool readHeaderFrom(const TempFolder& dir, const Bytes& bytes, LzhMemberHeader& header,
                    std::int64_t* dataOffset = nullptr) {
  writeFile(dir / "h.lzh", bytes);
  FileStream stream(dir / "h.lzh", FileStream::Mode::Read);
  bool ok = readMemberHeader(stream, false, header);
  if (dataOffset) *dataOffset = stream.position();
  return ok;
}

TEST(FormatHeader, LevelOneBookPartOneBytes) {
  const Bytes expected = concat({{34, 58},
                                 ascii("-lh5-"),
                                 {113, 0, 0, 0, 200, 0, 0, 0},
                                 {0x34, 0x12, 0x78, 0x56, 0x20, 0x01, 9},
                                 ascii("PART1.TXT"),
                                 {0xCD, 0xAB, 'M', 5, 0, 0x40, 0x20, 0x00, 8, 0, 0x02},
                                 ascii("BOOK"),
                                 {0xFF, 0, 0}});
  EXPECT_EQ(encodeMemberHeader(bookHeader()), expected);
}

TEST(FormatHeader, LevelZeroKeepsBackslashesAndSetsArchiveBit) {
  LzhMemberHeader h;
  h.methodId = "-lh0-";
  h.packedSize = 10;
  h.originalSize = 10;
  h.time = 0x1234;
  h.date = 0x5678;
  h.attribute = 0x01;
  h.levelByte = 0;
  h.name = "BOOK\\A.TXT";
  h.crc = 0x2211;
  const Bytes expected = concat({{32, 218},
                                 ascii("-lh0-"),
                                 {10, 0, 0, 0, 10, 0, 0, 0},
                                 {0x34, 0x12, 0x78, 0x56, 0x21, 0x00, 10},
                                 ascii("BOOK\\A.TXT"),
                                 {0x11, 0x22}});
  EXPECT_EQ(encodeMemberHeader(h), expected);
}

TEST(FormatHeader, LevelOneWithoutAttributeOrFolderHasOnlyTheEndLink) {
  LzhMemberHeader h = bookHeader();
  h.attribute = 0;
  h.name = "PART1.TXT";
  Bytes bytes = encodeMemberHeader(h);
  ASSERT_EQ(bytes.size(), 36u);
  EXPECT_EQ(bytes[7], 100);  // skip size = data size
  EXPECT_EQ(bytes[33], 'M');
  EXPECT_EQ(bytes[34], 0);
  EXPECT_EQ(bytes[35], 0);
}

TEST(FormatHeader, ReadBackRestoresNameAttributeAndDataSize) {
  TempFolder dir;
  for (int level : {0, 1}) {
    LzhMemberHeader h = bookHeader();
    h.levelByte = static_cast<std::uint8_t>(level | 0x80);
    h.attribute = 0x21;
    Bytes bytes = encodeMemberHeader(h);
    LzhMemberHeader back;
    std::int64_t data = 0;
    ASSERT_TRUE(readHeaderFrom(dir, bytes, back, &data)) << level;
    EXPECT_EQ(back.name, "BOOK\\PART1.TXT");
    EXPECT_EQ(back.packedSize, 100u);
    EXPECT_EQ(back.originalSize, 200u);
    EXPECT_EQ(back.crc, 0xABCD);
    EXPECT_EQ(back.attribute, 0x21);
    EXPECT_EQ(back.dateTime(), 0x56781234u);
    EXPECT_TRUE(back.scrambled());
    EXPECT_EQ(back.level(), level);
    EXPECT_EQ(data, static_cast<std::int64_t>(bytes.size()));
  }
}

TEST(FormatHeader, ShortHeadersEndTheList) {
  TempFolder dir;
  Bytes full = encodeMemberHeader(bookHeader());
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{1}, std::size_t{21}, std::size_t{25}, std::size_t{31}}) {
    LzhMemberHeader h;
    EXPECT_FALSE(readHeaderFrom(dir, Bytes(full.begin(), full.begin() + static_cast<long>(cut)), h))
        << cut;
  }
}

// Patches a header and fixes its level-1/level-0 checksum so that only the patch is wrong.
Bytes patched(Bytes bytes, std::size_t at, std::uint8_t value, bool fixSum) {
  bytes[at] = value;
  if (fixSum) bytes[1] = lzhHeaderChecksum(bytes.data() + 2, bytes[0]);
  return bytes;
}

TEST(FormatHeader, FailureTexts) {
  TempFolder dir;
  Bytes one = encodeMemberHeader(bookHeader());
  LzhMemberHeader zeroHeader = bookHeader();
  zeroHeader.levelByte = 0;
  Bytes zero = encodeMemberHeader(zeroHeader);
  struct Case {
    const char* what;
    Bytes bytes;
    std::string text;
    const std::type_info& type;
  };
  const Case cases[] = {
      {"level-1 checksum", patched(one, 1, 0, false), "Bad checksum in LHA archive header: 58",
       typeid(ELzhBadChecksum)},
      {"level-0 checksum", patched(zero, 1, 7, false),
       "Bad checksum in LHARC archive header: " + std::to_string(zero[1]), typeid(ELzhBadChecksum)},
      {"level 0x82", patched(one, 20, 0x82, true), "Unsupported header level in archive: 130",
       typeid(ELzhInvalidHeaderLevel)},
      {"level 2", patched(one, 20, 0x02, true), "Unsupported header level in archive: 2",
       typeid(ELzhInvalidHeaderLevel)},
      {"os id", patched(one, 33, 'X', true), "Unsupported OS mode in archive: X",
       typeid(ELzhInvalidHeader)},
      {"chain cut", Bytes(one.begin(), one.end() - 4),
       "Unexpected end of extended header section in archive", typeid(ELzhInvalidHeader)},
      {"size below 3", patched(one, 34, 2, true),
       "Unexpected end of extended header section in archive", typeid(ELzhInvalidHeader)},
      {"header size beyond file", patched(patched(one, 0, 200, false), 1, 0, false),
       "Unexpected end of extended header section in archive", typeid(ELzhInvalidHeader)},
  };
  for (const Case& c : cases) {
    LzhMemberHeader h;
    try {
      readHeaderFrom(dir, c.bytes, h);
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.text) << c.what;
      EXPECT_EQ(typeid(e), c.type) << c.what;
    }
  }
}

TEST(FormatHeader, UnknownOrForeignExtendedHeadersAreSkipped) {
  TempFolder dir;
  // Level 1 header of X.TXT written by another archiver with OS id "U", a 0x54 header of six
  // data bytes and a folder header, in front of four data bytes.
  Bytes bytes = concat({{26, 0},
                        ascii("-lh0-"),
                        {4 + 9 + 7, 0, 0, 0, 4, 0, 0, 0},
                        {0, 0, 0x21, 0x4A, 0x20, 0x01, 5},
                        ascii("X.TXT"),
                        {0, 0, 'U', 9, 0},
                        {0x54, 1, 2, 3, 4, 5, 6, 7, 0, 0x02},
                        ascii("DIR"),
                        {0xFF, 0, 0},
                        ascii("data")});
  bytes[1] = lzhHeaderChecksum(bytes.data() + 2, 26);
  LzhMemberHeader h;
  std::int64_t data = 0;
  ASSERT_TRUE(readHeaderFrom(dir, bytes, h, &data));
  EXPECT_EQ(h.name, "DIR\\X.TXT");
  EXPECT_EQ(h.packedSize, 4u);
  EXPECT_EQ(data, static_cast<std::int64_t>(bytes.size() - 4));
}

TEST(FormatHeader, MethodTableIsExactAndCaseSensitive) {
  EXPECT_EQ(lzhMethodIndex("-lh0-"), colh0);
  EXPECT_EQ(lzhMethodIndex("-lh1-"), colh1);
  EXPECT_EQ(lzhMethodIndex("-lh5-"), colh5);
  EXPECT_EQ(lzhMethodIndex("-rle-"), coTCR);
  for (const char* id : {"-LH5-", "-lh6-", "-lzs-", ""}) {
    try {
      lzhMethodIndex(id);
      ADD_FAILURE() << id;
    } catch (const ELzhUnrecognizedCompressionMethod& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Unrecognized compression method: \"") + id + "\" in header");
    }
  }
}

// An archive of one stored member "A.TXT" holding "hello", level 1, with the end marker.
Bytes smallArchive() {
  LzhMemberHeader h;
  h.methodId = "-lh0-";
  h.packedSize = 5;
  h.originalSize = 5;
  h.levelByte = 1;
  h.name = "A.TXT";
  h.crc = 0x34D2;  // CRC-16/ARC of "hello"
  return concat({encodeMemberHeader(h), ascii("hello"), {0}});
}

Bytes withStub(const Bytes& archive) {
  // "MZ", 64 bytes in the last page, 2 pages: the archive starts at 2 * 512 + 64 - 512 = 576.
  Bytes stub(576, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  stub[2] = 64;
  stub[4] = 2;
  return concat({stub, archive});
}

TEST(FormatStub, ExeNamesSkipTheStubOtherNamesFindTheArchiveBehindIt) {
  TempFolder dir;
  Bytes file = withStub(smallArchive());
  for (const char* name : {"book.exe", "BOOK.EXE", "book.bin"}) {
    writeFile(dir / name, file);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / name;
    // book.bin is read from offset 0, where "MZ" is nothing like a member header: the file
    // is searched and the archive found at the same place.
    ASSERT_TRUE(archiver.Scan()) << name;
    ASSERT_EQ(archiver.FileList(), std::vector<std::string>{"A.TXT"}) << name;
    EXPECT_EQ(archiver.FileInfoList()[0].DataOffset, 576u + 32u) << name;
    archiver.setTargetPath(dir / "out");
    archiver.MakeDirectories = true;
    archiver.Expand();
    EXPECT_EQ(readBytes(dir / "out/A.TXT"), ascii("hello"));
  }
}

TEST(FormatStub, StubPointingBeyondTheFileIsReadFromZeroThenSearched) {
  TempFolder dir;
  Bytes file = withStub(smallArchive());
  file[4] = 9;  // 9 pages end beyond the file: read from 0, where "MZ" is no header
  writeFile(dir / "a.exe", file);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.exe";
  ASSERT_TRUE(archiver.Scan());
  EXPECT_EQ(archiver.FileList(), std::vector<std::string>{"A.TXT"});
  // With a damaged header in place of "MZ" the start holds a header, which is reported.
  file[2] = '-';
  file[6] = '-';
  writeFile(dir / "a.exe", file);
  try {
    archiver.Scan();
    ADD_FAILURE();
  } catch (const ELzhUnrecognizedCompressionMethod&) {
  } catch (const ELzhBadChecksum&) {
  }
}

TEST(FormatScan, TinyFilesHoldNoMembers) {
  TempFolder dir;
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "missing.lzh";
  EXPECT_FALSE(archiver.Scan());
  for (std::size_t size : {0, 1, 21}) {
    writeFile(dir / "t.lzh", Bytes(size, 0x41));
    archiver.ArchiveName = dir / "t.lzh";
    EXPECT_TRUE(archiver.Scan()) << size;
    EXPECT_TRUE(archiver.FileList().empty()) << size;
  }
}

TEST(FormatAppend, OverwritesTheEndMarkerOnlyWhenThereIsOne) {
  TempFolder dir;
  struct Case {
    Bytes bytes;
    std::int64_t position;
  };
  const Bytes archive = smallArchive();
  const auto end = static_cast<std::int64_t>(archive.size() - 1);
  const Case cases[] = {
      {archive, end}, {Bytes(archive.begin(), archive.end() - 1), end}, {{}, 0}, {{0}, 0}};
  for (const Case& c : cases) {
    writeFile(dir / "a.lzh", c.bytes);
    std::int64_t position = -1;
    FileStream stream = openArchiveForAppend(dir / "a.lzh", position);
    EXPECT_EQ(position, c.position);
    EXPECT_EQ(stream.position(), c.position);
  }
}

// ---- Brisko multi-file archives, built here byte by byte ----

Bytes briskoArchiveHeader(std::uint8_t kind = 1) {
  Bytes h(21, 0);
  std::memcpy(h.data(), "KVRT\x1A", 5);
  h[12] = kind;
  return h;
}

Bytes briskoMember(const std::string& name, std::uint8_t method, const Bytes& original,
                   const Bytes& coded, std::int32_t lock = 0, int sumDelta = 0) {
  Bytes h(25, 0);
  h[0] = static_cast<std::uint8_t>(name.size());
  // 2021-03-04 05:06:08
  std::uint32_t dosTime = (5u << 11) | (6u << 5) | 4u, dosDate = (41u << 9) | (3u << 5) | 4u;
  h[2] = static_cast<std::uint8_t>(dosTime);
  h[3] = static_cast<std::uint8_t>(dosTime >> 8);
  h[4] = static_cast<std::uint8_t>(dosDate);
  h[5] = static_cast<std::uint8_t>(dosDate >> 8);
  h[6] = 0x20;
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(8, static_cast<std::uint32_t>(original.size()));
  put32(12, static_cast<std::uint32_t>(coded.size()));
  h[16] = method;
  unsigned sum = static_cast<unsigned>(sumDelta);
  for (std::uint8_t b : original) sum += b;
  h[17] = static_cast<std::uint8_t>(sum);
  h[18] = static_cast<std::uint8_t>(sum >> 8);
  put32(21, static_cast<std::uint32_t>(lock));
  return concat({h, ascii(name), coded});
}

TEST(FormatBrisko, StoredAndRunLengthMembersExpandWithTheByteSumCheck) {
  TempFolder dir;
  const Bytes runs = {0x41, 0x94, 0x03, 0x94, 0x00, 0x42, 0x94, 0x01, 0x43};
  const Bytes runsExpanded = {0x41, 0x41, 0x41, 0x94, 0x42, 0x43};
  // The stored member's sum is wrong on purpose: stored members are never checked.
  Bytes file = concat({briskoArchiveHeader(),
                       briskoMember("PLAIN.TXT", 0, ascii("plain"), ascii("plain"), 0, 9),
                       briskoMember("RUNS.BIN", 1, runsExpanded, runs)});
  writeFile(dir / "b.kvr", file);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "b.kvr";
  ASSERT_TRUE(archiver.Scan());
  ASSERT_EQ(archiver.FileList(), (std::vector<std::string>{"PLAIN.TXT", "RUNS.BIN"}));
  EXPECT_EQ(archiver.FileInfoList()[1].Method, coTCR);
  EXPECT_EQ(archiver.FileInfoList()[1].UncompressedSize, 6u);
  EXPECT_EQ(archiver.FileInfoList()[1].CompressedSize, 9u);
  EXPECT_EQ(archiver.FileInfoList()[1].DateTime,
            (((41u << 9) | (3u << 5) | 4u) << 16) | ((5u << 11) | (6u << 5) | 4u));
  archiver.setTargetPath(dir / "out");
  archiver.MakeDirectories = true;
  archiver.Expand();
  EXPECT_EQ(readBytes(dir / "out/PLAIN.TXT"), ascii("plain"));
  EXPECT_EQ(readBytes(dir / "out/RUNS.BIN"), runsExpanded);
}

TEST(FormatBrisko, WrongByteSumOfACodedMemberIsABadCrc) {
  TempFolder dir;
  writeFile(dir / "b.kvr", concat({briskoArchiveHeader(),
                                   briskoMember("R", 1, {0x41, 0x41}, {0x41, 0x94, 0x02}, 0, 1)}));
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "b.kvr";
  archiver.setTargetPath(dir.path().string());
  try {
    archiver.Expand();
    ADD_FAILURE();
  } catch (const ELzhBadCRC& e) {
    EXPECT_STREQ(e.what(), "Bad CRC during expansion -- data may be invalid");
  }
}

TEST(FormatBrisko, FailureTexts) {
  TempFolder dir;
  struct Case {
    const char* what;
    Bytes bytes;
    std::string text;
  };
  const Case cases[] = {
      {"kind", concat({briskoArchiveHeader(2), briskoMember("A", 0, ascii("a"), ascii("a"))}),
       "Brisko archive type must be multi-file"},
      {"locked", concat({briskoArchiveHeader(), briskoMember("A", 0, ascii("a"), ascii("a"), 7)}),
       "Sorry - can't handle locked Brisko archives"},
      {"custom", concat({briskoArchiveHeader(), briskoMember("A", 3, ascii("a"), ascii("a"))}),
       "Sorry - can't handle custom Brisko compression method"},
      {"method 9", concat({briskoArchiveHeader(), briskoMember("A", 9, ascii("a"), ascii("a"))}),
       "Unrecognized compression method: \"\" in header"},
  };
  for (const Case& c : cases) {
    writeFile(dir / "b.kvr", c.bytes);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "b.kvr";
    try {
      archiver.Scan();
      ADD_FAILURE() << c.what;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.text) << c.what;
    }
  }
}

TEST(FormatBrisko, CannotBeAlteredAndStaysAsItWas) {
  TempFolder dir;
  const Bytes file = concat({briskoArchiveHeader(), briskoMember("A", 0, ascii("a"), ascii("a"))});
  writeFile(dir / "new.txt", "new");
  for (bool append : {false, true}) {
    writeFile(dir / "b.lzh", file);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "b.lzh";
    archiver.AllowDuplicates = append;
    archiver.setFilesToProcess({dir / "new.txt"});
    try {
      archiver.Compress();
      ADD_FAILURE() << append;
    } catch (const ELzhInvalidHeader& e) {
      EXPECT_STREQ(e.what(), "Cannot alter Brisko archives!");
    }
    EXPECT_EQ(readBytes(dir / "b.lzh"), file);
    EXPECT_FALSE(testing_support::fileExists(dir / "b.$$$"));
  }
}

}  // namespace
}  // namespace pagora

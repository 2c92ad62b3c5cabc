// Archives made by other archivers: self-extractors whose archive is not where the .EXE stub
// rule puts it (a .COM stub, a PE .EXE whose MZ header points elsewhere), and level-0 members
// with a note after a zero byte in the name field. Test files are built here; lhasa and 7-Zip,
// when installed, must read them as this engine does.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "archive/lzh_errors.h"
#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_format.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::proseText;
using testing_support::randomBytes;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An archive of two members made by the component.
Bytes twoMemberArchive(const TempFolder& dir) {
  writeFile(dir / "src/first.txt", proseText(31, 6000));
  writeFile(dir / "src/second.txt", proseText(32, 2500));
  TLzhArchiver archiver;
  archiver.ArchiveType = caLHA;
  archiver.CompressionMethod = colh5;
  archiver.ArchiveName = dir / "plain.lzh";
  std::filesystem::remove(dir / "plain.lzh");
  archiver.setFilesToProcess({dir / "src/first.txt", dir / "src/second.txt"});
  archiver.Compress();
  return readBytes(dir / "plain.lzh");
}

// A DOS .COM self-extractor: a jump, code and the archive right after it.
Bytes comStub(std::size_t n) {
  Bytes stub = randomBytes(7, n);
  stub[0] = 0xE9;
  return stub;
}

// A Windows PE self-extractor: an MZ header whose page counts describe only the small DOS
// stub (start = pages * 512 + lastPage - 512), a PE header, then the program.
Bytes peStub(std::size_t n, std::uint16_t pages, std::uint16_t lastPage) {
  Bytes stub = randomBytes(8, n);
  stub[0] = 'M';
  stub[1] = 'Z';
  stub[2] = static_cast<std::uint8_t>(lastPage);
  stub[3] = static_cast<std::uint8_t>(lastPage >> 8);
  stub[4] = static_cast<std::uint8_t>(pages);
  stub[5] = static_cast<std::uint8_t>(pages >> 8);
  stub[0x3C] = 0x80;
  stub[0x3D] = stub[0x3E] = stub[0x3F] = 0;
  std::memcpy(stub.data() + 0x80, "PE\0\0", 4);
  return stub;
}

std::vector<std::string> membersOf(const std::string& archiveName) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  EXPECT_TRUE(archiver.Scan());
  return archiver.FileList();
}

// Runs a command; its exit status (-1 when it could not run).
int run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have(const char* tool) {
  return run(std::string("command -v ") + tool) == 0;
}

// What a command prints on standard output and error.
std::string outputOf(const std::string& command) {
  std::string out;
  std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, got);
  ::pclose(p);
  return out;
}

// lhasa exits with 0 also when it found nothing: count the members it says it tested.
int lhaTested(const std::string& file) {
  const std::string out = outputOf("lha t '" + file + "'");
  int tested = 0;
  for (std::size_t at = out.find("Tested"); at != std::string::npos;
       at = out.find("Tested", at + 1))
    ++tested;
  return tested;
}

TEST(SelfExtractors, ArchiveIsFoundBehindStubsOfOtherShapes) {
  TempFolder dir;
  const Bytes archive = twoMemberArchive(dir);
  const std::vector<std::string> members{"first.txt", "second.txt"};
  struct Case {
    const char* name;
    Bytes file;
    std::uint32_t dataOffset;  // of the first member
  };
  const std::uint32_t firstData = 22 + 9 + 2 + 3 + 5;  // level-1 header of first.txt, 0x40 header
  const Case cases[] = {
      {"book.com", concat({comStub(3000), archive}), 3000 + firstData},
      {"book.exe", concat({peStub(6000, 1, 0x90), archive}), 6000 + firstData},
      // Start of the rule lies inside the archive's first member data.
      {"inside.exe", concat({peStub(6000, 12, 0x1F0), archive}), 6000 + firstData},
      {"plain.bin", concat({peStub(1024, 1, 0x40), archive}), 1024 + firstData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir / c.name, c.file);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / c.name;
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileList(), members);
    EXPECT_EQ(archiver.FileInfoList()[0].DataOffset, c.dataOffset);
    std::filesystem::remove_all(dir / "out");
    archiver.setTargetPath(dir / "out");
    archiver.MakeDirectories = true;
    archiver.Expand();
    EXPECT_EQ(readBytes(dir / "out/first.txt"), readBytes(dir / "src/first.txt"));
    EXPECT_EQ(readBytes(dir / "out/second.txt"), readBytes(dir / "src/second.txt"));
    archiver.Verify();
    EXPECT_EQ(archiver.ProcessedFiles().size(), 2u);
    // Black-box readers that look for archives behind stubs agree.
    if (have("7z")) {
      EXPECT_EQ(run("7z t '" + (dir / c.name) + "'"), 0) << "7z";
    }
    if (have("lha")) {
      EXPECT_EQ(lhaTested(dir / c.name), 2) << "lha";
    }
  }
}

TEST(SelfExtractors, TheStubRuleIsTriedFirst) {
  TempFolder dir;
  const Bytes archive = twoMemberArchive(dir);
  // A stub that holds a whole archive of its own before the one its MZ header points at.
  writeFile(dir / "decoy.txt", "decoy");
  TLzhArchiver small;
  small.ArchiveName = dir / "decoy.lzh";
  small.setFilesToProcess({dir / "decoy.txt"});
  small.Compress();
  Bytes stub = peStub(4096, 8, 512);  // start = 8 * 512 + 512 - 512 = 4096
  const Bytes decoy = readBytes(dir / "decoy.lzh");
  std::copy(decoy.begin(), decoy.end(), stub.begin() + 1000);
  writeFile(dir / "book.exe", concat({stub, archive}));
  EXPECT_EQ(membersOf(dir / "book.exe"), (std::vector<std::string>{"first.txt", "second.txt"}));
  // Named .bin, the rule's start is 0, which holds no header: the first header found is the
  // decoy's.
  writeFile(dir / "book.bin", concat({stub, archive}));
  EXPECT_EQ(membersOf(dir / "book.bin"), std::vector<std::string>{"DECOY.TXT"});
}

TEST(SelfExtractors, DamagedArchivesAndOtherFilesKeepTheirFailures) {
  TempFolder dir;
  Bytes damaged = twoMemberArchive(dir);
  damaged[1] ^= 0x55;  // header checksum of the first member
  const Bytes text(proseText(3, 3000));
  struct Case {
    const char* name;
    Bytes file;
    std::string failure;
  };
  const Case cases[] = {
      // A header where the archive should start is reported, not skipped over.
      {"damaged.lzh", damaged, "Bad checksum in LHA archive header: "},
      {"damaged.exe", concat({peStub(2048, 4, 512), damaged}),
       "Bad checksum in LHA archive header: "},
      // Nothing that looks like an archive anywhere: the failure at the rule's start.
      {"text.lzh", text, "Unsupported header level in archive: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir / c.name, c.file);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / c.name;
    try {
      archiver.Scan();
      ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.failure.size()), c.failure);
    }
  }
}

// ---- Level-0 members with a note ----

// A stored level-0 member whose name field is "NOTE.TXT", a zero byte and the note.
Bytes notedArchive(const std::string& note, const std::string& data) {
  LzhMemberHeader h;
  h.methodId = "-lh0-";
  h.packedSize = static_cast<std::uint32_t>(data.size());
  h.originalSize = h.packedSize;
  h.levelByte = 0;
  h.attribute = 0x20;
  h.name = std::string("NOTE.TXT") + '\0' + note;  // the field exactly as other archivers fill it
  h.crc = 0;
  Bytes bytes(data.begin(), data.end());
  std::uint16_t crc = 0;
  {
    // CRC-16/ARC, bit by bit.
    for (std::uint8_t b : bytes) {
      crc ^= b;
      for (int k = 0; k < 8; ++k)
        crc = static_cast<std::uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
  }
  h.crc = crc;
  return concat({encodeMemberHeader(h), bytes, {0}});
}

TEST(MemberNotes, NameEndsAtTheZeroByteAndTheRestIsTheNote) {
  TempFolder dir;
  for (const std::string note : {"read me first", "", "\xCF\xF0\xEE\xF7\xF2\xE8"}) {
    SCOPED_TRACE(note);
    const Bytes archive = notedArchive(note, "noted text");
    writeFile(dir / "noted.lzh", archive);
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "noted.lzh";
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileList(), std::vector<std::string>{"NOTE.TXT"});
    EXPECT_EQ(archiver.FileInfoList()[0].Comment, note);
    std::filesystem::remove_all(dir / "out");
    archiver.setTargetPath(dir / "out");
    archiver.MakeDirectories = true;
    archiver.Expand();
    EXPECT_EQ(readBytes(dir / "out/NOTE.TXT"),
              Bytes({'n', 'o', 't', 'e', 'd', ' ', 't', 'e', 'x', 't'}));

    // A rebuild copies the member with its note: its header comes out byte for byte.
    writeFile(dir / "other.txt", "other");
    archiver.setFilesToProcess({dir / "other.txt"});
    archiver.Compress();
    const Bytes rebuilt = readBytes(dir / "noted.lzh");
    const Bytes oldMember(archive.begin(), archive.end() - 1);
    if (!note.empty()) {
      EXPECT_NE(std::search(rebuilt.begin(), rebuilt.end(), oldMember.begin(), oldMember.end()),
                rebuilt.end());
    }
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileList(), (std::vector<std::string>{"OTHER.TXT", "NOTE.TXT"}));
    EXPECT_EQ(archiver.FileInfoList()[1].Comment, note);
    EXPECT_EQ(archiver.FileInfoList()[0].Comment, "");
  }
}

TEST(MemberNotes, WrittenAfterTheNameAndAZeroByte) {
  LzhMemberHeader withNote;
  withNote.levelByte = 0;
  withNote.name = "A.TXT";
  withNote.comment = "note";
  LzhMemberHeader raw = withNote;
  raw.comment.clear();
  raw.name = std::string("A.TXT") + '\0' + "note";
  EXPECT_EQ(encodeMemberHeader(withNote), encodeMemberHeader(raw));
  EXPECT_EQ(encodeMemberHeader(withNote)[21], 10);
}

}  // namespace
}  // namespace pagora

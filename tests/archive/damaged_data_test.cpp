// A member whose header declares far more than its data holds: every decoder stops with the
// bad-data failure soon after the data ends, writing next to nothing, while the zeros read
// just past the end still count as data (a stream whose last bytes are zero may be cut).
#include <gtest/gtest.h>

#include "archive/lzh_errors.h"
#include "archive/lzharchiver.h"
#include "coder_support.h"
#include "crc16.h"
#include "lzh_format.h"

namespace pagora {
namespace {

using namespace testing_support;

constexpr std::int64_t kForged = 400000000;
// What a damaged member may write at most: its real data and the decoder's last chunk.
constexpr std::size_t kAlmostNothing = 70000;

TEST(DamagedData, ForgedSizeStopsEveryDecoderSoonAfterTheData) {
  const Bytes text = proseText(21, 1000);
  const Coded lh5 = codeBytes(2, text);
  const Coded lh1 = codeBytes(1, text);
  const Coded lh5Scrambled = codeBytes(2, text, LzhCoderContext{"secret", {}, nullptr});
  const Bytes rle = {0x41, 0x94, 0xFF, 0x42, 0x94};  // a marker at the very end
  // Random bytes as "-lh5-" data: tables that happen to be complete decode some zero runs.
  const Bytes noise = randomBytes(5, 530);
  struct Case {
    const char* name;
    ExpandInput in;
    const char* password;
    const char* text;  // nullptr: no failure (the check value is not the forged size's)
    std::size_t writtenAtMost;
  };
  const char* bad = "Bad CRC during expansion -- data may be invalid";
  const Case cases[] = {
      {"lh5", {2, lh5.data, kForged, lh5.crc}, "", bad, text.size()},
      {"lh1", {1, lh1.data, kForged, lh1.crc}, "", bad, text.size() + 2000},
      {"lh5 scrambled",
       {2, lh5Scrambled.data, kForged, lh5Scrambled.crc, true},
       "secret",
       "Invalid password -- cannot decrypt file",
       text.size()},
      // Stored and run-length data never read past their end: what they write is bounded by it.
      {"lh0", {0, text, kForged, 0}, "", bad, text.size()},
      {"rle", {3, rle, kForged, 0}, "", bad, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes written;
    try {
      expandBytes(c.in, LzhCoderContext{c.password, {}, nullptr}, &written);
      ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.text);
    }
    EXPECT_LE(written.size(), c.writtenAtMost);
  }
  // Noise may fail in any of the decoder's ways, but always soon.
  for (int method : {1, 2}) {
    Bytes written;
    try {
      expandBytes({method, noise, kForged, 0}, {}, &written);
      ADD_FAILURE() << method;
    } catch (const ELzhBadCRC&) {
    } catch (const ELzhBadDecodeTable&) {
    }
    EXPECT_LE(written.size(), kAlmostNothing) << method;
  }
}

// Coded streams whose last byte is 0x00, found among seeded texts.
Coded codedEndingInZero(int method, Bytes& text) {
  for (std::uint32_t seed = 1; seed < 5000; ++seed) {
    text = proseText(seed, 700 + seed % 300);
    Coded coded = codeBytes(method, text);
    if (coded.data.size() > 2 && coded.data.back() == 0) return coded;
  }
  ADD_FAILURE() << "no stream ending in 0x00 for method " << method;
  return {};
}

TEST(DamagedData, ZerosJustPastTheEndStillCountAsData) {
  for (int method : {1, 2}) {
    SCOPED_TRACE(method);
    Bytes text;
    Coded coded = codedEndingInZero(method, text);
    while (!coded.data.empty() && coded.data.back() == 0) coded.data.pop_back();
    EXPECT_EQ(expandBytes({method, coded.data, static_cast<std::int64_t>(text.size()), coded.crc}),
              text);
  }
}

// The whole road: a small archive file whose header declares 400,000,000 bytes.
TEST(DamagedData, ArchiveWithAForgedSizeFailsWritingAlmostNothing) {
  TempFolder folder;
  const Bytes text = proseText(4, 900);
  const Coded coded = codeBytes(2, text);
  LzhMemberHeader header;
  header.methodId = "-lh5-";
  header.packedSize = static_cast<std::uint32_t>(coded.data.size());
  header.originalSize = static_cast<std::uint32_t>(kForged);
  header.levelByte = 1;
  header.name = "big.txt";
  header.crc = coded.crc;
  Bytes archive = encodeMemberHeader(header);
  archive.insert(archive.end(), coded.data.begin(), coded.data.end());
  archive.push_back(0);
  ASSERT_LT(archive.size(), 600u);
  writeFile(folder.file("forged.lzh"), archive);

  for (bool safe : {false, true}) {
    std::filesystem::remove_all(folder.file("out"));
    TLzhArchiver archiver;
    archiver.ArchiveName = folder.file("forged.lzh");
    archiver.setTargetPath(folder.file("out"));
    archiver.MakeDirectories = true;
    archiver.SafeMode = safe;
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileInfoList()[0].UncompressedSize, kForged);
    EXPECT_THROW(archiver.Expand(), ELzhBadCRC) << safe;
    // In place the bad file stays, as it always did; through a temporary file nothing does.
    std::size_t left = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder.file("out")))
      left += e.file_size();
    EXPECT_LE(left, safe ? 0 : text.size()) << safe;
  }
}

}  // namespace
}  // namespace pagora

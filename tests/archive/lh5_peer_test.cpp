// Coded data of every method must expand byte-identically with independent LZH readers
// (lhasa, 7z, bsdtar), wrapped in a minimal level-1 archive built here.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "test_seed.h"

namespace pagora {
namespace {

using namespace testing_support;

void put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// One level-1 member named `name`, no extended headers, then the end byte.
Bytes levelOneArchive(const char* method, const std::string& name, const Bytes& coded,
                      std::uint32_t originalSize, std::uint16_t crc) {
  Bytes h;
  h.push_back(static_cast<std::uint8_t>(25 + name.size()));
  h.push_back(0);
  for (int i = 0; i < 5; ++i) h.push_back(static_cast<std::uint8_t>(method[i]));
  put32(h, static_cast<std::uint32_t>(coded.size()));
  put32(h, originalSize);
  put16(h, 0x6000);  // 12:00:00
  put16(h, 0x5A21);  // 2025-01-01
  h.push_back(0x20);
  h.push_back(0x01);
  h.push_back(static_cast<std::uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  put16(h, crc);
  h.push_back('M');
  put16(h, 0);
  unsigned sum = 0;
  for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
  h[1] = static_cast<std::uint8_t>(sum);
  h.insert(h.end(), coded.begin(), coded.end());
  h.push_back(0);
  return h;
}

struct PeerRun {
  int status = -1;
  Bytes out;
};

PeerRun runCapture(const std::string& command) {
  PeerRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::uint8_t buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.out.insert(run.out.end(), buffer, buffer + got);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(CoderPeers, IndependentReadersExpandOurData) {
  struct Case {
    const char* name;
    int method;
    Bytes data;
  };
  const std::uint32_t seed = testing_support::testSeed();
  const Case cases[] = {
      {"lh5 empty", 2, {}},
      {"lh5 seven bytes", 2, bytesOf("aaaaaaa")},
      {"lh5 300 equal", 2, Bytes(300, 'x')},
      {"lh5 7936 prose", 2, proseText(seed, 7936)},
      {"lh5 8192 prose", 2, proseText(seed, 8192)},
      {"lh5 8193 prose", 2, proseText(seed, 8193)},
      {"lh5 40000 prose", 2, proseText(seed, 40000)},
      {"lh5 1 MB prose", 2, proseText(seed, 1 << 20)},
      {"lh5 long runs", 2, Bytes(100000, 0)},
      {"lh1 5000 prose", 1, proseText(seed, 5000)},
      {"lh1 300000 prose", 1, proseText(seed, 300000)},
      {"lh0 random", 0, randomBytes(seed, 3000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", " + testing_support::seedNote(seed));
    Coded coded;
    int method = c.method;
    try {
      coded = codeBytes(method, c.data);
    } catch (const EUnableToCompress&) {
      method = 0;
      coded = codeBytes(method, c.data);
    }
    const char* id = method == 0 ? "-lh0-" : method == 1 ? "-lh1-" : "-lh5-";
    TempFolder folder;
    const std::string archive = folder.file("peer.lzh");
    writeFile(archive, levelOneArchive(id, "MEMBER.TXT", coded.data,
                                       static_cast<std::uint32_t>(c.data.size()), coded.crc));

    const PeerRun lhasaTest = runCapture("lhasa t '" + archive + "' 2>&1");
    EXPECT_EQ(lhasaTest.status, 0) << std::string(lhasaTest.out.begin(), lhasaTest.out.end());
    const PeerRun lhasa = runCapture("lhasa pq '" + archive + "'");
    EXPECT_EQ(lhasa.status, 0);
    EXPECT_TRUE(lhasa.out == c.data) << "lhasa gave " << lhasa.out.size() << " bytes";

    // 7-Zip and libarchive know no "-lh1-"; lhasa is the peer for it.
    if (method == 1) continue;
    const PeerRun sevenTest = runCapture("7z t '" + archive + "' 2>&1");
    EXPECT_EQ(sevenTest.status, 0) << std::string(sevenTest.out.begin(), sevenTest.out.end());
    const PeerRun seven = runCapture("7z x -so '" + archive + "' 2>/dev/null");
    EXPECT_EQ(seven.status, 0);
    EXPECT_TRUE(seven.out == c.data) << "7z gave " << seven.out.size() << " bytes";

    // libarchive refuses "-lh5-" data shorter than 8 bytes.
    if (method != 2 || coded.data.size() >= 8) {
      const PeerRun bsdtar = runCapture("bsdtar -xOf '" + archive + "' 2>&1");
      EXPECT_EQ(bsdtar.status, 0) << std::string(bsdtar.out.begin(), bsdtar.out.end());
      EXPECT_TRUE(bsdtar.out == c.data) << "bsdtar gave " << bsdtar.out.size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace pagora

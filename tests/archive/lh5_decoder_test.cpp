// "-lh5-" decoder: hand-made streams, refused code tables and counts, and damaged data that
// must neither overrun a table nor write past the declared size.
#include <gtest/gtest.h>

#include "archive/crc16.h"
#include "archive/lh5_decoder.h"
#include "archive/lzh_errors.h"
#include "archive/scramble_key.h"
#include "tests/archive/coder_support.h"

namespace pagora {
namespace {

using namespace testing_support;

// MSB-first bit writer for hand-made streams.
class Bits {
 public:
  Bits& put(int n, unsigned v) {
    for (int i = n - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((v >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  int used_ = 0;
};

// Items, then a length code of one symbol c (no bits per symbol).
Bits blockWithSingleLengthSymbol(unsigned items, unsigned c) {
  Bits b;
  b.put(16, items).put(5, 0).put(5, c);
  return b;
}

TEST(Lh5Decoder, HandMadeSingleSymbolBlock) {
  // Four items; every code has a single symbol, so the items take no bits: 'A' four times.
  Bits b;
  b.put(16, 4).put(5, 0).put(5, 0).put(9, 0).put(9, 'A').put(4, 0).put(4, 0);
  const Bytes coded = b.bytes();
  ASSERT_EQ(coded.size(), 7u);
  const Bytes four = bytesOf("AAAA");
  EXPECT_EQ(expandBytes({2, coded, 4, crc16(four.data(), 4)}), four);
  // Asked for fewer bytes, the decoder stops there.
  EXPECT_EQ(expandBytes({2, coded, 2, crc16(four.data(), 2)}), bytesOf("AA"));
}

TEST(Lh5Decoder, RefusesBadTablesAndCounts) {
  struct Case {
    const char* name;
    Bits bits;
  };
  std::vector<Case> cases;
  cases.push_back({"length code over-full: four 1-bit codes",
                   Bits().put(16, 1).put(5, 4).put(3, 1).put(3, 1).put(3, 1).put(2, 0).put(3, 1)});
  cases.push_back({"length code under-full", Bits().put(16, 1).put(5, 2).put(3, 1).put(3, 2)});
  cases.push_back({"length code count 20 of 19", Bits().put(16, 1).put(5, 20).put(16, 0)});
  cases.push_back({"length code single symbol 19", Bits().put(16, 1).put(5, 0).put(5, 19)});
  cases.push_back({"length code length above 16",
                   Bits().put(16, 1).put(5, 1).put(16, 0xFFFF).put(8, 0)});
  cases.push_back({"main code over-full: three 1-bit codes",
                   blockWithSingleLengthSymbol(1, 3).put(9, 3)});
  cases.push_back({"main code under-full: one 1-bit code",
                   blockWithSingleLengthSymbol(1, 3).put(9, 1)});
  cases.push_back({"main count 511 of 510", blockWithSingleLengthSymbol(1, 3).put(9, 511)});
  cases.push_back({"main single symbol 510", blockWithSingleLengthSymbol(1, 0).put(9, 0).put(9, 510)});
  cases.push_back({"main zero run past the table",
                   blockWithSingleLengthSymbol(1, 2).put(9, 510).put(9, 500)});
  cases.push_back({"position count 15 of 14",
                   blockWithSingleLengthSymbol(1, 3).put(9, 2).put(4, 15).put(16, 0)});
  cases.push_back({"position single symbol 14",
                   blockWithSingleLengthSymbol(1, 3).put(9, 2).put(4, 0).put(4, 14)});
  cases.push_back({"position code under-full",
                   blockWithSingleLengthSymbol(1, 3).put(9, 2).put(4, 2).put(3, 1).put(3, 0)});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes written;
    try {
      expandBytes({2, c.bits.bytes(), 10, 0}, {}, &written);
      ADD_FAILURE() << "accepted";
    } catch (const ELzhBadDecodeTable& e) {
      EXPECT_STREQ(e.what(), "Bad decode table in archive!");
    }
    EXPECT_TRUE(written.empty());
  }
}

TEST(Lh5Decoder, BadTableOfAScrambledMemberMeansWrongPassword) {
  Bytes coded = Bits().put(16, 1).put(5, 4).put(3, 1).put(3, 1).put(3, 1).put(2, 0).put(3, 1).bytes();
  const std::uint32_t key = scrambleKey("pw");
  std::uint32_t index = 0;
  scrambleBytes(key, index, coded.data(), coded.size());
  LzhCoderContext context;
  context.password = "pw";
  try {
    expandBytes({2, coded, 10, 0, true}, context);
    ADD_FAILURE() << "accepted";
  } catch (const ELzhEncrypted& e) {
    EXPECT_STREQ(e.what(), "Invalid password -- cannot decrypt file");
  }
}

TEST(Lh5Decoder, TablesOfCompleteCodes) {
  struct Case {
    std::vector<std::uint8_t> lengths;
    bool accepted;
  } cases[] = {
      {{1, 1}, true},
      {{1, 2, 2}, true},
      {{0, 0, 0}, true},  // no code at all
      {{1, 1, 1, 1}, false},
      {{1}, false},
      {{1, 2}, false},
      {{2, 2, 2, 2, 1}, false},
      {{17, 17}, false},
  };
  for (const auto& c : cases) {
    HuffmanDecodeTable<8, kLh5LenSymbols> table;
    EXPECT_EQ(buildHuffmanDecodeTable(c.lengths.data(), static_cast<int>(c.lengths.size()), table),
              c.accepted);
  }
  // Sixteen-bit codes land in the second level: lengths 1, 2, ..., 15, 16, 16.
  std::vector<std::uint8_t> deep;
  for (int l = 1; l <= 16; ++l) deep.push_back(static_cast<std::uint8_t>(l));
  deep.push_back(16);
  HuffmanDecodeTable<8, kLh5LenSymbols> table;
  ASSERT_TRUE(buildHuffmanDecodeTable(deep.data(), static_cast<int>(deep.size()), table));
  // Entries: code length in the low bits, symbol (or second-level index) above bit 16.
  EXPECT_EQ(table.primary[0x00], (0u << 16) | 1u);              // 0...: symbol 0, 1 bit
  EXPECT_EQ(table.primary[0xFE], (7u << 16) | 8u);              // 11111110: symbol 7
  ASSERT_TRUE(table.primary[0xFF] & kSubTableFlag);             // 11111111...: second level
  const auto& sub = table.sub[table.primary[0xFF] >> 16];
  EXPECT_EQ(sub[0x00], (8u << 16) | 9u);                        // 111111110
  EXPECT_EQ(sub[0xFE], (15u << 16) | 16u);                      // 1111111111111110
  EXPECT_EQ(sub[0xFF], (16u << 16) | 16u);                      // 1111111111111111
}

TEST(Lh5Decoder, DamagedStreamStopsAtTheDeclaredSize) {
  // 300 equal bytes coded, but the header says 100: exactly 100 come out.
  const Bytes data(300, 'x');
  const Coded coded = codeBytes(2, data);
  const Bytes hundred(100, 'x');
  EXPECT_EQ(expandBytes({2, coded.data, 100, crc16(hundred.data(), 100)}), hundred);
}

TEST(Lh5Decoder, TruncatedStreamReadsZeroBitsAndFailsTheCheck) {
  const Bytes data = proseBytes(30000, 11);
  const Coded coded = codeBytes(2, data);
  const Bytes cut(coded.data.begin(), coded.data.begin() + static_cast<long>(coded.data.size() / 2));
  Bytes written;
  try {
    expandBytes({2, cut, 30000, coded.crc}, {}, &written);
    ADD_FAILURE() << "accepted";
  } catch (const ELzhBadCRC&) {
  } catch (const ELzhBadDecodeTable&) {
  }
  EXPECT_LE(written.size(), 30000u);
}

}  // namespace
}  // namespace pagora

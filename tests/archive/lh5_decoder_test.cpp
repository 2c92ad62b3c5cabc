// "-lh5-" decoder: hand-made streams, refused code tables and counts, and damaged data that
// must neither overrun a table nor write past the declared size.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "crc16.h"
#include "lh5_decoder.h"
#include "scramble_key.h"

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
  cases.push_back(
      {"length code length above 16", Bits().put(16, 1).put(5, 1).put(16, 0xFFFF).put(8, 0)});
  cases.push_back(
      {"main code over-full: three 1-bit codes", blockWithSingleLengthSymbol(1, 3).put(9, 3)});
  cases.push_back(
      {"main code under-full: one 1-bit code", blockWithSingleLengthSymbol(1, 3).put(9, 1)});
  cases.push_back({"main count 511 of 510", blockWithSingleLengthSymbol(1, 3).put(9, 511)});
  cases.push_back(
      {"main single symbol 510", blockWithSingleLengthSymbol(1, 0).put(9, 0).put(9, 510)});
  cases.push_back(
      {"main zero run past the table", blockWithSingleLengthSymbol(1, 2).put(9, 510).put(9, 500)});
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
  Bytes coded =
      Bits().put(16, 1).put(5, 4).put(3, 1).put(3, 1).put(3, 1).put(2, 0).put(3, 1).bytes();
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
      {{1, 1}, true},           {{1, 2, 2}, true}, {{0, 0, 0}, true},  // no code at all
      {{1, 1, 1, 1}, false},    {{1}, false},      {{1, 2}, false},
      {{2, 2, 2, 2, 1}, false}, {{17, 17}, false},
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
  EXPECT_EQ(table.primary[0x00], (0u << 16) | 1u);   // 0...: symbol 0, 1 bit
  EXPECT_EQ(table.primary[0xFE], (7u << 16) | 8u);   // 11111110: symbol 7
  ASSERT_TRUE(table.primary[0xFF] & kSubTableFlag);  // 11111111...: second level
  const auto& sub = table.sub[table.primary[0xFF] >> 16];
  EXPECT_EQ(sub[0x00], (8u << 16) | 9u);    // 111111110
  EXPECT_EQ(sub[0xFE], (15u << 16) | 16u);  // 1111111111111110
  EXPECT_EQ(sub[0xFF], (16u << 16) | 16u);  // 1111111111111111
}

// Canonical codes of the given lengths, as a coder assigns them: shorter codes first, equal
// lengths in symbol order.
std::vector<unsigned> canonicalCodes(const std::vector<int>& lengths) {
  unsigned start[17] = {};
  unsigned total = 0;
  for (int l = 1; l <= 16; ++l) {
    start[l] = total;
    for (int len : lengths) total += len == l ? 1u << (16 - l) : 0;
  }
  std::vector<unsigned> codes(lengths.size());
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    const int l = lengths[s];
    if (l == 0) continue;
    codes[s] = start[l] >> (16 - l);
    start[l] += 1u << (16 - l);
  }
  return codes;
}

// One item of a hand-made block: a literal byte, or a match of `length` bytes `distance` back.
struct Item {
  unsigned literalOrLength;
  unsigned distance = 0;  // 0: a literal
};

// A block of the given items with the given main and position code lengths. The length code
// gives its 19 symbols 4 or 5 bits, and every main length is sent one by one.
Bits handMadeBlock(const std::vector<int>& mainLengths, const std::vector<int>& positionLengths,
                   const std::vector<Item>& items) {
  const auto putLength = [](Bits& b, int c) {
    if (c < 7) {
      b.put(3, static_cast<unsigned>(c));
    } else {
      b.put(3, 7);
      for (int k = 7; k < c; ++k) b.put(1, 1);
      b.put(1, 0);
    }
  };
  Bits b;
  b.put(16, static_cast<unsigned>(items.size()));
  std::vector<int> lengthCode(19, 5);
  std::fill_n(lengthCode.begin(), 13, 4);
  b.put(5, 19);
  for (int i = 0; i < 19; ++i) {
    putLength(b, lengthCode[i]);
    if (i == 2) b.put(2, 0);
  }
  const auto lengthCodes = canonicalCodes(lengthCode);
  b.put(9, 510);
  for (int len : mainLengths) {
    const int c = len == 0 ? 0 : len + 2;
    b.put(lengthCode[c], lengthCodes[c]);
  }
  b.put(4, 14);
  for (int len : positionLengths) putLength(b, len);
  const auto mainCodes = canonicalCodes(mainLengths);
  const auto positionCodes = canonicalCodes(positionLengths);
  for (const Item& item : items) {
    const unsigned symbol = item.distance == 0 ? item.literalOrLength : item.literalOrLength + 253;
    b.put(mainLengths[symbol], mainCodes[symbol]);
    if (item.distance == 0) continue;
    const unsigned back = item.distance - 1;
    const unsigned j = back == 0 ? 0 : static_cast<unsigned>(std::bit_width(back));
    b.put(positionLengths[j], positionCodes[j]);
    if (j > 1) b.put(static_cast<int>(j) - 1, back - (1u << (j - 1)));
  }
  return b;
}

// What the items stand for, over a history of spaces.
Bytes expectedOutput(const std::vector<Item>& items) {
  Bytes all(8192, ' ');
  for (const Item& item : items) {
    if (item.distance == 0) {
      all.push_back(static_cast<std::uint8_t>(item.literalOrLength));
    } else {
      for (unsigned k = 0; k < item.literalOrLength; ++k)
        all.push_back(all[all.size() - item.distance]);
    }
  }
  return Bytes(all.begin() + 8192, all.end());
}

TEST(Lh5Decoder, LongCodesShortDistancesAndLongMatches) {
  // Main code: 'a' 1 bit, 'b' 2, matches of 3 and of 20 bytes 3 and 4, then 'c' .. 'm' 5 to
  // 15 bits, 'x' and 'y' 16 bits (beyond the first lookup). Position code: j = 0 .. 8 take
  // 1 .. 9 bits, j = 9 and 10 take 10 (beyond the first lookup too).
  std::vector<int> mainLengths(510, 0);
  mainLengths['a'] = 1;
  mainLengths['b'] = 2;
  mainLengths[3 + 253] = 3;
  mainLengths[20 + 253] = 4;
  for (int c = 'c'; c <= 'm'; ++c) mainLengths[c] = 5 + (c - 'c');
  mainLengths['x'] = mainLengths['y'] = 16;
  std::vector<int> positionLengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 0, 0, 0};
  std::vector<Item> items = {{'a'}, {'b'}, {3, 1}, {'x'}, {'y'}, {'m'}, {'c'}, {'y'}, {'x'}};
  for (int k = 0; k < 14; ++k) items.push_back({20, 7 + static_cast<unsigned>(k % 3)});
  // Literals whose next bits look like a long position code, matches that reach back into
  // the spaces before the data and into the data itself, a run of overlapping copies.
  items.insert(items.end(), {{'y'},
                             {'y'},
                             {20, 300},
                             {20, 270},
                             {3, 520},
                             {'l'},
                             {3, 2},
                             {20, 1},
                             {'a'},
                             {20, 5},
                             {'x'}});
  const Bits block = handMadeBlock(mainLengths, positionLengths, items);
  const Bytes expected = expectedOutput(items);
  ASSERT_EQ(expected.size(), 382u);
  EXPECT_EQ(expandBytes({2, block.bytes(), static_cast<std::int64_t>(expected.size()),
                         crc16(expected.data(), expected.size())}),
            expected);
}

TEST(Lh5Decoder, BlockOfZeroItemsHolds65536) {
  // The item count is 16 bits wide: 0 stands for 65536 items (here 'A' of no bits each).
  Bits b;
  b.put(16, 0).put(5, 0).put(5, 0).put(9, 0).put(9, 'A').put(4, 0).put(4, 0);
  const Bytes all(65536, 'A');
  EXPECT_EQ(expandBytes({2, b.bytes(), 65536, crc16(all.data(), all.size())}), all);
}

TEST(Lh5Decoder, DamagedStreamStopsAtTheDeclaredSize) {
  // 300 equal bytes coded, but the header says 100: exactly 100 come out.
  const Bytes data(300, 'x');
  const Coded coded = codeBytes(2, data);
  const Bytes hundred(100, 'x');
  EXPECT_EQ(expandBytes({2, coded.data, 100, crc16(hundred.data(), 100)}), hundred);
}

TEST(Lh5Decoder, TruncatedStreamReadsZeroBitsAndFailsTheCheck) {
  const Bytes data = proseText(11, 30000);
  const Coded coded = codeBytes(2, data);
  const Bytes cut(coded.data.begin(),
                  coded.data.begin() + static_cast<long>(coded.data.size() / 2));
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

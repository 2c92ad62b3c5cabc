// "-lh5-" encoder: exact coded bytes, the fall-back to storing, block boundaries, dictionary
// slides, crowded tree nodes and the 16-bit length limit of the Huffman codes.
#include <gtest/gtest.h>

#include <functional>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "crc16.h"
#include "lh5_decoder.h"
#include "lh5_huffman.h"

namespace pagora {
namespace {

using namespace testing_support;

// Item counts of the blocks of an "-lh5-" stream, read by the decoder.
std::vector<unsigned> blockSizes(const Bytes& coded, std::int64_t count) {
  MemorySource in(coded);
  DiscardSink out;
  BytePump pump(in, static_cast<std::int64_t>(coded.size()), out, kLzhNoOutputLimit, 0, false,
                false, {}, nullptr);
  pump.start();
  TLzhCoderState state;
  std::vector<unsigned> sizes;
  lh5Decode(state, pump, count, [&](unsigned items) { sizes.push_back(items); });
  return sizes;
}

// Bytes in which no two-byte sequence occurs twice (a de Bruijn sequence of order 2), so
// the encoder finds no match at all and every item is a literal.
Bytes withoutRepeats(std::size_t n) {
  std::vector<int> a(3, 0);
  Bytes seq;
  std::function<void(int, int)> db = [&](int t, int p) {
    if (t > 2) {
      if (2 % p == 0) {
        for (int j = 1; j <= p; ++j) seq.push_back(static_cast<std::uint8_t>(a[j]));
      }
    } else {
      a[t] = a[t - p];
      db(t + 1, p);
      for (int j = a[t - p] + 1; j < 256; ++j) {
        a[t] = j;
        db(t + 1, t);
      }
    }
  };
  db(1, 1);
  seq.resize(n);
  return seq;
}

TEST(Lh5Encoder, ThreeHundredEqualBytes) {
  // Count 3; length code: 5 lengths 0,0,1,2,2 (zero-run symbol 1 bit, lengths 1 and 2 two
  // bits); main code over 510 symbols: zero run 120, 'x' length 2, zero run 175, symbol 296
  // (match 43) length 1, zero run 212, symbol 509 (match 256) length 2; position code: the
  // single class 0. Items: 'x' = 10, match 256 = 11, match 43 = 0, positions take no bits.
  const Bytes expected = {0x00, 0x03, 0x28, 0x04, 0x4B, 0xFC, 0x32, 0x64, 0xDC, 0x60, 0x60, 0x16};
  const Bytes data(300, 'x');
  const Coded coded = codeBytes(2, data);
  EXPECT_EQ(coded.data, expected);
  EXPECT_EQ(coded.crc, crc16(data.data(), data.size()));
  EXPECT_EQ(blockSizes(coded.data, 300), std::vector<unsigned>{3});
  EXPECT_EQ(expandBytes({2, coded.data, 300, coded.crc}), data);
}

TEST(Lh5Encoder, ShortInputsThatDoNotShrinkAreRefused) {
  // One literal codes to 7 bytes and two to 8: the output limit (the input length) stops them.
  for (const std::string s : {"A", "ab", "abc"}) {
    SCOPED_TRACE(s);
    try {
      codeBytes(2, bytesOf(s));
      ADD_FAILURE() << "coded although longer than the input";
    } catch (const EUnableToCompress& e) {
      EXPECT_STREQ(e.what(), "Could not compress data, will store instead");
    }
  }
}

TEST(Lh5Encoder, EmptyInputCodesToNothing) {
  const Coded coded = codeBytes(2, {});
  EXPECT_TRUE(coded.data.empty());
  EXPECT_EQ(coded.crc, 0);
  EXPECT_TRUE(expandBytes({2, {}, 0, 0}).empty());
}

TEST(Lh5Encoder, BlockEndsWhenAFlagGroupWouldStartAt16360) {
  // All literals: 1818 groups of 9 bytes fill 16362 bytes, so the first block holds 14544.
  struct Case {
    std::size_t size;
    std::vector<unsigned> blocks;
  } cases[] = {
      {14543, {14543}},        {14544, {14544}},           {14545, {14544, 1}},
      {29088, {14544, 14544}}, {29089, {14544, 14544, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const Bytes data = withoutRepeats(c.size);
    const Coded coded = codeBytes(2, data);
    EXPECT_EQ(blockSizes(coded.data, static_cast<std::int64_t>(c.size)), c.blocks);
    EXPECT_EQ(expandBytes({2, coded.data, static_cast<std::int64_t>(c.size), coded.crc}), data);
  }
}

TEST(Lh5Encoder, SameInputSameOutput) {
  const Bytes data = proseText(7, 50000);
  EXPECT_EQ(codeBytes(2, data).data, codeBytes(2, data).data);
}

TEST(Lh5Encoder, CodedBytesStayTheSame) {
  // Regression lock: the CRC-16 and length of the coded bytes for fixed inputs, around the
  // first dictionary slide (7936 bytes and more reach it; up to 8192 the refill is empty and
  // leaves older cells behind the end) and over several blocks. Any change of a single bit of
  // the encoder's output shows here.
  struct Case {
    std::size_t size;
    std::uint32_t seed;
    std::size_t codedSize;
    std::uint16_t codedCrc;
  } cases[] = {
#include "lh5_golden.inc"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes, seed " + std::to_string(c.seed));
    const Bytes data = proseText(c.seed, c.size);
    const Coded coded = codeBytes(2, data);
    EXPECT_EQ(coded.data.size(), c.codedSize);
    EXPECT_EQ(crc16(coded.data.data(), coded.data.size()), c.codedCrc);
    EXPECT_EQ(expandBytes({2, coded.data, static_cast<std::int64_t>(c.size), coded.crc}), data);
  }
}

TEST(Lh5Encoder, NodeWithAllByteValuesAsChildren) {
  // "xy" followed by each of the 256 byte values gives one tree node 256 children; its child
  // count wraps to 0 and must come back as 255 when the first child leaves the dictionary.
  Bytes data;
  for (int round = 0; round < 3; ++round) {
    for (int c = 0; c < 256; ++c) {
      data.push_back('x');
      data.push_back('y');
      data.push_back(static_cast<std::uint8_t>(c));
    }
    const Bytes filler = proseText(static_cast<std::uint32_t>(round), 9000);
    data.insert(data.end(), filler.begin(), filler.end());
  }
  const Coded coded = codeBytes(2, data);
  EXPECT_EQ(expandBytes({2, coded.data, static_cast<std::int64_t>(data.size()), coded.crc}), data);
}

TEST(Lh5Huffman, LengthsAreLimitedTo16Bits) {
  // Fibonacci counts make a chain 19 deep. Depths 16-19 fold into 16 (6 leaves counted
  // there), the code space overflows by 3, and three moves give lengths 1-13, 15 and 16 x 6.
  std::uint16_t freq[2 * kLh5MainSymbols - 1] = {};
  std::uint16_t a = 1, b = 1;
  for (int i = 0; i < 20; ++i) {
    freq[i] = a;
    const std::uint16_t next = static_cast<std::uint16_t>(a + b);
    a = b;
    b = next;
  }
  std::uint8_t len[kLh5MainSymbols];
  std::uint16_t code[kLh5MainSymbols];
  HuffmanWork work;
  const int root = buildHuffmanCode(20, freq, len, code, work);
  EXPECT_GE(root, 20);
  const std::uint8_t expectedLen[20] = {16, 16, 16, 16, 16, 16, 15, 13, 12, 11,
                                        10, 9,  8,  7,  6,  5,  4,  3,  2,  1};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(len[i], expectedLen[i]) << "symbol " << i;
  // Canonical codes, left-aligned: shortest first, equal lengths in symbol order.
  const std::uint16_t expectedCode[20] = {0xFFFA, 0xFFFB, 0xFFFC, 0xFFFD, 0xFFFE, 0xFFFF, 0xFFF8,
                                          0xFFF0, 0xFFE0, 0xFFC0, 0xFF80, 0xFF00, 0xFE00, 0xFC00,
                                          0xF800, 0xF000, 0xE000, 0xC000, 0x8000, 0x0000};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(code[i], expectedCode[i]) << "symbol " << i;
}

TEST(Lh5Huffman, DegenerateCounts) {
  struct Case {
    std::vector<std::uint16_t> counts;
    int root;
    std::vector<std::uint8_t> lengths;
  } cases[] = {
      {{0, 0, 0, 0}, 0, {0, 0, 0, 0}},  // nothing: root 0, no lengths
      {{0, 0, 9, 0}, 2, {0, 0, 0, 0}},  // one symbol: it is the root, with no bits
      {{1, 1, 0, 0}, 4, {1, 1, 0, 0}},  // two symbols: one bit each
      {{3, 1, 1, 0}, 5, {1, 2, 2, 0}},  // the first removed get the longest codes
      {{1, 1, 1, 1}, 6, {2, 2, 2, 2}},
  };
  for (const auto& c : cases) {
    std::uint16_t freq[2 * kLh5MainSymbols - 1] = {};
    for (std::size_t i = 0; i < c.counts.size(); ++i) freq[i] = c.counts[i];
    std::uint8_t len[kLh5MainSymbols];
    std::uint16_t code[kLh5MainSymbols] = {};
    HuffmanWork work;
    const int n = static_cast<int>(c.counts.size());
    EXPECT_EQ(buildHuffmanCode(n, freq, len, code, work), c.root);
    EXPECT_EQ(std::vector<std::uint8_t>(len, len + n), c.lengths);
  }
}

}  // namespace
}  // namespace pagora

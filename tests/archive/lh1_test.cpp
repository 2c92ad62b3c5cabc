// "-lh1-" coder: the fixed position code, the starting tree, and round trips across tree
// rebuilds.
#include <gtest/gtest.h>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "crc16.h"
#include "lh1_tree.h"

namespace pagora {
namespace {

using namespace testing_support;

TEST(Lh1PositionCode, CanonicalPrefixCodeOfTheUpperBits) {
  struct Case {
    int value, length;
    unsigned code;
  } cases[] = {
      {0, 3, 0b000},      {1, 4, 0b0010},      {3, 4, 0b0100},      {4, 5, 0b01010},
      {11, 5, 0b10001},   {12, 6, 0b100100},   {23, 6, 0b101111},   {24, 7, 0b1100000},
      {47, 7, 0b1110111}, {48, 8, 0b11110000}, {63, 8, 0b11111111},
  };
  const Lh1PositionCode& pc = lh1PositionCode();
  for (const auto& c : cases) {
    EXPECT_EQ(pc.length[c.value], c.length) << c.value;
    EXPECT_EQ(pc.code[c.value], c.code) << c.value;
  }
}

TEST(Lh1Encoder, FirstLiteralUsesTheStartingTree) {
  // 'A' (65) sits in slot 65 of the starting tree; its path to the root is 1 1 1 0 0 1 1 0 1.
  Bytes data = bytesOf("A");
  const Bytes rest = proseText(1, 3000);
  data.insert(data.end(), rest.begin(), rest.end());
  const Coded coded = codeBytes(1, data);
  ASSERT_GE(coded.data.size(), 2u);
  EXPECT_EQ(coded.data[0], 0xE6);
  EXPECT_EQ(coded.data[1] & 0x80, 0x80);
  // Alone it codes to two bytes, longer than itself, and is stored instead.
  EXPECT_THROW(codeBytes(1, bytesOf("A")), EUnableToCompress);
}

TEST(Lh1Coder, RoundTripsAcrossRebuildsAndLongMatches) {
  struct Case {
    const char* name;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"long run", Bytes(70000, 'z')},  // weights reach the limit: rebuilds
      {"prose", proseText(12, 150000)},
      {"period 4000",
       [] {  // just inside the 4036 positions the match trees hold
         Bytes b = randomBytes(3, 4000);
         Bytes out;
         for (int i = 0; i < 5; ++i) out.insert(out.end(), b.begin(), b.end());
         return out;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Coded coded = codeBytes(1, c.data);
    EXPECT_LE(coded.data.size(), c.data.size() / 2);
    if (c.data.empty()) {
      EXPECT_TRUE(coded.data.empty());
    }
    EXPECT_EQ(expandBytes({1, coded.data, static_cast<std::int64_t>(c.data.size()), coded.crc}),
              c.data);
  }
}

}  // namespace
}  // namespace pagora

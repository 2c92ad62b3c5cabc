// The seeded data: the exact bytes a seed gives (coded sizes elsewhere are locked against them),
// the same bytes in either container, and the lengths asked for.
#include "data_generator.h"

#include <gtest/gtest.h>

#include <string>

namespace pagora::testing_support {
namespace {

TEST(DataGenerator, ASeedGivesTheSameBytesEverywhere) {
  EXPECT_EQ(randomBytes(1, 8), (Bytes{0x25, 0xEB, 0x8C, 0x48, 0xFF, 0x89, 0xCB, 0x85}));
  EXPECT_EQ(proseText<std::string>(1, 40), "\r\nАнна reader a Анна war \r\nof \r\n");
  EXPECT_EQ(mixedUtf8(3, 10), std::string(17, 'x'));  // one long ASCII run covers it
}

TEST(DataGenerator, LengthsAndContainersAgree) {
  for (std::uint32_t seed : {0u, 7u, 4294967295u}) {
    for (std::size_t n : {0u, 1u, 5u, 8193u}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(n) + " bytes");
      const Bytes random = randomBytes(seed, n);
      const Bytes prose = proseText(seed, n);
      EXPECT_EQ(random.size(), n);
      EXPECT_EQ(prose.size(), n);
      EXPECT_EQ(randomBytes<std::string>(seed, n), std::string(random.begin(), random.end()));
      EXPECT_EQ(proseText<std::string>(seed, n), std::string(prose.begin(), prose.end()));
      EXPECT_GE(mixedUtf8(seed, n).size(), n);
      EXPECT_EQ(mixedUtf8(seed, n), mixedUtf8(seed, n));
    }
  }
}

}  // namespace
}  // namespace pagora::testing_support

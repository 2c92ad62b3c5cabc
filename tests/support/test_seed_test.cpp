// PAGORA_TEST_SEED: which values replay a run, and what a failure says to replay it.
#include "test_seed.h"

#include <gtest/gtest.h>

namespace pagora::testing_support {
namespace {

TEST(TestSeed, OnlyAPlainDecimalInRangeIsASeed) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> want;
  } cases[] = {
      {"0", 0u},
      {"42", 42u},
      {"4294967295", 4294967295u},
      {"007", 7u},
      {nullptr, std::nullopt},
      {"", std::nullopt},
      {"4294967296", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"0x10", std::nullopt},
      {"12abc", std::nullopt},
      {"1\n", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseTestSeed(c.text), c.want) << (c.text ? c.text : "(null)");
  }
}

TEST(TestSeed, OneSeedPerRunAndTheNoteReplaysIt) {
  const std::uint32_t seed = testSeed();
  EXPECT_EQ(testSeed(), seed);
  if (const auto given = parseTestSeed(std::getenv("PAGORA_TEST_SEED"))) {
    EXPECT_EQ(seed, *given);
  }
  EXPECT_EQ(seedNote(1251), "seed 1251 (replay with PAGORA_TEST_SEED=1251)");
}

}  // namespace
}  // namespace pagora::testing_support

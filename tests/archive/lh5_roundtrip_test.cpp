// "-lh5-", "-lh1-" and stored round trips of seeded data, with and without scrambling.
#include <gtest/gtest.h>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "crc16.h"
#include "test_seed.h"

namespace pagora {
namespace {

using namespace testing_support;

struct RoundTripCase {
  const char* name;
  int method;
  std::size_t size;
  bool prose;
  std::string password;
};

TEST(CoderRoundTrip, SeededDataThroughEveryMethod) {
  const RoundTripCase cases[] = {
      {"lh5 prose 1", 2, 1, true, ""},
      {"lh5 prose 100", 2, 100, true, ""},
      {"lh5 prose 7936", 2, 7936, true, ""},
      {"lh5 prose 8192", 2, 8192, true, ""},
      {"lh5 prose 8193", 2, 8193, true, ""},
      {"lh5 prose 70000", 2, 70000, true, ""},
      {"lh5 prose 300000", 2, 300000, true, ""},
      {"lh5 prose scrambled", 2, 50000, true, "secret"},
      {"lh5 random", 2, 20000, false, ""},
      {"lh1 prose 1", 1, 1, true, ""},
      {"lh1 prose 5000", 1, 5000, true, ""},
      {"lh1 prose 200000", 1, 200000, true, ""},
      {"lh1 prose scrambled", 1, 30000, true, "пароль"},
      {"lh1 random", 1, 10000, false, ""},
      {"lh0 random", 0, 20000, false, ""},
      {"lh0 scrambled", 0, 20000, true, "x"},
  };
  const std::uint32_t seed = testing_support::testSeed();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", " + testing_support::seedNote(seed));
    const Bytes data = c.prose ? proseText(seed, c.size) : randomBytes(seed, c.size);
    LzhCoderContext context;
    context.password = c.password;
    Coded coded;
    int method = c.method;
    try {
      coded = codeBytes(method, data, context);
    } catch (const EUnableToCompress&) {
      ASSERT_NE(method, 0) << "storing never gives up";
      method = 0;
      coded = codeBytes(method, data, context);
    }
    EXPECT_EQ(coded.crc, crc16(data.data(), data.size()));
    if (c.prose && c.method != 0 && c.size > 1000) {
      EXPECT_LT(coded.data.size(), data.size() / 2);
    }
    ExpandInput in{method,    coded.data,          static_cast<std::int64_t>(data.size()),
                   coded.crc, !c.password.empty(), false};
    EXPECT_EQ(expandBytes(in, context), data);
  }
}

}  // namespace
}  // namespace pagora

// Expanding a member: the password conditions, the check value (CRC-16, or the byte sum of
// Brisko archives), failure texts and what the output holds after a failure.
#include <gtest/gtest.h>

#include "archive/lzh_errors.h"
#include "coder_support.h"
#include "crc16.h"

namespace pagora {
namespace {

using namespace testing_support;

LzhCoderContext withPassword(const std::string& password) {
  LzhCoderContext context;
  context.password = password;
  return context;
}

template <typename E>
std::string failureOf(const ExpandInput& in, const LzhCoderContext& context, Bytes* written) {
  try {
    expandBytes(in, context, written);
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other failure: ") + e.what();
  }
  return "no failure";
}

TEST(Expand, PasswordAndCheckFailures) {
  const Bytes data = proseText(3, 20000);
  const std::uint16_t crc = crc16(data.data(), data.size());
  const Coded lh5Scrambled = codeBytes(2, data, withPassword("right"));
  const Coded lh0Scrambled = codeBytes(0, data, withPassword("right"));
  const Coded lh5Plain = codeBytes(2, data);
  const auto size = static_cast<std::int64_t>(data.size());

  // Named and referred to: copying the inputs into the table makes GCC 12 warn falsely
  // (-Wmaybe-uninitialized) at -O3.
  const ExpandInput scrambled5{2, lh5Scrambled.data, size, crc, true};
  const ExpandInput scrambled0{0, lh0Scrambled.data, size, crc, true};
  const ExpandInput plainBadCheck{2, lh5Plain.data, size, static_cast<std::uint16_t>(crc ^ 1)};
  const ExpandInput scrambledBadCheck{2, lh5Scrambled.data, size,
                                      static_cast<std::uint16_t>(crc ^ 1), true};
  struct Case {
    const char* name;
    const ExpandInput& in;
    std::string password;
    std::string text;
    bool nothingWritten;
  } cases[] = {
      {"scrambled, no password", scrambled5, "", "File is encrypted -- password required", true},
      {"stored scrambled, wrong password", scrambled0, "wrong",
       "Invalid password -- cannot decrypt file", false},
      {"lh5 scrambled, wrong password", scrambled5, "wrong",
       "Invalid password -- cannot decrypt file", false},
      {"plain, wrong check value", plainBadCheck, "",
       "Bad CRC during expansion -- data may be invalid", false},
      {"scrambled, right password, wrong check value", scrambledBadCheck, "right",
       "Invalid password -- cannot decrypt file", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes written;
    EXPECT_EQ(failureOf<Exception>(c.in, withPassword(c.password), &written), c.text);
    if (c.nothingWritten) {
      EXPECT_TRUE(written.empty());
    }
  }
  // The data of a failed check stays in the output for the caller to judge.
  Bytes written;
  failureOf<ELzhBadCRC>({2, lh5Plain.data, size, static_cast<std::uint16_t>(crc ^ 1)}, {},
                        &written);
  EXPECT_EQ(written, data);
}

TEST(Expand, RightPasswordAndUnscrambledMembers) {
  const Bytes data = proseText(4, 12345);
  const auto size = static_cast<std::int64_t>(data.size());
  for (int method : {0, 1, 2}) {
    SCOPED_TRACE(method);
    const Coded scrambled = codeBytes(method, data, withPassword("right"));
    EXPECT_EQ(
        expandBytes({method, scrambled.data, size, scrambled.crc, true}, withPassword("right")),
        data);
    // A member written without a password ignores the password given for expanding.
    const Coded plain = codeBytes(method, data);
    EXPECT_EQ(expandBytes({method, plain.data, size, plain.crc, false}, withPassword("any")), data);
  }
}

TEST(Expand, BriskoCheckIsTheByteSum) {
  const Bytes data = bytesOf("\xFF\xFF\x01 brisko");
  const auto size = static_cast<std::int64_t>(data.size());
  const Coded lh5 = codeBytes(2, Bytes(500, 0xFF));
  const auto sum500 = static_cast<std::uint16_t>(500 * 0xFF);

  EXPECT_EQ(expandBytes({0, data, size, 0x1234, false, true}), data);  // stored: never checked
  EXPECT_EQ(expandBytes({2, lh5.data, 500, sum500, false, true}), Bytes(500, 0xFF));
  EXPECT_EQ(failureOf<ELzhBadCRC>({2, lh5.data, 500, lh5.crc, false, true}, {}, nullptr),
            "Bad CRC during expansion -- data may be invalid");
}

TEST(Expand, RleExamples) {
  struct Case {
    Bytes in;
    Bytes out;
  } cases[] = {
      {{0x41, 0x94, 0x03}, {0x41, 0x41, 0x41}},
      {{0x94, 0x00}, {0x94}},
      {{0x41, 0x94, 0x01}, {0x41}},
      {{0x41, 0x94}, {0x41, 0x94}},                                // marker at the very end
      {{0x94, 0x04}, {0x00, 0x00, 0x00}},                          // the byte before starts as 0
      {{0x41, 0x94, 0x02, 0x94, 0x03}, {0x41, 0x41, 0x94, 0x94}},  // after a run: the marker
      {{}, {}},
  };
  for (const auto& c : cases) {
    std::uint16_t sum = 0;
    for (auto b : c.out) sum = static_cast<std::uint16_t>(sum + b);
    EXPECT_EQ(expandBytes({3, c.in, static_cast<std::int64_t>(c.out.size()), sum, false, true}),
              c.out);
  }
}

TEST(Expand, ProgressAndCancel) {
  const Bytes data = randomBytes(5, 20000);
  const std::uint16_t crc = crc16(data.data(), data.size());
  std::vector<int> calls;
  LzhCoderContext context;
  context.progress = [&](int percent, int&) { calls.push_back(percent); };
  EXPECT_EQ(expandBytes({0, data, 20000, crc}, context), data);
  EXPECT_EQ(calls, (std::vector<int>{0, 40, 81, 100, 100}));

  int call = 0;
  context.progress = [&](int, int& answer) {
    if (++call == 3) answer = -1;  // after the second chunk
  };
  const Coded coded = codeBytes(2, proseText(6, 200000));
  EXPECT_EQ(failureOf<ELzhOperationAborted>({2, coded.data, 200000, coded.crc}, context, nullptr),
            "Operation cancelled");
}

TEST(Expand, UnknownMethodIsRefused) {
  EXPECT_NE(failureOf<ELzhUnrecognizedCompressionMethod>({4, {}, 0, 0}, {}, nullptr), "no failure");
}

}  // namespace
}  // namespace pagora

// Byte pump: percentages, progress calls, cancel, the output limit, check values, scrambling
// and the password key.
#include <gtest/gtest.h>

#include "archive/lzh_errors.h"
#include "byte_pump.h"
#include "coder_support.h"
#include "crc16.h"
#include "scramble_key.h"

namespace pagora {
namespace {

using namespace testing_support;

TEST(PumpPercent, IntegerRule) {
  struct Case {
    std::int64_t a, b;
    int percent;
  } cases[] = {
      {0, 0, 100},
      {5, 0, 100},
      {0, 10, 0},
      {1, 3, 33},
      {2, 3, 66},
      {8192, 20000, 40},
      {100000, 100000, 100},
      {99999, 100000, 99},
      {50000, 100001, 50},
      {99999, 200000, 49},
      {150, 100001, 0},
      {4294967295LL, 4294967295LL, 100},
      {2147483647, 4294967295LL, 50},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lzhPercent(c.a, c.b), c.percent) << c.a << " of " << c.b;
  }
}

TEST(PumpKey, FromPassword) {
  struct Case {
    std::string password;
    std::uint32_t key;
  } cases[] = {
      {"", 0},
      {"a", 97},
      {"abc", 941094},
      {"\xFF\xFF\xFF\xFF\xFF", 167118079},  // wraps modulo 2^32
      {std::string("\0", 1), 418772093},    // product 0
      {"\x80\x80\x80\x80\x80", 418772093},  // 2^35: 0 modulo 2^32
      {"\x80\x80\x80\x80", 268435456u},     // 2^28 still fits
  };
  for (const auto& c : cases) EXPECT_EQ(scrambleKey(c.password), c.key) << c.password;
}

TEST(PumpScramble, KeyBytesCycleFromTheMemberStart) {
  Bytes data(6, 0);
  std::uint32_t index = 0;
  scrambleBytes(0x04030201, index, data.data(), 3);
  scrambleBytes(0x04030201, index, data.data() + 3, 3);
  EXPECT_EQ(data, (Bytes{1, 2, 3, 4, 1, 2}));
  EXPECT_EQ(index, 6u);
}

// A pump's ends in memory: input holds `input`, output gets what is written.
struct PumpRig {
  explicit PumpRig(const Bytes& input) : bytes(input), in(bytes) {}
  Bytes output() const { return out.bytes(); }
  Bytes bytes;
  MemorySource in;
  MemorySink out;
};

TEST(PumpOutput, LimitRaisesOnTheFirstByteBeyond) {
  PumpRig rig({});
  BytePump pump(rig.in, 0, rig.out, 3, 0, false, false, {}, nullptr);
  pump.start();
  pump.putc('a');
  pump.write(reinterpret_cast<const std::uint8_t*>("bc"), 2);
  try {
    pump.putc('d');
    ADD_FAILURE() << "fourth byte accepted";
  } catch (const EUnableToCompress& e) {
    EXPECT_STREQ(e.what(), "Could not compress data, will store instead");
  }
  pump.flush();
  EXPECT_EQ(rig.output(), bytesOf("abc"));
  EXPECT_EQ(pump.bytesWritten(), 3);
}

TEST(PumpOutput, ScramblesAndChecksWhatItStores) {
  PumpRig rig({});
  BytePump pump(rig.in, 0, rig.out, 100, 0x04030201, true, false, {}, nullptr);
  pump.start();
  const Bytes zeros(5, 0);
  pump.write(zeros.data(), zeros.size());
  pump.finish();
  const Bytes stored = {1, 2, 3, 4, 1};
  EXPECT_EQ(rig.output(), stored);
  EXPECT_EQ(pump.crcOut(), crc16(stored.data(), stored.size()));
  EXPECT_EQ(pump.byteSum(), 11u);
}

TEST(PumpInput, UnscramblesAfterTheCheckAndEndsWithZeros) {
  const Bytes raw = {0x41 ^ 1, 0x42 ^ 2, 0x43 ^ 3};
  PumpRig rig(raw);
  BytePump pump(rig.in, 3, rig.out, 100, 0x04030201, false, true, {}, nullptr);
  pump.start();
  EXPECT_EQ(pump.getc(), 0x41);
  EXPECT_EQ(pump.getc(), 0x42);
  EXPECT_EQ(pump.getc(), 0x43);
  EXPECT_FALSE(pump.atEnd());
  EXPECT_EQ(pump.getc(), 0);
  EXPECT_TRUE(pump.atEnd());
  EXPECT_EQ(pump.crcIn(), crc16(raw.data(), raw.size()));  // of the bytes as read
}

TEST(PumpInput, ReadsOnlyTheBytesItWasGiven) {
  PumpRig rig(bytesOf("abcdef"));
  BytePump pump(rig.in, 4, rig.out, 100, 0, false, false, {}, nullptr);
  pump.start();
  std::uint8_t got[10];
  EXPECT_EQ(pump.read(got, sizeof got), 4u);
  EXPECT_EQ(rig.in.position(), 4u);
  EXPECT_EQ(pump.read(got, sizeof got), 0u);
  EXPECT_TRUE(pump.atEnd());
}

TEST(PumpProgress, CalledAtStartAfterEachChunkAndAtTheEnd) {
  struct Case {
    std::size_t size;
    std::vector<int> calls;
  } cases[] = {
      {0, {0, 100}},
      {100, {0, 100, 100}},
      {20000, {0, 40, 81, 100, 100}},
      {8192, {0, 100, 100}},
  };
  for (const auto& c : cases) {
    std::vector<int> calls;
    LzhCoderContext context;
    context.progress = [&](int percent, int&) { calls.push_back(percent); };
    codeBytes(0, randomBytes(1, c.size), context);
    EXPECT_EQ(calls, c.calls) << c.size << " bytes";
  }
}

TEST(PumpCancel, ByAnswerOrFlagAtAChunkBoundary) {
  struct Case {
    const char* name;
    int cancelAtCall;                 // answer -1 at this call (0-based), or -1 for never
    int flagAtCall;                   // set the abort flag during this call, or -1
    std::int64_t bytesWrittenBefore;  // what reached the archive before the cancel
  } cases[] = {
      {"answer at 0 %", 0, -1, 0},
      {"answer after the first chunk", 1, -1, 0},
      {"answer after the second chunk", 2, -1, 8192},  // only the first chunk came through
      {"flag during the first chunk call", -1, 1, 0},
      {"flag during the 0 % call", -1, 0, 0},
      {"answer at 100 %", 4, -1, 20000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<bool> abort{false};
    int call = 0;
    LzhCoderContext context;
    context.abortFlag = &abort;
    context.progress = [&](int, int& answer) {
      if (call == c.cancelAtCall) answer = -1;
      if (call == c.flagAtCall) abort = true;
      ++call;
    };
    const Bytes input = randomBytes(2, 20000);
    MemorySource source(input);
    MemorySink archive;
    TLzhCoderState state;
    try {
      codeMember(state, source, archive, 20000, 0, context);
      ADD_FAILURE() << "not cancelled";
    } catch (const ELzhOperationAborted& e) {
      EXPECT_STREQ(e.what(), "Operation cancelled");
    }
    EXPECT_EQ(static_cast<std::int64_t>(archive.bytes().size()), c.bytesWrittenBefore);
    EXPECT_TRUE(state.idle());
  }
}

}  // namespace
}  // namespace pagora

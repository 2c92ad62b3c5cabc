// Byte sources and sinks in memory at their edges: reads cut short by the end, empty data,
// empty writes, and a pump asked for more than its source holds.
#include "byte_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "byte_pump.h"
#include "coder_support.h"
#include "crc16.h"

namespace pagora {
namespace {

using namespace testing_support;

TEST(MemorySource, ReadsInOrderAndFewerOnlyAtTheEnd) {
  struct Case {
    const char* name;
    std::size_t size;
    std::vector<std::size_t> asks;
    std::vector<std::size_t> gets;
  } cases[] = {
      {"empty", 0, {1, 8192, 0}, {0, 0, 0}},
      {"one read takes it all", 5, {5, 1}, {5, 0}},
      {"a read past the end is short", 5, {3, 3, 3}, {3, 2, 0}},
      {"reads of nothing", 5, {0, 5, 0}, {0, 5, 0}},
      {"larger than a pump chunk", 20000, {8192, 8192, 8192, 8192}, {8192, 8192, 3616, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes data = randomBytes(3, c.size);
    MemorySource source(data);
    Bytes got;
    std::size_t at = 0;
    for (std::size_t i = 0; i < c.asks.size(); ++i) {
      Bytes buffer(c.asks[i] + 1, 0xAA);
      EXPECT_EQ(source.read(buffer.data(), c.asks[i]), c.gets[i]) << "read " << i;
      EXPECT_EQ(buffer.back(), 0xAA) << "read " << i << " wrote past what it was asked for";
      got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<long>(c.gets[i]));
      at += c.gets[i];
      EXPECT_EQ(source.position(), at);
    }
    EXPECT_EQ(got, data);
  }
}

TEST(MemorySource, NoMemoryAtAllIsAnEmptySource) {
  MemorySource source(nullptr, 0);
  std::uint8_t byte = 7;
  EXPECT_EQ(source.read(&byte, 1), 0u);
  EXPECT_EQ(byte, 7);
  EXPECT_EQ(source.position(), 0u);
}

TEST(MemorySink, KeepsEveryWriteInOrder) {
  MemorySink sink;
  sink.write(nullptr, 0);
  EXPECT_TRUE(sink.bytes().empty());
  sink.write("ab", 2);
  sink.write("", 0);
  sink.write("cde", 3);
  EXPECT_EQ(sink.bytes(), bytesOf("abcde"));
  sink.clear();
  sink.write("x", 1);
  EXPECT_EQ(sink.bytes(), bytesOf("x"));

  DiscardSink discard;
  discard.write("abc", 3);
  discard.write(nullptr, 0);
  EXPECT_EQ(discard.count(), 3);
}

// The pump trusts the byte count it is given, not the source: a source that ends early ends
// the input there, with the count and the check value of what was really read.
TEST(MemorySource, APumpAskingForMoreEndsWhereTheDataEnds) {
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 20000u}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    const Bytes data = randomBytes(4, size);
    MemorySource source(data);
    MemorySink sink;
    BytePump pump(source, static_cast<std::int64_t>(size) + 100, sink, 1 << 20, 0, false, false, {},
                  nullptr);
    pump.start();
    pump.copyRest();
    pump.finish();
    EXPECT_TRUE(pump.atEnd());
    EXPECT_EQ(pump.bytesRead(), static_cast<std::int64_t>(size));
    EXPECT_EQ(sink.bytes(), data);
    EXPECT_EQ(pump.crcIn(), crc16(data.data(), data.size()));
  }
}

}  // namespace
}  // namespace pagora

// CRC-16 (ARC family) check values.
#include <gtest/gtest.h>

#include <string>

#include "crc16.h"

namespace pagora {
namespace {

TEST(Crc16, KnownValues) {
  struct Case {
    std::string data;
    std::uint16_t crc;
  } cases[] = {
      {"", 0x0000},
      {"123456789", 0xBB3D},
      {"A", 0x30C0},
      {std::string(1, '\0'), 0x0000},
      {std::string("\xFF", 1), 0x4040},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(crc16(c.data.data(), c.data.size()), c.crc)
        << "data of " << c.data.size() << " bytes";
  }
}

TEST(Crc16, ContinuesAcrossPieces) {
  const std::string data = "123456789";
  std::uint16_t crc = crc16(data.data(), 4);
  crc = crc16(data.data() + 4, 5, crc);
  EXPECT_EQ(crc, 0xBB3D);
  std::uint16_t byByte = 0;
  for (char ch : data) byByte = crc16Update(byByte, static_cast<std::uint8_t>(ch));
  EXPECT_EQ(byByte, 0xBB3D);
}

TEST(Crc16, BulkEqualsByteByByteAtEveryLengthAndOffset) {
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(i * 37 + (i >> 3)));
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t n = 0; n + offset <= data.size(); n += 7) {
      std::uint16_t slow = 0x1234;
      for (std::size_t i = 0; i < n; ++i) {
        slow = crc16Update(slow, static_cast<std::uint8_t>(data[offset + i]));
      }
      EXPECT_EQ(crc16(data.data() + offset, n, 0x1234), slow) << n << " bytes at " << offset;
    }
  }
}

TEST(Crc16, TableEntries) {
  EXPECT_EQ(kCrc16Table[0], 0x0000);
  EXPECT_EQ(kCrc16Table[1], 0xC0C1);
  EXPECT_EQ(kCrc16Table[0x80], 0xA001);
  EXPECT_EQ(kCrc16Table[0xFF], 0x4040);
}

}  // namespace
}  // namespace pagora

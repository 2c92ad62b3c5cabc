// CRC-16 of the ARC family: the table and the bulk update.
#include "archive/crc16.h"

namespace pagora {

namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

}  // namespace

const std::array<std::uint16_t, 256> kCrc16Table = makeTable();

std::uint16_t crc16(const void* data, std::size_t n, std::uint16_t crc) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < n; ++i) crc = crc16Update(crc, p[i]);
  return crc;
}

}  // namespace pagora

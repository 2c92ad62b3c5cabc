// CRC-16 of the ARC family: the table and the bulk update.
#include "crc16.h"

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

namespace {

// slices[k][x]: the CRC of byte x followed by k zero bytes, so that sixteen bytes can be taken
// at once with the same result as sixteen single steps.
struct Slices {
  std::uint16_t t[16][256];
  Slices() {
    for (int i = 0; i < 256; ++i) t[0][i] = kCrc16Table[i];
    for (int k = 1; k < 16; ++k) {
      for (int i = 0; i < 256; ++i) {
        t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
      }
    }
  }
};

const Slices& slices() {
  static const Slices s;
  return s;
}

}  // namespace

std::uint16_t crc16(const void* data, std::size_t n, std::uint16_t crc) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (n >= 32) {
    const auto& t = slices().t;
    while (n >= 16) {
      const unsigned b0 = p[0] ^ (crc & 0xFF);
      const unsigned b1 = p[1] ^ (crc >> 8);
      crc = static_cast<std::uint16_t>(t[15][b0] ^ t[14][b1] ^ t[13][p[2]] ^ t[12][p[3]] ^
                                       t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^
                                       t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^
                                       t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]]);
      p += 16;
      n -= 16;
    }
  }
  for (std::size_t i = 0; i < n; ++i) crc = crc16Update(crc, p[i]);
  return crc;
}

}  // namespace pagora

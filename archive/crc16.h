// CRC-16 of the ARC family (reflected polynomial 0xA001, initial value 0, no final XOR),
// the check value of LZH member data. Table-driven, one byte at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pagora {

// table[i] is the CRC of the single byte i; crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8).
extern const std::array<std::uint16_t, 256> kCrc16Table;

inline std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) {
  return static_cast<std::uint16_t>(kCrc16Table[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

// Continues crc over n bytes of data (start with 0 for a fresh check value).
std::uint16_t crc16(const void* data, std::size_t n, std::uint16_t crc = 0);

}  // namespace pagora

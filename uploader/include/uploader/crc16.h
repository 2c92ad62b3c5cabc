// The two block trailers: CRC-16/XMODEM and the 8-bit sum.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// Polynomial 0x1021, initial value 0, most significant bit first, no final inversion.
std::uint16_t crc16Xmodem(const std::uint8_t* data, std::size_t n);
std::uint8_t checksum8(const std::uint8_t* data, std::size_t n);

}  // namespace corvane

// The member-scrambling key derived from a password, and the scrambling itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pagora {

// Key used when the password's byte product is 0 modulo 2^32 (0 would mean "not scrambled").
inline constexpr std::uint32_t kZeroProductKey = 418772093u;

// Empty password: 0 (no scrambling). Otherwise the product, modulo 2^32, of the byte codes
// (0-255) of every character, with a product of 0 replaced by kZeroProductKey.
std::uint32_t scrambleKey(std::string_view password);

// XORs data with the key's little-endian bytes, byte n of a member with key byte n mod 4;
// index is the member-relative number of data[0] and is advanced past the block.
void scrambleBytes(std::uint32_t key, std::uint32_t& index, std::uint8_t* data, std::size_t n);

}  // namespace pagora

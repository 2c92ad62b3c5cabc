// The scrambling key of a password and the XOR scrambling of member data.
#include "scramble_key.h"

namespace pagora {

std::uint32_t scrambleKey(std::string_view password) {
  if (password.empty()) return 0;
  std::uint32_t key = 1;
  for (char ch : password) key *= static_cast<std::uint8_t>(ch);
  // A zero key would read as "no password", so such passwords get a fixed non-zero key.
  return key == 0 ? kZeroProductKey : key;
}

void scrambleBytes(std::uint32_t key, std::uint32_t& index, std::uint8_t* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i, ++index) {
    data[i] ^= static_cast<std::uint8_t>(key >> (8 * (index & 3)));
  }
}

}  // namespace pagora

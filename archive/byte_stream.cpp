// Byte sources and sinks in memory.
#include "byte_stream.h"

#include <algorithm>
#include <cstring>

namespace pagora {

std::size_t MemorySource::read(void* buffer, std::size_t n) {
  const std::size_t take = std::min(n, size_ - position_);
  // An empty source may have no memory at all: memcpy is not to see a null pointer.
  if (take == 0) return 0;
  std::memcpy(buffer, data_ + position_, take);
  position_ += take;
  return take;
}

void MemorySink::write(const void* buffer, std::size_t n) {
  if (n == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  bytes_.insert(bytes_.end(), bytes, bytes + n);
}

}  // namespace pagora

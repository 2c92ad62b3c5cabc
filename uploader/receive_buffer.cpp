// The receive buffer's bookkeeping.
#include "uploader/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace corvane {

void ReceiveBuffer::commit(std::size_t n) {
  count_ = std::min(kCapacity, count_ + n);
  bytes_[count_] = 0;
}

void ReceiveBuffer::append(std::string_view bytes) {
  const std::size_t n = std::min(bytes.size(), room());
  std::memcpy(tail(), bytes.data(), n);
  commit(n);
}

std::string_view ReceiveBuffer::text() const {
  const char* begin = reinterpret_cast<const char*>(bytes_.data());
  return std::string_view(begin, std::strlen(begin));
}

void ReceiveBuffer::clear() {
  count_ = 0;
  bytes_[0] = 0;
}

void ReceiveBuffer::keepFrom(std::size_t from) {
  if (from >= count_) {
    clear();
    return;
  }
  std::memmove(bytes_.data(), bytes_.data() + from, count_ - from);
  count_ -= from;
  bytes_[count_] = 0;
}

void ReceiveBuffer::setSingleByte(std::uint8_t byte) {
  bytes_[0] = byte;
  count_ = 1;
  bytes_[1] = 0;
}

bool ReceiveBuffer::hasDoubleCancel() const {
  for (std::size_t i = 1; i < count_; ++i) {
    if (bytes_[i - 1] == 0x18 && bytes_[i] == 0x18) return true;
  }
  return false;
}

}  // namespace corvane

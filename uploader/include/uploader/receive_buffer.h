// What Corvane has received from the handheld since the buffer was last cleared: 1000 bytes at
// most, always followed by a zero byte so that it also reads as a zero-terminated text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

class ReceiveBuffer {
 public:
  static constexpr std::size_t kCapacity = 1000;

  std::size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::size_t room() const { return kCapacity - count_; }
  const std::uint8_t* data() const { return bytes_.data(); }
  // The last byte received (by count, so a zero byte is seen too); only when not empty.
  std::uint8_t last() const { return bytes_[count_ - 1]; }

  // Where the next bytes go; commit() then takes n of them in and re-terminates.
  std::uint8_t* tail() { return bytes_.data() + count_; }
  void commit(std::size_t n);
  void append(std::string_view bytes);

  // The buffer as a zero-terminated text: it ends at the first zero byte, which hides what
  // came after it from the protocol's text searches.
  std::string_view text() const;

  void clear();
  // Keeps only the bytes from position from on (dropping a consumed reply and all before it).
  void keepFrom(std::size_t from);
  void setSingleByte(std::uint8_t byte);

  // Whether two CAN bytes follow each other anywhere among the bytes held: how receivers that
  // follow the common batch conventions cancel (several CANs, then backspaces to erase them).
  bool hasDoubleCancel() const;

 private:
  std::array<std::uint8_t, kCapacity + 1> bytes_{};
  std::size_t count_ = 0;
};

}  // namespace corvane

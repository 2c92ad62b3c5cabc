// MSB-first bit reading from the byte pump for the decoders: a 64-bit window refilled a word at
// a time (a byte at a time near the end of a buffer), reading 0 bits once the member's data
// has ended. A valid stream never needs more
// than a few bits past its end, so a decoder that has used up kSlackBytes of those zeros is
// reading a damaged member and is stopped before it writes the rest of a forged size.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/lzh_errors.h"
#include "byte_pump.h"

namespace pagora {

static_assert(std::endian::native == std::endian::little, "the refill reads little-endian words");

class BitReader {
 public:
  static constexpr int kSlackBytes = 16;

  explicit BitReader(BytePump& pump) : pump_(pump) {}

  // Makes at least 56 bits available (at most 63 while the data lasts).
  void refill() {
    if (end_ - in_ >= 8) {
      Window w = window();
      w.refillAll();
      setWindow(w);
      return;
    }
    while (count_ < 56) {
      if (in_ == end_ && (ended_ || !fetch())) {
        // Past the end every bit is 0: the window just counts as full.
        ended_ = true;
        if (bitsPastEnd() > kSlackBytes * 8) throwDataEnded();
        zeroBits_ += 64 - count_;
        count_ = 64;
        return;
      }
      bits_ |= static_cast<std::uint64_t>(*in_++) << (56 - count_);
      count_ += 8;
    }
  }
  // The reader's state as a plain value, for a decoder's inner loop to keep in registers; it
  // is handed back with setWindow() before anything else of the reader is used.
  struct Window {
    std::uint64_t bits;
    int count;
    const std::uint8_t* in;
    const std::uint8_t* end;

    // Tops the window up to 56-63 bits from the buffer without a branch; needs 8 bytes left
    // in the buffer and count <= 63. The bits below the new count hold the start of the next
    // byte, and whichever refill comes next ORs that same byte in at that same place.
    void refillAll() {
      std::uint64_t v;
      std::memcpy(&v, in, 8);
      bits |= __builtin_bswap64(v) >> count;
      in += (63 - count) >> 3;
      count |= 56;
    }
    bool bufferHasWord() const { return end - in >= 8; }
    unsigned peek16() const { return static_cast<unsigned>(bits >> 48); }
    void consume(int n) {
      bits <<= n;
      count -= n;
    }
    unsigned take(int n) {
      if (n == 0) return 0;
      const unsigned v = static_cast<unsigned>(bits >> (64 - n));
      consume(n);
      return v;
    }
  };
  Window window() const { return {bits_, count_, in_, end_}; }
  void setWindow(const Window& w) {
    bits_ = w.bits;
    count_ = w.count;
    in_ = w.in;
    end_ = w.end;
  }

  // The next 16 bits without consuming them (needs 16 available).
  unsigned peek16() const { return static_cast<unsigned>(bits_ >> 48); }
  void consume(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  // Takes n bits (n <= 16; needs n available).
  unsigned take(int n) {
    if (n == 0) return 0;
    const unsigned v = static_cast<unsigned>(bits_ >> (64 - n));
    consume(n);
    return v;
  }
  // Takes n bits, refilling first (n <= 16).
  unsigned get(int n) {
    if (count_ < n) refill();
    return take(n);
  }
  int available() const { return count_; }
  // Bits taken beyond the end of the member's data (the zeros read past it).
  int bitsPastEnd() const { return zeroBits_ > count_ ? zeroBits_ - count_ : 0; }

  [[noreturn]] static void throwDataEnded() {
    throw ELzhBadCRC("Bad CRC during expansion -- data may be invalid");
  }

 private:
  bool fetch() {
    const std::size_t got = pump_.read(buffer_, sizeof buffer_);
    in_ = buffer_;
    end_ = buffer_ + got;
    return got > 0;
  }

  BytePump& pump_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
  bool ended_ = false;
  int zeroBits_ = 0;  // zero bits put into the window after the end
  std::uint8_t buffer_[8192];
  const std::uint8_t* in_ = buffer_;
  const std::uint8_t* end_ = buffer_;
};

}  // namespace pagora

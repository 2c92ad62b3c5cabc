// The byte pump shared by every coder: buffered 8 KB input with CRC-16, progress and cancel,
// buffered 8 KB output with a size limit, CRC-16, byte sum and scrambling.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "byte_stream.h"
#include "crc16.h"

namespace pagora {

// OnShowProgress: called with the percentage done; `answer` starts equal to it, and a handler
// that sets it to -1 cancels the operation ("Operation cancelled").
using LzhProgressHandler = std::function<void(int percent, int& answer)>;

// Percentage of a in b without overflow: 100 when b is 0, a*100/b up to b = 100000, and
// a/(b/100) beyond (integer division throughout).
int lzhPercent(std::int64_t a, std::int64_t b);

// Output limit of expansion. The classic limit of 2147483647 would make a member of 2 GiB or
// more fail halfway with a compression message, so expansion runs without any limit.
inline constexpr std::int64_t kLzhNoOutputLimit = INT64_MAX;

class BytePump {
 public:
  static constexpr std::size_t kChunk = 8192;

  // input: read from its current position, exactly bytesToRead bytes at most; output: written
  // at its current position, at most outputLimit bytes (EUnableToCompress beyond). key 0 turns
  // both scrambling flags off. abortFlag may be null.
  BytePump(ByteSource& input, std::int64_t bytesToRead, ByteSink& output, std::int64_t outputLimit,
           std::uint32_t key, bool scrambleOutput, bool unscrambleInput,
           LzhProgressHandler progress, const std::atomic<bool>* abortFlag);
  BytePump(const BytePump&) = delete;
  BytePump& operator=(const BytePump&) = delete;

  // Reports 0 % (a -1 answer raises ELzhOperationAborted) and resets counts and CRCs.
  void start();

  // Expansion never looks at crcIn(); it may spare the pump computing it.
  void setInputCrc(bool on) { inputCrc_ = on; }
  // Only Brisko archives check the byte sum of the output; others may spare the pump it.
  void setByteSum(bool on) { byteSumOn_ = on; }

  // Next input byte (CRC-16 of the raw byte, then unscrambled). At the end of the input it
  // returns 0 and atEnd() becomes true.
  int getc() {
    if (inPos_ == inLen_) {
      if (!refill()) return 0;
    }
    std::uint8_t b = inBuf_[inPos_++];
    if (inputCrc_) crcIn_ = crc16Update(crcIn_, b);
    if (unscrambleInput_) b ^= keyBytes_[keyIndex_++ & 3];
    return b;
  }
  bool atEnd() const { return atEnd_; }

  // Up to n input bytes as getc would give them, fewer only at the end of the input.
  std::size_t read(std::uint8_t* data, std::size_t n);

  // Writes one byte; raises EUnableToCompress once the output limit is used up.
  void putc(std::uint8_t b) {
    if (limit_ <= 0) throwUnableToCompress();
    --limit_;
    if (outLen_ == kChunk) drain();
    if (scrambleOutput_) b ^= keyBytes_[keyIndex_++ & 3];
    outBuf_[outLen_++] = b;
    crcOut_ = crc16Update(crcOut_, b);
    if (byteSumOn_) byteSum_ += b;
    ++written_;
  }
  // Writes n bytes as n putc calls would.
  void write(const std::uint8_t* data, std::size_t n);
  // Copies the rest of the input to the output unchanged (the stored method).
  void copyRest();

  // Writes what is left in the output buffer.
  void flush();
  // flush(), then reports 100 % (a -1 answer raises ELzhOperationAborted).
  void finish();

  std::uint16_t crcIn() const { return crcIn_; }
  std::uint16_t crcOut() const { return crcOut_; }
  std::uint32_t byteSum() const { return byteSum_; }
  std::int64_t bytesWritten() const { return written_; }
  std::int64_t bytesRead() const { return readSoFar_; }

 private:
  bool refill();
  void drain();
  void report(int percent);
  [[noreturn]] static void throwUnableToCompress();

  ByteSource& input_;
  ByteSink& output_;
  std::int64_t toRead_;
  std::int64_t limit_;
  std::int64_t limitAtStart_;
  std::int64_t readSoFar_ = 0;
  std::int64_t written_ = 0;
  std::size_t chunk_ = kChunk;
  std::unique_ptr<std::uint8_t[]> inBuf_;
  std::unique_ptr<std::uint8_t[]> outBuf_;
  std::size_t inPos_ = 0;
  std::size_t inLen_ = 0;
  std::size_t outLen_ = 0;
  bool atEnd_ = false;
  std::uint16_t crcIn_ = 0;
  std::uint16_t crcOut_ = 0;
  std::uint32_t byteSum_ = 0;
  std::uint8_t keyBytes_[4];
  std::uint32_t keyIndex_ = 0;
  bool scrambleOutput_;
  bool unscrambleInput_;
  bool inputCrc_ = true;
  bool byteSumOn_ = true;
  LzhProgressHandler progress_;
  const std::atomic<bool>* abortFlag_;
};

}  // namespace pagora

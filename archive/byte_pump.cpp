// The byte pump: chunked reading with progress and cancel, limited buffered writing.
#include "byte_pump.h"

#include <algorithm>
#include <cstring>

#include "archive/lzh_errors.h"

namespace pagora {

namespace {

std::uint32_t sumOf(const std::uint8_t* data, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i];
  return sum;
}

}  // namespace

int lzhPercent(std::int64_t a, std::int64_t b) {
  if (b == 0) return 100;
  if (b <= 100000) return static_cast<int>(a * 100 / b);
  return static_cast<int>(a / (b / 100));
}

BytePump::BytePump(ByteSource& input, std::int64_t bytesToRead, ByteSink& output,
                   std::int64_t outputLimit, std::uint32_t key, bool scrambleOutput,
                   bool unscrambleInput, LzhProgressHandler progress,
                   const std::atomic<bool>* abortFlag)
    : input_(input),
      output_(output),
      toRead_(bytesToRead),
      limit_(outputLimit),
      limitAtStart_(outputLimit),
      inBuf_(new std::uint8_t[kChunk]),
      outBuf_(new std::uint8_t[kChunk]),
      scrambleOutput_(scrambleOutput && key != 0),
      unscrambleInput_(unscrambleInput && key != 0),
      progress_(std::move(progress)),
      abortFlag_(abortFlag) {
  for (int i = 0; i < 4; ++i) keyBytes_[i] = static_cast<std::uint8_t>(key >> (8 * i));
}

void BytePump::report(int percent) {
  int answer = percent;
  if (progress_) progress_(percent, answer);
  if (answer == -1) throw ELzhOperationAborted("Operation cancelled");
}

void BytePump::start() {
  report(0);
  crcIn_ = crcOut_ = 0;
  byteSum_ = 0;
  readSoFar_ = written_ = 0;
  inPos_ = inLen_ = outLen_ = 0;
  atEnd_ = false;
  chunk_ = kChunk;
  limit_ = limitAtStart_;
  keyIndex_ = 0;
}

bool BytePump::refill() {
  atEnd_ = true;
  if (toRead_ <= 0) return false;
  chunk_ =
      static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(chunk_), toRead_));
  const std::size_t got = input_.read(inBuf_.get(), chunk_);
  if (got == 0) return false;
  toRead_ -= static_cast<std::int64_t>(got);
  readSoFar_ += static_cast<std::int64_t>(got);
  int answer = 0;
  if (progress_) {
    answer = lzhPercent(readSoFar_, readSoFar_ + toRead_);
    progress_(answer, answer);
  }
  if ((abortFlag_ && abortFlag_->load()) || answer == -1) {
    throw ELzhOperationAborted("Operation cancelled");
  }
  // No time-slice yield here: the host keeps its interface alive from the progress event,
  // and on a busy machine each yield hands the processor away for a whole slice.
  atEnd_ = false;
  inPos_ = 0;
  inLen_ = got;
  return true;
}

void BytePump::copyRest() {
  std::uint8_t chunk[kChunk];
  for (;;) {
    const std::size_t got = read(chunk, sizeof chunk);
    if (got == 0) break;
    write(chunk, got);
  }
}

std::size_t BytePump::read(std::uint8_t* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    if (inPos_ == inLen_ && !refill()) break;
    const std::size_t take = std::min(n - done, inLen_ - inPos_);
    const std::uint8_t* src = inBuf_.get() + inPos_;
    if (inputCrc_) crcIn_ = crc16(src, take, crcIn_);
    std::memcpy(data + done, src, take);
    if (unscrambleInput_) {
      for (std::size_t i = 0; i < take; ++i) data[done + i] ^= keyBytes_[keyIndex_++ & 3];
    }
    inPos_ += take;
    done += take;
  }
  return done;
}

void BytePump::drain() {
  output_.write(outBuf_.get(), outLen_);
  outLen_ = 0;
}

void BytePump::write(const std::uint8_t* data, std::size_t n) {
  // Whole chunks that need no scrambling go to the stream straight from the caller's memory,
  // with the same checks and counts as a buffered chunk.
  while (outLen_ == 0 && !scrambleOutput_ && n >= kChunk &&
         limit_ >= static_cast<std::int64_t>(kChunk)) {
    crcOut_ = crc16(data, kChunk, crcOut_);
    if (byteSumOn_) byteSum_ += sumOf(data, kChunk);
    limit_ -= static_cast<std::int64_t>(kChunk);
    written_ += static_cast<std::int64_t>(kChunk);
    output_.write(data, kChunk);
    data += kChunk;
    n -= kChunk;
  }
  while (n > 0) {
    if (limit_ <= 0) throwUnableToCompress();
    if (outLen_ == kChunk) drain();
    std::size_t take = std::min(n, kChunk - outLen_);
    take =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(take), limit_));
    std::uint8_t* dst = outBuf_.get() + outLen_;
    std::memcpy(dst, data, take);
    if (scrambleOutput_) {
      for (std::size_t i = 0; i < take; ++i) dst[i] ^= keyBytes_[keyIndex_++ & 3];
    }
    crcOut_ = crc16(dst, take, crcOut_);
    if (byteSumOn_) byteSum_ += sumOf(dst, take);
    limit_ -= static_cast<std::int64_t>(take);
    written_ += static_cast<std::int64_t>(take);
    outLen_ += take;
    data += take;
    n -= take;
  }
}

void BytePump::flush() {
  if (outLen_ > 0) {
    output_.write(outBuf_.get(), outLen_);
    outLen_ = 0;
  }
}

void BytePump::finish() {
  flush();
  report(100);
}

void BytePump::throwUnableToCompress() {
  throw EUnableToCompress("Could not compress data, will store instead");
}

}  // namespace pagora

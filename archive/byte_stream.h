// Where the coders read their input and write their output: a file (FileStream) or memory. The
// byte pump moves data through these in blocks of kilobytes, so a virtual call per block costs
// nothing next to the coding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pagora {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes; fewer only at the end of the data. A failure raises.
  virtual std::size_t read(void* buffer, std::size_t n) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all n bytes or raises.
  virtual void write(const void* buffer, std::size_t n) = 0;
};

// Bytes in memory, read from the first on. The memory stays the caller's and must outlive the
// source.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  explicit MemorySource(const std::vector<std::uint8_t>& bytes)
      : MemorySource(bytes.data(), bytes.size()) {}

  std::size_t read(void* buffer, std::size_t n) override;
  // How many bytes were read so far.
  std::size_t position() const { return position_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Keeps everything written to it.
class MemorySink final : public ByteSink {
 public:
  void write(const void* buffer, std::size_t n) override;
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  void clear() { bytes_.clear(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Counts what is written to it and keeps nothing: a member tested, not saved.
class DiscardSink final : public ByteSink {
 public:
  void write(const void*, std::size_t n) override { count_ += static_cast<std::int64_t>(n); }
  std::int64_t count() const { return count_; }

 private:
  std::int64_t count_ = 0;
};

}  // namespace pagora

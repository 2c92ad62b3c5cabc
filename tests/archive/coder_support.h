// Helpers of the coder tests: a private temporary folder, and coding or expanding byte strings
// through real files with the member entry points.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/file_stream.h"
#include "archive/member_coder.h"

namespace pagora::testing_support {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A folder of its own under the test temp dir, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> serial{0};
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("coders-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Coded {
  Bytes data;
  std::uint16_t crc = 0;
};

// Codes data with the method (0 lh0, 1 lh1, 2 lh5); EUnableToCompress passes through.
inline Coded codeBytes(int method, const Bytes& data, const LzhCoderContext& context = {}) {
  TempFolder folder;
  writeFile(folder.file("in"), data);
  TLzhCoderState state;
  Coded coded;
  {
    FileStream source(folder.file("in"), FileStream::Mode::Read);
    FileStream archive(folder.file("out"), FileStream::Mode::Create);
    const LzhCodeResult result = codeMember(state, source, archive,
                                            static_cast<std::int64_t>(data.size()), method, context);
    coded.crc = result.crc;
    EXPECT_EQ(result.compressedSize, archive.size());
    archive.close();
  }
  coded.data = readFile(folder.file("out"));
  EXPECT_TRUE(state.idle());
  return coded;
}

struct ExpandInput {
  int method = 2;
  Bytes coded;
  std::int64_t originalSize = 0;
  std::uint16_t check = 0;
  bool scrambled = false;
  bool brisko = false;
};

// Expands and returns what was written to the output file, also when the expansion raised
// (the exception is rethrown after `written` is filled).
inline Bytes expandBytes(const ExpandInput& in, const LzhCoderContext& context = {},
                         Bytes* written = nullptr) {
  TempFolder folder;
  // Bytes after the member must never be read: put a trap there.
  Bytes archiveBytes = in.coded;
  archiveBytes.insert(archiveBytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  writeFile(folder.file("archive"), archiveBytes);
  TLzhCoderState state;
  Bytes result;
  try {
    FileStream archive(folder.file("archive"), FileStream::Mode::Read);
    FileStream output(folder.file("out"), FileStream::Mode::Create);
    LzhExpandRequest request;
    request.output = &output;
    request.archive = &archive;
    request.scrambled = in.scrambled;
    request.method = in.method;
    request.expectedCheck = in.check;
    request.originalSize = in.originalSize;
    request.compressedSize = static_cast<std::int64_t>(in.coded.size());
    request.brisko = in.brisko;
    expandMember(state, request, context);
    EXPECT_EQ(archive.position(), static_cast<std::int64_t>(in.coded.size()));
  } catch (...) {
    if (written) *written = readFile(folder.file("out"));
    EXPECT_TRUE(state.idle());
    throw;
  }
  EXPECT_TRUE(state.idle());
  result = readFile(folder.file("out"));
  if (written) *written = result;
  return result;
}

// Text-like data: words from a small vocabulary, so that it compresses like prose.
inline Bytes proseBytes(std::size_t n, std::uint32_t seed) {
  static const char* words[] = {"the ", "archive ", "book ", "Анна ", "reader ", "of ", "and ",
                                "\r\n", "handheld ", "page ", "a ", "letter ", "light ", "war "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    for (const char* p = w; *p && out.size() < n; ++p) out.push_back(static_cast<std::uint8_t>(*p));
  }
  return out;
}

inline Bytes randomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

}  // namespace pagora::testing_support

// Helpers of the coder tests: coding or expanding byte strings in memory with the member entry
// points.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "byte_stream.h"
#include "data_generator.h"
#include "member_coder.h"
#include "temp_folder.h"

namespace pagora::testing_support {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

struct Coded {
  Bytes data;
  std::uint16_t crc = 0;
};

// Codes data with the method (0 lh0, 1 lh1, 2 lh5); EUnableToCompress passes through.
inline Coded codeBytes(int method, const Bytes& data, const LzhCoderContext& context = {}) {
  TLzhCoderState state;
  MemorySource source(data);
  MemorySink archive;
  const LzhCodeResult result =
      codeMember(state, source, archive, static_cast<std::int64_t>(data.size()), method, context);
  EXPECT_EQ(result.compressedSize, static_cast<std::int64_t>(archive.bytes().size()));
  EXPECT_TRUE(state.idle());
  return {archive.bytes(), result.crc};
}

struct ExpandInput {
  int method = 2;
  Bytes coded;
  std::int64_t originalSize = 0;
  std::uint16_t check = 0;
  bool scrambled = false;
  bool brisko = false;
};

// Expands and returns what was written to the output, also when the expansion raised (the
// exception is rethrown after `written` is filled).
inline Bytes expandBytes(const ExpandInput& in, const LzhCoderContext& context = {},
                         Bytes* written = nullptr) {
  // Bytes after the member must never be read: put a trap there.
  Bytes archiveBytes = in.coded;
  archiveBytes.insert(archiveBytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  MemorySource archive(archiveBytes);
  MemorySink output;
  TLzhCoderState state;
  try {
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
    EXPECT_EQ(archive.position(), in.coded.size());
  } catch (...) {
    if (written) *written = output.bytes();
    EXPECT_TRUE(state.idle());
    throw;
  }
  EXPECT_TRUE(state.idle());
  if (written) *written = output.bytes();
  return output.bytes();
}

}  // namespace pagora::testing_support

// Helpers of the coder tests: coding or expanding byte strings through real files with the
// member entry points.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/file_stream.h"
#include "archive/member_coder.h"
#include "data_generator.h"
#include "temp_folder.h"

namespace pagora::testing_support {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

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
  coded.data = readBytes(folder.file("out"));
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
    if (written) *written = readBytes(folder.file("out"));
    EXPECT_TRUE(state.idle());
    throw;
  }
  EXPECT_TRUE(state.idle());
  result = readBytes(folder.file("out"));
  if (written) *written = result;
  return result;
}

}  // namespace pagora::testing_support

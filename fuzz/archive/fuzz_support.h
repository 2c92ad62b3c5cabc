// Helpers of the archive fuzz targets: one member expansion of fuzz bytes, read straight from
// memory, with the output counted and dropped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/lzh_errors.h"
#include "byte_stream.h"
#include "member_coder.h"

namespace pagora::fuzzing {

// Expands `size` bytes as the coded data of one member of the given method. The first four
// bytes give the declared size, any 31-bit value: a forged size must end soon after the data
// does. The top bit of the first byte is the scrambled flag. Every failure must be one of the
// engine's own.
inline void expandArbitrary(int method, const std::uint8_t* data, std::size_t size) {
  if (size < 4) return;
  const std::int64_t declared =
      ((std::int64_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3]) & 0x7FFFFFFF;
  const bool scrambled = (data[0] & 0x80) != 0;
  try {
    MemorySource archive(data + 4, size - 4);
    DiscardSink output;
    TLzhCoderState state;
    LzhExpandRequest request;
    request.output = &output;
    request.archive = &archive;
    request.scrambled = scrambled;
    request.method = method;
    request.originalSize = declared;
    request.compressedSize = static_cast<std::int64_t>(size - 4);
    LzhCoderContext context;
    context.password = scrambled ? "fuzz" : "";
    expandMember(state, request, context);
  } catch (const Exception&) {
  }
}

}  // namespace pagora::fuzzing

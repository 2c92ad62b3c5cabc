// Arbitrary bytes through every coder and back: what comes out must be what went in.
#include <cstdlib>
#include <cstring>

#include "archive/lzh_errors.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pagora;
  if (size < 1) return 0;
  const int method = data[0] % 3;
  const bool scramble = (data[0] & 0x80) != 0;
  LzhCoderContext context;
  context.password = scramble ? "pw" : "";
  TLzhCoderState state;
  const auto n = static_cast<std::int64_t>(size - 1);
  LzhCodeResult result;
  int used = method;
  MemorySink coded;
  try {
    MemorySource in(data + 1, size - 1);
    result = codeMember(state, in, coded, n, method, context);
  } catch (const EUnableToCompress&) {
    // As the archive does: start both ends over and store the data.
    used = 0;
    coded.clear();
    MemorySource in(data + 1, size - 1);
    result = codeMember(state, in, coded, n, 0, context);
  }
  if (result.compressedSize != static_cast<std::int64_t>(coded.bytes().size())) std::abort();
  MemorySource in(coded.bytes());
  MemorySink plain;
  LzhExpandRequest request;
  request.output = &plain;
  request.archive = &in;
  request.scrambled = scramble;
  request.method = used;
  request.expectedCheck = result.crc;
  request.originalSize = n;
  request.compressedSize = result.compressedSize;
  expandMember(state, request, context);  // any failure here is a fault
  if (plain.bytes().size() != size - 1) std::abort();
  if (n > 0 && std::memcmp(plain.bytes().data(), data + 1, size - 1) != 0) std::abort();
  return 0;
}

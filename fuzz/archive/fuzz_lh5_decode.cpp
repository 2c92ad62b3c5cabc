// Arbitrary bytes as "-lh5-" coded data: no crash, no hang, no access out of bounds.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pagora::fuzzing::expandArbitrary(2, data, size);
  return 0;
}

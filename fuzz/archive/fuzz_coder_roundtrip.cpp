// Arbitrary bytes through every coder and back: what comes out must be what went in.
#include <cstdlib>
#include <vector>

#include "archive/lzh_errors.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pagora;
  if (size < 1) return 0;
  const int method = data[0] % 3;
  const bool scramble = (data[0] & 0x80) != 0;
  fuzzing::MemoryFile source(data + 1, size - 1);
  fuzzing::MemoryFile coded(nullptr, 0);
  fuzzing::MemoryFile plain(nullptr, 0);
  if (!source.ok() || !coded.ok() || !plain.ok()) return 0;
  LzhCoderContext context;
  context.password = scramble ? "pw" : "";
  TLzhCoderState state;
  const auto n = static_cast<std::int64_t>(size - 1);
  LzhCodeResult result;
  int used = method;
  {
    FileStream in(source.path(), FileStream::Mode::Read);
    FileStream out(coded.path(), FileStream::Mode::ReadWrite);
    try {
      result = codeMember(state, in, out, n, method, context);
    } catch (const EUnableToCompress&) {
      used = 0;
      in.seek(0, SEEK_SET);
      out.seek(0, SEEK_SET);
      result = codeMember(state, in, out, n, 0, context);
    }
  }
  {
    FileStream in(coded.path(), FileStream::Mode::Read);
    FileStream out(plain.path(), FileStream::Mode::ReadWrite);
    LzhExpandRequest request;
    request.output = &out;
    request.archive = &in;
    request.scrambled = scramble;
    request.method = used;
    request.expectedCheck = result.crc;
    request.originalSize = n;
    request.compressedSize = result.compressedSize;
    expandMember(state, request, context);  // any failure here is a fault
    if (out.position() != n) std::abort();
    std::vector<std::uint8_t> back(size);
    out.seek(0, SEEK_SET);
    if (static_cast<std::int64_t>(out.read(back.data(), back.size())) != n) std::abort();
    for (std::int64_t i = 0; i < n; ++i) {
      if (back[static_cast<std::size_t>(i)] != data[i + 1]) std::abort();
    }
  }
  return 0;
}

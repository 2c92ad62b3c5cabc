// The "-lh1-" decoder.
#include <cstring>

#include "bit_reader.h"
#include "lh1_coder.h"
#include "lh1_tree.h"

namespace pagora {

void lh1Decode(TLzhCoderState& state, BytePump& pump, std::int64_t count) {
  auto lease = state.lh1();
  Lh1Tables& t = *lease;
  Lh1Tree tree(t);
  tree.start();

  // Inverse of the position prefix code: the next 8 bits give the upper value and its length.
  std::uint8_t upper[256];
  std::uint8_t length[256];
  const Lh1PositionCode& pc = lh1PositionCode();
  for (int v = 0; v < 64; ++v) {
    const int shift = 8 - pc.length[v];
    for (int k = 0; k < (1 << shift); ++k) {
      upper[(pc.code[v] << shift) + k] = static_cast<std::uint8_t>(v);
      length[(pc.code[v] << shift) + k] = pc.length[v];
    }
  }

  std::memset(t.window, 0x20, kLh1Window - kLh1Longest);
  BitReader br(pump);
  unsigned r = kLh1Window - kLh1Longest;
  std::int64_t produced = 0;
  std::uint8_t out[4096];
  std::size_t outLen = 0;
  auto put = [&](std::uint8_t b) {
    out[outLen++] = b;
    if (outLen == sizeof out) {
      pump.write(out, outLen);
      outLen = 0;
    }
    t.window[r] = b;
    r = (r + 1) & (kLh1Window - 1);
  };

  while (produced < count) {
    br.refill();
    int c = t.down[kLh1Root];
    while (c < kLh1Nodes) {
      if (br.available() < 1) br.refill();
      c = t.down[c + static_cast<int>(br.take(1))];
    }
    c -= kLh1Nodes;
    tree.update(c);
    if (c < 256) {
      put(static_cast<std::uint8_t>(c));
      ++produced;
      continue;
    }
    br.refill();
    const unsigned i = br.take(8);
    const int l = length[i];
    const unsigned low = ((i << (l - 2)) | br.take(l - 2)) & 63;
    const unsigned position = upper[i] * 64u + low;
    unsigned src = (r - position - 1) & (kLh1Window - 1);
    std::int64_t n = c - 253;
    // A damaged stream may run past the declared size; nothing beyond it is written.
    if (n > count - produced) n = count - produced;
    for (std::int64_t k = 0; k < n; ++k) {
      put(t.window[src]);
      src = (src + 1) & (kLh1Window - 1);
    }
    produced += n;
  }
  pump.write(out, outLen);
}

}  // namespace pagora

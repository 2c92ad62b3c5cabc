// The "-lh5-" decoder: static Huffman blocks over an 8 KB window, table-driven. Code tables that
// over-fill or under-fill the code space, and counts larger than their table, are refused.
#pragma once

#include <cstdint>
#include <functional>

#include "byte_pump.h"
#include "coder_state.h"
#include "lh5_huffman.h"

namespace pagora {

// A Huffman decoding table: codes of up to kBits bits resolve in `primary`; longer codes (at
// most 16 bits) continue in a second-level table of 2^(16 - kBits) entries. An entry holds the
// code length in bits 0-4 and the symbol in bits 16-31; kSubTableFlag marks an entry whose bits
// 16-31 index the second-level table instead.
inline constexpr std::uint32_t kSubTableFlag = 0x8000;
template <int kBits, int kSymbols>
struct HuffmanDecodeTable {
  static constexpr int kSubBits = 16 - kBits;
  std::uint32_t primary[1 << kBits];
  std::uint32_t sub[kSymbols][1 << kSubBits];
};

struct Lh5DecoderTables {
  // Output is decoded straight into `out`: the 8 KB window of history, then up to 64 KB of new
  // bytes, then slack for a match that starts just before the end (and for whole-word copies).
  static constexpr int kHistory = 8192;
  static constexpr int kRun = 65536;
  std::uint8_t out[kHistory + kRun + 512];
  std::uint8_t mainLen[kLh5MainSymbols];
  std::uint8_t smallLen[kLh5LenSymbols];
  HuffmanDecodeTable<12, kLh5MainSymbols> main;
  HuffmanDecodeTable<8, kLh5LenSymbols> small;
  // The position code of `small` by its first 8 bits, with its extra bits and base distance.
  std::uint32_t dist[256];
};

// Builds `table` from lengths[0 .. n-1]; false when the lengths do not form a complete code
// (every length 0 is accepted: all entries then decode symbol 0 with no bits).
template <int kBits, int kSymbols>
bool buildHuffmanDecodeTable(const std::uint8_t* lengths, int n,
                             HuffmanDecodeTable<kBits, kSymbols>& table);

// Decodes count bytes from the pump's input to its output; raises ELzhBadDecodeTable.
// onBlock, when set, hears the item count of every block header read (for inspection tools).
void lh5Decode(TLzhCoderState& state, BytePump& pump, std::int64_t count,
               const std::function<void(unsigned items)>& onBlock = {});

}  // namespace pagora

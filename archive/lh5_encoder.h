// The "-lh5-" encoder: an 8 KB sliding dictionary searched through a path-compressed suffix
// tree, coded in blocks with static Huffman codes. Equal input gives equal output, bit for bit.
#pragma once

#include <cstdint>

#include "byte_pump.h"
#include "coder_state.h"
#include "lh5_huffman.h"

namespace pagora {

inline constexpr int kLh5Window = 8192;  // W
inline constexpr int kLh5Longest = 256;  // longest match
inline constexpr int kLh5Shortest = 3;   // shortest match coded as a match
// Heads of the child chains, one per hash of (node, first byte of the edge). The chains only
// serve to find a node's child by that byte, so their layout never shows in the output; a
// wide hash keeps them short.
inline constexpr int kLh5HashBits = 16;
inline constexpr int kLh5Heads = 1 << kLh5HashBits;
inline constexpr int kLh5BlockBytes = 16384;

// The encoder's per-member tables (zero-initialised when coding starts).
struct Lh5EncoderTables {
  // Eight spare bytes after the text let the match comparison read whole words.
  std::uint8_t text[2 * kLh5Window + kLh5Longest + 8];
  std::uint8_t level[kLh5Window + 256];
  std::uint8_t childCount[kLh5Window + 256];
  std::uint16_t position[kLh5Window + 256];
  std::int32_t parent[2 * kLh5Window];
  std::int32_t prev[2 * kLh5Window];
  std::int32_t next[2 * kLh5Window + kLh5Heads];  // chain links, free list, then the heads
  std::uint8_t buf[kLh5BlockBytes];
  std::uint16_t mainCount[2 * kLh5MainSymbols - 1];
  std::uint16_t posCount[2 * kLh5PosSymbols - 1];
  std::uint16_t lenSymCount[2 * kLh5LenSymbols - 1];
  std::uint8_t mainLen[kLh5MainSymbols];
  std::uint16_t mainCode[kLh5MainSymbols];
  std::uint8_t smallLen[kLh5LenSymbols];
  std::uint16_t smallCode[kLh5LenSymbols];
  HuffmanWork huffman;
};

// Codes everything the pump delivers; the pump must have been started. Writes nothing at all
// for empty input.
void lh5Encode(TLzhCoderState& state, BytePump& pump);

}  // namespace pagora

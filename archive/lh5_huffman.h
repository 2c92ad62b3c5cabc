// Static Huffman code construction of the "-lh5-" block coder: tree building with fixed
// tie-breaks, lengths limited to 16 bits, canonical left-aligned codes.
#pragma once

#include <cstdint>

namespace pagora {

inline constexpr int kLh5MainSymbols = 510;  // NMAIN
inline constexpr int kLh5PosSymbols = 14;    // NPOS
inline constexpr int kLh5LenSymbols = 19;    // NLEN

// The short names both block coders use: the three alphabets, and the widths of the counts in a
// block header (main code lengths, position code lengths, length code lengths).
namespace lh5 {
inline constexpr int NMAIN = kLh5MainSymbols;
inline constexpr int NPOS = kLh5PosSymbols;
inline constexpr int NLEN = kLh5LenSymbols;
inline constexpr int MAIN_BITS = 9;
inline constexpr int POS_BITS = 4;
inline constexpr int LEN_BITS = 5;
}  // namespace lh5

// Scratch space of one code construction, sized for the largest code.
struct HuffmanWork {
  std::uint16_t left[2 * kLh5MainSymbols - 1];
  std::uint16_t right[2 * kLh5MainSymbols - 1];
  std::uint16_t heap[kLh5MainSymbols + 1];
  std::uint16_t order[kLh5MainSymbols];  // leaves in the order the tree took them
  int orderSize;
  int depthCount[17];
};

// Builds the code of the n symbols whose counts are freq[0 .. n-1]; freq must have room for
// 2n-1 entries (internal nodes get their weights there). Fills len[0 .. n-1] and code[]
// (codes left-aligned in 16 bits). Returns the root: a node number >= n, or the only symbol
// (its code 0, every length 0), or 0 when no symbol occurs.
int buildHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* len, std::uint16_t* code,
                     HuffmanWork& work);

}  // namespace pagora

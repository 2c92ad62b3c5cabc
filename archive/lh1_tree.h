// The adaptive Huffman tree of "-lh1-" (314 symbols: 256 bytes and match lengths 3-60), shared
// by its encoder and decoder, and the tables of both.
#pragma once

#include <cstdint>

namespace pagora {

inline constexpr int kLh1Window = 4096;
inline constexpr int kLh1Longest = 60;
inline constexpr int kLh1Symbols = 314;
inline constexpr int kLh1Nodes = 2 * kLh1Symbols - 1;  // 627
inline constexpr int kLh1Root = kLh1Nodes - 1;         // 626
inline constexpr int kLh1None = kLh1Window;            // empty link of the match tree
inline constexpr unsigned kLh1WeightLimit = 0x8000;

struct Lh1Tables {
  // Adaptive Huffman tree: nodes in order of weight; down[] of an inner node is its first child
  // (always even, the second is down + 1); leaves hold symbol + kLh1Nodes in down[].
  std::uint16_t weight[kLh1Nodes + 1];
  std::uint16_t down[kLh1Nodes];
  std::uint16_t up[kLh1Nodes + kLh1Symbols];
  // Encoder: ring text with its first 59 bytes mirrored at the end, binary match trees under
  // 4096 hashed roots, and per node the common prefix length with its parent.
  std::uint8_t text[kLh1Window + kLh1Longest - 1];
  std::uint16_t left[kLh1Window + 1];
  std::uint16_t right[kLh1Window + 4097];
  std::uint16_t parent[kLh1Window + 1];
  std::uint8_t shared[kLh1Window + 1];
  // Decoder window.
  std::uint8_t window[kLh1Window];
};

// The adaptive tree operations on a table set.
class Lh1Tree {
 public:
  explicit Lh1Tree(Lh1Tables& t) : t_(t) {}
  void start();
  // Counts one more occurrence of symbol c and restores the weight order.
  void update(int c);
  void rebuild();

 private:
  Lh1Tables& t_;
};

// The fixed prefix code of the upper 6 bits of an "-lh1-" position: its length and its code
// (right-aligned) for each of the 64 values.
struct Lh1PositionCode {
  std::uint8_t length[64];
  std::uint8_t code[64];
};
const Lh1PositionCode& lh1PositionCode();

}  // namespace pagora

// The "-lh1-" adaptive Huffman tree and its fixed position code.
#include "lh1_tree.h"

namespace pagora {

namespace {
constexpr int NODES = kLh1Nodes;
constexpr int ROOT = kLh1Root;
constexpr int NSYM = kLh1Symbols;
}  // namespace

void Lh1Tree::start() {
  for (int i = 0; i < NSYM; ++i) {
    t_.weight[i] = 1;
    t_.down[i] = static_cast<std::uint16_t>(i + NODES);
    t_.up[i + NODES] = static_cast<std::uint16_t>(i);
  }
  for (int i = NSYM, j = 0; i <= ROOT; ++i, j += 2) {
    t_.weight[i] = static_cast<std::uint16_t>(t_.weight[j] + t_.weight[j + 1]);
    t_.down[i] = static_cast<std::uint16_t>(j);
    t_.up[j] = t_.up[j + 1] = static_cast<std::uint16_t>(i);
  }
  t_.weight[NODES] = 0xFFFF;
  t_.up[ROOT] = 0;
}

void Lh1Tree::rebuild() {
  // Leaves first, in their current order, with halved weights.
  int j = 0;
  for (int i = 0; i < NODES; ++i) {
    if (t_.down[i] >= NODES) {
      t_.weight[j] = static_cast<std::uint16_t>((t_.weight[i] + 1) / 2);
      t_.down[j] = t_.down[i];
      ++j;
    }
  }
  // Then inner nodes over pairs of slots, each inserted where its weight keeps the order.
  for (int i = 0, k, jj = NSYM; jj < NODES; i += 2, ++jj) {
    const unsigned f = static_cast<unsigned>(t_.weight[i]) + t_.weight[i + 1];
    for (k = jj - 1; f < t_.weight[k]; --k) {
    }
    ++k;
    for (int m = jj; m > k; --m) {
      t_.weight[m] = t_.weight[m - 1];
      t_.down[m] = t_.down[m - 1];
    }
    t_.weight[k] = static_cast<std::uint16_t>(f);
    t_.down[k] = static_cast<std::uint16_t>(i);
  }
  for (int i = 0; i < NODES; ++i) {
    const int d = t_.down[i];
    if (d >= NODES) {
      t_.up[d] = static_cast<std::uint16_t>(i);
    } else {
      t_.up[d] = t_.up[d + 1] = static_cast<std::uint16_t>(i);
    }
  }
}

void Lh1Tree::update(int c) {
  if (t_.weight[ROOT] == kLh1WeightLimit) rebuild();
  c = t_.up[c + NODES];
  do {
    const unsigned k = ++t_.weight[c];
    if (k > t_.weight[c + 1]) {
      int l = c + 1;
      while (k > t_.weight[l + 1]) ++l;
      t_.weight[c] = t_.weight[l];
      t_.weight[l] = static_cast<std::uint16_t>(k);
      const int i = t_.down[c];
      t_.up[i] = static_cast<std::uint16_t>(l);
      if (i < NODES) t_.up[i + 1] = static_cast<std::uint16_t>(l);
      const int j = t_.down[l];
      t_.down[l] = static_cast<std::uint16_t>(i);
      t_.up[j] = static_cast<std::uint16_t>(c);
      if (j < NODES) t_.up[j + 1] = static_cast<std::uint16_t>(c);
      t_.down[c] = static_cast<std::uint16_t>(j);
      c = l;
    }
    c = t_.up[c];
  } while (c != 0);
}

const Lh1PositionCode& lh1PositionCode() {
  static const Lh1PositionCode table = [] {
    Lh1PositionCode p{};
    // 1 value of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7, 16 of 8, assigned canonically.
    const int perLength[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
    unsigned code = 0;
    int value = 0;
    for (int len = 3; len <= 8; ++len) {
      for (int k = 0; k < perLength[len]; ++k) {
        p.length[value] = static_cast<std::uint8_t>(len);
        p.code[value] = static_cast<std::uint8_t>(code);
        ++code;
        ++value;
      }
      code <<= 1;
    }
    return p;
  }();
  return table;
}

}  // namespace pagora

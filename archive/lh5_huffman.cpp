// Huffman code construction for the "-lh5-" encoder. Every tie is fixed, so equal counts
// always give equal codes.
#include "lh5_huffman.h"

namespace pagora {

namespace {

struct Builder {
  int n;
  std::uint16_t* freq;
  HuffmanWork& w;
  int heapSize = 0;

  void siftDown(int i) {
    const std::uint16_t k = w.heap[i];
    int j;
    while ((j = 2 * i) <= heapSize) {
      if (j < heapSize && freq[w.heap[j]] > freq[w.heap[j + 1]]) ++j;
      if (freq[k] <= freq[w.heap[j]]) break;
      w.heap[i] = w.heap[j];
      i = j;
    }
    w.heap[i] = k;
  }

  void countDepths(int node, int depth) {
    if (node < n) {
      ++w.depthCount[depth < 16 ? depth : 16];
    } else {
      countDepths(w.left[node], depth + 1);
      countDepths(w.right[node], depth + 1);
    }
  }
};

}  // namespace

int buildHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* len, std::uint16_t* code,
                     HuffmanWork& w) {
  Builder b{n, freq, w};
  w.heap[1] = 0;
  for (int i = 0; i < n; ++i) {
    len[i] = 0;
    if (freq[i] != 0) w.heap[++b.heapSize] = static_cast<std::uint16_t>(i);
  }
  if (b.heapSize < 2) {
    code[w.heap[1]] = 0;
    return w.heap[1];
  }
  for (int i = b.heapSize / 2; i >= 1; --i) b.siftDown(i);

  int freeNode = n;
  int k = 0;
  w.orderSize = 0;
  do {
    const int i = w.heap[1];
    if (i < n) w.order[w.orderSize++] = static_cast<std::uint16_t>(i);
    w.heap[1] = w.heap[b.heapSize--];
    b.siftDown(1);
    const int j = w.heap[1];
    if (j < n) w.order[w.orderSize++] = static_cast<std::uint16_t>(j);
    k = freeNode++;
    freq[k] = static_cast<std::uint16_t>(freq[i] + freq[j]);
    w.heap[1] = static_cast<std::uint16_t>(k);
    b.siftDown(1);
    w.left[k] = static_cast<std::uint16_t>(i);
    w.right[k] = static_cast<std::uint16_t>(j);
  } while (b.heapSize > 1);
  const int root = k;

  // Lengths: depths counted with everything deeper than 16 folded into 16, then the tree is
  // made to fit 16 bits by moving leaves down from the deepest level that still has room.
  for (int i = 0; i <= 16; ++i) w.depthCount[i] = 0;
  b.countDepths(root, 0);
  unsigned cum = 0;
  for (int i = 1; i <= 16; ++i) cum += static_cast<unsigned>(w.depthCount[i]) << (16 - i);
  cum &= 0xFFFF;
  if (cum != 0) {
    w.depthCount[16] -= static_cast<int>(cum);
    for (unsigned c = 0; c < cum; ++c) {
      for (int i = 15; i >= 1; --i) {
        if (w.depthCount[i] > 0) {
          --w.depthCount[i];
          w.depthCount[i + 1] += 2;
          break;
        }
      }
    }
  }
  int next = 0;
  for (int i = 16; i >= 1; --i) {
    for (int c = 0; c < w.depthCount[i]; ++c) len[w.order[next++]] = static_cast<std::uint8_t>(i);
  }

  // Canonical codes: equal lengths get increasing codes in symbol order.
  unsigned start[17] = {};
  unsigned total = 0;
  for (int i = 1; i <= 16; ++i) {
    start[i] = total;
    total += (1u << (16 - i)) * static_cast<unsigned>(w.depthCount[i]);
  }
  for (int s = 0; s < n; ++s) {
    const int l = len[s];
    if (l == 0) continue;
    code[s] = static_cast<std::uint16_t>(start[l]);
    start[l] += 1u << (16 - l);
  }
  return root;
}

}  // namespace pagora

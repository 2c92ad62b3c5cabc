// The "-lh5-" encoder: suffix-tree match finder with lazily updated node positions, one
// position of look-ahead for matches, and the static-Huffman block coder.
#include "lh5_encoder.h"

#include <bit>
#include <cstring>

namespace pagora {

namespace {

constexpr int W = kLh5Window;
constexpr int NONE = 0;
constexpr int STALE = 0x8000;
using namespace lh5;
constexpr int BLOCK_LIMIT = kLh5BlockBytes - 24;

// Number of significant bits of p (0 for 0).
static_assert(std::endian::native == std::endian::little,
              "the match comparison reads little-endian words");

inline int bitCount(unsigned p) {
  return p == 0 ? 0 : std::bit_width(p);
}

class Encoder {
 public:
  Encoder(Lh5EncoderTables& tables, BytePump& pump) : t_(tables), pump_(pump) {}

  void run() {
    initialise();
    const std::size_t got = pump_.read(t_.text + W + 256, W);
    for (std::size_t i = got; i < static_cast<std::size_t>(W); ++i) t_.text[W + 256 + i] = 0x20;
    leftToCode_ = static_cast<int>(got);
    if (leftToCode_ == 0) return;

    pos_ = W + 256;
    matchLen_ = 0;
    matchPos_ = 0;
    insert();
    while (leftToCode_ > 0) {
      int prevLen = matchLen_;
      const int prevPos = matchPos_;
      advance();
      if (matchLen_ > leftToCode_) matchLen_ = leftToCode_;
      if (matchLen_ > prevLen || prevLen < kLh5Shortest) {
        emit(t_.text[pos_ - 1], 0);
      } else {
        emit(prevLen + 253, (pos_ - prevPos - 2) & 0x1FFF);
        while (--prevLen > 0) advance();
        if (matchLen_ > leftToCode_) matchLen_ = leftToCode_;
      }
    }
    writeBlock();
    putRightBits(7, 0);
  }

 private:
  // ---- dictionary tree -------------------------------------------------------------------

  void initialise() {
    for (int i = W; i < W + 256; ++i) {
      t_.level[i] = 1;
      t_.position[i] = NONE;
    }
    for (int i = W; i < 2 * W; ++i) t_.parent[i] = NONE;
    freeHead_ = 1;
    for (int i = 1; i < W - 1; ++i) t_.next[i] = static_cast<std::int32_t>(i + 1);
    t_.next[W - 1] = NONE;
    for (int i = 2 * W; i < 2 * W + kLh5Heads; ++i) t_.next[i] = NONE;
    std::memset(t_.mainCount, 0, sizeof t_.mainCount);
    std::memset(t_.posCount, 0, sizeof t_.posCount);
    t_.buf[0] = 0;
    fillPos_ = flagMask_ = flagPos_ = 0;
  }

  static int bucket(int q, int c) {
    const std::uint32_t key = (static_cast<std::uint32_t>(q) << 8) | static_cast<std::uint32_t>(c);
    return 2 * W + static_cast<int>((key * 2654435761u) >> (32 - kLh5HashBits));
  }

  int findChild(int q, int c) {
    int r = t_.next[bucket(q, c)];
    t_.parent[NONE] = static_cast<std::int32_t>(q);
    while (t_.parent[r] != q) r = t_.next[r];
    return r;
  }

  void addChild(int q, int c, int r) {
    const int h = bucket(q, c);
    const int t = t_.next[h];
    t_.next[h] = static_cast<std::int32_t>(r);
    t_.next[r] = static_cast<std::int32_t>(t);
    t_.prev[t] = static_cast<std::int32_t>(r);
    t_.prev[r] = static_cast<std::int32_t>(h);
    t_.parent[r] = static_cast<std::int32_t>(q);
    ++t_.childCount[q];
  }

  void split(int old) {
    const int node = freeHead_;
    freeHead_ = t_.next[node];
    t_.childCount[node] = 0;
    int t = t_.prev[old];
    t_.prev[node] = static_cast<std::int32_t>(t);
    t_.next[t] = static_cast<std::int32_t>(node);
    t = t_.next[old];
    t_.next[node] = static_cast<std::int32_t>(t);
    t_.prev[t] = static_cast<std::int32_t>(node);
    t_.parent[node] = t_.parent[old];
    t_.level[node] = static_cast<std::uint8_t>(matchLen_);
    t_.position[node] = static_cast<std::uint16_t>(pos_);
    addChild(node, t_.text[matchPos_ + matchLen_], old);
    addChild(node, t_.text[pos_ + matchLen_], pos_);
  }

  // Length of the common run of text[a + from ..] and text[b + from ..], at most limit.
  int commonLength(int a, int b, int from, int limit) const {
    const std::uint8_t* pa = t_.text + a;
    const std::uint8_t* pb = t_.text + b;
    int i = from;
    while (i < limit) {
      std::uint64_t x, y;
      std::memcpy(&x, pa + i, 8);
      std::memcpy(&y, pb + i, 8);
      const std::uint64_t d = x ^ y;
      if (d != 0) {
        i += std::countr_zero(d) >> 3;
        return i < limit ? i : limit;
      }
      i += 8;
    }
    return limit;
  }

  void insert() {
    int q, r;
    if (matchLen_ >= 4) {
      --matchLen_;
      r = (matchPos_ + 1) | W;
      while ((q = t_.parent[r]) == NONE) r = t_.next[r];
      while (t_.level[q] >= matchLen_) {
        r = q;
        q = t_.parent[q];
      }
      int t = q;
      while (t_.position[t] & STALE) {
        t_.position[t] = static_cast<std::uint16_t>(pos_);
        t = t_.parent[t];
      }
      if (t < W) t_.position[t] = static_cast<std::uint16_t>(pos_ | STALE);
    } else {
      q = t_.text[pos_] + W;
      const int c = t_.text[pos_ + 1];
      if ((r = findChild(q, c)) == NONE) {
        addChild(q, c, pos_);
        matchLen_ = 1;
        return;
      }
      matchLen_ = 2;
    }
    for (;;) {
      int j;
      if (r >= W) {
        j = kLh5Longest;
        matchPos_ = r;
      } else {
        j = t_.level[r];
        matchPos_ = t_.position[r] & 0x7FFF;
      }
      if (matchPos_ >= pos_) matchPos_ -= W;
      if (matchLen_ < j) {
        const int same = commonLength(pos_, matchPos_, matchLen_, j);
        matchLen_ = same;
        if (same < j) {
          split(r);
          return;
        }
      }
      if (matchLen_ >= kLh5Longest) break;
      t_.position[r] = static_cast<std::uint16_t>(pos_);
      q = r;
      const int c = t_.text[pos_ + matchLen_];
      if ((r = findChild(q, c)) == NONE) {
        addChild(q, c, pos_);
        return;
      }
      ++matchLen_;
    }
    // A full match: the new position takes the old leaf's place.
    int t = t_.prev[r];
    t_.prev[pos_] = static_cast<std::int32_t>(t);
    t_.next[t] = static_cast<std::int32_t>(pos_);
    t = t_.next[r];
    t_.next[pos_] = static_cast<std::int32_t>(t);
    t_.prev[t] = static_cast<std::int32_t>(pos_);
    t_.parent[pos_] = static_cast<std::int32_t>(q);
    t_.parent[r] = NONE;
    t_.next[r] = static_cast<std::int32_t>(pos_);
  }

  void remove() {
    if (t_.parent[pos_] == NONE) return;
    int r = t_.prev[pos_];
    int s = t_.next[pos_];
    t_.next[r] = static_cast<std::int32_t>(s);
    t_.prev[s] = static_cast<std::int32_t>(r);
    r = t_.parent[pos_];
    t_.parent[pos_] = NONE;
    if (r >= W) return;
    // An unsigned byte: a node with 256 children has a count of 0, and this gives 255.
    if (--t_.childCount[r] > 1) return;
    int t = t_.position[r] & 0x7FFF;
    if (t >= pos_) t -= W;
    s = t;
    int q = t_.parent[r];
    int u;
    while ((u = t_.position[q]) & STALE) {
      u &= 0x7FFF;
      if (u >= pos_) u -= W;
      if (u > s) s = u;
      t_.position[q] = static_cast<std::uint16_t>(s | W);
      q = t_.parent[q];
    }
    if (q < W) {
      u = t_.position[q];
      if (u >= pos_) u -= W;
      if (u > s) s = u;
      t_.position[q] = static_cast<std::uint16_t>(s | W | STALE);
    }
    s = findChild(r, t_.text[t + t_.level[r]]);
    t = t_.prev[s];
    u = t_.next[s];
    t_.next[t] = static_cast<std::int32_t>(u);
    t_.prev[u] = static_cast<std::int32_t>(t);
    t = t_.prev[r];
    t_.next[t] = static_cast<std::int32_t>(s);
    t_.prev[s] = static_cast<std::int32_t>(t);
    t = t_.next[r];
    t_.prev[t] = static_cast<std::int32_t>(s);
    t_.next[s] = static_cast<std::int32_t>(t);
    t_.parent[s] = t_.parent[r];
    t_.parent[r] = NONE;
    t_.next[r] = static_cast<std::int32_t>(freeHead_);
    freeHead_ = r;
  }

  void advance() {
    --leftToCode_;
    if (++pos_ == 2 * W) {
      std::memmove(t_.text, t_.text + W, W + kLh5Longest);
      // The cell where the input ended gets 0; the cells after it keep what they held.
      const std::size_t got = pump_.read(t_.text + W + 256, W);
      if (got < static_cast<std::size_t>(W)) t_.text[W + 256 + got] = 0;
      leftToCode_ += static_cast<int>(got);
      pos_ = W;
    }
    remove();
    insert();
  }

  // ---- block coder -----------------------------------------------------------------------

  void emit(int c, int p) {
    flagMask_ >>= 1;
    if (flagMask_ == 0) {
      flagMask_ = 0x80;
      if (fillPos_ >= BLOCK_LIMIT) {
        writeBlock();
        fillPos_ = 0;
      }
      flagPos_ = fillPos_;
      t_.buf[flagPos_] = 0;
      ++fillPos_;
    }
    t_.buf[fillPos_++] = static_cast<std::uint8_t>(c);
    ++t_.mainCount[c];
    if (c >= 256) {
      t_.buf[flagPos_] |= static_cast<std::uint8_t>(flagMask_);
      t_.buf[fillPos_++] = static_cast<std::uint8_t>(p >> 8);
      t_.buf[fillPos_++] = static_cast<std::uint8_t>(p);
      ++t_.posCount[bitCount(static_cast<unsigned>(p))];
    }
  }

  void putLeftBits(int n, unsigned x) {
    x &= 0xFFFF;
    while (n >= freeBits_) {
      pending_ = static_cast<std::uint8_t>(pending_ + (x >> (16 - freeBits_)));
      pump_.putc(pending_);
      n -= freeBits_;
      x = (x << freeBits_) & 0xFFFF;
      pending_ = 0;
      freeBits_ = 8;
    }
    pending_ = static_cast<std::uint8_t>(pending_ + (x >> (16 - freeBits_)));
    freeBits_ -= n;
  }

  void putRightBits(int n, unsigned x) { putLeftBits(n, (x << (16 - n)) & 0xFFFF); }

  // Main symbols up to the last one in use: the lengths beyond it are not sent.
  int usedMainSymbols() const {
    int n = NMAIN;
    while (n > 0 && t_.mainLen[n - 1] == 0) --n;
    return n;
  }

  // Walks the first n main code lengths as a block header sends them: a length k as symbol k+2,
  // a run of zeros as symbols 0 (one zero each), 1 (4 extra bits: 3 to 18 zeros) or 2
  // (MAIN_BITS extra bits: 20 or more), 19 zeros as 0 then 1 with 15.
  // emit(symbol, extraBits, extraValue), extraBits 0 when the symbol has none.
  template <class Emit>
  void walkMainLengths(int n, Emit emit) const {
    int i = 0;
    while (i < n) {
      const int k = t_.mainLen[i++];
      if (k == 0) {
        int run = 1;
        while (i < n && t_.mainLen[i] == 0) {
          ++i;
          ++run;
        }
        if (run <= 2) {
          for (int r = 0; r < run; ++r) emit(0, 0, 0u);
        } else if (run <= 18) {
          emit(1, 4, static_cast<unsigned>(run - 3));
        } else if (run == 19) {
          emit(0, 0, 0u);
          emit(1, 4, 15u);
        } else {
          emit(2, MAIN_BITS, static_cast<unsigned>(run - 20));
        }
      } else {
        emit(k + 2, 0, 0u);
      }
    }
  }

  void countLengthSymbols() {
    for (int i = 0; i < NLEN; ++i) t_.lenSymCount[i] = 0;
    walkMainLengths(usedMainSymbols(),
                    [this](int symbol, int, unsigned) { ++t_.lenSymCount[symbol]; });
  }

  void writeSmallLengths(int n, int nbit, int special) {
    while (n > 0 && t_.smallLen[n - 1] == 0) --n;
    putRightBits(nbit, static_cast<unsigned>(n));
    int i = 0;
    while (i < n) {
      const int k = t_.smallLen[i++];
      if (k <= 6) {
        putRightBits(3, static_cast<unsigned>(k));
      } else {
        putRightBits(k - 3, (1u << (k - 3)) - 2);
      }
      if (i == special) {
        while (i < 6 && t_.smallLen[i] == 0) ++i;
        putRightBits(2, static_cast<unsigned>(i - 3));
      }
    }
  }

  void sendLengthSymbol(int c) { putLeftBits(t_.smallLen[c], t_.smallCode[c]); }

  void writeMainLengths() {
    const int n = usedMainSymbols();
    putRightBits(MAIN_BITS, static_cast<unsigned>(n));
    walkMainLengths(n, [this](int symbol, int extraBits, unsigned extra) {
      sendLengthSymbol(symbol);
      if (extraBits != 0) putRightBits(extraBits, extra);
    });
  }

  void writeBlock() {
    int root = buildHuffmanCode(NMAIN, t_.mainCount, t_.mainLen, t_.mainCode, t_.huffman);
    const unsigned size = t_.mainCount[root];
    putRightBits(16, size);
    if (root >= NMAIN) {
      countLengthSymbols();
      root = buildHuffmanCode(NLEN, t_.lenSymCount, t_.smallLen, t_.smallCode, t_.huffman);
      if (root >= NLEN) {
        writeSmallLengths(NLEN, LEN_BITS, 3);
      } else {
        putRightBits(LEN_BITS, 0);
        putRightBits(LEN_BITS, static_cast<unsigned>(root));
      }
      writeMainLengths();
    } else {
      putRightBits(LEN_BITS, 0);
      putRightBits(LEN_BITS, 0);
      putRightBits(MAIN_BITS, 0);
      putRightBits(MAIN_BITS, static_cast<unsigned>(root));
    }
    root = buildHuffmanCode(NPOS, t_.posCount, t_.smallLen, t_.smallCode, t_.huffman);
    if (root >= NPOS) {
      writeSmallLengths(NPOS, POS_BITS, -1);
    } else {
      putRightBits(POS_BITS, 0);
      putRightBits(POS_BITS, static_cast<unsigned>(root));
    }

    unsigned flags = 0;
    int p = 0;
    for (unsigned i = 0; i < size; ++i) {
      if (i % 8 == 0) {
        flags = t_.buf[p++];
      } else {
        flags <<= 1;
      }
      if (flags & 0x80) {
        const int c = t_.buf[p++] + 256;
        putLeftBits(t_.mainLen[c], t_.mainCode[c]);
        const unsigned position = (static_cast<unsigned>(t_.buf[p]) << 8) | t_.buf[p + 1];
        p += 2;
        const int k = bitCount(position);
        putLeftBits(t_.smallLen[k], t_.smallCode[k]);
        if (k > 1) putRightBits(k - 1, position);
      } else {
        const int c = t_.buf[p++];
        putLeftBits(t_.mainLen[c], t_.mainCode[c]);
      }
    }
    for (int i = 0; i < NMAIN; ++i) t_.mainCount[i] = 0;
    for (int i = 0; i < NPOS; ++i) t_.posCount[i] = 0;
  }

  Lh5EncoderTables& t_;
  BytePump& pump_;
  int pos_ = 0;
  int matchLen_ = 0;
  int matchPos_ = 0;
  int leftToCode_ = 0;
  int freeHead_ = 1;
  int fillPos_ = 0;
  int flagMask_ = 0;
  int flagPos_ = 0;
  std::uint8_t pending_ = 0;
  int freeBits_ = 8;
};

}  // namespace

void lh5Encode(TLzhCoderState& state, BytePump& pump) {
  auto tables = state.lh5Encoder();
  Encoder(*tables, pump).run();
}

}  // namespace pagora

// The "-lh1-" encoder: binary match trees under hashed roots over a 4 KB ring, each node
// remembering its common prefix with its parent so that comparisons can start past it.
#include <cstring>

#include "lh1_coder.h"
#include "lh1_tree.h"

namespace pagora {

namespace {

constexpr int N = kLh1Window;
constexpr int F = kLh1Longest;
constexpr int NIL = kLh1None;
constexpr int NODES = kLh1Nodes;
constexpr int ROOT = kLh1Root;

class Encoder {
 public:
  Encoder(Lh1Tables& tables, BytePump& pump) : t_(tables), tree_(tables), pump_(pump) {}

  void run() {
    tree_.start();
    for (int i = N + 1; i <= N + 4096; ++i) t_.right[i] = NIL;
    for (int i = 0; i < N; ++i) t_.parent[i] = NIL;
    int s = 0;
    int r = N - F;
    std::memset(t_.text, 0x20, N - F);
    int len = 0;
    while (len < F) {
      const int c = pump_.getc();
      if (pump_.atEnd()) break;
      t_.text[r + len++] = static_cast<std::uint8_t>(c);
    }
    if (len == 0) return;
    for (int i = 1; i <= F; ++i) insert(r - i);
    insert(r);
    while (len > 0) {
      if (matchLen_ > len) matchLen_ = len;
      if (matchLen_ <= 2) {
        matchLen_ = 1;
        sendSymbol(t_.text[r]);
      } else {
        sendSymbol(matchLen_ + 253);
        sendPosition(static_cast<unsigned>(matchPos_));
      }
      const int last = matchLen_;
      int i = 0;
      for (; i < last; ++i) {
        const int c = pump_.getc();
        if (pump_.atEnd()) break;
        remove(s);
        t_.text[s] = static_cast<std::uint8_t>(c);
        if (s < F - 1) t_.text[s + N] = static_cast<std::uint8_t>(c);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        insert(r);
      }
      for (; i < last; ++i) {
        remove(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len > 0) insert(r);
      }
    }
    if (outCount_ > 0) pump_.putc(static_cast<std::uint8_t>(outBits_ >> 8));
  }

 private:
  // Common prefix of the strings at a and b from `from` on, at most F.
  int commonPrefix(int a, int b, int from) const {
    int i = from;
    while (i < F && t_.text[a + i] == t_.text[b + i]) ++i;
    return i;
  }

  // Sets shared[x] for x under its current parent.
  void reshare(int x) {
    if (x == NIL) return;
    const int p = t_.parent[x];
    t_.shared[x] = static_cast<std::uint8_t>(p > N ? 1 : commonPrefix(x, p, 1));
  }

  void insert(int r) {
    t_.left[r] = t_.right[r] = NIL;
    const unsigned x = t_.text[r + 1] ^ t_.text[r + 2];
    int p = N + 1 + t_.text[r] + 256 * static_cast<int>((x ^ (x >> 4)) & 15);
    int cmp = 1;
    int i = 1;
    matchLen_ = 0;
    for (;;) {
      std::uint16_t* link = cmp >= 0 ? &t_.right[p] : &t_.left[p];
      if (*link == NIL) {
        *link = static_cast<std::uint16_t>(r);
        t_.parent[r] = static_cast<std::uint16_t>(p);
        t_.shared[r] = static_cast<std::uint8_t>(i);
        return;
      }
      p = *link;
      const int c = t_.shared[p];
      if (i > c) {
        i = c;
        cmp = t_.text[r + i] - t_.text[p + i];
      } else if (i == c) {
        i = commonPrefix(r, p, i);
        if (i < F) cmp = t_.text[r + i] - t_.text[p + i];
      }
      if (i >= 3) {
        const int d = ((r - p) & (N - 1)) - 1;
        if (i > matchLen_) {
          matchPos_ = d;
          matchLen_ = i;
          if (i >= F) {
            replace(p, r);
            return;
          }
        } else if (i == matchLen_ && d < matchPos_) {
          matchPos_ = d;
        }
      }
    }
  }

  // r takes the place of p, which leaves the tree.
  void replace(int p, int r) {
    t_.shared[r] = t_.shared[p];
    t_.parent[r] = t_.parent[p];
    t_.left[r] = t_.left[p];
    t_.right[r] = t_.right[p];
    t_.parent[t_.left[p]] = static_cast<std::uint16_t>(r);
    t_.parent[t_.right[p]] = static_cast<std::uint16_t>(r);
    const int pp = t_.parent[p];
    if (t_.right[pp] == p) {
      t_.right[pp] = static_cast<std::uint16_t>(r);
    } else {
      t_.left[pp] = static_cast<std::uint16_t>(r);
    }
    t_.parent[p] = NIL;
  }

  void remove(int p) {
    if (t_.parent[p] == NIL) return;
    int q;
    if (t_.right[p] == NIL) {
      q = t_.left[p];
    } else if (t_.left[p] == NIL) {
      q = t_.right[p];
    } else {
      q = t_.left[p];
      if (t_.right[q] != NIL) {
        do {
          q = t_.right[q];
        } while (t_.right[q] != NIL);
        const int qp = t_.parent[q];
        const int ql = t_.left[q];
        t_.right[qp] = static_cast<std::uint16_t>(ql);
        t_.parent[ql] = static_cast<std::uint16_t>(qp);
        reshare(ql);
        t_.left[q] = t_.left[p];
        t_.parent[t_.left[p]] = static_cast<std::uint16_t>(q);
      }
      t_.right[q] = t_.right[p];
      t_.parent[t_.right[p]] = static_cast<std::uint16_t>(q);
    }
    const int pp = t_.parent[p];
    t_.parent[q] = static_cast<std::uint16_t>(pp);
    if (t_.right[pp] == p) {
      t_.right[pp] = static_cast<std::uint16_t>(q);
    } else {
      t_.left[pp] = static_cast<std::uint16_t>(q);
    }
    t_.parent[p] = NIL;
    // Every node that hangs under a new parent now gets its common prefix anew.
    if (q != NIL) {
      reshare(q);
      reshare(t_.left[q]);
      reshare(t_.right[q]);
    }
  }

  void putLeftBits(int l, unsigned c) {
    c &= 0xFFFF;
    outBits_ = static_cast<std::uint16_t>(outBits_ | (c >> outCount_));
    outCount_ += l;
    if (outCount_ >= 8) {
      pump_.putc(static_cast<std::uint8_t>(outBits_ >> 8));
      outCount_ -= 8;
      if (outCount_ >= 8) {
        pump_.putc(static_cast<std::uint8_t>(outBits_));
        outCount_ -= 8;
        outBits_ = static_cast<std::uint16_t>(c << (l - outCount_));
      } else {
        outBits_ = static_cast<std::uint16_t>(outBits_ << 8);
      }
    }
  }

  void sendSymbol(int c) {
    std::uint32_t code = 0;
    int length = 0;
    int k = t_.up[c + NODES];
    do {
      code >>= 1;
      if (k & 1) code |= 0x80000000u;
      ++length;
    } while ((k = t_.up[k]) != ROOT);
    if (length > 16) {
      putLeftBits(16, code >> 16);
      putLeftBits(length - 16, code & 0xFFFF);
    } else {
      putLeftBits(length, code >> 16);
    }
    tree_.update(c);
  }

  void sendPosition(unsigned p) {
    const Lh1PositionCode& pc = lh1PositionCode();
    const unsigned i = p >> 6;
    putLeftBits(pc.length[i], static_cast<unsigned>(pc.code[i]) << (16 - pc.length[i]));
    putLeftBits(6, (p & 63) << 10);
  }

  Lh1Tables& t_;
  Lh1Tree tree_;
  BytePump& pump_;
  int matchLen_ = 0;
  int matchPos_ = 0;
  std::uint16_t outBits_ = 0;
  int outCount_ = 0;
};

}  // namespace

void lh1Encode(TLzhCoderState& state, BytePump& pump) {
  auto tables = state.lh1();
  Encoder(*tables, pump).run();
}

}  // namespace pagora

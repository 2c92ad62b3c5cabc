// The "-lh5-" decoder: block headers with their three code tables, then literals and matches
// copied through the 8 KB window.
#include "lh5_decoder.h"

#include <algorithm>
#include <cstring>

#include "archive/lzh_errors.h"
#include "bit_reader.h"

namespace pagora {

template <int kBits, int kSymbols>
bool buildHuffmanDecodeTable(const std::uint8_t* lengths, int n,
                             HuffmanDecodeTable<kBits, kSymbols>& table) {
  constexpr int kSubBits = HuffmanDecodeTable<kBits, kSymbols>::kSubBits;
  unsigned count[17] = {};
  for (int i = 0; i < n; ++i) {
    if (lengths[i] > 16) return false;
    ++count[lengths[i]];
  }
  std::uint32_t sum = 0;
  for (int l = 1; l <= 16; ++l) sum += count[l] << (16 - l);
  if (sum == 0) {
    std::memset(table.primary, 0, sizeof table.primary);
    return true;
  }
  // Anything but exactly the whole code space would leave entries unreached or overlapping.
  if (sum != 65536) return false;

  unsigned start[17];
  unsigned total = 0;
  for (int l = 1; l <= 16; ++l) {
    start[l] = total;
    total += count[l] << (16 - l);
  }
  // The short codes fill the primary table up to the first code longer than kBits; only the
  // rest, the second-level links, must start cleared.
  static_assert(kBits < 16);
  const unsigned firstLong = start[kBits + 1] >> kSubBits;
  std::memset(table.primary + firstLong, 0, ((1u << kBits) - firstLong) * sizeof table.primary[0]);
  unsigned subs = 0;
  for (int s = 0; s < n; ++s) {
    const int l = lengths[s];
    if (l == 0) continue;
    const unsigned code = start[l];
    start[l] += 1u << (16 - l);
    const std::uint32_t entry =
        (static_cast<std::uint32_t>(s) << 16) | static_cast<std::uint32_t>(l);
    if (l <= kBits) {
      const unsigned first = code >> kSubBits;
      std::fill_n(table.primary + first, 1u << (kBits - l), entry);
    } else {
      std::uint32_t& slot = table.primary[code >> kSubBits];
      if (!(slot & kSubTableFlag)) slot = kSubTableFlag | (subs++ << 16);
      const unsigned low = code & ((1u << kSubBits) - 1);
      std::fill_n(table.sub[slot >> 16] + low, 1u << (16 - l), entry);
    }
  }
  return true;
}

template bool buildHuffmanDecodeTable<12, kLh5MainSymbols>(
    const std::uint8_t*, int, HuffmanDecodeTable<12, kLh5MainSymbols>&);
template bool buildHuffmanDecodeTable<8, kLh5LenSymbols>(const std::uint8_t*, int,
                                                         HuffmanDecodeTable<8, kLh5LenSymbols>&);

namespace {

using namespace lh5;

// Eight bytes through a register, so that source and target may overlap.
inline void copy8(std::uint8_t* d, const std::uint8_t* s) {
  std::uint64_t v;
  std::memcpy(&v, s, 8);
  std::memcpy(d, &v, 8);
}

[[noreturn]] void badTable() {
  throw ELzhBadDecodeTable("Bad decode table in archive!");
}

template <int kBits, int kSymbols, typename Reader>
inline unsigned decodeSymbol(Reader& br, const HuffmanDecodeTable<kBits, kSymbols>& table) {
  constexpr int kSubBits = HuffmanDecodeTable<kBits, kSymbols>::kSubBits;
  const unsigned v = br.peek16();
  std::uint32_t e = table.primary[v >> kSubBits];
  if (e & kSubTableFlag) [[unlikely]]
    e = table.sub[e >> 16][v & ((1u << kSubBits) - 1)];
  // The length sits in the low bits so that the shift can take the entry as it is.
  br.consume(static_cast<int>(e & 63));
  return e >> 16;
}

class Decoder {
 public:
  Decoder(Lh5DecoderTables& tables, BytePump& pump) : t_(tables), pump_(pump), br_(pump) {}

  void run(std::int64_t count, const std::function<void(unsigned)>& onBlock) {
    constexpr unsigned kHistory = Lh5DecoderTables::kHistory;
    constexpr unsigned kRun = Lh5DecoderTables::kRun;
    std::uint8_t* const out = t_.out;
    // The window starts as 8 KB of spaces, which the first matches may copy from.
    std::memset(out, 0x20, kHistory);
    br_.refill();
    std::uint16_t itemsLeft = 0;
    std::int64_t left = count;  // bytes still to produce
    while (left > 0) {
      // One run of new bytes after the window: decoding stops once `stop` is reached, and a
      // match may run past it into the slack, but never past the declared size (`cap`).
      const unsigned stop = kHistory + static_cast<unsigned>(std::min<std::int64_t>(left, kRun));
      const unsigned cap =
          kHistory + static_cast<unsigned>(std::min<std::int64_t>(left, kRun + 256));
      unsigned pos = kHistory;
      // The bit reader's state lives in locals here (in registers); the reader itself is
      // brought up to date around everything that is not this loop.
      BitReader::Window w = br_.window();
      while (pos < stop) {
        if (itemsLeft == 0) {
          br_.setWindow(w);
          itemsLeft = static_cast<std::uint16_t>(br_.get(16));
          if (onBlock) onBlock(itemsLeft);
          readSmallLengths(NLEN, LEN_BITS, 3);
          readMainLengths();
          readSmallLengths(NPOS, POS_BITS, -1);
          buildDistances();
          // A coder writes a block's header before its items, inside its data: a header that
          // reaches past the end is made of the zeros read there, never of a real block.
          if (br_.bitsPastEnd() > 0) BitReader::throwDataEnded();
          w = br_.window();
        }
        // Items that can neither use up the buffered input (a refill takes at most 8 bytes)
        // nor reach `stop` (an item gives at most 256 bytes) run without those checks.
        const std::ptrdiff_t inputRoom = (w.end - w.in) / 8 - 1;
        unsigned run = std::min<unsigned>(
            {itemsLeft, (stop - pos) / 256, inputRoom > 0 ? static_cast<unsigned>(inputRoom) : 0u});
        if (run == 0) {
          --itemsLeft;
          item<true>(w, pos, cap);
          continue;
        }
        itemsLeft = static_cast<std::uint16_t>(itemsLeft - run);
        do item<false>(w, pos, cap);
        while (--run != 0);
      }
      br_.setWindow(w);
      const unsigned produced = pos - kHistory;
      pump_.write(out + kHistory, produced);
      left -= produced;
      if (left > 0) std::memmove(out, out + pos - kHistory, kHistory);
    }
  }

  // Decodes one item (literal or match) at `pos`. Unguarded, the caller has made sure that
  // the buffer holds a word for the refill and that the item cannot pass `cap`.
  template <bool kGuarded>
  [[gnu::always_inline]] inline void item(BitReader::Window& w, unsigned& pos, unsigned cap) {
    if (!kGuarded || w.bufferHasWord()) [[likely]] {
      w.refillAll();
    } else if (w.count < 48) {
      br_.setWindow(w);
      br_.refill();
      w = br_.window();
    }
    // Literal or match is a coin toss on text, too costly as a branch: every item goes
    // through the match path, and a literal is a match of length 1 whose position bits
    // are left unread and whose first byte is then replaced by the literal.
    std::uint32_t e = t_.main.primary[w.bits >> 52];
    if (e & kSubTableFlag) [[unlikely]]
      e = t_.main.sub[e >> 16][(w.bits >> 48) & 15];
    w.consume(static_cast<int>(e & 63));
    const unsigned c = e >> 16;
    const bool isMatch = c >= 256;
    // The position code and its extra bits in one step (see buildDistances()).
    std::uint32_t pe = t_.dist[w.bits >> 56];
    if (pe & kSubTableFlag) [[unlikely]] {
      pe = isMatch ? distanceEntry(decodeSymbol(w, t_.small), 0) : 0;
    }
    const unsigned codeBits = pe & 31;
    const unsigned extra = (pe >> 5) & 31;
    // extra <= 12: the shift by 32 - extra stays below the width even for no extra bits.
    // The distance is at most 8192, so even a literal's unused one stays inside `out`.
    const unsigned distance =
        (pe >> 16) + static_cast<unsigned>(((w.bits << codeBits) >> 32) >> (32 - extra));
    // Masks rather than conditions, which the compiler would turn back into a branch.
    const unsigned matchMask = 0u - static_cast<unsigned>(isMatch);
    w.consume(static_cast<int>((codeBits + extra) & matchMask));
    unsigned length = 1 + ((c - 254) & matchMask);
    // A damaged stream may run past the declared size; nothing beyond it is written.
    if (kGuarded && pos + length > cap) [[unlikely]]
      length = cap - pos;
    std::uint8_t* d = t_.out + pos;
    const std::uint8_t* src = d - distance;
    if (distance >= 8 || !isMatch) [[likely]] {
      // Whole words: each reads only bytes already final. Writing a little past the
      // match is harmless, those bytes lie ahead of the output. Most matches are at
      // most 16 bytes, and take no loop at all.
      copy8(d, src);
      copy8(d + 8, src + 8);
      for (unsigned k = 16; k < length; k += 8) copy8(d + k, src + k);
    } else {
      for (unsigned k = 0; k < length; ++k) d[k] = src[k];
    }
    d[0] = static_cast<std::uint8_t>((src[0] & matchMask) | (c & ~matchMask));
    pos += length;
  }

 private:
  // A t_.dist entry: the bits of position code j (bits 0-4), the count of extra bits that
  // follow it (bits 5-9) and the distance they add to (bits 16-31); kSubTableFlag when the
  // code is longer than 8 bits.
  static std::uint32_t distanceEntry(unsigned j, unsigned codeBits) {
    const unsigned extra = j == 0 ? 0 : j - 1;
    const unsigned base = (j == 0 ? 0 : 1u << (j - 1)) + 1;
    return codeBits | (extra << 5) | (base << 16);
  }
  void buildDistances() {
    for (unsigned v = 0; v < 256; ++v) {
      const std::uint32_t e = t_.small.primary[v];
      t_.dist[v] = (e & kSubTableFlag) ? kSubTableFlag : distanceEntry(e >> 16, e & 31);
    }
  }

  void readSmallLengths(int nn, int nbit, int special) {
    const int n = static_cast<int>(br_.get(nbit));
    if (n == 0) {
      const unsigned c = br_.get(nbit);
      if (c >= static_cast<unsigned>(nn)) badTable();
      std::memset(t_.smallLen, 0, sizeof t_.smallLen);
      std::fill_n(t_.small.primary, 256, c << 16);
      return;
    }
    if (n > nn) badTable();
    int i = 0;
    while (i < n) {
      br_.refill();
      const unsigned v = br_.peek16();
      unsigned c = v >> 13;
      if (c == 7) {
        for (unsigned mask = 1u << 12; mask != 0 && (v & mask); mask >>= 1) ++c;
        if (c > 16) badTable();
      }
      br_.consume(c < 7 ? 3 : static_cast<int>(c) - 3);
      t_.smallLen[i++] = static_cast<std::uint8_t>(c);
      if (i == special) {
        const int zeros = static_cast<int>(br_.get(2));
        for (int k = 0; k < zeros; ++k) t_.smallLen[i++] = 0;
      }
    }
    while (i < nn) t_.smallLen[i++] = 0;
    if (!buildHuffmanDecodeTable(t_.smallLen, nn, t_.small)) badTable();
  }

  void readMainLengths() {
    const int n = static_cast<int>(br_.get(MAIN_BITS));
    if (n == 0) {
      const unsigned c = br_.get(MAIN_BITS);
      if (c >= static_cast<unsigned>(NMAIN)) badTable();
      std::memset(t_.mainLen, 0, sizeof t_.mainLen);
      std::fill_n(t_.main.primary, 4096, c << 16);
      return;
    }
    if (n > NMAIN) badTable();
    int i = 0;
    while (i < n) {
      br_.refill();
      const unsigned c = decodeSymbol(br_, t_.small);
      int zeros;
      if (c == 0) {
        zeros = 1;
      } else if (c == 1) {
        zeros = static_cast<int>(br_.take(4)) + 3;
      } else if (c == 2) {
        zeros = static_cast<int>(br_.take(MAIN_BITS)) + 20;
      } else {
        t_.mainLen[i++] = static_cast<std::uint8_t>(c - 2);
        continue;
      }
      if (i + zeros > NMAIN) badTable();
      std::memset(t_.mainLen + i, 0, static_cast<std::size_t>(zeros));
      i += zeros;
    }
    if (i < NMAIN) std::memset(t_.mainLen + i, 0, static_cast<std::size_t>(NMAIN - i));
    if (!buildHuffmanDecodeTable(t_.mainLen, NMAIN, t_.main)) badTable();
  }

  Lh5DecoderTables& t_;
  BytePump& pump_;
  BitReader br_;
};

}  // namespace

void lh5Decode(TLzhCoderState& state, BytePump& pump, std::int64_t count,
               const std::function<void(unsigned items)>& onBlock) {
  auto tables = state.lh5Decoder();
  Decoder(*tables, pump).run(count, onBlock);
}

}  // namespace pagora

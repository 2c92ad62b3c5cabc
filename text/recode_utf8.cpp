// UTF-8 to code page 1251: one character at a time, and vector blocks for the ASCII and
// Russian letters that make up most of a book (SSE2, SSSE3, AVX2).
#include <array>
#include <cstdint>

#include "recode_parts.h"
#include "text/recode.h"
#include "text/recode_path.h"

#if PAGORA_RECODE_SSE2
#include <immintrin.h>
#endif

namespace pagora {
namespace {

using recode_parts::kWinHigh;
using recode_parts::unicodeToWin;
using recode_parts::utf8Sequence;

// Every two-byte character (lead 0xC0..0xDF, 64 continuations each) and every character of
// U+2000..U+213F (dashes, quotes, ellipsis, №) in 1251, '?' where it has none: the characters
// of Russian prose that the vector blocks leave to the character steps.
struct CommonChars {
  std::array<unsigned char, 32 * 64> twoByte{};
  std::array<unsigned char, 0x140> punctuation{};
  constexpr CommonChars() {
    twoByte.fill('?');
    punctuation.fill('?');
    for (std::uint32_t cp = 0; cp < 0x80; ++cp) twoByte[cp] = static_cast<unsigned char>(cp);
    for (std::size_t i = 0; i < kWinHigh.size(); ++i) {
      const std::uint32_t cp = kWinHigh[i];
      const auto b = static_cast<unsigned char>(0x80 + i);
      if (cp != 0 && cp < 0x800) twoByte[cp] = b;
      if (cp >= 0x2000 && cp < 0x2140) punctuation[cp - 0x2000] = b;
    }
    for (std::uint32_t cp = 0x0410; cp <= 0x044F; ++cp) {
      twoByte[cp] = static_cast<unsigned char>(cp - 0x0410 + 0xC0);
    }
  }
};
constexpr CommonChars kCommon;

// One character of any kind: returns the bytes it took (at most `avail`) and writes one byte;
// counts in `lost` a character that 1251 lacks, which the caller then hands to the fallback.
inline std::size_t utf8Step(const unsigned char* s, std::size_t avail, unsigned char* d,
                            std::size_t& lost) {
  const unsigned char b = s[0];
  if (b < 0x80) {
    *d = b;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF && avail >= 2 && (s[1] & 0xC0) == 0x80) {
    *d = kCommon.twoByte[((b & 0x1Fu) << 6) | (s[1] & 0x3Fu)];
    lost += *d == '?';
    return 2;
  }
  if (b == 0xE2 && avail >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
    const unsigned cp = ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);  // U+2000 on
    *d = cp < 0x140 ? kCommon.punctuation[cp] : '?';
    lost += *d == '?';
    return 3;
  }
  std::uint32_t cp = 0;
  const std::size_t len = utf8Sequence(s, avail, cp);
  if (len == 0) {
    *d = b;  // not UTF-8: keep the byte as it is
    return 1;
  }
  *d = unicodeToWin(cp);
  lost += *d == '?' && cp != '?';
  return len;
}

// One character at a time: the scalar path. Never writes ahead of what it has read, so `dst`
// may lie in the same buffer at or before `src`.
std::size_t utf8Steps(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                      std::size_t /*lead*/, std::size_t& lost) {
  std::size_t s = 0;
  std::size_t o = 0;
  while (s < srcLen) {
    s += utf8Step(src + s, srcLen - s, dst + o, lost);
    ++o;
  }
  return o;
}

#if PAGORA_RECODE_SSE2
// For every 8-bit mask, the positions of its set bits in order, then 7s: a shuffle that packs
// the kept bytes of an 8-byte half to its front. The 7s repeat the half's last byte, so that a
// half whose last byte is held back for the next block writes that byte back unchanged.
struct CompactTable {
  std::uint64_t entry[256];
  unsigned char count[256];
  constexpr CompactTable() : entry{}, count{} {
    for (int m = 0; m < 256; ++m) {
      std::uint64_t e = 0;
      int k = 0;
      for (int j = 0; j < 8; ++j) {
        if (m & (1 << j)) e |= static_cast<std::uint64_t>(j) << (8 * k++);
      }
      count[m] = static_cast<unsigned char>(k);
      for (; k < 8; ++k) e |= std::uint64_t{7} << (8 * k);
      entry[m] = e;
    }
  }
};
constexpr CompactTable kCompact;

// Writes the bytes of `v` whose bit is set in `keep`, in order, at `d` (16 bytes writable);
// returns how many.
__attribute__((target("ssse3"))) inline std::size_t compactShuffle(__m128i v, unsigned keep,
                                                                   unsigned char* d) {
  const __m128i shuffle =
      _mm_add_epi8(_mm_set_epi64x(static_cast<long long>(kCompact.entry[keep >> 8]),
                                  static_cast<long long>(kCompact.entry[keep & 0xFF])),
                   _mm_set_epi64x(0x0808080808080808LL, 0));
  const __m128i packed = _mm_shuffle_epi8(v, shuffle);
  const std::size_t low = kCompact.count[keep & 0xFF];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), packed);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d + low), _mm_unpackhi_epi64(packed, packed));
  return low + kCompact.count[keep >> 8];
}

// The same without the shuffle instruction: every byte is written, the kept ones advance.
__attribute__((always_inline)) inline std::size_t compactPlain(__m128i v, unsigned keep,
                                                               unsigned char* d) {
  alignas(16) unsigned char bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), v);
  std::size_t o = 0;
  for (int j = 0; j < 16; ++j) {
    d[o] = bytes[j];
    o += (keep >> j) & 1;
  }
  return o;
}
#endif

#if PAGORA_RECODE_SSE2
// 32 bytes of ASCII and А..я at once, as one 16-byte block below does with 16. Returns false,
// having changed nothing, when the block holds anything else; the 16-byte code then takes it.
__attribute__((target("avx2"))) inline bool wide32(const unsigned char* src, std::size_t& s,
                                                   unsigned char* dst, std::size_t& o,
                                                   unsigned& carry, __m128i& carryD0,
                                                   __m128i& carryD1) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + s));
  const auto high = static_cast<unsigned>(_mm256_movemask_epi8(v));
  if ((high | carry) == 0) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + o), v);
    s += 32;
    o += 32;
    return true;
  }
  const __m256i isD0 = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(0xD0)));
  const __m256i isD1 = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(0xD1)));
  const auto leads = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(isD0, isD1)));
  const unsigned cont = high & ~leads;
  // Each byte's predecessor, across the two lanes, the carried lead before the first.
  const __m256i afterD0 =
      _mm256_or_si256(_mm256_alignr_epi8(isD0, _mm256_permute2x128_si256(isD0, isD0, 0x08), 15),
                      _mm256_zextsi128_si256(carryD0));
  const __m256i afterD1 =
      _mm256_or_si256(_mm256_alignr_epi8(isD1, _mm256_permute2x128_si256(isD1, isD1, 0x08), 15),
                      _mm256_zextsi128_si256(carryD1));
  const __m256i off0 = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(0x90)));
  const __m256i off1 = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80)));
  const __m256i in0 = _mm256_cmpeq_epi8(_mm256_min_epu8(off0, _mm256_set1_epi8(0x2F)), off0);
  const __m256i in1 = _mm256_cmpeq_epi8(_mm256_min_epu8(off1, _mm256_set1_epi8(0x0F)), off1);
  const auto outside = static_cast<unsigned>(_mm256_movemask_epi8(
      _mm256_or_si256(_mm256_andnot_si256(in0, afterD0), _mm256_andnot_si256(in1, afterD1))));
  if (((cont ^ ((leads << 1) | carry)) | outside) != 0) return false;
  const __m256i value =
      _mm256_add_epi8(v, _mm256_or_si256(_mm256_and_si256(afterD0, _mm256_set1_epi8(0x30)),
                                         _mm256_and_si256(afterD1, _mm256_set1_epi8(0x70))));
  const unsigned keep = ~leads;
  const unsigned k0 = keep & 0xFF, k1 = (keep >> 8) & 0xFF, k2 = (keep >> 16) & 0xFF,
                 k3 = keep >> 24;
  const __m256i shuffle = _mm256_add_epi8(
      _mm256_set_epi64x(
          static_cast<long long>(kCompact.entry[k3]), static_cast<long long>(kCompact.entry[k2]),
          static_cast<long long>(kCompact.entry[k1]), static_cast<long long>(kCompact.entry[k0])),
      _mm256_set_epi64x(0x0808080808080808LL, 0, 0x0808080808080808LL, 0));
  const __m256i packed = _mm256_shuffle_epi8(value, shuffle);
  const __m128i low = _mm256_castsi256_si128(packed);
  const __m128i upper = _mm256_extracti128_si256(packed, 1);
  unsigned char* d = dst + o;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), low);
  d += kCompact.count[k0];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_unpackhi_epi64(low, low));
  d += kCompact.count[k1];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), upper);
  d += kCompact.count[k2];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_unpackhi_epi64(upper, upper));
  d += kCompact.count[k3];
  o = static_cast<std::size_t>(d - dst);
  s += 32;
  carry = leads >> 31;
  carryD0 = _mm_srli_si128(_mm256_extracti128_si256(isD0, 1), 15);
  carryD1 = _mm_srli_si128(_mm256_extracti128_si256(isD1, 1), 15);
  return true;
}
#endif

// Converts src[0, srcLen) to dst and returns the result's length. Blocks of 16 bytes that hold
// only ASCII and the two-byte Russian letters А..я go through vector code in one pass; anything
// else (Ё, dashes, quotes, invalid bytes) takes one character step and the blocks resume.
// A letter cut by the block's end is finished by the next block, so that the read position
// always moves by 16 and never waits for the data it reads.
// dst may lie in the same buffer, `lead` bytes before src: the result is never longer than the
// input, and a vector block that packs bytes, whose stores reach 16 bytes past the write
// position, runs only when those 16 bytes lie wholly in input already consumed (a plain ASCII
// block stores exactly what it read). Separate buffers pass a `lead` larger than any input.
template <int kLevel>  // 0: SSE2, 1: with SSSE3's shuffle, 2: with AVX2 for 32-byte blocks
inline std::size_t utf8Kernel(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                              std::size_t lead, std::size_t& lost) {
  std::size_t s = 0;
  std::size_t o = 0;
#if PAGORA_RECODE_SSE2
  // Set when the byte before s is a D0 or D1 lead whose letter this block has to finish; the
  // vectors hold 0xFF in byte 0 for that lead's kind.
  unsigned carry = 0;
  __m128i carryD0 = _mm_setzero_si128();
  __m128i carryD1 = _mm_setzero_si128();
  for (;;) {
    if constexpr (kLevel >= 2) {
      if (s + 32 <= srcLen && o + 33 <= s + lead &&
          wide32(src, s, dst, o, carry, carryD0, carryD1)) {
        continue;
      }
    }
    if (s + 16 <= srcLen) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + s));
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
      if ((high | carry) == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + o), v);
        s += 16;
        o += 16;
        continue;
      }
      // One byte of room more than the stores need: it keeps a carried lead readable.
      if (o + 17 <= s + lead) {
        const __m128i isD0 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xD0)));
        const __m128i isD1 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xD1)));
        const auto leads = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(isD0, isD1)));
        const unsigned cont = high & ~leads;
        // D0 90..BF is А..п and D1 80..8F р..я: 1251 has them at 0xC0..0xFF, in that order.
        const __m128i afterD0 = _mm_or_si128(_mm_slli_si128(isD0, 1), carryD0);
        const __m128i afterD1 = _mm_or_si128(_mm_slli_si128(isD1, 1), carryD1);
        const __m128i off0 = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(0x90)));
        const __m128i off1 = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(0x80)));
        const __m128i in0 = _mm_cmpeq_epi8(_mm_min_epu8(off0, _mm_set1_epi8(0x2F)), off0);
        const __m128i in1 = _mm_cmpeq_epi8(_mm_min_epu8(off1, _mm_set1_epi8(0x0F)), off1);
        const auto outside = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_andnot_si128(in0, afterD0), _mm_andnot_si128(in1, afterD1))));
        // Every continuation byte must follow a lead and every lead be followed by one.
        const unsigned error = (cont ^ (((leads << 1) | carry) & 0xFFFF)) | outside;
        const __m128i value =
            _mm_add_epi8(v, _mm_or_si128(_mm_and_si128(afterD0, _mm_set1_epi8(0x30)),
                                         _mm_and_si128(afterD1, _mm_set1_epi8(0x70))));
        unsigned take = 16;
        if (error != 0) {
          take = static_cast<unsigned>(__builtin_ctz(error));
          if (take > 0 && ((leads >> (take - 1)) & 1)) --take;  // the lead belongs to the fault
        }
        const unsigned keep = ~leads & ((1u << take) - 1);
        if constexpr (kLevel >= 1) {
          o += compactShuffle(value, keep, dst + o);
        } else {
          o += compactPlain(value, keep, dst + o);
        }
        if (error == 0) {
          s += 16;
          carry = leads >> 15;
          carryD0 = _mm_srli_si128(isD0, 15);
          carryD1 = _mm_srli_si128(isD1, 15);
          continue;
        }
        // At a fault right at the block's start a carried lead is the faulty character.
        s = take == 0 && carry ? s - 1 : s + take;
        carry = 0;
        carryD0 = carryD1 = _mm_setzero_si128();
        s += utf8Step(src + s, srcLen - s, dst + o, lost);
        ++o;
        continue;
      }
    }
    if (carry) {  // the carried lead goes back to the character steps
      --s;
      carry = 0;
      carryD0 = carryD1 = _mm_setzero_si128();
    }
    if (s >= srcLen) break;
    s += utf8Step(src + s, srcLen - s, dst + o, lost);
    ++o;
  }
#else
  o = utf8Steps(src, srcLen, dst, lead, lost);
#endif
  return o;
}

#if PAGORA_RECODE_SSE2
__attribute__((target("ssse3"), flatten)) std::size_t utf8KernelShuffle(const unsigned char* src,
                                                                        std::size_t srcLen,
                                                                        unsigned char* dst,
                                                                        std::size_t lead,
                                                                        std::size_t& lost) {
  return utf8Kernel<1>(src, srcLen, dst, lead, lost);
}

__attribute__((target("avx2"), flatten)) std::size_t utf8KernelWide(const unsigned char* src,
                                                                    std::size_t srcLen,
                                                                    unsigned char* dst,
                                                                    std::size_t lead,
                                                                    std::size_t& lost) {
  return utf8Kernel<2>(src, srcLen, dst, lead, lost);
}

std::size_t utf8KernelPlain(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                            std::size_t lead, std::size_t& lost) {
  return utf8Kernel<0>(src, srcLen, dst, lead, lost);
}
#endif

using Utf8KernelFunction = std::size_t (*)(const unsigned char*, std::size_t, unsigned char*,
                                           std::size_t, std::size_t&);

Utf8KernelFunction pickUtf8Kernel() {
  switch (activeRecodePath()) {
#if PAGORA_RECODE_SSE2
    case RecodePath::Avx2:
      return utf8KernelWide;
    case RecodePath::Ssse3:
      return utf8KernelShuffle;
    case RecodePath::Sse2:
      return utf8KernelPlain;
#endif
    default:
      return utf8Steps;
  }
}

// Chosen on first use, so that converting from another file's static initialiser works too.
std::size_t runUtf8Kernel(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                          std::size_t lead, std::size_t& lost) {
  static const Utf8KernelFunction kernel = pickUtf8Kernel();
  return kernel(src, srcLen, dst, lead, lost);
}

// A text with characters 1251 lacks, in pieces that end at a line feed: each piece runs through
// the vector blocks again, and only a piece that holds such a character goes to the fallback,
// which knows the neighbours and the decompositions. A line end parts no letter from its marks
// and no word from its neighbours, so the pieces convert as the whole would.
std::string utf8ToWinByPieces(std::string_view text, std::size_t& missing) {
  constexpr std::size_t kPiece = 256;
  std::string out;
  out.reserve(text.size());
  std::string piece;
  missing = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.size();
    if (text.size() - at > kPiece) {
      const std::size_t feed = text.find('\n', at + kPiece);
      if (feed != std::string_view::npos) end = feed + 1;
    }
    const std::string_view part = text.substr(at, end - at);
    piece.resize(part.size());
    std::size_t lost = 0;
    const std::size_t length =
        runUtf8Kernel(reinterpret_cast<const unsigned char*>(part.data()), part.size(),
                      reinterpret_cast<unsigned char*>(piece.data()), part.size() + 16, lost);
    if (lost == 0) {
      out.append(piece.data(), length);
    } else {
      out += recode_parts::utf8ToWinFallback(part, lost);
      missing += lost;
    }
    at = end;
  }
  return out;
}

std::size_t byteOrderMark(const unsigned char* p, std::size_t n) {
  return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
}

}  // namespace

std::string utf8ToWin(std::string_view text, std::size_t* missing) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t bom = byteOrderMark(in, text.size());
  std::string out(text.size() - bom, '\0');
  std::size_t lost = 0;
  out.resize(runUtf8Kernel(in + bom, text.size() - bom,
                           reinterpret_cast<unsigned char*>(out.data()), text.size() + 16, lost));
  // The vector blocks serve the texts that need no fallback; the rest is converted again.
  if (lost != 0) out = utf8ToWinByPieces(text.substr(bom), lost);
  if (missing != nullptr) *missing = lost;
  return out;
}

std::size_t utf8ToWinInPlace(std::string& text) {
  // Converted beside the text, so that the input is still there when the fallback needs it.
  // The view window converts line by line: a buffer kept per thread spares an allocation per
  // line; a whole book gets a buffer of its own, so that none stays allocated after it.
  thread_local std::string kept;
  std::string own;
  std::string& scratch = text.size() <= 64 * 1024 ? kept : own;
  if (scratch.size() < text.size()) scratch.resize(text.size());
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t bom = byteOrderMark(in, text.size());
  std::size_t lost = 0;
  const std::size_t length =
      runUtf8Kernel(in + bom, text.size() - bom, reinterpret_cast<unsigned char*>(scratch.data()),
                    text.size() + 16, lost);
  if (lost == 0) {
    text.assign(scratch.data(), length);
  } else {
    text = utf8ToWinByPieces(std::string_view(text).substr(bom), lost);
  }
  return lost;
}

}  // namespace pagora

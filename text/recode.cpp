// Code-page tables and conversions between DOS 866, KOI8-R, Windows 1251, UTF-8 and the
// handheld's character set, and the letter-statistics guess of a text's encoding.
#include "text/recode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "text/recode_path.h"

#if PAGORA_RECODE_SSE2
#include <immintrin.h>
#endif

namespace pagora {
namespace {

using Table = std::array<unsigned char, 256>;

constexpr Table Identity() {
  Table t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  return t;
}

// 866: the Russian letters sit in three blocks; the few other characters 1251 also has are
// listed, and four box-drawing bytes take a look-alike so that simple frames stay readable.
constexpr Table MakeDosTable() {
  Table t = Identity();
  for (int b = 0x80; b <= 0xAF; ++b) t[b] = static_cast<unsigned char>(b + 0x40);  // А..п
  for (int b = 0xE0; b <= 0xEF; ++b) t[b] = static_cast<unsigned char>(b + 0x10);  // р..я
  constexpr unsigned char high[16] = {0xA8, 0xB8, 0xAA, 0xBA, 0xAF, 0xBF, 0xA1, 0xA2,
                                      0xB0, 0xF9, 0xB7, 0xFB, 0xB9, 0xA4, 0xFE, 0xA0};
  for (int i = 0; i < 16; ++i) t[0xF0 + i] = high[i];
  t[0xB3] = 0xA6;
  t[0xBF] = 0xAC;
  t[0xC5] = 0x86;
  t[0xD8] = 0x87;
  return t;
}

// KOI8-R orders its letters after the Latin ones they sound like; only the 64 letters at
// 0xC0..0xFF are converted (Ё/ё and the box drawing below 0xC0 stay as they are).
constexpr Table MakeKoiTable() {
  Table t = Identity();
  constexpr unsigned char small[32] = {0xFE, 0xE0, 0xE1, 0xF6, 0xE4, 0xE5, 0xF4, 0xE3,
                                       0xF5, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE,
                                       0xEF, 0xFF, 0xF0, 0xF1, 0xF2, 0xF3, 0xE6, 0xE2,
                                       0xFC, 0xFB, 0xE7, 0xF8, 0xFD, 0xF9, 0xF7, 0xFA};
  for (int i = 0; i < 32; ++i) {
    t[0xC0 + i] = small[i];
    t[0xE0 + i] = static_cast<unsigned char>(small[i] - 0x20);
  }
  return t;
}

// The device set keeps printable ASCII (bar excepted), turns control bytes into spaces (TAB and
// CR survive) and packs the 66 Russian letters, Ё/ё in alphabetical place, from 0x80 on.
constexpr Table MakeDeviceTable() {
  Table t{};
  for (int b = 0; b < 0x20; ++b) t[b] = 0x20;
  t[0x09] = 0x09;
  t[0x0D] = 0x0D;
  for (int b = 0x20; b < 0x7F; ++b) t[b] = static_cast<unsigned char>(b);
  t[0x7C] = 0xCD;
  t[0x7F] = 0x20;
  // clang-format off
  constexpr unsigned char symbols[64] = {
      0xE7, 0x20, 0x20, 0xCC, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
      0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
      0x20, 0x8F, 0xAF, 0xBD, 0xDD, 0xBE, 0x7C, 0xD3, 0x86, 0xDC, 0xC0, 0xDA, 0x20, 0xD7, 0xD9, 0x20,
      0xC5, 0xC4, 0xC6, 0xC7, 0x20, 0xC8, 0xAE, 0xE5, 0xA7, 0xE6, 0xC1, 0xDB, 0xCA, 0xC9, 0xCB, 0x9F};
  // clang-format on
  for (int i = 0; i < 64; ++i) t[0x80 + i] = symbols[i];
  for (int b = 0xC0; b <= 0xC5; ++b) t[b] = static_cast<unsigned char>(b - 0x40);  // А..Е
  for (int b = 0xC6; b <= 0xDF; ++b) t[b] = static_cast<unsigned char>(b - 0x3F);  // Ж..Я
  for (int b = 0xE0; b <= 0xE5; ++b) t[b] = static_cast<unsigned char>(b - 0x3F);  // а..е
  for (int b = 0xE6; b <= 0xFF; ++b) t[b] = static_cast<unsigned char>(b - 0x3E);  // ж..я
  t[0xA8] = 0x86;                                                                  // Ё
  t[0xB8] = 0xA7;                                                                  // ё
  return t;
}

constexpr bool IsWinLetter(int b) {
  return b >= 0xC0 || b == 0xA8 || b == 0xB8;
}

// Inverse of the device table: a code's own byte when that maps to itself, else the first byte
// mapping onto it, and a letter over anything else; codes nothing maps to stay.
constexpr Table MakeDeviceInverse(const Table& forward) {
  Table t = Identity();
  std::array<bool, 256> taken{};
  for (int b = 0; b < 256; ++b) {
    if (forward[b] == b) {
      taken[b] = true;
    }
  }
  for (int b = 0; b < 256; ++b) {
    const int code = forward[b];
    if (!IsWinLetter(b) && !taken[code]) {
      t[code] = static_cast<unsigned char>(b);
      taken[code] = true;
    }
  }
  for (int b = 0; b < 256; ++b) {
    if (IsWinLetter(b)) t[forward[b]] = static_cast<unsigned char>(b);
  }
  return t;
}

constexpr Table kDosToWin = MakeDosTable();
constexpr Table kKoiToWin = MakeKoiTable();
constexpr Table kWinToDevice = MakeDeviceTable();
constexpr Table kDeviceToWin = MakeDeviceInverse(kWinToDevice);

// Code page 1251 bytes 0x80..0xBF as Unicode (0 for the unassigned 0x98); 0xC0..0xFF are
// U+0410..U+044F in order.
constexpr std::array<std::uint16_t, 64> kWinHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// Unicode -> 1251 for the blocks where 1251's characters live: Latin-1 signs, Cyrillic, and
// general punctuation; everything else 1251 has is listed in kWinHigh and looked up there.
struct ReverseBlocks {
  std::array<unsigned char, 0x40> latin{};          // U+0080..U+00BF
  std::array<unsigned char, 0x0A0> cyrillic{};      // U+0400..U+049F
  std::array<unsigned char, 0x0140> punctuation{};  // U+2000..U+213F
  ReverseBlocks() {
    for (std::size_t i = 0; i < kWinHigh.size(); ++i) {
      const std::uint32_t cp = kWinHigh[i];
      const auto b = static_cast<unsigned char>(0x80 + i);
      if (cp >= 0x0080 && cp < 0x00C0) latin[cp - 0x0080] = b;
      if (cp >= 0x0400 && cp < 0x04A0) cyrillic[cp - 0x0400] = b;
      if (cp >= 0x2000 && cp < 0x2140) punctuation[cp - 0x2000] = b;
    }
    for (std::uint32_t cp = 0x0410; cp <= 0x044F; ++cp) {
      cyrillic[cp - 0x0400] = static_cast<unsigned char>(cp - 0x0410 + 0xC0);
    }
  }
};

unsigned char UnicodeToWin(std::uint32_t cp) {
  static const ReverseBlocks blocks;
  unsigned char b = 0;
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp < 0x00C0) {
    b = blocks.latin[cp - 0x0080];
  } else if (cp >= 0x0400 && cp < 0x04A0) {
    b = blocks.cyrillic[cp - 0x0400];
  } else if (cp >= 0x2000 && cp < 0x2140) {
    b = blocks.punctuation[cp - 0x2000];
  }
  return b != 0 ? b : '?';
}

// Tables whose lower half is the identity (866, KOI8-R) leave ASCII alone.
constexpr bool LowIdentity(const Table& t) {
  for (int b = 0; b < 0x80; ++b) {
    if (t[b] != b) return false;
  }
  return true;
}

#if PAGORA_RECODE_SSE2
// 32 bytes at a time: each of the table's sixteen rows is looked up with a shuffle on the low
// four bits and kept where the high four bits name that row.
__attribute__((target("avx2"))) std::size_t MapWide(const unsigned char* in, unsigned char* out,
                                                    std::size_t n, const Table& table) {
  const int first = LowIdentity(table) ? 8 : 0;
  __m256i rows[16];
  for (int h = first; h < 16; ++h) {
    rows[h] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data() + 16 * h)));
  }
  const __m256i lowBits = _mm256_set1_epi8(0x0F);
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    const __m256i index = _mm256_and_si256(v, lowBits);
    const __m256i row = _mm256_and_si256(_mm256_srli_epi16(v, 4), lowBits);
    __m256i result = first == 8 ? _mm256_andnot_si256(_mm256_cmpgt_epi8(_mm256_setzero_si256(), v), v)
                                : _mm256_setzero_si256();
    for (int h = first; h < 16; ++h) {
      const __m256i here = _mm256_cmpeq_epi8(row, _mm256_set1_epi8(static_cast<char>(h)));
      result = _mm256_or_si256(result,
                               _mm256_and_si256(here, _mm256_shuffle_epi8(rows[h], index)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), result);
  }
  return i;
}
#endif

// Converts n bytes; `out` may be `in`.
void MapBytes(const unsigned char* in, unsigned char* out, std::size_t n, const Table& table) {
  std::size_t i = 0;
#if PAGORA_RECODE_SSE2
  if (ActiveRecodePath() == RecodePath::Avx2) i = MapWide(in, out, n, table);
#endif
  for (; i < n; ++i) out[i] = table[in[i]];
}

void MapInPlace(std::string& text, const Table& table) {
  auto* p = reinterpret_cast<unsigned char*>(text.data());
  MapBytes(p, p, text.size(), table);
}

std::string Map(std::string_view text, const Table& table) {
  std::string out(text.size(), '\0');
  MapBytes(reinterpret_cast<const unsigned char*>(text.data()),
           reinterpret_cast<unsigned char*>(out.data()), text.size(), table);
  return out;
}

// Length of the valid UTF-8 sequence at `p` (at most `n` bytes available), 0 when invalid.
// `truncatedOk` accepts a sequence cut off by the end of the input as valid.
std::size_t Utf8Sequence(const unsigned char* p, std::size_t n, std::uint32_t& cp,
                         bool truncatedOk = false) {
  const unsigned char b = p[0];
  std::size_t len;
  std::uint32_t min;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    len = 2, min = 0x80, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, min = 0x800, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, min = 0x10000, cp = b & 0x07;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < len; ++i) {
    if (i >= n) return truncatedOk ? n : 0;
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
    // Reject overlong and out-of-range forms as early as the second byte allows.
    if (i == 1 && len > 2) {
      const std::uint32_t shifted = cp << (6 * (len - 2));
      if (shifted < min || shifted > 0x10FFFF || (shifted >= 0xD800 && shifted <= 0xDFFF)) {
        return 0;
      }
    }
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string DosToWin(std::string_view text) {
  return Map(text, kDosToWin);
}
std::string KoiToWin(std::string_view text) {
  return Map(text, kKoiToWin);
}
std::string WinToDevice(std::string_view text) {
  return Map(text, kWinToDevice);
}
std::string DeviceToWin(std::string_view text) {
  return Map(text, kDeviceToWin);
}
void DosToWinInPlace(std::string& text) {
  MapInPlace(text, kDosToWin);
}
void KoiToWinInPlace(std::string& text) {
  MapInPlace(text, kKoiToWin);
}
void WinToDeviceInPlace(std::string& text) {
  MapInPlace(text, kWinToDevice);
}
void DeviceToWinInPlace(std::string& text) {
  MapInPlace(text, kDeviceToWin);
}

namespace {

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

// One character of any kind: returns the bytes it took (at most `avail`) and writes one byte.
inline std::size_t Utf8Step(const unsigned char* s, std::size_t avail, unsigned char* d) {
  const unsigned char b = s[0];
  if (b < 0x80) {
    *d = b;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF && avail >= 2 && (s[1] & 0xC0) == 0x80) {
    *d = kCommon.twoByte[((b & 0x1Fu) << 6) | (s[1] & 0x3Fu)];
    return 2;
  }
  if (b == 0xE2 && avail >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
    const unsigned cp = ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);  // U+2000 on
    *d = cp < 0x140 ? kCommon.punctuation[cp] : '?';
    return 3;
  }
  std::uint32_t cp = 0;
  const std::size_t len = Utf8Sequence(s, avail, cp);
  if (len == 0) {
    *d = b;  // not UTF-8: keep the byte as it is
    return 1;
  }
  *d = UnicodeToWin(cp);
  return len;
}

// One character at a time: the scalar path. Never writes ahead of what it has read, so `dst`
// may lie in the same buffer at or before `src`.
std::size_t Utf8Steps(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                      std::size_t /*lead*/) {
  std::size_t s = 0;
  std::size_t o = 0;
  while (s < srcLen) {
    s += Utf8Step(src + s, srcLen - s, dst + o);
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
__attribute__((target("ssse3"))) inline std::size_t CompactShuffle(
    __m128i v, unsigned keep, unsigned char* d) {
  const __m128i shuffle = _mm_add_epi8(
      _mm_set_epi64x(static_cast<long long>(kCompact.entry[keep >> 8]),
                     static_cast<long long>(kCompact.entry[keep & 0xFF])),
      _mm_set_epi64x(0x0808080808080808LL, 0));
  const __m128i packed = _mm_shuffle_epi8(v, shuffle);
  const std::size_t low = kCompact.count[keep & 0xFF];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), packed);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d + low), _mm_unpackhi_epi64(packed, packed));
  return low + kCompact.count[keep >> 8];
}

// The same without the shuffle instruction: every byte is written, the kept ones advance.
__attribute__((always_inline)) inline std::size_t CompactPlain(__m128i v, unsigned keep,
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
__attribute__((target("avx2"))) inline bool Wide32(const unsigned char* src, std::size_t& s,
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
  const __m256i afterD0 = _mm256_or_si256(
      _mm256_alignr_epi8(isD0, _mm256_permute2x128_si256(isD0, isD0, 0x08), 15),
      _mm256_zextsi128_si256(carryD0));
  const __m256i afterD1 = _mm256_or_si256(
      _mm256_alignr_epi8(isD1, _mm256_permute2x128_si256(isD1, isD1, 0x08), 15),
      _mm256_zextsi128_si256(carryD1));
  const __m256i off0 = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(0x90)));
  const __m256i off1 = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80)));
  const __m256i in0 = _mm256_cmpeq_epi8(_mm256_min_epu8(off0, _mm256_set1_epi8(0x2F)), off0);
  const __m256i in1 = _mm256_cmpeq_epi8(_mm256_min_epu8(off1, _mm256_set1_epi8(0x0F)), off1);
  const auto outside = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(
      _mm256_andnot_si256(in0, afterD0), _mm256_andnot_si256(in1, afterD1))));
  if (((cont ^ ((leads << 1) | carry)) | outside) != 0) return false;
  const __m256i value = _mm256_add_epi8(
      v, _mm256_or_si256(_mm256_and_si256(afterD0, _mm256_set1_epi8(0x30)),
                         _mm256_and_si256(afterD1, _mm256_set1_epi8(0x70))));
  const unsigned keep = ~leads;
  const unsigned k0 = keep & 0xFF, k1 = (keep >> 8) & 0xFF, k2 = (keep >> 16) & 0xFF,
                 k3 = keep >> 24;
  const __m256i shuffle = _mm256_add_epi8(
      _mm256_set_epi64x(static_cast<long long>(kCompact.entry[k3]),
                        static_cast<long long>(kCompact.entry[k2]),
                        static_cast<long long>(kCompact.entry[k1]),
                        static_cast<long long>(kCompact.entry[k0])),
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
inline std::size_t Utf8Kernel(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                              std::size_t lead) {
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
      if (s + 32 <= srcLen && o + 33 <= s + lead && Wide32(src, s, dst, o, carry, carryD0, carryD1)) {
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
        const __m128i value = _mm_add_epi8(
            v, _mm_or_si128(_mm_and_si128(afterD0, _mm_set1_epi8(0x30)),
                            _mm_and_si128(afterD1, _mm_set1_epi8(0x70))));
        unsigned take = 16;
        if (error != 0) {
          take = static_cast<unsigned>(__builtin_ctz(error));
          if (take > 0 && ((leads >> (take - 1)) & 1)) --take;  // the lead belongs to the fault
        }
        const unsigned keep = ~leads & ((1u << take) - 1);
        if constexpr (kLevel >= 1) {
          o += CompactShuffle(value, keep, dst + o);
        } else {
          o += CompactPlain(value, keep, dst + o);
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
        s += Utf8Step(src + s, srcLen - s, dst + o);
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
    s += Utf8Step(src + s, srcLen - s, dst + o);
    ++o;
  }
#else
  o = Utf8Steps(src, srcLen, dst, lead);
#endif
  return o;
}

#if PAGORA_RECODE_SSE2
__attribute__((target("ssse3"), flatten)) std::size_t Utf8KernelShuffle(const unsigned char* src,
                                                                        std::size_t srcLen,
                                                                        unsigned char* dst,
                                                                        std::size_t lead) {
  return Utf8Kernel<1>(src, srcLen, dst, lead);
}

__attribute__((target("avx2"), flatten)) std::size_t Utf8KernelWide(const unsigned char* src,
                                                                   std::size_t srcLen,
                                                                   unsigned char* dst,
                                                                   std::size_t lead) {
  return Utf8Kernel<2>(src, srcLen, dst, lead);
}

std::size_t Utf8KernelPlain(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                            std::size_t lead) {
  return Utf8Kernel<0>(src, srcLen, dst, lead);
}
#endif

using Utf8KernelFunction = std::size_t (*)(const unsigned char*, std::size_t, unsigned char*,
                                           std::size_t);

Utf8KernelFunction PickUtf8Kernel() {
  switch (ActiveRecodePath()) {
#if PAGORA_RECODE_SSE2
    case RecodePath::Avx2: return Utf8KernelWide;
    case RecodePath::Ssse3: return Utf8KernelShuffle;
    case RecodePath::Sse2: return Utf8KernelPlain;
#endif
    default: return Utf8Steps;
  }
}

// Chosen on first use, so that converting from another file's static initialiser works too.
std::size_t RunUtf8Kernel(const unsigned char* src, std::size_t srcLen, unsigned char* dst,
                          std::size_t lead) {
  static const Utf8KernelFunction kernel = PickUtf8Kernel();
  return kernel(src, srcLen, dst, lead);
}

std::size_t ByteOrderMark(const unsigned char* p, std::size_t n) {
  return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
}

}  // namespace

std::string Utf8ToWin(std::string_view text) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t bom = ByteOrderMark(in, text.size());
  std::string out(text.size() - bom, '\0');
  out.resize(Utf8ToWin(text, out.data()));
  return out;
}

std::size_t Utf8ToWin(std::string_view text, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t bom = ByteOrderMark(in, text.size());
  return RunUtf8Kernel(in + bom, text.size() - bom, reinterpret_cast<unsigned char*>(out),
                    text.size() + 16);
}

void Utf8ToWinInPlace(std::string& text) {
  auto* p = reinterpret_cast<unsigned char*>(text.data());
  const std::size_t bom = ByteOrderMark(p, text.size());
  text.resize(RunUtf8Kernel(p + bom, text.size() - bom, p, bom));
}

std::string WinToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (unsigned char b : text) {
    std::uint32_t cp = b;
    if (b >= 0xC0) {
      cp = 0x0410 + (b - 0xC0);
    } else if (b >= 0x80) {
      cp = kWinHigh[b - 0x80];
      if (cp == 0) cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp;
    const std::size_t len = Utf8Sequence(p + i, text.size() - i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

namespace {

// How a text reads as Russian: every byte falls into one of 34 classes (а..я, ё, and "not a
// Russian letter"), capitals counting as their small letters, and consecutive classes are scored
// with letter-pair costs taken from a long novel (make_letter_pairs.py beside this file prints
// the table). Folding the case is what keeps an all-capitals text from reading better in the code
// page that swaps the cases (1251 capitals are KOI8-R small letters).
constexpr int kOther = 33;
constexpr int kYo = 32;
// clang-format off
constexpr std::uint8_t kLetterPairCost[34][34] = {
    {92, 48, 31, 48, 35, 42, 41, 28, 63, 49, 28, 20, 34, 27, 94, 48, 34, 30, 28, 72, 56, 44, 64, 45, 47, 58, 123, 123, 123, 93, 44, 34, 68, 13},
    {29, 92, 51, 82, 61, 20, 82, 86, 30, 108, 41, 29, 55, 39, 20, 108, 26, 53, 75, 27, 108, 56, 78, 78, 74, 41, 49, 13, 69, 108, 80, 34, 45, 36},
    {20, 78, 75, 72, 48, 22, 102, 43, 22, 118, 56, 39, 56, 35, 17, 53, 36, 24, 52, 41, 118, 66, 74, 62, 36, 85, 91, 28, 54, 118, 96, 50, 48, 20},
    {29, 108, 76, 86, 26, 38, 108, 97, 30, 108, 48, 23, 97, 45, 6, 108, 31, 62, 77, 33, 92, 108, 108, 60, 79, 108, 108, 108, 108, 108, 83, 108, 63, 31},
    {18, 70, 35, 86, 65, 17, 75, 102, 25, 113, 48, 35, 59, 28, 19, 60, 28, 43, 49, 26, 113, 60, 50, 68, 55, 102, 61, 39, 35, 113, 81, 42, 42, 33},
    {73, 40, 34, 30, 34, 35, 45, 42, 66, 34, 37, 26, 29, 23, 60, 40, 27, 30, 28, 67, 90, 45, 61, 44, 44, 48, 124, 124, 124, 124, 52, 53, 60, 14},
    {20, 54, 104, 74, 26, 9, 67, 104, 19, 104, 47, 78, 82, 23, 54, 104, 93, 46, 104, 37, 104, 104, 93, 55, 104, 104, 104, 104, 55, 104, 88, 104, 34, 36},
    {9, 45, 29, 33, 29, 41, 49, 65, 38, 107, 50, 43, 39, 20, 37, 107, 43, 56, 70, 40, 107, 107, 80, 55, 76, 107, 68, 36, 45, 107, 80, 34, 66, 26},
    {65, 50, 30, 49, 36, 32, 52, 35, 45, 37, 36, 25, 30, 26, 64, 60, 47, 33, 27, 86, 83, 38, 42, 34, 50, 59, 121, 121, 121, 110, 54, 35, 57, 11},
    {103, 87, 103, 103, 37, 87, 103, 92, 103, 103, 49, 46, 51, 35, 83, 103, 87, 29, 36, 103, 76, 103, 53, 48, 51, 92, 103, 103, 103, 103, 103, 103, 100, 2},
    {13, 115, 52, 115, 89, 40, 78, 93, 23, 115, 74, 45, 104, 39, 13, 115, 30, 34, 43, 30, 99, 99, 83, 115, 79, 115, 115, 115, 115, 115, 115, 115, 66, 18},
    {17, 78, 95, 59, 80, 21, 47, 95, 21, 119, 50, 51, 108, 50, 20, 70, 119, 36, 74, 36, 91, 119, 108, 59, 93, 108, 119, 38, 25, 119, 38, 32, 46, 18},
    {23, 75, 93, 67, 113, 21, 102, 89, 22, 113, 61, 56, 64, 30, 20, 61, 58, 54, 71, 22, 97, 113, 78, 72, 86, 86, 113, 33, 59, 113, 91, 41, 46, 12},
    {17, 84, 89, 64, 45, 18, 95, 83, 20, 122, 55, 122, 102, 30, 18, 122, 66, 40, 49, 32, 82, 106, 51, 55, 106, 59, 122, 30, 39, 122, 59, 35, 43, 24},
    {105, 33, 26, 31, 31, 37, 39, 46, 49, 35, 41, 29, 30, 25, 63, 45, 29, 28, 27, 76, 65, 57, 71, 41, 44, 65, 127, 127, 127, 79, 48, 53, 62, 14},
    {29, 79, 111, 111, 111, 23, 111, 111, 32, 111, 59, 38, 111, 58, 9, 67, 12, 81, 61, 37, 100, 111, 73, 65, 73, 100, 111, 44, 63, 111, 87, 41, 48, 61},
    {16, 50, 47, 45, 46, 19, 47, 77, 20, 116, 41, 65, 56, 39, 16, 64, 76, 51, 43, 27, 80, 58, 71, 62, 51, 70, 116, 33, 37, 116, 57, 37, 44, 39},
    {32, 68, 32, 84, 50, 23, 74, 78, 35, 119, 22, 29, 40, 39, 29, 33, 59, 43, 15, 45, 87, 58, 67, 47, 66, 100, 76, 49, 28, 100, 59, 27, 48, 27},
    {23, 83, 30, 90, 61, 23, 92, 101, 26, 120, 47, 53, 80, 39, 13, 69, 30, 41, 64, 38, 79, 85, 67, 52, 109, 83, 73, 35, 21, 98, 70, 46, 48, 24},
    {65, 38, 30, 32, 27, 45, 26, 43, 88, 52, 34, 30, 30, 47, 87, 37, 37, 31, 31, 101, 72, 44, 87, 33, 35, 48, 112, 112, 112, 73, 32, 53, 70, 12},
    {25, 82, 82, 82, 82, 22, 82, 82, 12, 82, 82, 37, 58, 66, 25, 82, 14, 47, 40, 37, 49, 82, 82, 71, 82, 82, 82, 53, 30, 82, 66, 66, 47, 33},
    {21, 100, 42, 84, 89, 52, 100, 100, 41, 100, 100, 43, 49, 42, 11, 89, 46, 51, 69, 38, 100, 100, 100, 89, 65, 100, 89, 100, 100, 100, 100, 100, 77, 9},
    {16, 79, 41, 90, 90, 13, 90, 90, 27, 90, 31, 79, 74, 90, 22, 90, 90, 90, 90, 24, 90, 90, 58, 90, 90, 90, 90, 28, 90, 90, 90, 90, 38, 22},
    {19, 108, 82, 108, 108, 15, 108, 108, 24, 108, 38, 58, 79, 34, 57, 108, 55, 108, 12, 28, 108, 108, 108, 108, 45, 108, 108, 108, 45, 108, 108, 108, 40, 29},
    {21, 101, 45, 101, 101, 12, 101, 101, 16, 101, 30, 26, 73, 30, 33, 71, 85, 101, 47, 33, 85, 101, 79, 101, 85, 101, 101, 101, 27, 101, 75, 101, 37, 47},
    {22, 90, 90, 90, 90, 7, 90, 90, 13, 90, 90, 90, 90, 44, 74, 90, 61, 90, 90, 34, 90, 90, 90, 90, 90, 90, 90, 90, 47, 90, 90, 90, 32, 59},
    {68, 68, 68, 68, 68, 8, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 68, 36, 8, 33, 52},
    {109, 35, 28, 52, 47, 28, 64, 55, 79, 26, 46, 18, 26, 39, 109, 49, 40, 30, 31, 79, 109, 30, 98, 45, 36, 98, 109, 109, 109, 109, 109, 92, 53, 13},
    {109, 52, 64, 58, 64, 35, 93, 46, 37, 109, 26, 109, 43, 27, 75, 84, 109, 30, 55, 109, 87, 93, 51, 56, 37, 70, 109, 109, 109, 87, 38, 37, 61, 5},
    {92, 92, 76, 70, 73, 92, 92, 64, 92, 68, 43, 42, 73, 48, 92, 60, 60, 66, 1, 92, 73, 92, 92, 92, 81, 92, 92, 92, 92, 92, 92, 92, 92, 70},
    {78, 21, 74, 72, 31, 98, 72, 74, 82, 98, 72, 59, 58, 53, 98, 64, 49, 35, 31, 98, 78, 63, 65, 49, 53, 28, 98, 98, 98, 98, 50, 98, 98, 4},
    {110, 66, 43, 42, 35, 55, 42, 41, 62, 50, 51, 31, 40, 33, 110, 58, 60, 31, 26, 99, 110, 46, 62, 50, 59, 45, 110, 110, 110, 110, 52, 49, 80, 5},
    {73, 40, 34, 30, 34, 35, 45, 42, 66, 34, 37, 26, 29, 23, 60, 40, 27, 30, 28, 67, 87, 45, 61, 44, 44, 48, 99, 99, 99, 99, 52, 53, 60, 13},
    {44, 36, 28, 43, 35, 39, 46, 41, 31, 114, 33, 42, 38, 27, 29, 29, 42, 27, 34, 41, 62, 51, 69, 37, 59, 78, 136, 125, 125, 45, 89, 47, 64, 11},
};
// clang-format on

// Costs in tenths of a nat of a high byte that is no Russian letter in a code page: punctuation
// that ordinary prose has (quotes, dashes, the number sign, a no-break space) against box drawing
// and signs that a book hardly ever holds.
constexpr int kCommonSign = 45;
constexpr int kUsualSign = 60;
constexpr int kRareSign = 120;

// Code page 1251 is the one the texts end up in and what most files already are; an 8-bit text
// that reads equally well both ways is taken for it (5 nats, about 150 to 1).
constexpr int kWindowsPrior = 50;
// The letter pairs of a text are not independent, so the raw likelihoods are far too sure of
// themselves; they are softened by this factor before they are turned into a confidence.
constexpr double kSoftening = 4.0;

struct ByteClasses {
  std::array<std::uint8_t, 256> cls;
  std::array<std::uint8_t, 256> cost;
};

// Small letter index a..я = 0..31 of a 1251 letter byte, ё = 32, else kOther.
constexpr int WinClass(int b) {
  if (b >= 0xE0) return b - 0xE0;
  if (b >= 0xC0) return b - 0xC0;
  if (b == 0xA8 || b == 0xB8) return kYo;
  return kOther;
}

ByteClasses MakeClasses(CodePage page) {
  ByteClasses c{};
  for (int b = 0; b < 256; ++b) {
    int cls = kOther;
    int cost = 0;
    if (b >= 0x80) {
      switch (page) {
        case CodePage::Cp866:
          // А..Я 0x80-0x9F, а..п 0xA0-0xAF, р..я 0xE0-0xEF, Ё ё 0xF0 0xF1.
          if (b < 0xA0)
            cls = b - 0x80;
          else if (b < 0xB0)
            cls = b - 0xA0;
          else if (b >= 0xE0 && b < 0xF0)
            cls = b - 0xE0 + 16;
          else if (b == 0xF0 || b == 0xF1)
            cls = kYo;
          cost = cls != kOther                                        ? 0
                 : (b == 0xF8 || b == 0xFA || b == 0xFC || b == 0xFF) ? kUsualSign
                                                                      : kRareSign;
          break;
        case CodePage::Koi8r:
          // 0xC0-0xFF are letters (read through the table into 1251); Ё ё are 0xB3 0xA3.
          if (b >= 0xC0)
            cls = WinClass(kKoiToWin[b]);
          else if (b == 0xA3 || b == 0xB3)
            cls = kYo;
          cost = cls != kOther ? 0 : (b == 0x9A || b == 0x9C || b == 0xBF) ? kUsualSign : kRareSign;
          break;
        default:
          cls = WinClass(b);
          if (cls == kOther) {
            switch (b) {
              case 0x84:
              case 0x85:
              case 0x91:
              case 0x92:
              case 0x93:
              case 0x94:
              case 0x95:
              case 0x96:
              case 0x97:
              case 0xA0:
              case 0xAB:
              case 0xB0:
              case 0xB9:
              case 0xBB:
                cost = kCommonSign;
                break;
              default:
                cost = kRareSign;
            }
          }
          break;
      }
    }
    c.cls[b] = static_cast<std::uint8_t>(cls);
    c.cost[b] = static_cast<std::uint8_t>(cost);
  }
  return c;
}

// Cost of the text (from its first high byte on) under one code page, in tenths of a nat.
std::int64_t ReadingCost(const unsigned char* p, std::size_t n, const ByteClasses& c) {
  std::int64_t cost = 0;
  int previous = kOther;
  for (std::size_t i = 0; i < n; ++i) {
    const int cls = c.cls[p[i]];
    cost += c.cost[p[i]] + kLetterPairCost[previous][cls];
    previous = cls;
  }
  return cost + kLetterPairCost[previous][kOther];
}

// Characters a Russian text in UTF-8 is made of besides ASCII: Latin-1 signs and letters,
// combining accents (stress marks), Cyrillic, general punctuation (dashes, quotes, the ellipsis),
// the number sign, the euro, a byte order mark.
bool UsualInRussianText(std::uint32_t cp) {
  return (cp >= 0xA0 && cp <= 0x24F) || (cp >= 0x300 && cp <= 0x36F) ||
         (cp >= 0x400 && cp <= 0x52F) || (cp >= 0x2000 && cp <= 0x206F) || cp == 0x2116 ||
         cp == 0x20AC || cp == 0xFEFF;
}

}  // namespace

CodePageGuess GuessCodePage(std::string_view text, std::size_t limit) {
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();

  std::size_t firstHigh = n;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x80) {
      firstHigh = i;
      break;
    }
  }
  if (firstHigh == n) return {CodePage::Ascii, 1.0};

  // UTF-8 first: its sequences are so regular that a few of them decide. An 8-bit text is
  // seldom valid UTF-8 at all, and when it is (a short 866 word may be) the characters it
  // decodes to are ones no Russian text has.
  bool utf8 = true;
  std::size_t usual = 0, unusual = 0;
  for (std::size_t i = firstHigh; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    // The window may cut the last character in two; that alone does not make it non-UTF-8.
    const std::size_t len = Utf8Sequence(p + i, n - i, cp, cut || n == limit);
    if (len == 0) {
      utf8 = false;
      break;
    }
    if (i + len < n || Utf8Sequence(p + i, n - i, cp) == len) {
      ++(UsualInRussianText(cp) ? usual : unusual);
    }
    i += len;
  }
  // Nearly all of them usual: UTF-8. One Russian letter alone could still be two 1251 signs;
  // two or more settle it.
  if (utf8 && usual >= 20 * unusual && usual > 0) {
    return {CodePage::Utf8, 1.0 - std::pow(0.1, static_cast<double>(usual))};
  }

  static const ByteClasses win = MakeClasses(CodePage::Cp1251);
  static const ByteClasses dos = MakeClasses(CodePage::Cp866);
  static const ByteClasses koi = MakeClasses(CodePage::Koi8r);
  const std::size_t rest = n - firstHigh;
  const std::int64_t cost[3] = {ReadingCost(p + firstHigh, rest, win),
                                ReadingCost(p + firstHigh, rest, dos) + kWindowsPrior,
                                ReadingCost(p + firstHigh, rest, koi) + kWindowsPrior};
  const CodePage pages[3] = {CodePage::Cp1251, CodePage::Cp866, CodePage::Koi8r};
  int best = 0;
  for (int i = 1; i < 3; ++i) {
    if (cost[i] < cost[best]) best = i;
  }
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    sum += std::exp(-static_cast<double>(cost[i] - cost[best]) / 10.0 / kSoftening);
  }
  CodePageGuess guess{pages[best], 1.0 / sum};
  // Valid UTF-8 with odd characters in it: an 8-bit reading that is sure of itself wins; else
  // several valid sequences (which an 8-bit text seldom forms) keep it an unsure UTF-8.
  if (utf8 && !IsConfident(guess) && usual + unusual >= 3) guess = {CodePage::Utf8, 0.5};
  return guess;
}

CodePage DetectCodePage(std::string_view text, std::size_t limit) {
  return GuessCodePage(text, limit).page;
}

const char* CodePageName(CodePage page) {
  switch (page) {
    case CodePage::Ascii:
      return "ascii";
    case CodePage::Utf8:
      return "utf8";
    case CodePage::Cp1251:
      return "cp1251";
    case CodePage::Cp866:
      return "cp866";
    case CodePage::Koi8r:
      return "koi8r";
  }
  return "?";
}

std::string ToWin(std::string_view text, CodePage from) {
  switch (from) {
    case CodePage::Utf8:
      return Utf8ToWin(text);
    case CodePage::Cp866:
      return DosToWin(text);
    case CodePage::Koi8r:
      return KoiToWin(text);
    case CodePage::Ascii:
    case CodePage::Cp1251:
      break;
  }
  return std::string(text);
}

std::size_t ToWin(std::string_view text, CodePage from, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  auto* to = reinterpret_cast<unsigned char*>(out);
  switch (from) {
    case CodePage::Utf8:
      return Utf8ToWin(text, out);
    case CodePage::Cp866:
      MapBytes(in, to, text.size(), kDosToWin);
      return text.size();
    case CodePage::Koi8r:
      MapBytes(in, to, text.size(), kKoiToWin);
      return text.size();
    case CodePage::Ascii:
    case CodePage::Cp1251:
      break;
  }
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  return text.size();
}

}  // namespace pagora

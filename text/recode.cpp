// Code-page tables and the byte-for-byte conversions between DOS 866, KOI8-R, Windows 1251 and
// the handheld's character set; 1251 to UTF-8, and the pieces the other recoders share.
#include "text/recode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "recode_parts.h"
#include "text/recode_path.h"

#if PAGORA_RECODE_SSE2
#include <immintrin.h>
#endif

namespace pagora {
namespace {

using Table = std::array<unsigned char, 256>;

constexpr Table identity() {
  Table t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  return t;
}

// 866: the Russian letters sit in three blocks; the few other characters 1251 also has are
// listed, and four box-drawing bytes take a look-alike so that simple frames stay readable.
constexpr Table makeDosTable() {
  Table t = identity();
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

// KOI8-R orders its letters after the Latin ones they sound like, at 0xC0..0xFF; Ё and ё sit
// among the box drawing at 0xB3 and 0xA3, which otherwise stays as it is.
constexpr Table makeKoiTable() {
  Table t = identity();
  constexpr unsigned char small[32] = {0xFE, 0xE0, 0xE1, 0xF6, 0xE4, 0xE5, 0xF4, 0xE3,
                                       0xF5, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE,
                                       0xEF, 0xFF, 0xF0, 0xF1, 0xF2, 0xF3, 0xE6, 0xE2,
                                       0xFC, 0xFB, 0xE7, 0xF8, 0xFD, 0xF9, 0xF7, 0xFA};
  for (int i = 0; i < 32; ++i) {
    t[0xC0 + i] = small[i];
    t[0xE0 + i] = static_cast<unsigned char>(small[i] - 0x20);
  }
  t[0xB3] = 0xA8;
  t[0xA3] = 0xB8;
  return t;
}

// The device set keeps printable ASCII (bar excepted), turns control bytes into spaces (TAB and
// CR survive) and packs the 66 Russian letters, Ё/ё in alphabetical place, from 0x80 on.
constexpr Table makeDeviceTable() {
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

constexpr bool isWinLetter(int b) {
  return b >= 0xC0 || b == 0xA8 || b == 0xB8;
}

// Inverse of the device table: a code's own byte when that maps to itself, else the first byte
// mapping onto it, and a letter over anything else; codes nothing maps to stay.
constexpr Table makeDeviceInverse(const Table& forward) {
  Table t = identity();
  std::array<bool, 256> taken{};
  for (int b = 0; b < 256; ++b) {
    if (forward[b] == b) {
      taken[b] = true;
    }
  }
  for (int b = 0; b < 256; ++b) {
    const int code = forward[b];
    if (!isWinLetter(b) && !taken[code]) {
      t[code] = static_cast<unsigned char>(b);
      taken[code] = true;
    }
  }
  for (int b = 0; b < 256; ++b) {
    if (isWinLetter(b)) t[forward[b]] = static_cast<unsigned char>(b);
  }
  return t;
}

constexpr Table kDosToWin = makeDosTable();
constexpr Table kWinToDevice = makeDeviceTable();
constexpr Table kDeviceToWin = makeDeviceInverse(kWinToDevice);

}  // namespace

namespace recode_parts {

constexpr Table kKoiToWin = makeKoiTable();

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

unsigned char unicodeToWin(std::uint32_t cp) {
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

}  // namespace recode_parts

namespace {

using recode_parts::kKoiToWin;
using recode_parts::kWinHigh;
using recode_parts::utf8Sequence;

// Tables whose lower half is the identity (866, KOI8-R) leave ASCII alone.
constexpr bool lowIdentity(const Table& t) {
  for (int b = 0; b < 0x80; ++b) {
    if (t[b] != b) return false;
  }
  return true;
}

#if PAGORA_RECODE_SSE2
// 32 bytes at a time: each of the table's sixteen rows is looked up with a shuffle on the low
// four bits and kept where the high four bits name that row.
__attribute__((target("avx2"))) std::size_t mapWide(const unsigned char* in, unsigned char* out,
                                                    std::size_t n, const Table& table) {
  const int first = lowIdentity(table) ? 8 : 0;
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
    __m256i result = first == 8
                         ? _mm256_andnot_si256(_mm256_cmpgt_epi8(_mm256_setzero_si256(), v), v)
                         : _mm256_setzero_si256();
    for (int h = first; h < 16; ++h) {
      const __m256i here = _mm256_cmpeq_epi8(row, _mm256_set1_epi8(static_cast<char>(h)));
      result = _mm256_or_si256(result, _mm256_and_si256(here, _mm256_shuffle_epi8(rows[h], index)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), result);
  }
  return i;
}
#endif

// Converts n bytes; `out` may be `in`.
void mapBytes(const unsigned char* in, unsigned char* out, std::size_t n, const Table& table) {
  std::size_t i = 0;
#if PAGORA_RECODE_SSE2
  if (activeRecodePath() == RecodePath::Avx2) i = mapWide(in, out, n, table);
#endif
  for (; i < n; ++i) out[i] = table[in[i]];
}

void mapInPlace(std::string& text, const Table& table) {
  auto* p = reinterpret_cast<unsigned char*>(text.data());
  mapBytes(p, p, text.size(), table);
}

std::string map(std::string_view text, const Table& table) {
  std::string out(text.size(), '\0');
  mapBytes(reinterpret_cast<const unsigned char*>(text.data()),
           reinterpret_cast<unsigned char*>(out.data()), text.size(), table);
  return out;
}

}  // namespace

std::string DosToWin(std::string_view text) {
  return map(text, kDosToWin);
}
std::string KoiToWin(std::string_view text) {
  return map(text, kKoiToWin);
}
std::string WinToDevice(std::string_view text) {
  return map(text, kWinToDevice);
}
std::string deviceToWin(std::string_view text) {
  return map(text, kDeviceToWin);
}
void dosToWinInPlace(std::string& text) {
  mapInPlace(text, kDosToWin);
}
void koiToWinInPlace(std::string& text) {
  mapInPlace(text, kKoiToWin);
}
void winToDeviceInPlace(std::string& text) {
  mapInPlace(text, kWinToDevice);
}
void deviceToWinInPlace(std::string& text) {
  mapInPlace(text, kDeviceToWin);
}

std::string winToUtf8(std::string_view text) {
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

bool isValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp;
    const std::size_t len = utf8Sequence(p + i, text.size() - i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

const char* codePageName(CodePage page) {
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

std::string toWin(std::string_view text, CodePage from, std::size_t* missing) {
  if (missing != nullptr) *missing = 0;
  switch (from) {
    case CodePage::Utf8:
      return utf8ToWin(text, missing);
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

}  // namespace pagora

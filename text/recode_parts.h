// The pieces the recoders share across their files: the upper half of code page 1251, the
// KOI8-R table, the way back from Unicode to 1251, and the reading of one UTF-8 sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pagora::recode_parts {

// Code page 1251 bytes 0x80..0xBF as Unicode (0 for the unassigned 0x98); 0xC0..0xFF are
// U+0410..U+044F in order.
inline constexpr std::array<std::uint16_t, 64> kWinHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// KOI8-R to 1251, byte for byte.
extern const std::array<unsigned char, 256> kKoiToWin;

// The 1251 byte for a Unicode character, '?' when 1251 has none.
unsigned char unicodeToWin(std::uint32_t cp);

// UTF-8 (without a byte order mark) -> 1251, one character at a time with the fallback for what
// 1251 lacks; `missing` gets how many characters still became "?".
std::string utf8ToWinFallback(std::string_view text, std::size_t& missing);

// Length of the valid UTF-8 sequence at `p` (at most `n` bytes available), 0 when invalid.
// `truncatedOk` accepts a sequence cut off by the end of the input as valid.
inline std::size_t utf8Sequence(const unsigned char* p, std::size_t n, std::uint32_t& cp,
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

}  // namespace pagora::recode_parts

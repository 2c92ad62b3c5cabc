// Code-page tables and conversions between DOS 866, KOI8-R, Windows 1251, UTF-8 and the
// handheld's character set, and the letter-statistics guess of a text's encoding.
#include "text/recode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

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

void MapInPlace(std::string& text, const Table& table) {
  for (char& c : text) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
}

std::string Map(std::string_view text, const Table& table) {
  std::string out(text.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(table[in[i]]);
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

// Converts in place: the result is never longer than the input, so the write position never
// overtakes the read position. Returns the result's length.
std::size_t Utf8ToWinBuffer(unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  std::size_t o = 0;
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) i = 3;
  while (i < n) {
    // Runs of ASCII move eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      std::memmove(p + o, p + i, 8);
      i += 8;
      o += 8;
    }
    // ASCII and the Russian letters (two bytes, D0 90..D1 8F for А..я) with a single branch
    // that depends on the text.
    while (i + 1 < n) {
      const unsigned b = p[i];
      const unsigned c = p[i + 1];
      const unsigned cp = ((b & 0x1F) << 6) | (c & 0x3F);
      const bool ascii = b < 0x80;
      const bool letter = ((b & 0xFE) == 0xD0) & ((c & 0xC0) == 0x80) & (cp - 0x410 < 0x40);
      if (!(ascii | letter)) break;
      p[o++] = static_cast<unsigned char>(ascii ? b : cp - 0x410 + 0xC0);
      i += 1 + static_cast<std::size_t>(letter);
    }
    if (i >= n) break;
    const unsigned char b = p[i];
    if (b < 0x80) {
      p[o++] = b;
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    const std::size_t len = Utf8Sequence(p + i, n - i, cp);
    if (len == 0) {
      p[o++] = b;  // not UTF-8: keep the byte as it is
      ++i;
    } else {
      p[o++] = UnicodeToWin(cp);
      i += len;
    }
  }
  return o;
}

std::string Utf8ToWin(std::string_view text) {
  std::string out(text);
  Utf8ToWinInPlace(out);
  return out;
}

void Utf8ToWinInPlace(std::string& text) {
  text.resize(Utf8ToWinBuffer(reinterpret_cast<unsigned char*>(text.data()), text.size()));
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

// Russian letter frequencies in ordinary prose, per ten thousand letters, а..я then ё.
// clang-format off
constexpr std::array<double, 33> kLetterFrequency = {
    801, 159, 454, 170, 298, 845, 94,  165, 735, 121, 349, 440, 321, 670, 1097, 281, 473,
    547, 626, 262, 26,  97,  48,  144, 73,  36,  4,   190, 174, 32,  64,  201,  4};
// clang-format on

enum LetterClass : int { kNoLetter = -1 };

// For a 1251 byte: index 0..32 of its letter (ё = 32) and whether it is a capital.
int WinLetterIndex(unsigned char b, bool& capital) {
  capital = false;
  if (b >= 0xE0) return b - 0xE0;
  if (b >= 0xC0) {
    capital = true;
    return b - 0xC0;
  }
  if (b == 0xB8) return 32;
  if (b == 0xA8) {
    capital = true;
    return 32;
  }
  return kNoLetter;
}

// Log-likelihood of every high byte under one 8-bit code page, read through its table into 1251.
using Weights = std::array<float, 128>;

Weights MakeWeights(const Table& toWin, bool windows) {
  Weights w{};
  for (int b = 0x80; b < 0x100; ++b) {
    const unsigned char win = toWin[b];
    bool capital = false;
    // A byte that an 866 or KOI8-R table leaves alone is box drawing or a sign there.
    const int letter = (!windows && win == b) ? kNoLetter : WinLetterIndex(win, capital);
    double p;
    if (letter != kNoLetter) {
      p = kLetterFrequency[letter] / 10000.0 * (capital ? 0.06 : 0.94);
    } else if (windows && (b == 0xAB || b == 0xBB || b == 0x97 || b == 0x96 || b == 0x85 ||
                           b == 0x93 || b == 0x94 || b == 0x84 || b == 0xB9 || b == 0xA0)) {
      p = 0.002;  // quotes, dashes, ellipsis and the number sign are common in 1251 prose
    } else {
      p = 0.00002;
    }
    w[b - 0x80] = static_cast<float>(std::log(p));
  }
  return w;
}

}  // namespace

CodePage DetectCodePage(std::string_view text, std::size_t limit) {
  if (text.size() > limit) text = text.substr(0, limit);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();

  std::size_t firstHigh = n;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x80) {
      firstHigh = i;
      break;
    }
  }
  if (firstHigh == n) return CodePage::Ascii;

  bool utf8 = true;
  for (std::size_t i = firstHigh; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp;
    // The window may cut the last character in two; that alone does not make it non-UTF-8.
    const std::size_t len = Utf8Sequence(p + i, n - i, cp, text.size() == limit);
    if (len == 0) {
      utf8 = false;
      break;
    }
    i += len;
  }
  if (utf8) return CodePage::Utf8;

  static const Weights win = MakeWeights(Identity(), true);
  static const Weights dos = MakeWeights(kDosToWin, false);
  static const Weights koi = MakeWeights(kKoiToWin, false);
  std::array<std::size_t, 128> counts{};
  for (std::size_t i = firstHigh; i < n; ++i) {
    if (p[i] >= 0x80) ++counts[p[i] - 0x80];
  }
  double sWin = 0, sDos = 0, sKoi = 0;
  for (int b = 0; b < 128; ++b) {
    if (counts[b] == 0) continue;
    const double c = static_cast<double>(counts[b]);
    sWin += c * win[b];
    sDos += c * dos[b];
    sKoi += c * koi[b];
  }
  if (sWin >= sDos && sWin >= sKoi) return CodePage::Cp1251;
  return sDos >= sKoi ? CodePage::Cp866 : CodePage::Koi8r;
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

}  // namespace pagora

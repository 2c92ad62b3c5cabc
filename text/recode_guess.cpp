// The guess of a text's encoding: UTF-8 by its sequences, the 8-bit code pages by how their
// letters pair up as Russian.
#include <array>
#include <cmath>
#include <cstdint>

#include "recode_parts.h"
#include "text/recode.h"

namespace pagora {
namespace {

using recode_parts::kKoiToWin;
using recode_parts::utf8Sequence;

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
constexpr int winClass(int b) {
  if (b >= 0xE0) return b - 0xE0;
  if (b >= 0xC0) return b - 0xC0;
  if (b == 0xA8 || b == 0xB8) return kYo;
  return kOther;
}

ByteClasses makeClasses(CodePage page) {
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
            cls = winClass(kKoiToWin[b]);
          else if (b == 0xA3 || b == 0xB3)
            cls = kYo;
          cost = cls != kOther ? 0 : (b == 0x9A || b == 0x9C || b == 0xBF) ? kUsualSign : kRareSign;
          break;
        default:
          cls = winClass(b);
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
std::int64_t readingCost(const unsigned char* p, std::size_t n, const ByteClasses& c) {
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
bool usualInRussianText(std::uint32_t cp) {
  return (cp >= 0xA0 && cp <= 0x24F) || (cp >= 0x300 && cp <= 0x36F) ||
         (cp >= 0x400 && cp <= 0x52F) || (cp >= 0x2000 && cp <= 0x206F) || cp == 0x2116 ||
         cp == 0x20AC || cp == 0xFEFF;
}

}  // namespace

CodePageGuess guessCodePage(std::string_view text, std::size_t limit) {
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
    const std::size_t len = utf8Sequence(p + i, n - i, cp, cut || n == limit);
    if (len == 0) {
      utf8 = false;
      break;
    }
    if (i + len < n || utf8Sequence(p + i, n - i, cp) == len) {
      ++(usualInRussianText(cp) ? usual : unusual);
    }
    i += len;
  }
  // Nearly all of them usual: UTF-8. One Russian letter alone could still be two 1251 signs;
  // two or more settle it.
  if (utf8 && usual >= 20 * unusual && usual > 0) {
    return {CodePage::Utf8, 1.0 - std::pow(0.1, static_cast<double>(usual))};
  }

  static const ByteClasses win = makeClasses(CodePage::Cp1251);
  static const ByteClasses dos = makeClasses(CodePage::Cp866);
  static const ByteClasses koi = makeClasses(CodePage::Koi8r);
  const std::size_t rest = n - firstHigh;
  const std::int64_t cost[3] = {readingCost(p + firstHigh, rest, win),
                                readingCost(p + firstHigh, rest, dos) + kWindowsPrior,
                                readingCost(p + firstHigh, rest, koi) + kWindowsPrior};
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
  if (utf8 && !isConfident(guess) && usual + unusual >= 3) guess = {CodePage::Utf8, 0.5};
  return guess;
}

CodePage detectCodePage(std::string_view text, std::size_t limit) {
  return guessCodePage(text, limit).page;
}

}  // namespace pagora

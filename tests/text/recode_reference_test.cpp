// The fast code-page conversions checked against plain one-character-at-a-time references, on
// every class of UTF-8 input and on seeded random bytes at every alignment.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data_generator.h"
#include "test_seed.h"
#include "text/recode.h"

namespace pagora {
namespace {

// 1251 bytes 0x80..0xBF as Unicode, 0 for the unassigned 0x98; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<std::uint32_t, 64> kHigh1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

std::uint32_t winToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHigh1251[b - 0x80];
}

char unicodeToWinRef(std::uint32_t cp) {
  for (int b = 0; b < 256; ++b) {
    if (b != 0x98 && winToUnicode(static_cast<unsigned char>(b)) == cp) return static_cast<char>(b);
  }
  return '?';
}

// Well-formed UTF-8 as the Unicode standard tabulates it: the lead byte fixes the length and
// the range the second byte must fall in; later bytes are any continuation byte.
struct LeadRule {
  int first, last, length, secondLow, secondHigh;
};
constexpr LeadRule kRules[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

std::string referenceUtf8ToWin(const std::string& in) {
  std::string out;
  std::size_t i = 0;
  if (in.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    const LeadRule* rule = nullptr;
    for (const LeadRule& r : kRules) {
      if (b >= r.first && b <= r.last) rule = &r;
    }
    bool ok = rule != nullptr && i + rule->length <= in.size();
    if (ok) {
      const auto second = static_cast<unsigned char>(in[i + 1]);
      ok = second >= rule->secondLow && second <= rule->secondHigh;
      for (int k = 2; ok && k < rule->length; ++k) {
        ok = (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80;
      }
    }
    if (b < 0x80 || !ok) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    std::uint32_t cp = b & (0xFF >> (rule->length + 1));
    for (int k = 1; k < rule->length; ++k) cp = (cp << 6) | (in[i + k] & 0x3F);
    out.push_back(unicodeToWinRef(cp));
    i += rule->length;
  }
  return out;
}

// The input without the characters that 1251 lacks (again and again, since taking one out can
// join two stray bytes into a new character): the fast paths are checked on what they map
// themselves, the fallback has tests of its own.
std::string withoutFallback(std::string in) {
  for (;;) {
    std::string kept;
    for (std::size_t i = 0; i < in.size();) {
      std::size_t n = 1;
      for (const LeadRule& r : kRules) {
        const auto b = static_cast<unsigned char>(in[i]);
        if (b < r.first || b > r.last || i + r.length > in.size()) continue;
        const auto second = static_cast<unsigned char>(in[i + 1]);
        bool ok = second >= r.secondLow && second <= r.secondHigh;
        for (int k = 2; ok && k < r.length; ++k) ok = (in[i + k] & 0xC0) == 0x80;
        if (ok) n = r.length;
      }
      const std::string one = in.substr(i, n);
      // The byte order mark at the start is the reference's own business.
      if (n == 1 || (i == 0 && one == "\xEF\xBB\xBF") || referenceUtf8ToWin("x" + one) != "x?") {
        kept += one;
      }
      i += n;
    }
    if (kept == in) return kept;
    in = kept;
  }
}

std::string referenceWinToUtf8(const std::string& in) {
  std::string out;
  for (unsigned char b : in) {
    std::uint32_t cp = winToUnicode(b);
    if (cp == 0 && b != 0) cp = 0xFFFD;
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

std::string utf8(std::uint32_t cp) {
  return testing_support::DataGenerator::utf8(cp);
}

TEST(RecodeReference, Utf8ToWinOnEveryKindOfSequence) {
  std::vector<std::string> cases = {
      "",
      "\xEF\xBB\xBF",
      "\xEF\xBB",
      "\xEF\xBB\xBF\xEF\xBB\xBF",
      "x\xEF\xBB\xBF",
      "\xD0\x81\xD1\x91\xD0\x80\xD0\x8D\xD1\x90\xD1\x9D\xD1\xA0\xD2\x90\xD2\x91",
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80",
      "\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9A\xE2\x80\xB9\xE2\x80\xBA\xE2\x84\xA2\xE2\x80\xA2",
      "\xF0\x90\x80\x80\xF3\xBF\xBF\xBF",
      "\xD0\xD0\x9F",
      "\xD0\x9F\xD0",
      "\xE2\x80\xD0\x9F",
      "\xF0\x9F\x98\xD0\x9F",
      "\x80\x80\x80\xBF",
      "\xC2\x80\xC2\x9F\xC2\xA0\xC2\xBF",
  };
  for (std::uint32_t cp = 0; cp < 0x110000; cp += (cp < 0x3000 ? 1 : 0x35)) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    cases.push_back(utf8(cp));
  }
  // A character at every offset of a 32-byte window, so that it straddles each block edge.
  for (const char* c : {"\xD0\x9F", "\xD1\x91", "\xD0\x81", "\xE2\x80\x93", "\xF0\x9F\x98\x80",
                        "\xD0", "\xD1\xD0\x9F", "\x80", "\xD0\x7F"}) {
    for (int at = 0; at < 34; ++at)
      cases.push_back(std::string(at, 'a') + c + std::string(20, 'b'));
    // After letters, whose output is shorter, and with a letter cut by a block's end.
    for (const char* before : {"", "a", "\xEF\xBB\xBF",
                               "\xEF\xBB\xBF"
                               "a"}) {
      for (int at = 0; at < 40; ++at) {
        std::string letters = before;
        for (int k = 0; k < at; ++k) letters += "\xD0\xB0";
        cases.push_back(letters + c + "\xD1\x8F\xD1\x8F");
        cases.push_back(letters + c + "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
        cases.push_back(letters.substr(0, at) + c);
      }
    }
  }
  for (const std::string& raw : cases) {
    const std::string in = withoutFallback(raw);
    const std::string want = referenceUtf8ToWin(in);
    EXPECT_EQ(utf8ToWin(in), want) << testing::PrintToString(in);
    std::string inPlace = in;
    utf8ToWinInPlace(inPlace);
    EXPECT_EQ(inPlace, want) << testing::PrintToString(in);
  }
}

TEST(RecodeReference, SeededRandomInputAtEveryAlignment) {
  std::vector<std::uint32_t> seeds = {1, 2, 3, 42, 1251, 866, 20240601};
  seeds.push_back(testing_support::testSeed());
  RecordProperty("seed", std::to_string(seeds.back()));
  for (std::uint32_t seed : seeds) {
    SCOPED_TRACE(testing_support::seedNote(seed));
    testing_support::DataGenerator data(seed);
    for (int round = 0; round < 60; ++round) {
      const std::string text = withoutFallback(data.mixedUtf8(data.next() % 3000));
      const std::size_t skip = text.empty() ? 0 : data.next() % 17 % (text.size() + 1);
      const std::string in = text.substr(skip);
      const std::string_view view(text.data() + skip, text.size() - skip);  // odd alignments
      const std::string want = referenceUtf8ToWin(in);
      ASSERT_EQ(utf8ToWin(view), want) << "round " << round;
      std::size_t missing = 1;
      ASSERT_EQ(utf8ToWin(view, &missing), want) << "round " << round;
      ASSERT_EQ(missing, 0u) << "round " << round;
      std::string inPlace = in;
      utf8ToWinInPlace(inPlace);
      ASSERT_EQ(inPlace, want) << "round " << round;
      ASSERT_EQ(winToUtf8(view), referenceWinToUtf8(in)) << "round " << round;
      // The byte tables: byte i of the result is the table entry of byte i, long runs included.
      struct Table {
        std::string (*convert)(std::string_view);
        void (*inPlace)(std::string&);
      } tables[] = {{DosToWin, dosToWinInPlace}, {KoiToWin, koiToWinInPlace}};
      for (const Table& t : tables) {
        std::string single;
        for (char c : in) single += t.convert(std::string(1, c));
        ASSERT_EQ(t.convert(view), single) << "round " << round;
        std::string copy = in;
        t.inPlace(copy);
        ASSERT_EQ(copy, single) << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace pagora

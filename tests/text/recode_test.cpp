// Code-page tables byte for byte, UTF-8 conversion and the encoding guess.
#include "text/recode.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pagora {
namespace {

using Row = std::array<unsigned char, 16>;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string allBytes() {
  std::string s(256, '\0');
  for (int i = 0; i < 256; ++i) s[i] = static_cast<char>(i);
  return s;
}

std::string hex(unsigned char b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", b);
  return buf;
}

// clang-format off
// 866 -> 1251 for 0x80..0xFF, as published for the handheld's text tools.
constexpr std::array<Row, 8> kDosRows = {{
    {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF},
    {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF},
    {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF},
    {0xB0, 0xB1, 0xB2, 0xA6, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xAC},
    {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0x86, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF},
    {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0x87, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF},
    {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF},
    {0xA8, 0xB8, 0xAA, 0xBA, 0xAF, 0xBF, 0xA1, 0xA2, 0xB0, 0xF9, 0xB7, 0xFB, 0xB9, 0xA4, 0xFE, 0xA0},
}};
// clang-format on

// clang-format off
// KOI8-R 0xC0..0xFF -> 1251 (small letters, then capitals).
constexpr std::array<Row, 4> kKoiRows = {{
    {0xFE, 0xE0, 0xE1, 0xF6, 0xE4, 0xE5, 0xF4, 0xE3, 0xF5, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE},
    {0xEF, 0xFF, 0xF0, 0xF1, 0xF2, 0xF3, 0xE6, 0xE2, 0xFC, 0xFB, 0xE7, 0xF8, 0xFD, 0xF9, 0xF7, 0xFA},
    {0xDE, 0xC0, 0xC1, 0xD6, 0xC4, 0xC5, 0xD4, 0xC3, 0xD5, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE},
    {0xCF, 0xDF, 0xD0, 0xD1, 0xD2, 0xD3, 0xC6, 0xC2, 0xDC, 0xDB, 0xC7, 0xD8, 0xDD, 0xD9, 0xD7, 0xDA},
}};
// clang-format on

// clang-format off
// 1251 -> device character set, all 256 bytes.
constexpr std::array<Row, 16> kDeviceRows = {{
    {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x09, 0x20, 0x20, 0x20, 0x0D, 0x20, 0x20},
    {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
    {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F},
    {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F},
    {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F},
    {0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F},
    {0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F},
    {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0xCD, 0x7D, 0x7E, 0x20},
    {0xE7, 0x20, 0x20, 0xCC, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
    {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
    {0x20, 0x8F, 0xAF, 0xBD, 0xDD, 0xBE, 0x7C, 0xD3, 0x86, 0xDC, 0xC0, 0xDA, 0x20, 0xD7, 0xD9, 0x20},
    {0xC5, 0xC4, 0xC6, 0xC7, 0x20, 0xC8, 0xAE, 0xE5, 0xA7, 0xE6, 0xC1, 0xDB, 0xCA, 0xC9, 0xCB, 0x9F},
    {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90},
    {0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F, 0xA0},
    {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1},
    {0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1},
}};
// clang-format on

unsigned char expectedDos(int b) {
  return b < 0x80 ? b : kDosRows[(b - 0x80) >> 4][b & 15];
}
unsigned char expectedKoi(int b) {
  if (b == 0xB3 || b == 0xA3) return b == 0xB3 ? 0xA8 : 0xB8;  // Ё ё, as iconv maps them
  return b < 0xC0 ? b : kKoiRows[(b - 0xC0) >> 4][b & 15];
}
unsigned char expectedDevice(int b) {
  return kDeviceRows[b >> 4][b & 15];
}

struct TableCase {
  const char* name;
  std::string (*convert)(std::string_view);
  void (*convertInPlace)(std::string&);
  unsigned char (*expected)(int);
};

class ByteTables : public testing::TestWithParam<TableCase> {};

TEST_P(ByteTables, EveryByteMapsAsPublished) {
  const TableCase& c = GetParam();
  const std::string input = allBytes();
  const std::string out = c.convert(input);
  ASSERT_EQ(out.size(), 256u);
  std::string inPlace = input;
  c.convertInPlace(inPlace);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(static_cast<unsigned char>(out[b]), c.expected(b)) << c.name << " of " << hex(b);
    // Byte i of the result depends on byte i of the input alone.
    EXPECT_EQ(c.convert(std::string(1, static_cast<char>(b))), std::string(1, out[b]));
  }
  EXPECT_EQ(inPlace, out);
  EXPECT_EQ(input, allBytes()) << "the input is left untouched";
  EXPECT_EQ(c.convert(""), "");
}

INSTANTIATE_TEST_SUITE_P(
    Recode, ByteTables,
    testing::Values(TableCase{"DosToWin", DosToWin, dosToWinInPlace, expectedDos},
                    TableCase{"KoiToWin", KoiToWin, koiToWinInPlace, expectedKoi},
                    TableCase{"WinToDevice", WinToDevice, winToDeviceInPlace, expectedDevice}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Recode, NamedExamples) {
  struct Case {
    std::string (*convert)(std::string_view);
    std::string in, out;
  } cases[] = {
      {DosToWin, Bytes({0x80, 0xAF, 0xE0, 0xF0, 0xF1, 0xC4, 0xB3}),
       Bytes({0xC0, 0xEF, 0xF0, 0xA8, 0xB8, 0xC4, 0xA6})},
      {KoiToWin, Bytes({0xE1, 0xC1, 0xF1, 0xD1, 0xB3, 0xA3}),
       Bytes({0xC0, 0xE0, 0xDF, 0xFF, 0xA8, 0xB8})},
      {KoiToWin, Bytes({0xE0}), Bytes({0xDE})},  // 1251 а read as KOI8-R becomes Ю
      // Книга.txt
      {WinToDevice, Bytes({0xCA, 0xED, 0xE8, 0xE3, 0xE0, '.', 't', 'x', 't'}),
       Bytes({0x8B, 0xAF, 0xAA, 0xA4, 0xA1, 0x2E, 0x74, 0x78, 0x74})},
      {WinToDevice, Bytes({0xA8, 0xB8, '|', '\n', '\r', '\t'}),
       Bytes({0x86, 0xA7, 0xCD, ' ', '\r', '\t'})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.convert(c.in), c.out);

  std::string ascii;
  for (int b = 0x20; b <= 0x7E; ++b) {
    if (b != '|') ascii.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(DosToWin(ascii), ascii);
  EXPECT_EQ(KoiToWin(ascii), ascii);
  EXPECT_EQ(WinToDevice(ascii), ascii);
}

TEST(Recode, DeviceToWinRestoresEveryLetterAndPrefersLetters) {
  // Every Russian letter of 1251 comes back from the device set, Ё and ё included.
  for (int b = 0xC0; b <= 0xFF; ++b) {
    const std::string letter(1, static_cast<char>(b));
    EXPECT_EQ(deviceToWin(WinToDevice(letter)), letter) << hex(b);
  }
  EXPECT_EQ(deviceToWin(Bytes({0x86, 0xA7})), Bytes({0xA8, 0xB8}));
  struct Case {
    int device, win;
  } cases[] = {
      {0xAE, 0xEC},  // м, not the pilcrow that shares its code
      {0xC0, 0xFE},  // ю, not Є
      {0x8F, 0xCE},  // О, not Ў
      {0x20, 0x20},  // a space stays a space although many bytes become one
      {0x09, 0x09}, {0x0D, 0x0D}, {0x41, 0x41}, {0xCD, 0x7C},  // the bar comes back
      {0x7C, 0xA6},                                            // the broken bar went to 0x7C
      {0xE7, 0x80}, {0xCC, 0x83}, {0x9F, 0xDE},                // 0x9F is Ю; ї also maps there
      {0x0A, 0x0A},                                            // nothing maps to LF: unchanged
      {0xFF, 0xFF}, {0xD0, 0xD0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<unsigned char>(deviceToWin(Bytes({c.device}))[0]), c.win)
        << hex(c.device);
  }
  // A Russian file name survives the trip to the device and back.
  const std::string name =
      Bytes({0xCA, 0xED, 0xE8, 0xE3, 0xE0, ' ', 0xB8, 0xEB, 0xEA, 0xE0, '.', 't', 'x', 't'});
  EXPECT_EQ(deviceToWin(WinToDevice(name)), name);
  std::string inPlace = WinToDevice(name);
  deviceToWinInPlace(inPlace);
  EXPECT_EQ(inPlace, name);
}

TEST(Utf8, ToWinAndBack) {
  struct Case {
    const char* utf8;
    std::string win;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
       Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})},
      {"\xD0\x81\xD1\x91", Bytes({0xA8, 0xB8})},                    // Ё ё
      {"\xE2\x82\xAC\xE2\x84\x96", Bytes({0x88, 0xB9})},            // € №
      {"\xC2\xAB\xE2\x80\x94\xC2\xBB", Bytes({0xAB, 0x97, 0xBB})},  // « — »
      {"\xE4\xB8\xAD", "?"},                                        // a character 1251 lacks
      {"\xF0\x9F\x98\x80!", "?!"},                                  // outside the BMP
      {"\xEF\xBB\xBFok", "ok"},                                     // byte order mark dropped
      {"a\xFF"
       "b",
       Bytes({'a', 0xFF, 'b'})},                    // invalid bytes pass through
      {"\xD0", Bytes({0xD0})},                      // cut sequence at the end
      {"\xC0\x80", Bytes({0xC0, 0x80})},            // overlong form
      {"\xED\xA0\x80", Bytes({0xED, 0xA0, 0x80})},  // a surrogate
      {"\xD0\xD0\x9F", Bytes({0xD0, 0xCF})},        // a broken lead, then a letter
  };
  for (const Case& c : cases) EXPECT_EQ(utf8ToWin(c.utf8), c.win) << c.utf8;

  // Every assigned 1251 byte goes to UTF-8 and back; the unassigned 0x98 becomes U+FFFD.
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = winToUtf8(one);
    EXPECT_TRUE(isValidUtf8(utf8)) << hex(b);
    if (b == 0x98) {
      EXPECT_EQ(utf8, "\xEF\xBF\xBD");
    } else {
      EXPECT_EQ(utf8ToWin(utf8), one) << hex(b);
    }
  }
  EXPECT_EQ(winToUtf8(Bytes({0xC0, 0xFF, 0xA0})), "\xD0\x90\xD1\x8F\xC2\xA0");
}

TEST(Utf8, Validity) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xD0\x90", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"\xF4\x90\x80\x80", false},
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\x80", false},
      {"\xD0", false},
      {"\xD0 ", false},
      {"\xED\x9F\xBF", true},
      {"\xED\xA0\x80", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
}

// The inverse of a letter-preserving table, for writing test samples in 866 and KOI8-R.
std::string FromWin(const std::string& win, std::string (*toWin)(std::string_view)) {
  std::array<int, 256> inverse{};
  inverse.fill(-1);
  for (int b = 255; b >= 0; --b)
    inverse[static_cast<unsigned char>(toWin(std::string(1, static_cast<char>(b)))[0])] = b;
  std::string out;
  for (unsigned char c : win) out.push_back(static_cast<char>(inverse[c] >= 0 ? inverse[c] : '?'));
  return out;
}

TEST(DetectCodePage, ShortTextsInEveryEncoding) {
  const char* samples[] = {
      "\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB0 \xD0\xBC\xD1\x8B\xD0\xBB\xD0\xB0 "
      "\xD1\x80\xD0\xB0\xD0\xBC\xD1\x83.",
      "\xD0\x92 \xD0\xBB\xD0\xB5\xD1\x81\xD1\x83 "
      "\xD1\x80\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBB\xD0\xB0\xD1\x81\xD1"
      "\x8C \xD1\x91\xD0\xBB\xD0\xBE\xD1\x87\xD0\xBA\xD0\xB0,\r\n\xD0\x92 "
      "\xD0\xBB\xD0\xB5\xD1\x81\xD1\x83 "
      "\xD0\xBE\xD0\xBD\xD0\xB0 \xD1\x80\xD0\xBE\xD1\x81\xD0\xBB\xD0\xB0.\r\n",
      "\xD0\x93\xD0\x9B\xD0\x90\xD0\x92\xD0\x90 1\r\n\xC2\xAB\xD0\x94\xD0\xB0, \xE2\x80\x94 "
      "\xD1\x81\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBB \xD0\xBE\xD0\xBD.\xC2\xBB\r\n",
  };
  for (const char* utf8 : samples) {
    const std::string win = utf8ToWin(utf8);
    EXPECT_EQ(detectCodePage(utf8), CodePage::Utf8) << utf8;
    EXPECT_EQ(detectCodePage(win), CodePage::Cp1251) << utf8;
    EXPECT_EQ(detectCodePage(FromWin(win, DosToWin)), CodePage::Cp866) << utf8;
    EXPECT_EQ(detectCodePage(FromWin(win, KoiToWin)), CodePage::Koi8r) << utf8;
  }
  EXPECT_EQ(detectCodePage(""), CodePage::Ascii);
  EXPECT_EQ(detectCodePage("Hello, world\r\n"), CodePage::Ascii);
}

TEST(DetectCodePage, UnicodeCutByTheWindowStaysUnicode) {
  const std::string text = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  EXPECT_EQ(detectCodePage(text, 5), CodePage::Utf8);  // the window ends inside a letter
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DetectCodePage, SampleFilesOfTheRepository) {
  const std::filesystem::path samples = std::filesystem::path(PAGORA_SOURCE_DIR) / "samples";
  struct Case {
    const char* file;
    CodePage page;
  } cases[] = {{"doroga.cp866.txt", CodePage::Cp866},
               {"pisma.koi8r.txt", CodePage::Koi8r},
               {"reka.cp1251.txt", CodePage::Cp1251},
               {"sad.cp1251.html", CodePage::Cp1251}};
  for (const Case& c : cases) {
    const auto path = samples / c.file;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(detectCodePage(readAll(path)), c.page) << c.file;
  }
}

TEST(DetectCodePage, CorpusFiles) {
  const std::filesystem::path corpus =
      std::filesystem::path(PAGORA_SOURCE_DIR) / "tests/data/corpus";
  struct Case {
    const char* file;
    CodePage page;
  } cases[] = {{"anna-karenina.cp1251.html", CodePage::Cp1251},
               {"anna-karenina.cp1251.txt", CodePage::Cp1251},
               {"anna-karenina.cp866.txt", CodePage::Cp866},
               {"anna-karenina.koi8r.txt", CodePage::Koi8r},
               {"anna-karenina.utf8.txt", CodePage::Utf8}};
  for (const Case& c : cases) {
    ASSERT_TRUE(std::filesystem::exists(corpus / c.file)) << corpus / c.file;
    const std::string text = readAll(corpus / c.file);
    EXPECT_EQ(detectCodePage(text), c.page) << c.file;
    // A few lines from the middle are enough too.
    const std::string middle = text.substr(text.size() / 2 + 1000, 300);
    if (c.page != CodePage::Utf8) {
      EXPECT_EQ(detectCodePage(middle), c.page) << c.file << " (300 bytes)";
    }
  }
}

}  // namespace
}  // namespace pagora

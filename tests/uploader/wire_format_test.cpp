// The small fixed formats on the wire: check values, the BootStrap command and its detection,
// the name announced in block 0, code page 1251, and the receive buffer's two readings.
#include <gtest/gtest.h>

#include <string>

#include "text/recode.h"
#include "uploader/crc16.h"
#include "uploader/receive_buffer.h"
#include "uploader/upload_engine.h"

namespace corvane {
namespace {

std::uint16_t crcOf(const std::string& text) {
  return crc16Xmodem(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(BlockTrailers, KnownCheckValues) {
  EXPECT_EQ(crcOf("123456789"), 0x31C3);
  EXPECT_EQ(crcOf(""), 0x0000);
  EXPECT_EQ(crcOf(std::string(1, '\0')), 0x0000);
  EXPECT_EQ(crcOf("A"), 0x58E5);
  EXPECT_EQ(crcOf(std::string(128, '\0')), 0x0000);
  const std::string sub(1024, '\x1A');
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(sub.data());
  EXPECT_EQ(checksum8(bytes, sub.size()), 0x00);  // 1024 * 0x1A wraps to 0
  const std::string text = "123456789";
  EXPECT_EQ(checksum8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0xDD);
}

TEST(BootStrapCommand, EveryRateHasItsCode) {
  const std::vector<std::pair<std::int32_t, char>> codes = {
      {300, '2'},  {600, '3'},   {1200, '4'},  {2400, '5'},  {4800, '6'},
      {9600, '7'}, {19200, '8'}, {38400, '9'}, {57600, 'A'}, {115200, 'B'},
  };
  for (const auto& [rate, code] : codes) {
    const std::string expected = std::string("BOOTSTRAP0") + code +
                                 "4E\x06"
                                 "00\x18"
                                 "000100";
    EXPECT_EQ(bootstrapCommand(rate), expected) << rate;
    EXPECT_EQ(bootstrapCommand(rate).size(), 23u);
  }
  EXPECT_EQ(bootstrapCommand(14400), "");
}

TEST(BootStrapCommand, AnnouncementMustEndWithCanAndSixZeros) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"\x18"
       "000000",
       true},
      {"BootStrap ready\r\n\x18"
       "000000",
       true},
      {"\xff\x01garbage\x18"
       "000000",
       true},
      {"\x18"
       "000000\r",
       false},  // a byte after the tail
      {"\x18"
       "00000",
       false},  // too short
      {"\x18"
       "000001",
       false},
      {"\x18x\x18"
       "000000",
       false},  // an earlier, unrelated CAN
      {"no cancel at all", false},
      {"", false},
      {"000000", false},
  };
  for (const auto& [text, ready] : cases) {
    EXPECT_EQ(isBootStrapAnnouncement(text), ready) << testing::PrintToString(text);
  }
}

TEST(HeaderName, LastPartInCodePage1251AtMost15Bytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"book.lzh", "book.lzh"},
      {"/home/u/books/book.lzh", "book.lzh"},
      {"relative/dir/b.lzh", "b.lzh"},
      {"/books/A very long file name.lzh", "A very long.lzh"},  // the stem is cut, not ".lzh"
      {"exactly15chars_", "exactly15chars_"},
      {"sixteen_chars_ab", "sixteen_chars_a"},
      {"\"/books/quoted name.lzh\"", "quoted name.lzh"},
      {"\"", ""},
      {"dir/", ""},
      // Cyrillic is one byte a letter in code page 1251, so 15 letters fit.
      {"/книги/Война и мир.lzh", "\xC2\xEE\xE9\xED\xE0 \xE8 \xEC\xE8\xF0.lzh"},
      {"Преступление и наказание.lzh", "\xCF\xF0\xE5\xF1\xF2\xF3\xEF\xEB\xE5\xED\xE8.lzh"},
      {"Анна Каренина.lzh", "\xC0\xED\xED\xE0 \xCA\xE0\xF0\xE5\xED\xE8.lzh"},
      {"A very lo   ng.lzh", "A very lo.lzh"},  // no spaces before the extension
      {"ёЁ№.lzh", "\xB8\xA8\xB9.lzh"},
      {"日本.lzh", "??.lzh"},
      // A name that is not UTF-8 is already 8-bit: it goes out byte for byte, cut at 15.
      {"\xCA\xED\xE8\xE3\xE0.lzh", "\xCA\xED\xE8\xE3\xE0.lzh"},
      {"/books/\xCA\xED\xE8\xE3\xE0.lzh", "\xCA\xED\xE8\xE3\xE0.lzh"},
      {"\xCF\xF0\xE5\xF1\xF2\xF3\xEF\xEB\xE5\xED\xE8\xE5 \xE8 \xED\xE0.lzh",
       "\xCF\xF0\xE5\xF1\xF2\xF3\xEF\xEB\xE5\xED\xE8.lzh"},
      {"caf\xE9.txt", "caf\xE9.txt"},
      // Broken UTF-8 of every kind counts as not UTF-8.
      {"\xC0\xAF.lzh", "\xC0\xAF.lzh"},          // overlong
      {"\xED\xA0\x80.lzh", "\xED\xA0\x80.lzh"},  // surrogate
      {"\xD0.lzh", "\xD0.lzh"},                  // cut letter
      {"\x80"
       "abc",
       "\x80"
       "abc"},  // stray continuation byte
  };
  for (const auto& [listed, announced] : cases) {
    EXPECT_EQ(headerNameFor(listed), announced) << listed;
  }
#ifdef _WIN32
  EXPECT_EQ(headerNameFor("C:\\books\\A very long file name.lzh"), "A very long.lzh");
#endif
}

TEST(CodePage1251, Utf8Validity) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", true},
      {"plain", true},
      {"Книга", true},
      {"日本", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xCA\xED\xE8", false},
      {"\xC1\xBF", false},
      {"\xE0\x80\x80", false},
      {"\xED\xBF\xBF", false},
      {"\xF4\x90\x80\x80", false},
      {"\xF8\x88\x80\x80\x80", false},
      {"\xD0", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(pagora::isValidUtf8(text), valid) << text;
}

TEST(CodePage1251, BothDirections) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"plain ASCII\r\n", "plain ASCII\r\n"},
      {"АБВабвЯя", "\xC0\xC1\xC2\xE0\xE1\xE2\xDF\xFF"},
      {"Ёё€№—«»", "\xA8\xB8\x88\xB9\x97\xAB\xBB"},
  };
  for (const auto& [utf8, cp] : pairs) {
    EXPECT_EQ(pagora::utf8ToWin(utf8), cp) << utf8;
    EXPECT_EQ(pagora::winToUtf8(cp), utf8) << utf8;
  }
  // Bytes that are not UTF-8 are a name in 1251 already: they pass through.
  EXPECT_EQ(pagora::utf8ToWin("\xC3"), "\xC3");          // cut-off sequence
  EXPECT_EQ(pagora::utf8ToWin("a\x80z"), "a\x80z");      // stray continuation byte
  EXPECT_EQ(pagora::winToUtf8("\x98"), "\xEF\xBF\xBD");  // the one unassigned byte
}

TEST(ReceiveBuffer, TextEndsAtZeroByteButCountSeesAll) {
  ReceiveBuffer buffer;
  buffer.append(std::string("AB\0C\x06", 5));
  EXPECT_EQ(buffer.count(), 5u);
  EXPECT_EQ(buffer.text(), "AB");
  EXPECT_EQ(buffer.last(), 0x06);
  buffer.keepFrom(3);
  EXPECT_EQ(buffer.text(), "C\x06");
  buffer.setSingleByte(0x06);
  EXPECT_EQ(buffer.text(), "\x06");
  buffer.clear();
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.text(), "");
}

TEST(ReceiveBuffer, HoldsExactly1000BytesAndStaysTerminated) {
  ReceiveBuffer buffer;
  buffer.append(std::string(999, 'x'));
  buffer.append("yz");  // only one more fits
  EXPECT_EQ(buffer.count(), 1000u);
  EXPECT_EQ(buffer.room(), 0u);
  EXPECT_EQ(buffer.last(), 'y');
  EXPECT_EQ(buffer.text().size(), 1000u);
  EXPECT_EQ(buffer.data()[1000], 0);
}

TEST(ReceiveBuffer, DoubleCancelAnywhere) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"\x18\x18", true},
      {"\x18\x18\x08\x08", true},
      {"C\x18\x18\x18\x18\x18\x08\x08\x08\x08\x08", true},
      {"\x18", false},
      {"\x18x\x18", false},
      {"", false},
  };
  for (const auto& [bytes, cancel] : cases) {
    ReceiveBuffer buffer;
    buffer.append(bytes);
    EXPECT_EQ(buffer.hasDoubleCancel(), cancel) << testing::PrintToString(bytes);
  }
}

TEST(FinalLog, CutAfterTheLastLineFeed) {
  const std::string head = "\r\nExit.\r\n\r\nLast words from Receiver:\r\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"first line\r\nsecond line", "first line\r\n"},
      {"first\r\nsecond\r\n", "first\r\nsecond\r\n"},
      {"no line end", ""},
      {"", ""},
      {"a\nb\rc", "a\n"},
      {"\xC4\xE0\r\n", "Да\r\n"},
  };
  for (const auto& [words, kept] : cases) {
    EXPECT_EQ(finalLogText(words), head + kept) << words;
  }
}

}  // namespace
}  // namespace corvane

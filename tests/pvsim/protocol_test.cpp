// The simulator's checks of what the uploader sends: block trailers, header data areas, the
// BootStrap command, and the text helpers that keep names and logs safe.
#include "pvsim/protocol.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pvsim {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string area(const std::string& start) {
  std::string data = start;
  data.resize(kHeaderDataSize, '\0');
  return data;
}

TEST(PvsimProtocol, CrcAndChecksumOfKnownTexts) {
  EXPECT_EQ(crc16Xmodem(bytesOf("123456789")), 0x31C3);
  EXPECT_EQ(crc16Xmodem(bytesOf("")), 0x0000);
  EXPECT_EQ(crc16Xmodem(bytesOf(std::string(1, 'A'))), 0x58E5);
  EXPECT_EQ(checksum8(bytesOf("123456789")), 0xDD);
  EXPECT_EQ(checksum8(bytesOf(std::string(1024, '\x1A'))), 0x00);
}

TEST(PvsimProtocol, BlockLengthsByLeadByteAndMode) {
  EXPECT_EQ(blockLength(kSoh, true), 133u);
  EXPECT_EQ(blockLength(kSoh, false), 132u);
  EXPECT_EQ(blockLength(kStx, true), 1029u);
  EXPECT_EQ(blockLength(kStx, false), 1028u);
  EXPECT_EQ(blockLength(kEot, true), 0u);
  EXPECT_EQ(blockLength('C', false), 0u);
}

TEST(PvsimProtocol, BlockChecksFindEveryDamagedByte) {
  const std::string data(kDataBlockSize, 'x');
  struct Row {
    const char* what;
    bool crcMode;
    std::size_t damagedByte;  // 0: none
    BlockFault expected;
  };
  const std::vector<Row> rows = {
      {"intact CRC block", true, 0, BlockFault::None},
      {"intact checksum block", false, 0, BlockFault::None},
      {"number changed", true, 1, BlockFault::Complement},
      {"complement changed", false, 2, BlockFault::Complement},
      {"first data byte", true, 3, BlockFault::Trailer},
      {"last data byte", false, 1026, BlockFault::Trailer},
      {"CRC high byte", true, 1027, BlockFault::Trailer},
      {"CRC low byte", true, 1028, BlockFault::Trailer},
      {"checksum byte", false, 1027, BlockFault::Trailer},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string block = makeBlock(7, data, row.crcMode);
    ASSERT_EQ(block.size(), blockLength(kStx, row.crcMode));
    if (row.damagedByte != 0) block[row.damagedByte] ^= 0x10;
    EXPECT_EQ(checkBlock(bytesOf(block), row.crcMode), row.expected);
  }
}

TEST(PvsimProtocol, CrcTrailerIsHighByteFirstOverTheDataOnly) {
  const std::string block = makeBlock(0, area("123456789"), true);
  const std::uint16_t crc = crc16Xmodem(bytesOf(area("123456789")));
  EXPECT_EQ(static_cast<std::uint8_t>(block[131]), crc >> 8);
  EXPECT_EQ(static_cast<std::uint8_t>(block[132]), crc & 0xFF);
  EXPECT_EQ(block.substr(0, 3), std::string("\x01\x00\xFF", 3));
}

TEST(PvsimProtocol, HeaderDataAreas) {
  struct Row {
    std::string data;
    bool valid;
    bool endOfBatch;
    std::string name;
    std::uint64_t size;
    bool deleteFlag;
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {area(""), true, true, "", 0, false, ""},
      {area(std::string("book.lzh\0"
                        "5000",
                        13)),
       true, false, "book.lzh", 5000, false, ""},
      {area(std::string("book.lzh\0"
                        "5000 0 0 0 1",
                        21)),
       true, false, "book.lzh", 5000, true, ""},
      {area(std::string("e\0"
                        "0",
                        3)),
       true, false, "e", 0, false, ""},
      {area(std::string("big\0"
                        "2147483647",
                        14)),
       true, false, "big", 2147483647, false, ""},
      {area(std::string("\xCA\xED\xE8\xE3\xE0\0"
                        "1",
                        7)),
       true, false, "\xCA\xED\xE8\xE3\xE0", 1, false, ""},
      {area(std::string("\0"
                        "12",
                        3)),
       false, false, "", 0, false, "empty name"},
      {area(std::string("a\0", 2)), false, false, "", 0, false, "without a decimal file size"},
      {area(std::string("a\0"
                        "-5",
                        4)),
       false, false, "", 0, false, "without a decimal file size"},
      {area(std::string("a\0"
                        "012",
                        5)),
       false, false, "", 0, false, "leading zero"},
      {area(std::string("a\0"
                        "2147483648",
                        12)),
       false, false, "", 0, false, "too large"},
      {area(std::string("a\0"
                        "5 0 0 0 0",
                        11)),
       false, false, "", 0, false, "after the file size"},
      {area(std::string("a\0"
                        "5 0 0 0 1 7",
                        13)),
       false, false, "", 0, false, "after the file size"},
      {area(std::string("a\0"
                        "5\0\0junk",
                        9)),
       false, false, "", 0, false, "after the file size"},
      {std::string(kHeaderDataSize, 'n'), false, false, "", 0, false, "whole data area"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(escapeForLog(row.data.substr(0, 24)));
    const HeaderParse parsed = parseHeader(bytesOf(row.data));
    ASSERT_EQ(parsed.header.has_value(), row.valid) << parsed.error;
    if (!row.valid) {
      EXPECT_NE(parsed.error.find(row.errorPart), std::string::npos) << parsed.error;
      continue;
    }
    EXPECT_EQ(parsed.header->endOfBatch, row.endOfBatch);
    EXPECT_EQ(parsed.header->name, row.name);
    EXPECT_EQ(parsed.header->size, row.size);
    EXPECT_EQ(parsed.header->deleteFlag, row.deleteFlag);
  }
}

TEST(PvsimProtocol, BootStrapCommandsForEveryRate) {
  const std::vector<std::pair<char, int>> codes = {
      {'2', 300},  {'3', 600},   {'4', 1200},  {'5', 2400},  {'6', 4800},
      {'7', 9600}, {'8', 19200}, {'9', 38400}, {'A', 57600}, {'B', 115200}};
  for (const auto& [code, rate] : codes) {
    const std::string command = std::string("BOOTSTRAP0") + code +
                                "4E\x06"
                                "00\x18"
                                "000100";
    ASSERT_EQ(command.size(), kBootStrapCommandSize);
    const CommandParse parsed = parseBootStrapCommand(command);
    EXPECT_EQ(parsed.rate, rate) << parsed.error;
    EXPECT_TRUE(parsed.error.empty());
    EXPECT_EQ(codeForRate(rate), code);
    EXPECT_TRUE(isBootStrapCommandPrefix(command.substr(0, 11)));
  }
  EXPECT_EQ(codeForRate(14400), 0);
}

TEST(PvsimProtocol, MalformedBootStrapCommands) {
  const std::string good = std::string(
      "BOOTSTRAP0A4E\x06"
      "00\x18"
      "000100");
  struct Row {
    std::string command;
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {"BOOTSTRAP0C4E\x06"
       "00\x18"
       "000100",
       "unknown rate code C"},
      {"BOOTSTRAP1A4E\x06"
       "00\x18"
       "000100",
       "does not start with BOOTSTRAP0"},
      {"BOOTSTRAP0A4F\x06"
       "00\x18"
       "000100",
       "after the rate code"},
      {"BOOTSTRAP0A4E\x15"
       "00\x18"
       "000100",
       "after the rate code"},
      {"BOOTSTRAP0A4E\x06"
       "00\x18"
       "000101",
       "after the rate code"},
      {good.substr(0, 22), "22 bytes"},
      {good + "0", "24 bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(escapeForLog(row.command));
    const CommandParse parsed = parseBootStrapCommand(row.command);
    EXPECT_EQ(parsed.rate == 0 || !parsed.error.empty(), true);
    EXPECT_NE(parsed.error.find(row.errorPart), std::string::npos) << parsed.error;
  }
  EXPECT_TRUE(isBootStrapCommandPrefix(""));
  EXPECT_TRUE(isBootStrapCommandPrefix(good));
  EXPECT_FALSE(isBootStrapCommandPrefix(good + "x"));
  EXPECT_FALSE(isBootStrapCommandPrefix("BOOTSTRAP0Z"));
  EXPECT_FALSE(
      isBootStrapCommandPrefix("\x18"
                               "000000"));
}

TEST(PvsimProtocol, Cp1251NamesBecomeUtf8) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"book.lzh", "book.lzh"},     {"\xCA\xED\xE8\xE3\xE0.txt", "Книга.txt"},
      {"\xC0\xDF\xE0\xFF", "АЯая"}, {"\xA8\xB8", "Ёё"},
      {"\xB9\x96\x88", "№–€"},      {"\x98", "\xEF\xBF\xBD"},
  };
  for (const auto& [cp1251, utf8] : rows) EXPECT_EQ(cp1251ToUtf8(cp1251), utf8);
}

TEST(PvsimProtocol, LogTextsNeverCarryControlBytes) {
  EXPECT_EQ(escapeForLog("a.bin"), "a.bin");
  EXPECT_EQ(escapeForLog(std::string("\x1B[2J\0\\", 6)), "\\x1B[2J\\x00\\\\");
  EXPECT_EQ(escapeForLog("\xCA\r\n"), "\\xCA\\x0D\\x0A");
}

TEST(PvsimProtocol, EscapesInCommandLineTexts) {
  EXPECT_EQ(unescapeText("First\\r\\nsecond"), "First\r\nsecond");
  EXPECT_EQ(unescapeText("a\\0b\\x41\\\\\\t"), std::string("a\0bA\\\t", 6));
  EXPECT_EQ(unescapeText("plain"), "plain");
  EXPECT_FALSE(unescapeText("trailing\\"));
  EXPECT_FALSE(unescapeText("\\q"));
  EXPECT_FALSE(unescapeText("\\x4"));
  EXPECT_FALSE(unescapeText("\\xG1"));
}

}  // namespace
}  // namespace pvsim

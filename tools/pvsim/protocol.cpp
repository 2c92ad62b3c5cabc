// Block checks, header and BootStrap command parsing, and text helpers of the simulator.
#include "pvsim/protocol.h"

#include <array>
#include <cstdio>

namespace pvsim {

namespace {

std::array<std::uint16_t, 256> makeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<std::uint16_t>(crc << 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr std::string_view kRateCodes = "23456789AB";
constexpr std::array<int, 10> kRates = {300,  600,   1200,  2400,  4800,
                                        9600, 19200, 38400, 57600, 115200};

constexpr std::string_view kCommandStart = "BOOTSTRAP0";
// Everything after the rate code.
constexpr std::string_view kCommandTail{
    "4E\x06"
    "00\x18"
    "000100",
    12};

// Unicode code points of the upper half of code page 1251.
constexpr std::array<std::uint16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::uint16_t crc16Xmodem(std::span<const std::uint8_t> data) {
  static const std::array<std::uint16_t, 256> table = makeCrcTable();
  std::uint16_t crc = 0;
  for (std::uint8_t byte : data) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ byte) & 0xFF]);
  }
  return crc;
}

std::uint8_t checksum8(std::span<const std::uint8_t> data) {
  unsigned sum = 0;
  for (std::uint8_t byte : data) sum += byte;
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::size_t blockLength(std::uint8_t lead, bool crcMode) {
  const std::size_t trailer = crcMode ? 2 : 1;
  if (lead == kSoh) return 3 + kHeaderDataSize + trailer;
  if (lead == kStx) return 3 + kDataBlockSize + trailer;
  return 0;
}

BlockFault checkBlock(std::span<const std::uint8_t> block, bool crcMode) {
  if (static_cast<std::uint8_t>(block[1] + block[2]) != 0xFF) return BlockFault::Complement;
  const std::size_t trailer = crcMode ? 2 : 1;
  const auto data = block.subspan(3, block.size() - 3 - trailer);
  if (crcMode) {
    const std::uint16_t crc = crc16Xmodem(data);
    const std::uint16_t sent =
        static_cast<std::uint16_t>((block[block.size() - 2] << 8) | block[block.size() - 1]);
    if (crc != sent) return BlockFault::Trailer;
  } else if (checksum8(data) != block.back()) {
    return BlockFault::Trailer;
  }
  return BlockFault::None;
}

std::string makeBlock(std::uint8_t number, std::string_view data, bool crcMode) {
  std::string block;
  block += static_cast<char>(data.size() == kHeaderDataSize ? kSoh : kStx);
  block += static_cast<char>(number);
  block += static_cast<char>(0xFF - number);
  block += data;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()),
                                            data.size());
  if (crcMode) {
    const std::uint16_t crc = crc16Xmodem(bytes);
    block += static_cast<char>(crc >> 8);
    block += static_cast<char>(crc & 0xFF);
  } else {
    block += static_cast<char>(checksum8(bytes));
  }
  return block;
}

HeaderParse parseHeader(std::span<const std::uint8_t> dataArea) {
  HeaderParse result;
  const std::string_view area(reinterpret_cast<const char*>(dataArea.data()), dataArea.size());
  if (area.find_first_not_of('\0') == std::string_view::npos) {
    Header end;
    end.endOfBatch = true;
    result.header = end;
    return result;
  }
  const std::size_t nameEnd = area.find('\0');
  if (nameEnd == 0) {
    result.error = "header block with an empty name but other bytes set";
    return result;
  }
  if (nameEnd == std::string_view::npos) {
    result.error = "header name fills the whole data area";
    return result;
  }
  Header header;
  header.name = std::string(area.substr(0, nameEnd));
  std::size_t at = nameEnd + 1;
  const std::size_t digitsStart = at;
  while (at < area.size() && area[at] >= '0' && area[at] <= '9') ++at;
  const std::string_view digits = area.substr(digitsStart, at - digitsStart);
  if (digits.empty()) {
    result.error = "header without a decimal file size";
    return result;
  }
  if (digits.size() > 1 && digits[0] == '0') {
    result.error = "file size with a leading zero: " + std::string(digits);
    return result;
  }
  if (digits.size() > 10) {
    result.error = "file size too large: " + std::string(digits);
    return result;
  }
  for (char digit : digits) header.size = header.size * 10 + static_cast<unsigned>(digit - '0');
  if (header.size > 0x7FFFFFFF) {
    result.error = "file size too large: " + std::string(digits);
    return result;
  }
  constexpr std::string_view kDeleteFields = " 0 0 0 1";
  if (area.substr(at, kDeleteFields.size()) == kDeleteFields) {
    header.deleteFlag = true;
    at += kDeleteFields.size();
  }
  const std::string_view rest = area.substr(at);
  if (rest.find_first_not_of('\0') != std::string_view::npos) {
    result.error = "unexpected bytes after the file size: " +
                   escapeForLog(rest.substr(0, rest.find_last_not_of('\0') + 1));
    return result;
  }
  result.header = std::move(header);
  return result;
}

int rateForCode(char code) {
  const std::size_t at = kRateCodes.find(code);
  return at == std::string_view::npos ? 0 : kRates[at];
}

char codeForRate(int rate) {
  for (std::size_t i = 0; i < kRates.size(); ++i) {
    if (kRates[i] == rate) return kRateCodes[i];
  }
  return 0;
}

CommandParse parseBootStrapCommand(std::string_view command) {
  CommandParse result;
  if (command.size() != kBootStrapCommandSize) {
    result.error = "command of " + std::to_string(command.size()) + " bytes, expected 23";
    return result;
  }
  if (command.substr(0, kCommandStart.size()) != kCommandStart) {
    result.error = "command does not start with BOOTSTRAP0: " + escapeForLog(command);
    return result;
  }
  const char code = command[kCommandStart.size()];
  if (command.substr(kCommandStart.size() + 1) != kCommandTail) {
    result.error = "malformed command after the rate code: " + escapeForLog(command);
    return result;
  }
  result.rate = rateForCode(code);
  if (result.rate == 0) result.error = "unknown rate code " + escapeForLog(std::string(1, code));
  return result;
}

bool isBootStrapCommandPrefix(std::string_view received) {
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (i >= kBootStrapCommandSize) return false;
    if (i < kCommandStart.size()) {
      if (received[i] != kCommandStart[i]) return false;
    } else if (i == kCommandStart.size()) {
      if (rateForCode(received[i]) == 0) return false;
    } else if (received[i] != kCommandTail[i - kCommandStart.size() - 1]) {
      return false;
    }
  }
  return true;
}

std::string cp1251ToUtf8(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte >= 0xC0) {
      appendUtf8(out, 0x0410u + (byte - 0xC0u));
    } else {
      appendUtf8(out, kCp1251High[byte - 0x80]);
    }
  }
  return out;
}

std::string escapeForLog(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out;
}

std::optional<std::string> unescapeText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace pvsim

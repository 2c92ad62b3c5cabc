// Intel HEX record parsing and the order checks of the simulated BootStrap loader.
#include "pvsim/intel_hex.h"

#include <cstdio>
#include <iterator>

namespace pvsim {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

std::size_t hexRecordTextLength(std::uint8_t dataLength) {
  return 1 + 2 * (5 + static_cast<std::size_t>(dataLength));
}

HexRecordParse parseHexRecord(std::string_view text) {
  HexRecordParse result;
  if (text.empty() || text[0] != ':') {
    result.error = "record does not start with ':'";
    return result;
  }
  if ((text.size() - 1) % 2 != 0 || text.size() < hexRecordTextLength(0)) {
    result.error = "record of " + std::to_string(text.size()) + " characters";
    return result;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 1; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]);
    const int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) {
      result.error = "record with a character that is not a hexadecimal digit";
      return result;
    }
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  if (hexRecordTextLength(bytes[0]) != text.size()) {
    result.error = "record length field " + std::to_string(bytes[0]) + " does not match its " +
                   std::to_string(text.size()) + " characters";
    return result;
  }
  unsigned sum = 0;
  for (std::uint8_t byte : bytes) sum += byte;
  if ((sum & 0xFF) != 0) {
    result.error = "record checksum " + hex(bytes.back(), 2) + " is wrong";
    return result;
  }
  HexRecord record;
  record.address = static_cast<std::uint16_t>((bytes[1] << 8) | bytes[2]);
  record.type = bytes[3];
  record.data.assign(bytes.begin() + 4, bytes.end() - 1);
  result.record = std::move(record);
  return result;
}

std::string HexLoader::accept(const HexRecord& record) {
  const std::size_t number = ++records_;
  const std::string where = "record " + std::to_string(number) + ": ";
  if (complete_) return where + "arrives after the end record";
  const auto value16 = [&record] {
    return static_cast<std::uint32_t>((record.data[0] << 8) | record.data[1]);
  };
  switch (record.type) {
    case 0x00: {
      if (haveStart_) return where + "data after the start-address record";
      if (record.address + record.data.size() > 0x10000) {
        return where + "data crosses the end of its 64 KB window";
      }
      const std::uint32_t first = base_ + record.address;
      const std::uint32_t end = first + static_cast<std::uint32_t>(record.data.size());
      if (first == end) return {};
      auto next = loaded_.lower_bound(end);
      if (next != loaded_.begin()) {
        const auto before = std::prev(next);
        if (before->second > first) {
          return where + "overwrites bytes already loaded at " + hex(first, 5);
        }
      }
      loaded_[first] = end;
      dataBytes_ += record.data.size();
      return {};
    }
    case 0x01:
      if (record.address != 0 || !record.data.empty()) return where + "malformed end record";
      if (!haveStart_) return where + "end record without a start-address record before it";
      complete_ = true;
      return {};
    case 0x02:
    case 0x04:
      if (haveStart_) return where + "address record after the start-address record";
      if (record.address != 0 || record.data.size() != 2) {
        return where + "malformed extended address record";
      }
      base_ = record.type == 0x02 ? value16() << 4 : value16() << 16;
      return {};
    case 0x03:
    case 0x05:
      if (haveStart_) return where + "a second start-address record";
      if (record.address != 0 || record.data.size() != 4) {
        return where + "malformed start-address record";
      }
      haveStart_ = true;
      if (record.type == 0x03) {
        startAddress_ = hex(value16(), 4) + ":" +
                        hex(static_cast<std::uint32_t>((record.data[2] << 8) | record.data[3]), 4);
      } else {
        startAddress_ = hex((value16() << 16) | (record.data[2] << 8) | record.data[3], 8);
      }
      return {};
    default:
      return where + "unknown record type " + hex(record.type, 2);
  }
}

}  // namespace pvsim

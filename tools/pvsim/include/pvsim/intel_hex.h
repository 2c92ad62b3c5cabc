// The BootStrap loader's view of the Receiver image: Intel HEX records as they arrive, checked
// one by one and against the order a loadable image must have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pvsim {

struct HexRecord {
  std::uint8_t type = 0;
  std::uint16_t address = 0;
  std::vector<std::uint8_t> data;
};

struct HexRecordParse {
  std::optional<HexRecord> record;
  std::string error;  // set when record is empty
};

// Characters of a record whose length field is `dataLength`: ':' and 2 digits per byte for
// length, address (2), type, data and checksum.
std::size_t hexRecordTextLength(std::uint8_t dataLength);

// Parses one record without its line end: ':', hexadecimal digits, a length that matches and a
// checksum that brings the sum of all bytes to zero.
HexRecordParse parseHexRecord(std::string_view text);

// Follows the records of one image and refuses what a loader cannot place: unknown types,
// malformed address records, data written twice, anything after the start-address record but
// the end record, an end record without a start address before it, anything after the end.
class HexLoader {
 public:
  // Takes the next record; an error text when it breaks the rules, empty when accepted.
  std::string accept(const HexRecord& record);

  bool complete() const { return complete_; }
  std::size_t records() const { return records_; }
  std::size_t dataBytes() const { return dataBytes_; }
  // Start address as "SSSS:OOOO" (segment form) or "LLLLLLLL" (linear form); empty when none.
  const std::string& startAddress() const { return startAddress_; }

 private:
  std::uint32_t base_ = 0;
  bool haveStart_ = false;
  bool complete_ = false;
  std::size_t records_ = 0;
  std::size_t dataBytes_ = 0;
  std::string startAddress_;
  std::map<std::uint32_t, std::uint32_t> loaded_;  // first address -> one past the last
};

}  // namespace pvsim

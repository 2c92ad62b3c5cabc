// The simulated loader's record checks: what a record must look like and the order an image
// must keep.
#include "pvsim/intel_hex.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pvsim {
namespace {

TEST(PvsimIntelHex, RecordsAndTheirFaults) {
  struct Row {
    std::string text;
    bool valid;
    std::uint8_t type;
    std::uint16_t address;
    std::size_t dataSize;
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {":00000001FF", true, 1, 0, 0, ""},
      {":020000020800F4", true, 2, 0, 2, ""},
      {":0400000308000100F0", true, 3, 0, 4, ""},
      {":10010000505653494D205245434549564552205477", true, 0, 0x0100, 16, ""},
      {":10010000505653494d205245434549564552205477", true, 0, 0x0100, 16, ""},
      {":00000001FE", false, 0, 0, 0, "checksum FE"},
      {":0400000308000100F1", false, 0, 0, 0, "checksum F1"},
      {":01000001FF", false, 0, 0, 0, "does not match"},
      {":000000001", false, 0, 0, 0, "characters"},
      {"00000001FF", false, 0, 0, 0, "does not start with ':'"},
      {":0000G001FF", false, 0, 0, 0, "not a hexadecimal digit"},
      {":", false, 0, 0, 0, "characters"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const HexRecordParse parsed = parseHexRecord(row.text);
    ASSERT_EQ(parsed.record.has_value(), row.valid) << parsed.error;
    if (!row.valid) {
      EXPECT_NE(parsed.error.find(row.errorPart), std::string::npos) << parsed.error;
      continue;
    }
    EXPECT_EQ(parsed.record->type, row.type);
    EXPECT_EQ(parsed.record->address, row.address);
    EXPECT_EQ(parsed.record->data.size(), row.dataSize);
    EXPECT_EQ(hexRecordTextLength(static_cast<std::uint8_t>(row.dataSize)), row.text.size());
  }
}

// Feeds records to a loader; the index of the first refused record and its error, or -1.
std::pair<int, std::string> load(HexLoader& loader, const std::vector<std::string>& records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    const HexRecordParse parsed = parseHexRecord(records[i]);
    if (!parsed.record) return {static_cast<int>(i), parsed.error};
    const std::string error = loader.accept(*parsed.record);
    if (!error.empty()) return {static_cast<int>(i), error};
  }
  return {-1, ""};
}

TEST(PvsimIntelHex, ImageOrder) {
  const std::string segment = ":020000020800F4";
  const std::string data1 = ":0400000001020304F2";    // 4 bytes at 0000
  const std::string data2 = ":0400040005060708DE";    // 4 bytes at 0004
  const std::string overlap = ":0400020005060708E0";  // 4 bytes at 0002
  const std::string start = ":0400000308000100F0";
  const std::string linearStart = ":0400000500001000E7";
  const std::string end = ":00000001FF";
  struct Row {
    const char* what;
    std::vector<std::string> records;
    int refused;
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {"a loadable image", {segment, data1, data2, start, end}, -1, ""},
      {"linear start address", {data1, linearStart, end}, -1, ""},
      {"end without a start address", {segment, data1, end}, 2, "without a start-address"},
      {"data after the start address", {data1, start, data2, end}, 2, "data after the start"},
      {"two start addresses", {data1, start, start, end}, 2, "a second start-address"},
      {"a record after the end", {data1, start, end, data2}, 3, "after the end record"},
      {"the same bytes twice", {segment, data1, data1, start, end}, 2, "overwrites"},
      {"overlapping records", {segment, data1, overlap, start, end}, 2, "overwrites"},
      {"unknown type", {":00000006FA", start, end}, 0, "unknown record type 06"},
      {"short address record", {":0100000208F5", start, end}, 0, "malformed extended address"},
      {"data crossing 64 KB", {":02FFFF000102FD", start, end}, 0, "crosses"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    HexLoader loader;
    const auto [refused, error] = load(loader, row.records);
    EXPECT_EQ(refused, row.refused) << error;
    EXPECT_NE(error.find(row.errorPart), std::string::npos) << error;
    if (row.refused < 0) {
      EXPECT_TRUE(loader.complete());
    }
  }
}

TEST(PvsimIntelHex, SegmentsPlaceDataApart) {
  // The same offsets in two segments do not overlap.
  HexLoader loader;
  const auto [refused, error] =
      load(loader, {":020000020800F4", ":0400000001020304F2", ":020000020900F3",
                    ":0400000001020304F2", ":0400000308000100F0", ":00000001FF"});
  EXPECT_EQ(refused, -1) << error;
  EXPECT_EQ(loader.dataBytes(), 8u);
  EXPECT_EQ(loader.records(), 6u);
  EXPECT_EQ(loader.startAddress(), "0800:0100");
}

}  // namespace
}  // namespace pvsim

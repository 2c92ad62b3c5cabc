// The simulated handheld driven by hand-made bytes and a hand-moved clock: what it answers,
// what it refuses, and what it leaves in its folder.
#include "pvsim/device.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pvsim/protocol.h"
#include "upload_session.h"

namespace pvsim {
namespace {

using pvsim_test::folderNames;
using pvsim_test::readFile;
using pvsim_test::writeFile;

const std::string kCommand115200 = std::string(
    "BOOTSTRAP0B4E\x06"
    "00\x18"
    "000100");
const std::string kAnnouncement = std::string(
    "\r\nPV BootStrap 1.0\r\n\x18"
    "000000");
const std::vector<std::string> kImage = {":020000020800F4", ":0400000001020304F2",
                                         ":0400040005060708DE", ":0400000308000100F0",
                                         ":00000001FF"};

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string headerBlock(const std::string& name, std::size_t size, bool crc = true) {
  std::string data = name + '\0' + std::to_string(size);
  data.resize(kHeaderDataSize, '\0');
  return makeBlock(0, data, crc);
}

std::string dataBlock(std::uint8_t number, std::string data, bool crc = true) {
  data.resize(kDataBlockSize, '\x1A');
  return makeBlock(number, data, crc);
}

std::string endOfBatch(bool crc = true) {
  return makeBlock(0, std::string(kHeaderDataSize, '\0'), crc);
}

class PvsimHandheld : public testing::Test {
 protected:
  void make() {
    options.outFolder = folder_;
    DeviceIo io;
    io.send = [this](std::string_view bytes) { sent_.append(bytes); };
    io.lineSpeed = [this] { return speed; };
    io.log = [this](std::string_view text) { log_ += std::string(text) + "\n"; };
    device_ = std::make_unique<Device>(options, io);
  }

  // Moves the clock forward in 10 ms steps, letting the device act at each.
  void wait(Device::Millis ms) {
    for (const Device::Millis end = now_ + ms; now_ < end;) {
      now_ += 10;
      device_->advance(now_);
    }
  }
  void send(const std::string& bytes) { device_->receive(bytes, now_); }
  std::string answered() { return std::exchange(sent_, {}); }
  bool logged(const std::string& text) const { return log_.find(text) != std::string::npos; }

  // Up to the loader's announcement.
  void wakeUp() {
    now_ = 0;
    speed = 9600;
    sent_.clear();
    log_.clear();
    make();
    device_->lineOpened(now_);
    wait(300);
    ASSERT_EQ(answered(), kAnnouncement);
  }
  // Up to the Receiver's first start request.
  void install() {
    wakeUp();
    send(kCommand115200);
    ASSERT_EQ(answered(), "ACK\r\n");
    speed = 115200;
    // As the uploader does, the start-address record goes out without a line end.
    for (const std::string& record : kImage) {
      send(record + (record == ":0400000308000100F0" ? "" : "\r\n"));
    }
    ASSERT_EQ(answered(), repeat("ACK\r\n", 5) + (options.checksum ? "\x15" : "C")) << log_;
  }

  DeviceOptions options;
  int speed = 9600;
  pagora::testing_support::TempFolder temp_{"pvsim-device-"};
  const std::filesystem::path folder_ = temp_.path();
  std::unique_ptr<Device> device_;
  std::string sent_;
  std::string log_;
  Device::Millis now_ = 0;
};

TEST_F(PvsimHandheld, AnswersTheWakeUpOnlyOnceThePortRunsAt9600) {
  make();
  speed = 38400;
  device_->lineOpened(0);
  wait(500);
  EXPECT_EQ(answered(), "");
  speed = 9600;
  wait(120);
  EXPECT_EQ(answered(), "\r\n");
  wait(100);
  EXPECT_EQ(answered(), std::string("PV BootStrap 1.0\r\n\x18"
                                    "000000"));
  EXPECT_EQ(device_->exitStatus(), 0);
}

TEST_F(PvsimHandheld, AWrongRateAtTheWakeUpIsAnError) {
  make();
  speed = 19200;
  device_->lineOpened(0);
  wait(1300);
  EXPECT_EQ(answered(), kAnnouncement);
  EXPECT_TRUE(logged("error: the uploader's line runs at 19200 baud at the wake-up")) << log_;
  EXPECT_EQ(device_->exitStatus(), 1);
}

TEST_F(PvsimHandheld, TakesTheCommandInPiecesAndSwitchesRate) {
  wakeUp();
  send(kCommand115200.substr(0, 5));
  send(kCommand115200.substr(5, 10));
  EXPECT_EQ(answered(), "");
  send(kCommand115200.substr(15));
  EXPECT_EQ(answered(), "ACK\r\n");
  EXPECT_TRUE(logged("BootStrap command for 115200 baud")) << log_;
  // The port still at 9600: the handheld hears garbage and stays quiet.
  send(kImage[0] + "\r\n");
  EXPECT_EQ(answered(), "");
  EXPECT_TRUE(logged("garbled: the uploader's line runs at 9600 baud, the handheld at 115200"));
  speed = 115200;
  send(kImage[0] + "\r\n");
  EXPECT_EQ(answered(), "ACK\r\n");
}

TEST_F(PvsimHandheld, RefusesWhatIsNoBootStrapCommand) {
  const std::vector<std::string> rows = {"BOOTSTRAPX", "hello", "\x06",
                                         "BOOTSTRAP0Z4E\x06"
                                         "00\x18"
                                         "000100"};
  for (const std::string& row : rows) {
    SCOPED_TRACE(escapeForLog(row));
    wakeUp();
    send(row);
    EXPECT_EQ(answered(), "");
    EXPECT_TRUE(device_->finished());
    EXPECT_EQ(device_->exitStatus(), 1);
    EXPECT_TRUE(logged("error: not a BootStrap command")) << log_;
  }
}

TEST_F(PvsimHandheld, InstallsTheImageAndStartsTheReceiver) {
  install();
  EXPECT_TRUE(logged("Receiver installed: 5 records, 8 data bytes, start 0800:0100")) << log_;
  EXPECT_TRUE(logged("start request C")) << log_;
}

TEST_F(PvsimHandheld, BrokenImagesStopTheLoader) {
  struct Row {
    const char* what;
    std::string stream;
    int replies;  // "ACK\r\n" replies before the loader stops
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {"bad checksum", ":020000020800F4\r\n:0400000001020304F3\r\n", 1, "checksum F3"},
      {"end without start", ":0400000001020304F2\r\n:00000001FF\r\n", 1, "without a start-address"},
      {"junk between records", ":020000020800F4\r\nx:00000001FF", 1, "between records"},
      {"bad length digits", ":0G0000020800F4", 0, "malformed length"},
      {"two start addresses", ":0400000308000100F0:0400000308000100F0", 1, "a second start"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    wakeUp();
    send(kCommand115200);
    answered();
    speed = 115200;
    send(row.stream);
    EXPECT_EQ(answered(), repeat("ACK\r\n", row.replies));
    EXPECT_TRUE(device_->finished());
    EXPECT_EQ(device_->exitStatus(), 1);
    EXPECT_TRUE(logged(row.errorPart)) << log_;
  }
}

TEST_F(PvsimHandheld, ComparesTheImageWithTheExpectedOne) {
  std::string image;
  for (const std::string& record : kImage) {
    if (record != ":0400000308000100F0") image += record + "\r\n";
  }
  options.expectedImage = image;
  install();
  EXPECT_EQ(device_->exitStatus(), 0);

  options.expectedImage = ":020000020800F4\r\n:0400000001020304F2\r\n:00000001FF\r\n";
  log_.clear();
  now_ = 0;
  wakeUp();
  send(kCommand115200);
  speed = 115200;
  send(kImage[0] + "\r\n" + kImage[2]);
  EXPECT_TRUE(device_->finished());
  EXPECT_TRUE(logged("differs from the expected one at byte 23")) << log_;
}

TEST_F(PvsimHandheld, HeldRepliesShowThePacingOfTheUploader) {
  options.holdRecord = 1;
  options.holdMs = 600;
  wakeUp();
  send(kCommand115200);
  answered();
  speed = 115200;
  for (int i = 0; i < 4; ++i) send(kImage[i] + "\r\n");
  wait(500);
  EXPECT_EQ(answered(), "");
  wait(200);
  EXPECT_EQ(answered(), repeat("ACK\r\n", 4));
  EXPECT_TRUE(logged("held replies: 4 record(s) arrived")) << log_;
  send(kImage[4] + "\r\n");
  EXPECT_EQ(answered(), "ACK\r\nC");
  EXPECT_EQ(device_->exitStatus(), 0);

  // A fifth record sent into the silence breaks the pacing.
  options.holdRecord = 2;
  wakeUp();
  send(kCommand115200);
  answered();
  speed = 115200;
  for (int address = 0; address < 6; ++address) {
    char record[32];
    std::snprintf(record, sizeof record, ":01%04X0041%02X\r\n", address, (0xBE - address) & 0xFF);
    send(record);
  }
  EXPECT_EQ(answered(), "ACK\r\n");
  EXPECT_EQ(device_->exitStatus(), 1);
  EXPECT_TRUE(logged("error: pacing: 5 records sent without a reply to them")) << log_;
}

TEST_F(PvsimHandheld, ReceivesAFileAndEndsTheBatch) {
  install();
  const std::string content = pvsim_test::patternBytes(1025, 3);
  send(headerBlock("a.bin", content.size()));
  EXPECT_EQ(answered(), "\x06");
  send(dataBlock(1, content.substr(0, 1024)));
  send(dataBlock(2, content.substr(1024)));
  EXPECT_EQ(answered(), "\x06\x06");
  send("\x04");
  EXPECT_EQ(answered(), "\x06");
  wait(200);
  EXPECT_EQ(answered(), "");  // the next start request waits for the uploader's next tick
  wait(100);
  EXPECT_EQ(answered(), "C");
  send(endOfBatch());
  EXPECT_EQ(answered(), "\x06PV Receiver: 1 file(s) received.\r\nReady.\r\n");
  device_->lineClosed(now_);
  EXPECT_TRUE(device_->finished());
  EXPECT_EQ(device_->exitStatus(), 0) << log_;
  EXPECT_EQ(readFile(folder_ / "a.bin"), content);
  EXPECT_EQ(folderNames(folder_), std::vector<std::string>{"a.bin"});
}

TEST_F(PvsimHandheld, ChecksumModeFromANakStartRequest) {
  options.checksum = true;
  install();
  send(headerBlock("c.bin", 3, false));
  send(dataBlock(1, "abc", false));
  send("\x04");
  EXPECT_EQ(answered(), "\x06\x06\x06");
  wait(300);
  EXPECT_EQ(answered(), "\x15");
  // A CRC block now is one byte too long: its checksum is wrong and the extra byte is noise.
  send(endOfBatch(false));
  EXPECT_EQ(answered().substr(0, 1), "\x06");
  EXPECT_EQ(readFile(folder_ / "c.bin"), "abc");
  EXPECT_EQ(device_->exitStatus(), 0);
}

TEST_F(PvsimHandheld, BadBlocksAreRefused) {
  struct Row {
    const char* what;
    std::vector<std::string> blocks;  // sent after the header of a 2000-byte file
    std::string answers;              // everything answered to them
    bool stored;
    std::string errorPart;
  };
  std::string badCrc = dataBlock(1, "x");
  badCrc[500] ^= 1;
  std::string badComplement = dataBlock(1, "x");
  badComplement[2] = 0;
  std::string badPadding = dataBlock(2, std::string(976, 'y'));
  badPadding[3 + 990] = 'z';
  badPadding = makeBlock(2, badPadding.substr(3, 1024), true);
  const std::string cancel(8, '\x18');
  const std::vector<Row> rows = {
      {"wrong CRC", {badCrc, dataBlock(1, std::string(1024, 'x'))}, "\x15\x06", false, "wrong CRC"},
      {"wrong complement", {badComplement}, "\x15", false, "wrong number complement"},
      {"block number skipped", {dataBlock(2, "x")}, cancel, false, "numbered 2, expected 1"},
      {"header among the data", {headerBlock("b", 1)}, cancel, false, "128-byte block"},
      {"EOT too early",
       {dataBlock(1, std::string(1024, 'x')), "\x04"},
       "\x06\x06",
       false,
       "ended after 1024 of 2000 bytes"},
      {"block beyond the size",
       {dataBlock(1, std::string(1024, 'x')), dataBlock(2, std::string(976, 'y')),
        dataBlock(3, "z")},
       "\x06\x06" + cancel,
       false,
       "beyond the 2000 bytes"},
      {"padding other than SUB",
       {dataBlock(1, std::string(1024, 'x')), badPadding, "\x04"},
       "\x06\x06\x06",
       true,
       "not filled up with SUB"},
      {"block sent twice",
       {dataBlock(1, std::string(1024, 'x')), dataBlock(1, std::string(1024, 'x')),
        dataBlock(2, std::string(976, 'y')), "\x04"},
       "\x06\x06\x06\x06",
       true,
       "sent again after it was acknowledged"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    install();
    send(headerBlock("f.bin", 2000));
    ASSERT_EQ(answered(), "\x06");
    for (const std::string& block : row.blocks) send(block);
    EXPECT_EQ(answered(), row.answers) << log_;
    EXPECT_EQ(device_->exitStatus(), 1);
    EXPECT_TRUE(logged(row.errorPart)) << log_;
    // Whatever happened, once the uploader is gone only a completed file remains.
    device_->lineClosed(now_);
    EXPECT_EQ(folderNames(folder_),
              row.stored ? std::vector<std::string>{"f.bin"} : std::vector<std::string>{});
  }
}

TEST_F(PvsimHandheld, RefusesNamesThatLeaveItsFolder) {
  for (const std::string name : {"..", ".", "a/b"}) {
    SCOPED_TRACE(name);
    install();
    std::string data = name + '\0' + "1";
    data.resize(kHeaderDataSize, '\0');
    send(makeBlock(0, data, true));
    EXPECT_EQ(answered(), std::string(8, '\x18'));
    EXPECT_TRUE(logged("refused file name")) << log_;
    EXPECT_TRUE(folderNames(folder_).empty());
  }
}

TEST_F(PvsimHandheld, AShortBlockIsNakedWhenTheLineGoesQuiet) {
  install();
  send(headerBlock("s.bin", 10));
  answered();
  send(dataBlock(1, "0123456789").substr(0, 600));
  wait(900);
  EXPECT_EQ(answered(), "");
  wait(200);
  EXPECT_EQ(answered(), "\x15");
  EXPECT_TRUE(logged("short block: 600 of 1029 bytes")) << log_;
  send(dataBlock(1, "0123456789"));
  EXPECT_EQ(answered(), "\x06");
}

TEST_F(PvsimHandheld, ACancelledTransferLeavesTheOldFileAlone) {
  writeFile(folder_ / "a.bin", "old");
  options.cancel = *parseCancelPoint("data:2");
  options.cancelStyle = CancelStyle::Standard;
  install();
  send(headerBlock("a.bin", 3000));
  send(dataBlock(1, std::string(1024, 'n')));
  EXPECT_EQ(answered(), "\x06\x06");
  send(dataBlock(2, std::string(1024, 'n')));
  EXPECT_EQ(answered(), std::string(8, '\x18') + std::string(8, '\x08'));
  EXPECT_EQ(readFile(folder_ / "a.bin"), "old");
  EXPECT_EQ(folderNames(folder_), std::vector<std::string>{"a.bin"});
  send("\x04");
  EXPECT_TRUE(logged("error: the uploader sent 1 byte(s) after the cancelled")) << log_;
}

TEST_F(PvsimHandheld, NaksOnPurposeAndChecksTheResentBlock) {
  options.nakBlocks = {0, 1};
  options.nakTimes = 2;
  install();
  const std::string header = headerBlock("n.bin", 5);
  send(header);
  send(header);
  send(header);
  EXPECT_EQ(answered(), "\x15\x15\x06");
  send(dataBlock(1, "abcde"));
  send(dataBlock(1, "abcdX"));
  EXPECT_EQ(answered(), "\x15\x15");
  EXPECT_TRUE(logged("differs from its first sending")) << log_;
  EXPECT_EQ(device_->exitStatus(), 1);
}

TEST_F(PvsimHandheld, RepeatsAnUnansweredStartRequestThenGivesUp) {
  install();
  wait(1000);
  EXPECT_EQ(answered(), "C");
  wait(9000);
  EXPECT_EQ(answered(), repeat("C", 8));
  wait(1000);
  EXPECT_TRUE(device_->finished());
  EXPECT_EQ(device_->exitStatus(), 3);
}

TEST_F(PvsimHandheld, CancelPointsOnTheCommandLine) {
  const auto point = [](const char* text) { return parseCancelPoint(text); };
  ASSERT_TRUE(point("start"));
  EXPECT_EQ(point("start")->where, CancelPoint::Where::Start);
  EXPECT_EQ(point("start")->number, 1);
  EXPECT_EQ(point("data:12")->where, CancelPoint::Where::Data);
  EXPECT_EQ(point("data:12")->number, 12);
  EXPECT_EQ(point("eot:2")->number, 2);
  EXPECT_EQ(point("final")->where, CancelPoint::Where::Final);
  for (const char* bad : {"", "stop", "data:", "data:0", "data:x", "final:1", "header:-1"}) {
    EXPECT_FALSE(point(bad)) << bad;
  }
}

}  // namespace
}  // namespace pvsim

// The file batch: exact block bytes in both check modes, block numbering, progress, resends,
// cancels in every state, receivers that follow the common batch conventions, and the log.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes.h"

namespace corvane::testing {
namespace {

const std::string kHead0("\x01\x00\xFF", 3);

std::string withCrc(std::string head, const std::string& area) {
  std::uint16_t crc = 0;
  for (unsigned char byte : area) {  // bit by bit, independent of the table
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
  }
  return head + area + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

std::string withSum(std::string head, const std::string& area) {
  unsigned sum = 0;
  for (unsigned char byte : area) sum += byte;
  return head + area + static_cast<char>(sum & 0xFF);
}

std::string headerArea(const std::string& text) {
  std::string area = text;
  area.resize(128, '\0');
  return area;
}

std::string block(bool crc, const std::string& head, const std::string& area) {
  return crc ? withCrc(head, area) : withSum(head, area);
}

struct Upload {
  explicit Upload(std::vector<std::string> contents, bool deleteFlag = false, bool fast = false) {
    UploadOptions options = Harness::defaultOptions();
    options.deleteFlag = deleteFlag;
    options.fast = fast;
    for (std::size_t i = 0; i < contents.size(); ++i) {
      options.files.push_back(folder.write("file" + std::to_string(i) + ".lzh", contents[i]));
    }
    h = std::make_unique<Harness>(options);
  }
  TempFolder folder;
  std::unique_ptr<Harness> h;
};

TEST(Blocks, HeaderBlockInBothModes) {
  for (bool crc : {true, false}) {
    SCOPED_TRACE(crc ? "CRC" : "checksum");
    Upload u({std::string(5000, 'b')}, /*deleteFlag=*/true);
    u.h->reachStartRequest();
    u.h->deliver(crc ? "C" : "\x15");
    u.h->tick();
    ASSERT_EQ(u.h->engine->state(), UploadState::AwaitHeaderAck);
    const std::string expected = block(crc, kHead0,
                                       headerArea(std::string("file0.lzh\0"
                                                              "5000 0 0 0 1",
                                                              22)));
    EXPECT_EQ(u.h->port.writes.back().bytes, expected);
    EXPECT_EQ(u.h->port.writes.back().bytes.size(), crc ? 133u : 132u);
    EXPECT_TRUE(u.h->port.writes.back().flushed);
    EXPECT_EQ(u.h->engine->crcMode(), crc);
    EXPECT_TRUE(u.h->view.log.ends_with("\r\nStarting tranfer of 'file0.lzh'"));
  }
}

TEST(Blocks, DataBlocksSubFillAndEotInBothModes) {
  const std::string content = countingBytes(1025);
  for (bool crc : {true, false}) {
    SCOPED_TRACE(crc ? "CRC" : "checksum");
    Upload u({content});
    u.h->reachStartRequest();
    u.h->reachHeaderAck(crc ? 'C' : '\x15');
    EXPECT_EQ(u.h->port.writes.back().bytes, block(crc, kHead0,
                                                   headerArea(std::string("file0.lzh\0"
                                                                          "1025",
                                                                          14))));
    u.h->deliver("\x06");
    u.h->tick();
    const std::size_t first = u.h->port.writes.size();
    EXPECT_EQ(first, u.h->port.writes.size());  // the header's ACK itself sends nothing
    u.h->tick();                                // the ACK kept in the buffer sends block 1
    u.h->deliver("\x06");
    u.h->tick();
    u.h->deliver("\x06");
    u.h->tick();
    ASSERT_EQ(u.h->port.writes.size(), first + 3);
    EXPECT_EQ(u.h->port.writes[first].bytes, block(crc, "\x02\x01\xFE", content.substr(0, 1024)));
    EXPECT_EQ(u.h->port.writes[first + 1].bytes,
              block(crc, "\x02\x02\xFD", content.substr(1024) + std::string(1023, '\x1A')));
    EXPECT_EQ(u.h->port.writes[first + 1].bytes.size(), crc ? 1029u : 1028u);
    EXPECT_EQ(u.h->port.writes[first + 2].bytes, "\x04");
    EXPECT_EQ(u.h->engine->state(), UploadState::AwaitEotAck);
  }
}

TEST(Blocks, EmptyFileSendsEotOneTickAfterTheHeaderAck) {
  Upload u({""});
  u.h->reachHeaderAck();
  EXPECT_EQ(u.h->port.writes.back().bytes, withCrc(kHead0, headerArea(std::string("file0.lzh\0"
                                                                                  "0",
                                                                                  11))));
  u.h->deliver("\x06");
  u.h->tick();
  const std::size_t after = u.h->port.writes.size();
  u.h->tick();
  ASSERT_EQ(u.h->port.writes.size(), after + 1);
  EXPECT_EQ(u.h->port.writes.back().bytes, "\x04");
}

TEST(Blocks, EndOfBatchBlockInBothModes) {
  for (bool crc : {true, false}) {
    Upload u({});
    u.h->reachStartRequest();
    u.h->deliver(crc ? "C" : "\x15");
    u.h->tick();
    EXPECT_EQ(u.h->engine->state(), UploadState::AwaitFinalAck);
    EXPECT_EQ(u.h->port.writes.back().bytes, block(crc, kHead0, std::string(128, '\0')));
    EXPECT_EQ(u.h->view.range, 0u);
    EXPECT_EQ(u.h->view.position, 0u);
  }
}

TEST(Blocks, ChecksumModeLastsForTheRestOfTheUpload) {
  Upload v({"one", "two"});
  v.h->reachHeaderAck('\x15');
  v.h->deliver("\x06");
  v.h->tick();
  for (int i = 0; i < 3 && v.h->engine->state() != UploadState::AwaitStartRequest; ++i) {
    v.h->deliver("\x06");
    v.h->tick();
  }
  ASSERT_EQ(v.h->engine->state(), UploadState::AwaitStartRequest);
  v.h->deliver("C");  // C keeps whatever mode is in force
  v.h->tick();
  EXPECT_FALSE(v.h->engine->crcMode());
  EXPECT_EQ(v.h->port.writes.back().bytes, withSum(kHead0, headerArea(std::string("file1.lzh\0"
                                                                                  "3",
                                                                                  11))));
}

TEST(Blocks, BlockNumberWrapsAfter255) {
  Upload u({countingBytes(257 * 1024)});
  u.h->reachSendData();
  std::vector<std::string> blocks;
  for (int i = 0; i < 300 && u.h->engine->state() == UploadState::SendData; ++i) {
    const std::size_t before = u.h->port.writes.size();
    u.h->tick();
    if (u.h->port.writes.size() > before) blocks.push_back(u.h->port.writes.back().bytes);
    u.h->deliver("\x06");
  }
  ASSERT_EQ(blocks.size(), 258u);  // 257 data blocks and EOT
  EXPECT_EQ(blocks[254].substr(0, 3), std::string("\x02\xFF\x00", 3));
  EXPECT_EQ(blocks[255].substr(0, 3), std::string("\x02\x00\xFF", 3));  // the 256th
  EXPECT_EQ(blocks[256].substr(0, 3), "\x02\x01\xFE");
  EXPECT_EQ(blocks[257], "\x04");
}

TEST(Progress, HundredThousandBytesInStepsOf1024) {
  Upload u({std::string(100000, 'p')});
  u.h->reachHeaderAck();
  EXPECT_EQ(u.h->view.range, 100000u);
  u.h->view.positions.clear();
  u.h->deliver("\x06");
  u.h->tick();
  for (int i = 0; i < 200 && u.h->engine->state() == UploadState::SendData; ++i) {
    u.h->tick();
    u.h->deliver("\x06");
  }
  std::vector<std::uint32_t> expected;
  for (std::uint32_t p = 1024; p < 100000; p += 1024) expected.push_back(p);
  expected.push_back(100000);  // the last step is 672
  expected.push_back(100000);  // the read that finds the end adds nothing
  EXPECT_EQ(u.h->view.positions, expected);
}

TEST(Log, WholeSuccessfulUploadOfOneFile) {
  TempFolder folder;
  UploadOptions options = Harness::defaultOptions();
  options.files = {folder.write("book.lzh", countingBytes(3000))};
  Harness h(options);
  h.reachFinalAck();
  h.deliver(
      "\x06"
      "Receiver 1.0 done\r\n"
      "bye");
  h.tick();
  EXPECT_EQ(h.view.log,
            "\r\nOpening COM1 (9600,8n1 hardware flow control)"
            "\r\ntry to wake up PV... success."
            "\r\nWaiting for BootStrap response..."
            "\r\nSwitching to: 57600,8n1 hardware flow control"
            "\r\nInstalling Receiver... finished."
            "\r\nStarting tranfer of 'book.lzh'"
            "\r\nFinished."
            "\r\nExit.\r\n\r\nLast words from Receiver:\r\nReceiver 1.0 done\r\n");
  EXPECT_TRUE(h.engine->succeeded());
  EXPECT_FALSE(h.engine->portOpen());
  EXPECT_EQ(h.engine->state(), UploadState::Idle);
}

TEST(Log, FinalAckEndings) {
  struct Case {
    const char* what;
    std::string received;
    bool ends;
    bool succeeded;
    std::string logTail;
  };
  const std::string exit = "\r\nExit.\r\n\r\nLast words from Receiver:\r\n";
  const std::vector<Case> cases = {
      {"nothing at all", "", true, false, "\r\nFinished."},
      {"ACK alone", "\x06", true, true, exit},
      {"words without line end",
       "\x06"
       "words",
       true, true, exit},
      {"ACK after noise",
       "xy\x06"
       "a\r\nb",
       true, true, exit + "a\r\n"},
      {"zero byte hides the rest",
       std::string("\x06"
                   "a\r\n\0b\r\n",
                   7),
       true, true, exit + "a\r\n"},
      {"other bytes keep waiting", "xyz", false, false, "\r\nFinished."},
      {"NAK ends", "x\x15", true, false, "\r\nFinished."},
      {"CAN ends", "x\x18", true, false, "\r\nFinished."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Upload u({"abc"});
    u.h->reachFinalAck();
    u.h->deliver(c.received);
    u.h->tick();
    EXPECT_EQ(u.h->engine->finished(), c.ends);
    EXPECT_EQ(u.h->engine->succeeded(), c.succeeded);
    EXPECT_TRUE(u.h->view.log.ends_with(c.logTail)) << ::testing::PrintToString(u.h->view.log);
  }
}

TEST(Files, SkippedNamesAndTheirOrder) {
  TempFolder folder;
  UploadOptions options = Harness::defaultOptions();
  std::filesystem::create_directory(folder / "adir");
  options.files = {folder / "missing.lzh", folder.write("b.lzh", "bb"), folder / "adir",
                   folder.write("a.lzh", "a")};
  Harness h(options);
  h.reachHeaderAck();
  EXPECT_TRUE(h.view.log.ends_with("\r\nStarting tranfer of 'b.lzh'"));
  h.deliver("\x06");
  h.tick();
  h.tick();  // block 1
  h.deliver("\x06");
  h.tick();  // EOT
  h.deliver("\x06");
  h.tick();
  EXPECT_EQ(h.engine->state(), UploadState::AwaitStartRequest);
  h.deliver("C");
  h.tick();
  EXPECT_TRUE(h.view.log.ends_with("\r\nFinished.\r\nStarting tranfer of 'a.lzh'"));
}

TEST(Files, NoNameLeftSendsTheEndOfBatchAtOnce) {
  UploadOptions options = Harness::defaultOptions();
  options.files = {"/nonexistent/a.lzh", "nonexistent-b.lzh"};
  Harness h(options);
  h.reachStartRequest();
  h.deliver("C");
  h.tick();
  EXPECT_EQ(h.engine->state(), UploadState::AwaitFinalAck);
  EXPECT_EQ(h.view.log.find("Starting"), std::string::npos);
}

TEST(Files, ReadOnlyFileIsSent) {
  Upload u({"read only"});
  const std::string path = u.folder / "file0.lzh";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  u.h->reachHeaderAck();
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nStarting tranfer of 'file0.lzh'"));
}

TEST(Resend, NakRepeatsTheLastBlock) {
  Upload u({countingBytes(2000)});
  u.h->reachHeaderAck();
  const std::string header = u.h->port.writes.back().bytes;
  u.h->deliver("\x15");
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.back().bytes, header);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nResending block."));
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitHeaderAck);

  u.h->deliver("\x06");
  u.h->tick();
  u.h->tick();
  const std::string first = u.h->port.writes.back().bytes;
  ASSERT_EQ(first.substr(0, 3), "\x02\x01\xFE");
  u.h->deliver("\x15");
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.back().bytes, first);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nResend block"));
  u.h->deliver("\x06");
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.back().bytes.substr(0, 3), "\x02\x02\xFD");
}

TEST(Resend, NakOnEotRepeatsItEveryTickUntilSomethingNewArrives) {
  Upload u({"x"});
  u.h->reachEotAck();
  const std::size_t before = u.h->port.writes.size();
  u.h->deliver("\x15");
  u.h->tick();
  u.h->tick();
  u.h->tick();
  ASSERT_EQ(u.h->port.writes.size(), before + 3);
  for (std::size_t i = before; i < before + 3; ++i) EXPECT_EQ(u.h->port.writes[i].bytes, "\x04");
  u.h->deliver("\x06");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitStartRequest);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nFinished."));
}

TEST(Cancel, InEveryStateTheDeviceWayAndTheStandardWay) {
  using Reach = void (*)(Upload&);
  struct Case {
    const char* state;
    Reach reach;
    std::string logTail;
  };
  const std::vector<Case> cases = {
      {"AwaitStartRequest", [](Upload& u) { u.h->reachStartRequest(); },
       "\r\nUpload canceled by PV."},
      {"AwaitHeaderAck", [](Upload& u) { u.h->reachHeaderAck(); }, "\r\nUpload canceled by PV."},
      {"SendData", [](Upload& u) { u.h->reachSendData(); }, "\r\nUpload canceled by PV"},
      {"AwaitEotAck", [](Upload& u) { u.h->reachEotAck(); }, "\r\nUpload canceled by PV"},
      {"AwaitFinalAck", [](Upload& u) { u.h->reachFinalAck(); }, "\r\nFinished."},
  };
  const std::vector<std::string> cancels = {"\x18", "x\x18", "\x18\x18\x08\x08",
                                            "\x18\x18\x18\x18\x18\x08\x08\x08\x08\x08"};
  for (const Case& c : cases) {
    for (const std::string& cancel : cancels) {
      SCOPED_TRACE(std::string(c.state) + " " + ::testing::PrintToString(cancel));
      Upload u({"12345"});
      c.reach(u);
      const std::size_t writes = u.h->port.writes.size();
      u.h->deliver(cancel);
      u.h->tick();
      EXPECT_TRUE(u.h->view.log.ends_with(c.logTail)) << ::testing::PrintToString(u.h->view.log);
      EXPECT_FALSE(u.h->engine->portOpen());
      EXPECT_EQ(u.h->engine->state(), UploadState::Idle);
      EXPECT_FALSE(u.h->engine->succeeded());
      EXPECT_EQ(u.h->port.writes.size(), writes);  // nothing more goes out
    }
  }
}

TEST(Standard, CAfterTheHeaderAckStartsTheData) {
  Upload u({countingBytes(1500)});
  u.h->reachHeaderAck();
  u.h->deliver("\x06");
  u.h->tick();
  u.h->deliver("C");  // the next tick: the usual receiver's request for the data
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.back().bytes.substr(0, 3), "\x02\x01\xFE");
  // Once data has gone out, a 'C' means nothing.
  const std::size_t before = u.h->port.writes.size();
  u.h->deliver("C");
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.size(), before);
  EXPECT_EQ(u.h->engine->receiveBuffer().count(), 0u);
}

TEST(Standard, AckAndCTogetherHeaderAckAlsoStarts) {
  Upload u({"abc"});
  u.h->reachHeaderAck();
  u.h->deliver(
      "\x06"
      "C");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::SendData);
  u.h->tick();
  EXPECT_EQ(u.h->port.writes.back().bytes.substr(0, 3), "\x02\x01\xFE");
}

TEST(Standard, AckThenCAfterEotCountsAndTheCStartsTheNextFile) {
  Upload u({"abc", "defg"});
  u.h->reachEotAck();
  u.h->deliver(
      "\x06"
      "C");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitStartRequest);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nFinished."));
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitHeaderAck);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nStarting tranfer of 'file1.lzh'"));
}

TEST(Standard, OnlyAnAckThatCameAfterTheEotCounts) {
  Upload u({"abc"});
  u.h->reachEotAck();
  // The ACK that led to the EOT is still in the buffer; a 'C' alone after the EOT is noise.
  u.h->deliver("C");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitEotAck);
  EXPECT_EQ(u.h->engine->receiveBuffer().count(), 0u);
}

TEST(Noise, OtherBytesAreDiscardedInEveryWaitingState) {
  Upload u({"abc"});
  u.h->reachStartRequest();
  u.h->deliver("zz");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitStartRequest);
  EXPECT_EQ(u.h->engine->receiveBuffer().count(), 0u);
  u.h->reachHeaderAck();
  const std::size_t writes = u.h->port.writes.size();
  u.h->deliver("\x06z");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitHeaderAck);
  EXPECT_EQ(u.h->port.writes.size(), writes);
}

// --fast: which states follow the device's replies at once, and the steps that must not run
// early. Each tick() here stands for a step woken by the port, whenever it comes.
TEST(Fast, OnlyTheFileBatchFollowsTheReplies) {
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "--fast" : "ticks");
    UploadOptions options = Harness::defaultOptions();
    options.fast = fast;
    Harness installing(options);
    EXPECT_FALSE(installing.engine->fastPhase());
    installing.reachInstall();
    EXPECT_FALSE(installing.engine->fastPhase());
    Upload u({countingBytes(1500)}, false, fast);
    u.h->reachStartRequest();
    EXPECT_EQ(u.h->engine->fastPhase(), fast);
    u.h->reachHeaderAck();
    EXPECT_EQ(u.h->engine->fastPhase(), fast);
    u.h->deliver("\x06");
    for (int i = 0; i < 10 && u.h->engine->state() != UploadState::AwaitEotAck; ++i) {
      u.h->tick();
      EXPECT_EQ(u.h->engine->fastPhase(), fast);
      u.h->deliver("\x06");
    }
    ASSERT_EQ(u.h->engine->state(), UploadState::AwaitEotAck);
    u.h->deliver("\x06");
    u.h->tick();
    u.h->deliver("C");
    u.h->tick();
    ASSERT_EQ(u.h->engine->state(), UploadState::AwaitFinalAck);
    // The Receiver's last words are gathered over a whole tick.
    EXPECT_FALSE(u.h->engine->fastPhase());
  }
}

TEST(Fast, TheFirstDataBlockIsDueAtOnceAfterTheHeadersAck) {
  for (const char reply : {'\x06', 'C'}) {
    for (const bool fast : {false, true}) {
      SCOPED_TRACE(std::string(fast ? "--fast, " : "ticks, ") + (reply == 'C' ? "C" : "ACK"));
      Upload u({countingBytes(1500)}, false, fast);
      u.h->reachHeaderAck();
      u.h->deliver(std::string(1, reply));
      const std::size_t before = u.h->port.writes.size();
      u.h->tick();
      EXPECT_EQ(u.h->port.writes.size(), before);  // no block in the step that judged the reply
      EXPECT_EQ(u.h->engine->stepDueNow(), fast);
      u.h->tick();
      ASSERT_EQ(u.h->port.writes.size(), before + 1);
      EXPECT_EQ(u.h->port.writes.back().bytes.substr(0, 3), "\x02\x01\xFE");
      EXPECT_FALSE(u.h->engine->stepDueNow());  // the next one waits for the device
    }
  }
}

TEST(Fast, AStepBeforeTheEotIsAnsweredWaitsForTheAnswer) {
  Upload u({"x"}, false, true);
  u.h->reachEotAck();
  const std::size_t before = u.h->port.writes.size();
  // The ACK of the last data block is still the last byte received: not an answer to the EOT.
  u.h->tick();
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitEotAck);
  EXPECT_FALSE(u.h->view.log.ends_with("\r\nFinished."));
  u.h->deliver("\x15");
  u.h->tick();
  u.h->tick();  // woken by nothing new: the EOT goes once per NAK
  ASSERT_EQ(u.h->port.writes.size(), before + 1);
  EXPECT_EQ(u.h->port.writes.back().bytes, "\x04");
  u.h->deliver("\x06");
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitStartRequest);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nFinished."));

  // Without --fast the tick judges what is there, as it always did.
  Upload paced({"x"});
  paced.h->reachEotAck();
  paced.h->tick();
  EXPECT_EQ(paced.h->engine->state(), UploadState::AwaitStartRequest);
}

TEST(Fast, AStartRequestThatCameWithTheEotsAckIsDueAtOnce) {
  Upload u({"x", "yy"}, false, true);
  u.h->reachEotAck();
  u.h->deliver(
      "\x06"
      "C");
  u.h->tick();
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nFinished."));
  EXPECT_TRUE(u.h->engine->stepDueNow());
  u.h->tick();
  EXPECT_EQ(u.h->engine->state(), UploadState::AwaitHeaderAck);
  EXPECT_TRUE(u.h->view.log.ends_with("\r\nStarting tranfer of 'file1.lzh'"));
}

}  // namespace
}  // namespace corvane::testing

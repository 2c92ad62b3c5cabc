// Installing the Receiver: the records, their pacing by the loader's replies, the start-address
// record, the progress, and what happens without an image.
#include <gtest/gtest.h>

#include <numeric>

#include "fakes.h"

namespace corvane::testing {
namespace {

constexpr const char* kStartRecord = ":0400000308000100F0";

// Ticks until the baud switch has happened, leaving the engine ready to send records.
void passBaudSwitch(Harness& h) {
  for (int i = 0; i < 3; ++i) h.tick();
}

TEST(InstallReceiver, SendsEveryRecordWithTheStartAddressBeforeTheEnd) {
  Harness h;
  h.reachInstall();
  const std::size_t commandIndex = h.port.writes.size() - 1;
  EXPECT_EQ(h.port.writes[commandIndex].bytes,
            "BOOTSTRAP0A4E\x06"
            "00\x18"
            "000100");
  EXPECT_TRUE(h.port.writes[commandIndex].flushed);
  EXPECT_EQ(h.view.range, simulatorImage().size());

  passBaudSwitch(h);
  h.port.onWrite = [&h](const std::string& bytes) {
    if (bytes.ends_with("\r\n")) h.port.incoming += "ACK\r\n";
  };
  h.deliver("ACK\r\n");
  std::vector<std::size_t> recordsPerTick;
  while (h.engine->state() == UploadState::InstallReceiver && recordsPerTick.size() < 50) {
    const std::size_t before = h.port.writes.size();
    h.tick();
    recordsPerTick.push_back(h.port.writes.size() - before);
  }
  ASSERT_EQ(h.engine->state(), UploadState::AwaitStartRequest);

  const std::vector<std::string> records = splitRecords(simulatorImage());
  std::vector<Write> expected;
  for (const std::string& record : records) {
    if (record.starts_with(":00000001FF")) expected.push_back({kStartRecord, false});
    expected.push_back({record, true});
  }
  const std::vector<Write> sent(h.port.writes.begin() + static_cast<long>(commandIndex) + 1,
                                h.port.writes.end());
  ASSERT_EQ(sent.size(), expected.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].bytes, expected[i].bytes) << i;
    EXPECT_EQ(sent[i].flushed, expected[i].flushed) << i;
  }
  EXPECT_EQ(sent[sent.size() - 2].bytes, kStartRecord);
  EXPECT_EQ(sent.back().bytes, ":00000001FF\r\n");

  // 27 records at most 10 a tick: 10, 10, 7 (plus the start-address write in the last).
  EXPECT_EQ(recordsPerTick, (std::vector<std::size_t>{10, 10, 8}));
  EXPECT_EQ(h.view.position, simulatorImage().size());
  EXPECT_EQ(h.view.range, simulatorImage().size());
  EXPECT_TRUE(h.view.log.ends_with(
      "\r\nSwitching to: 57600,8n1 hardware flow control\r\nInstalling Receiver... finished."));
}

TEST(InstallReceiver, FourRecordsThenWaitWhenRepliesAreWithheld) {
  Harness h;
  h.reachInstall();
  passBaudSwitch(h);
  const std::size_t first = h.port.writes.size();
  std::uint32_t giveWayAt = h.clock.time + 250;
  h.view.pending = [&] { return h.clock.time >= giveWayAt; };
  h.deliver("ACK\r\n");  // the loader's reply to the BootStrap command only
  h.tick();
  const std::vector<std::string> records = splitRecords(simulatorImage());
  ASSERT_EQ(h.port.writes.size() - first, 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(h.port.writes[first + i].bytes, records[i]);
  EXPECT_TRUE(h.view.log.ends_with("\r\nInstalling Receiver... "));

  // Each reply lets exactly one more record out.
  for (std::size_t more = 1; more <= 3; ++more) {
    giveWayAt = h.clock.time + 250;
    h.deliver("ACK\r\n");
    h.tick();
    EXPECT_EQ(h.port.writes.size() - first, 4u + more);
    EXPECT_EQ(h.port.writes.back().bytes, records[3 + more]);
  }
  // No reply at all: nothing goes out, the announcement is not repeated.
  giveWayAt = h.clock.time + 250;
  h.tick();
  EXPECT_EQ(h.port.writes.size() - first, 7u);
  EXPECT_EQ(h.view.log.find("Installing Receiver... "),
            h.view.log.rfind("Installing Receiver... "));
  EXPECT_EQ(h.engine->state(), UploadState::InstallReceiver);
}

TEST(InstallReceiver, NothingBeforeTheLoadersFirstReply) {
  Harness h;
  h.reachInstall();
  passBaudSwitch(h);
  std::uint32_t giveWayAt = h.clock.time + 250;
  h.view.pending = [&] { return h.clock.time >= giveWayAt; };
  const std::size_t first = h.port.writes.size();
  h.deliver("AC");  // half a reply
  h.tick();
  EXPECT_EQ(h.port.writes.size(), first);
  EXPECT_EQ(h.view.log.find("Installing"), std::string::npos);
  giveWayAt = h.clock.time + 250;
  h.deliver("K\r\n");
  h.tick();
  EXPECT_EQ(h.port.writes.size(), first + 4);
}

TEST(InstallReceiver, UserInputMakesTheLoopsGiveWay) {
  Harness h;
  h.reachInstall();
  passBaudSwitch(h);
  bool input = true;
  h.view.pending = [&] { return input; };
  h.deliver("ACK\r\n");
  const std::size_t first = h.port.writes.size();
  h.tick();
  EXPECT_EQ(h.port.writes.size(), first);
  EXPECT_EQ(h.engine->receiveBuffer().text(), "ACK\r\n");  // nothing consumed
  input = false;
  h.port.onWrite = [&h](const std::string& bytes) {
    if (bytes.ends_with("\r\n")) h.port.incoming += "ACK\r\n";
  };
  h.tick();
  EXPECT_EQ(h.port.writes.size(), first + 10);
}

TEST(InstallReceiver, FullBufferWithoutReplyGivesWayInsteadOfHanging) {
  Harness h;
  h.reachInstall();
  passBaudSwitch(h);
  h.deliver(std::string(1000, 'n'));
  const std::size_t first = h.port.writes.size();
  h.tick();  // returns although no reply can ever be found in a full buffer
  EXPECT_EQ(h.port.writes.size(), first);
  EXPECT_EQ(h.engine->state(), UploadState::InstallReceiver);
}

TEST(InstallReceiver, NoImageEndsAfterTheBootStrapCommand) {
  for (const std::optional<std::string>& image :
       {std::optional<std::string>{}, std::optional<std::string>{""}}) {
    Harness h(Harness::defaultOptions(), image);
    h.openAndWake();
    h.deliver(
        "\x18"
        "000000");
    h.tick();
    ASSERT_EQ(h.port.writes.size(), 1u);
    EXPECT_EQ(h.port.writes[0].bytes,
              "BOOTSTRAP0A4E\x06"
              "00\x18"
              "000100");
    EXPECT_TRUE(h.view.log.ends_with("success.\r\nError: no Receiver data."));
    EXPECT_FALSE(h.engine->portOpen());
    EXPECT_EQ(h.engine->state(), UploadState::Idle);
    EXPECT_FALSE(h.engine->succeeded());
  }
}

TEST(InstallReceiver, BootStrapStateKeepsCollectingUntilTheTail) {
  Harness h;
  h.openAndWake();
  h.deliver(
      "\x18"
      "000000x");
  h.tick();
  EXPECT_EQ(h.engine->state(), UploadState::AwaitBootStrap);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_EQ(h.engine->receiveBuffer().count(), 9u);  // wake-up answer, nothing cleared
}

}  // namespace
}  // namespace corvane::testing

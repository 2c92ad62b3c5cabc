// A 300 000-byte file through corvane-cli and pvsim: about a minute at one block per 200 ms
// tick, so it runs once and on its own (its file name puts it first in the test list).
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "upload_session.h"

namespace pvsim_test {
namespace {

TEST(PvsimUpload, LargeFileArrivesWhole) {
  const std::string big = patternBytes(300000, 31);
  Scenario scenario;
  scenario.name = "300k";
  scenario.files = {{"big.lzh", big}};
  scenario.arguments = {"--baudrate=115200", "big.lzh"};
  scenario.simOptions = {"--image", receiverImagePath()};
  scenario.limit = 120000ms;
  const Outcome outcome = runUpload(scenario, CORVANE_CLI_PROGRAM);

  EXPECT_EQ(outcome.uploaderStatus, 0);
  EXPECT_EQ(outcome.simStatus, 0) << outcome.simLog;
  EXPECT_EQ(outcome.uploaderLog,
            "Corvane\r\n\r\nOpening " + outcome.port +
                " (9600,8n1 hardware flow control)\r\ntry to wake up PV... success.\r\n"
                "Waiting for BootStrap response...\r\nSwitching to: 115200,8n1 hardware flow "
                "control\r\nInstalling Receiver... finished.\r\nStarting tranfer of 'big.lzh'\r\n"
                "Finished.\r\nExit.\r\n\r\nLast words from Receiver:\r\nPV Receiver: 1 file(s) "
                "received.\r\nReady.\r\n");
  EXPECT_NE(outcome.simLog.find("stored 'big.lzh' (300000 bytes)"), std::string::npos)
      << outcome.simLog;
  EXPECT_TRUE(readFile(outcome.received / "big.lzh") == big) << "stored bytes differ";
  EXPECT_EQ(folderNames(outcome.received), std::vector<std::string>{"big.lzh"});
  removeSession(outcome);
}

}  // namespace
}  // namespace pvsim_test

// The Qt dialog program against pvsim: one whole upload with the offscreen platform.
#include <filesystem>

#include <gtest/gtest.h>

#include "upload_session.h"

namespace pvsim_test {
namespace {

TEST(PvsimDialog, UploadsAFileAndStaysOpenAfterwards) {
  if (!std::filesystem::exists(CORVANE_DIALOG_PROGRAM))
    GTEST_SKIP() << "this build has no windows (PAGORA_GUI=OFF)";
  // Paced by the tick, and with --fast, where the port's notifier drives the file batch.
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "with --fast" : "paced by the tick");
    const std::string content = patternBytes(fast ? 12000 : 2500, 41);
    Scenario scenario;
    scenario.name = fast ? "dialog-fast" : "dialog";
    scenario.files = {{"book.lzh", content}};
    scenario.arguments = {"--baudrate=57600", "{dir}/book.lzh"};
    if (fast) scenario.arguments.push_back("--fast");
    scenario.simOptions = {"--image", receiverImagePath()};
    const Outcome outcome = runUpload(scenario, CORVANE_DIALOG_PROGRAM);

    EXPECT_EQ(outcome.simStatus, 0) << outcome.simLog;
    EXPECT_NE(outcome.simLog.find("BootStrap command for 57600 baud"), std::string::npos)
        << outcome.simLog;
    EXPECT_NE(
        outcome.simLog.find("stored 'book.lzh' (" + std::to_string(content.size()) + " bytes)"),
        std::string::npos)
        << outcome.simLog;
    EXPECT_NE(outcome.simLog.find("line closed by the uploader"), std::string::npos)
        << outcome.simLog;
    EXPECT_EQ(readFile(outcome.received / "book.lzh"), content);
    EXPECT_EQ(folderNames(outcome.received), std::vector<std::string>{"book.lzh"});
    // The dialog keeps showing its log until the user closes it.
    EXPECT_FALSE(outcome.uploaderStatus.has_value()) << readFile(outcome.folder / "uploader.err");
    removeSession(outcome);
  }
}

}  // namespace
}  // namespace pvsim_test

// Where the Receiver image comes from: the named file, or what the build embedded.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "uploader/receiver_image.h"

namespace corvane {
namespace {

const std::string kSimulatorImage =
    std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex";

TEST(ReceiverImage, EmbeddedImageIsTheConfiguredFileByteForByte) {
  const std::string configured = CORVANE_EMBEDDED_FROM;
  if (configured.empty()) {
    EXPECT_FALSE(embeddedReceiverImage().has_value());
  } else {
    EXPECT_EQ(embeddedReceiverImage(), readWholeFile(configured));
  }
}

#ifndef _WIN32
TEST(ReceiverImage, NamedFileComesFirst) {
  ::setenv(kReceiverFileVariable, kSimulatorImage.c_str(), 1);
  const auto image = loadReceiverImage();
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->size(), 1155u);
  EXPECT_TRUE(image->starts_with(":020000020800F4\r\n:10010000"));
  EXPECT_TRUE(image->ends_with("\r\n:00000001FF\r\n"));

  ::setenv(kReceiverFileVariable, "/nonexistent/receiver.hex", 1);
  EXPECT_FALSE(loadReceiverImage().has_value());

  // Set but empty counts as not set: beside the test program there is no receiver.hex.
  ::setenv(kReceiverFileVariable, "", 1);
  EXPECT_EQ(loadReceiverImage(), embeddedReceiverImage());
  ::unsetenv(kReceiverFileVariable);
  EXPECT_EQ(loadReceiverImage(), embeddedReceiverImage());
}

TEST(ReceiverImage, ExecutableFolderIsWhereThisProgramLives) {
  EXPECT_EQ(executableFolder(), std::string(PAGORA_BINARY_DIR) + "/tests/uploader");
}
#endif

}  // namespace
}  // namespace corvane

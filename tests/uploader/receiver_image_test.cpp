// Where the Receiver image comes from: the named file, or what the build embedded.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
  const std::vector<std::string> besideOnly = {executableFolder()};
  ::setenv(kReceiverFileVariable, "", 1);
  EXPECT_EQ(loadReceiverImage(besideOnly), embeddedReceiverImage());
  ::unsetenv(kReceiverFileVariable);
  EXPECT_EQ(loadReceiverImage(besideOnly), embeddedReceiverImage());
}

// Restores an environment variable when the test ends.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~SavedVariable() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(ReceiverImage, InstalledProgramsLookBesideThemThenInTheUserAndSystemDataFolders) {
  SavedVariable data("XDG_DATA_HOME");
  SavedVariable home("HOME");
  struct Case {
    const char* data;  // nullptr: unset
    const char* home;
    std::string userFolder;  // empty: none
  };
  const Case cases[] = {
      {"/srv/data", "/home/anna", "/srv/data/pagora"},
      {nullptr, "/home/anna", "/home/anna/.local/share/pagora"},
      {"", "/home/anna", "/home/anna/.local/share/pagora"},
      // A relative XDG_DATA_HOME is not valid and is ignored.
      {"relative/data", "/home/anna", "/home/anna/.local/share/pagora"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data ? c.data : "(unset)");
    c.data ? ::setenv("XDG_DATA_HOME", c.data, 1) : ::unsetenv("XDG_DATA_HOME");
    c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
    std::vector<std::string> expected = {executableFolder()};
    if (!c.userFolder.empty()) expected.push_back(c.userFolder);
    expected.push_back("/usr/share/pagora");
    EXPECT_EQ(receiverSearchFolders(), expected);
  }
}

TEST(ReceiverImage, FirstFolderHoldingReceiverHexWins) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(PAGORA_BINARY_DIR) / "tests/uploader/receiver-search";
  fs::remove_all(root);
  for (const char* folder : {"empty", "user", "system", "broken/receiver.hex"}) {
    fs::create_directories(root / folder);
  }
  fs::copy_file(kSimulatorImage, root / "user/receiver.hex");
  {
    std::FILE* file = std::fopen((root / "system/receiver.hex").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(":00000001FF\r\n", file);
    std::fclose(file);
  }
  ::unsetenv(kReceiverFileVariable);
  const std::string empty = (root / "empty").string(), user = (root / "user").string(),
                    system = (root / "system").string(), broken = (root / "broken").string();

  EXPECT_EQ(loadReceiverImage({empty, user, system}), readWholeFile(kSimulatorImage));
  EXPECT_EQ(loadReceiverImage({empty, system, user}), std::string(":00000001FF\r\n"));
  EXPECT_EQ(loadReceiverImage({empty, "/nonexistent"}), embeddedReceiverImage());
  // A receiver.hex that cannot be read stops the search: no silent fall-back to another one.
  EXPECT_FALSE(loadReceiverImage({broken, user}).has_value());
  fs::remove_all(root);
}

TEST(ReceiverImage, ExecutableFolderIsWhereThisProgramLives) {
  EXPECT_EQ(executableFolder(), std::string(PAGORA_BINARY_DIR) + "/tests/uploader");
}
#endif

}  // namespace
}  // namespace corvane

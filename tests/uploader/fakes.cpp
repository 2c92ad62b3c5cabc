// The test harness's steps through an upload.
#include "fakes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "uploader/receiver_image.h"

namespace corvane::testing {

std::string countingBytes(std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i & 0xFF);
  return bytes;
}

std::vector<std::string> splitRecords(const std::string& image) {
  std::vector<std::string> records;
  std::size_t begin = 0;
  while (begin < image.size()) {
    std::size_t end = image.find(':', begin + 1);
    if (end == std::string::npos) end = image.size();
    records.push_back(image.substr(begin, end - begin));
    begin = end;
  }
  return records;
}

std::string simulatorImage() {
  const auto image =
      readWholeFile(std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex");
  EXPECT_TRUE(image.has_value());
  return image.value_or("");
}

Harness::Harness(UploadOptions options, std::optional<std::string> image)
    : engine(std::make_unique<UploadEngine>(std::move(options), port, clock, view,
                                            std::move(image))) {}

UploadOptions Harness::defaultOptions() {
  UploadOptions options;
  options.portName = "COM1";
  options.baudRate = 57600;
  return options;
}

void Harness::tick() {
  clock.time += UploadEngine::kTickMs;
  engine->tick();
}

std::string Harness::writtenSince(std::size_t index) const {
  std::string all;
  for (std::size_t i = index; i < port.writes.size(); ++i) all += port.writes[i].bytes;
  return all;
}

void Harness::openAndWake() {
  ASSERT_TRUE(engine->openPort());
  engine->start();
  ASSERT_EQ(engine->state(), UploadState::AwaitBootStrap);
}

void Harness::reachInstall() {
  openAndWake();
  deliver(
      "BootStrap\x18"
      "000000");
  tick();
  ASSERT_EQ(engine->state(), UploadState::InstallReceiver);
}

void Harness::reachStartRequest() {
  reachInstall();
  port.onWrite = [this](const std::string& bytes) {
    if (bytes.ends_with("\r\n")) port.incoming += "ACK\r\n";
  };
  deliver("ACK\r\n");
  for (int i = 0; i < 100 && engine->state() == UploadState::InstallReceiver; ++i) tick();
  port.onWrite = nullptr;
  ASSERT_EQ(engine->state(), UploadState::AwaitStartRequest);
  port.incoming.clear();
  tick();  // the replies to the last records are discarded
}

void Harness::reachHeaderAck(char request) {
  if (engine->state() != UploadState::AwaitStartRequest) reachStartRequest();
  deliver(std::string(1, request));
  tick();
  ASSERT_EQ(engine->state(), UploadState::AwaitHeaderAck);
}

void Harness::reachSendData() {
  reachHeaderAck();
  deliver("\x06");
  tick();
  ASSERT_EQ(engine->state(), UploadState::SendData);
}

void Harness::reachEotAck() {
  reachSendData();
  for (int i = 0; i < 10000 && engine->state() == UploadState::SendData; ++i) {
    tick();
    if (engine->state() == UploadState::SendData) deliver("\x06");
  }
  ASSERT_EQ(engine->state(), UploadState::AwaitEotAck);
}

void Harness::reachFinalAck(char request) {
  reachEotAck();
  deliver("\x06");
  tick();
  ASSERT_EQ(engine->state(), UploadState::AwaitStartRequest);
  deliver(std::string(1, request));
  tick();
  ASSERT_EQ(engine->state(), UploadState::AwaitFinalAck);
}

}  // namespace corvane::testing

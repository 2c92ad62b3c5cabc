// A scripted serial port, a clock that only moves when told, and a view that records what it
// is shown: enough to run the upload engine without hardware and without sleeping.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "uploader/clock.h"
#include "uploader/serial_port.h"
#include "uploader/upload_engine.h"
#include "uploader/upload_view.h"

namespace corvane::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::uint32_t start = 1000) : time(start) {}
  std::uint32_t now() override { return time; }
  void sleep(std::uint32_t ms) override { time += ms; }
  void idle() override {
    time += 1;
    if (onIdle) onIdle();
  }
  std::uint32_t time;
  std::function<void()> onIdle;
};

struct Write {
  std::string bytes;
  bool flushed;
};

class FakePort final : public SerialPort {
 public:
  bool open(const std::string& name) override {
    openedName = name;
    isOpen_ = openSucceeds;
    return isOpen_;
  }
  bool isOpen() const override { return isOpen_; }
  void close() override {
    isOpen_ = false;
    ++closes;
  }
  bool readSettings() override { return readSettingsSucceeds; }
  void configureRawLine(std::int32_t rate) override {
    rawLine = true;
    pendingRate = rate;
  }
  void setPendingBaudRate(std::int32_t rate) override { pendingRate = rate; }
  bool applySettings() override {
    if (applyResults.empty() ? false : !applyResults.front()) {
      applyResults.erase(applyResults.begin());
      return false;
    }
    if (!applyResults.empty()) applyResults.erase(applyResults.begin());
    appliedRates.push_back(pendingRate);
    return true;
  }
  void setDtr(bool on) override {
    dtr.push_back(on);
    if (on && ++dtrRaises == answerOnDtrRaise) incoming += wakeAnswer;
  }
  std::uint32_t bytesWaiting() override { return static_cast<std::uint32_t>(incoming.size()); }
  long read(std::uint8_t* data, std::size_t n) override {
    if (descriptor >= 0) {
      // The readable descriptor stands for the bytes in `incoming`: emptied with them.
      char drained[64];
      while (::read(descriptor, drained, sizeof drained) > 0) {
      }
    }
    const std::size_t count = std::min(n, incoming.size());
    std::copy(incoming.begin(), incoming.begin() + static_cast<long>(count), data);
    incoming.erase(0, count);
    return static_cast<long>(count);
  }
  void write(const std::uint8_t* data, std::size_t n, bool flush) override {
    writes.push_back({std::string(reinterpret_cast<const char*>(data), n), flush});
    if (onWrite) onWrite(writes.back().bytes);
  }

  int inputDescriptor() const override { return isOpen_ ? descriptor : -1; }

  std::string allWritten() const {
    std::string all;
    for (const Write& w : writes) all += w.bytes;
    return all;
  }

  bool openSucceeds = true;
  bool readSettingsSucceeds = true;
  // Results of successive applySettings calls; true once the list is used up.
  std::vector<bool> applyResults;
  std::string openedName;
  bool rawLine = false;
  std::int32_t pendingRate = 0;
  std::vector<std::int32_t> appliedRates;
  std::vector<bool> dtr;
  int dtrRaises = 0;
  int answerOnDtrRaise = 1;
  std::string wakeAnswer = "?";
  std::string incoming;
  std::vector<Write> writes;
  std::function<void(const std::string&)> onWrite;
  int closes = 0;
  // A descriptor (a pipe's reading end, non-blocking) that an event loop may watch; -1: none.
  int descriptor = -1;

 private:
  bool isOpen_ = false;
};

class RecordingView final : public UploadView {
 public:
  void appendLog(std::string_view text) override { log += text; }
  void setProgressRange(std::uint32_t maximum) override {
    range = maximum;
    position = 0;
  }
  void setProgressPosition(std::uint32_t value) override {
    position = value;
    positions.push_back(position);
  }
  void advanceProgress(std::uint32_t amount) override {
    position += amount;
    positions.push_back(position);
  }
  bool inputPending() override { return pending && pending(); }

  std::string log;
  std::uint32_t range = 100;
  std::uint32_t position = 0;
  std::vector<std::uint32_t> positions;
  std::function<bool()> pending;
};

using pagora::testing_support::TempFolder;

// Bytes 0, 1, 2 ... 255, 0, 1 ... of the given length: every position tells its offset.
std::string countingBytes(std::size_t length);

// Splits an Intel HEX text at its ':' characters, as Corvane sends it.
std::vector<std::string> splitRecords(const std::string& image);

// The simulator-only Receiver image kept with the tests.
std::string simulatorImage();

// The engine with its fakes, and the steps that bring it to each state.
struct Harness {
  explicit Harness(UploadOptions options = defaultOptions(),
                   std::optional<std::string> image = simulatorImage());
  static UploadOptions defaultOptions();

  // One timer tick, 200 ms after the last.
  void tick();
  void deliver(const std::string& bytes) { port.incoming += bytes; }
  // The bytes written since the given write index.
  std::string writtenSince(std::size_t index) const;

  // Opens the port and wakes the handheld (it answers at once).
  void openAndWake();
  // Then the BootStrap handshake: the command is written, the engine installs next.
  void reachInstall();
  // Then the whole install, with a reply to every record: the engine awaits a start request.
  void reachStartRequest();
  // Then 'C' (or the given start request): header block 0 of the next file is written.
  void reachHeaderAck(char request = 'C');
  // Then ACK to the header: the engine sends data from the next tick on.
  void reachSendData();
  // Sends every data block with an ACK each, until EOT went out.
  void reachEotAck();
  // The EOT acknowledged, the next start request answered with the end-of-batch block.
  void reachFinalAck(char request = 'C');

  FakeClock clock;
  FakePort port;
  RecordingView view;
  std::unique_ptr<UploadEngine> engine;
};

}  // namespace corvane::testing

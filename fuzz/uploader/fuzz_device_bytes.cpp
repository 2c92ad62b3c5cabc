// Whatever bytes come down the line, in whatever pieces, the upload engine must neither crash
// nor hang: the input is cut into per-tick chunks and fed through a whole upload.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "uploader/upload_engine.h"

namespace {

class Clock final : public corvane::Clock {
 public:
  std::uint32_t now() override { return time; }
  void sleep(std::uint32_t ms) override { time += ms; }
  void idle() override { time += 1; }
  std::uint32_t time = 0xFFFFF000u;  // wraps during the run
};

class Port final : public corvane::SerialPort {
 public:
  bool open(const std::string&) override { return open_ = true; }
  bool isOpen() const override { return open_; }
  void close() override { open_ = false; }
  bool readSettings() override { return true; }
  void configureRawLine(std::int32_t) override {}
  void setPendingBaudRate(std::int32_t) override {}
  bool applySettings() override { return true; }
  void setDtr(bool) override {}
  std::uint32_t bytesWaiting() override { return static_cast<std::uint32_t>(incoming.size()); }
  long read(std::uint8_t* data, std::size_t n) override {
    n = std::min(n, incoming.size());
    std::copy_n(incoming.begin(), n, data);
    incoming.erase(0, n);
    return static_cast<long>(n);
  }
  void write(const std::uint8_t*, std::size_t, bool) override {}
  std::string incoming;

 private:
  bool open_ = false;
};

class View final : public corvane::UploadView {
 public:
  void appendLog(std::string_view text) override { log.append(text); }
  void setProgressRange(std::uint32_t) override {}
  void setProgressPosition(std::uint32_t) override {}
  void advanceProgress(std::uint32_t) override {}
  // The install loops wait for the loader without limit; give way now and then so that the
  // fuzzer is not stuck in them.
  bool inputPending() override { return ++checks % 64 == 0; }
  std::string log;
  unsigned checks = 0;
};

const std::string kImage =
    ":020000020800F4\r\n:10010000505653494D205245434549564552205477\r\n:00000001FF\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = [] {
    const std::string path = "/tmp/corvane-fuzz-book.bin";
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
      for (int i = 0; i < 1500; ++i) std::fputc(i & 0xFF, out);
      std::fclose(out);
    }
    return path;
  }();
  corvane::UploadOptions options;
  options.portName = "fuzz";
  options.baudRate = 115200;
  options.deleteFlag = size > 0 && (data[0] & 1);
  // --fast changes which steps wait for what; both forms must hold up against any bytes.
  options.fast = size > 0 && (data[0] & 2);
  options.files = {file, "/nonexistent", file};
  Clock clock;
  Port port;
  View view;
  corvane::UploadEngine engine(options, port, clock, view, kImage);
  if (!engine.openPort()) return 0;
  port.incoming = "?";
  engine.start();
  // The first byte of each chunk says how long it is; the rest arrives in one tick.
  std::size_t at = 0;
  for (int tick = 0; tick < 2000 && !engine.finished(); ++tick) {
    if (at < size) {
      const std::size_t length = std::min<std::size_t>(data[at] % 40, size - at - 1);
      port.incoming.append(reinterpret_cast<const char*>(data + at + 1), length);
      at += length + 1;
    }
    clock.time += corvane::UploadEngine::kTickMs;
    engine.tick();
  }
  return 0;
}

// Corvane's side of the upload: opening the port, waking the handheld, the BootStrap
// handshake, installing the Receiver, and the batch of files in checked blocks, one step per
// 200 ms tick.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "uploader/clock.h"
#include "uploader/receive_buffer.h"
#include "uploader/serial_port.h"
#include "uploader/upload_options.h"
#include "uploader/upload_view.h"

namespace corvane {

enum class UploadState {
  Idle,
  AwaitBootStrap,
  InstallReceiver,
  AwaitStartRequest,
  AwaitHeaderAck,
  SendData,
  AwaitEotAck,
  AwaitFinalAck,
};

const char* stateName(UploadState state);

namespace wire {
inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NAK = 0x15;
inline constexpr std::uint8_t CAN = 0x18;
inline constexpr std::uint8_t SUB = 0x1A;
inline constexpr std::uint8_t C = 0x43;
}  // namespace wire

// The 23-byte command that tells the BootStrap loader to take a program at the given rate;
// empty for a rate the loader does not know.
std::string bootstrapCommand(std::int32_t baudRate);

// Whether the received text announces a ready BootStrap loader: its part from the first CAN
// on is exactly CAN "000000".
bool isBootStrapAnnouncement(std::string_view received);

// The name block 0 announces for a listed file: surrounding double quotes dropped, the part
// after the last folder separator, converted to code page 1251 when it is valid UTF-8 and kept
// byte for byte otherwise (a name already in an 8-bit code page), at most 15 bytes.
std::string headerNameFor(const std::string& listed);

// The log text added after the Receiver's final ACK: what the log keeps once it is cut after
// its last line feed (the Receiver's words up to and including their last line feed).
std::string finalLogText(std::string_view lastWords);

class UploadEngine {
 public:
  static constexpr std::uint32_t kTickMs = 200;

  UploadEngine(UploadOptions options, SerialPort& port, Clock& clock, UploadView& view,
               std::optional<std::string> receiverImage);
  UploadEngine(const UploadEngine&) = delete;
  UploadEngine& operator=(const UploadEngine&) = delete;

  // Opens and configures the port at 9600 baud, writing the log lines; false when the upload
  // cannot start (no port named, or the port could not be opened or configured).
  bool openPort();
  // The wake-up; afterwards the engine waits for the BootStrap loader.
  void start();
  // One timer tick: drain the input, then one protocol step; nothing once the port is closed.
  void tick();

  void drainInput();
  void step();
  bool switchBaudRate(std::int32_t rate);

  UploadState state() const { return state_; }
  bool portOpen() const { return port_.isOpen(); }
  // The run is over: the port is closed and nothing will happen any more.
  bool finished() const { return !port_.isOpen(); }
  // The batch ended with the Receiver's ACK to the end-of-batch block.
  bool succeeded() const { return succeeded_; }
  bool crcMode() const { return crcMode_; }
  bool fast() const { return options_.fast; }
  // With --fast, the engine is in the file batch, where a step follows the device's reply at
  // once; the tick only stands in when the device stays silent. The Receiver's last words are
  // still gathered over a whole tick.
  bool fastPhase() const;
  // With --fast, the last step left work that needs no reply (the first data block after the
  // header's acknowledgement, or a start request that came with an EOT's ACK): the next step
  // is due at once.
  bool stepDueNow() const { return stepDueNow_; }
  const ReceiveBuffer& receiveBuffer() const { return buffer_; }

 private:
  void wakeUp();
  void awaitBootStrap();
  void installReceiver();
  void awaitStartRequest();
  void awaitHeaderAck();
  void sendData();
  void awaitEotAck();
  void awaitFinalAck();

  // Reads what is waiting, as far as the buffer has room; true when bytes came in.
  bool readWaitingBytes();
  bool cancelled() const;
  void endUpload();
  void write(const std::uint8_t* data, std::size_t n, bool flush = true);
  void write(std::string_view text, bool flush = true);
  void writeBlock();
  void resendBlock();
  void writeEot();
  bool openNextFile();
  void startBlock(std::uint8_t type);
  void finishBlock(std::size_t dataLength);

  UploadOptions options_;
  std::deque<std::string> fileList_;
  SerialPort& port_;
  Clock& clock_;
  UploadView& view_;
  std::optional<std::string> image_;

  UploadState state_ = UploadState::Idle;
  ReceiveBuffer buffer_;
  std::int32_t imagePosition_ = 0;
  std::int32_t recordsSent_ = 0;
  std::int32_t acknowledgements_ = 0;
  bool installAnnounced_ = false;
  std::array<std::uint8_t, 1032> block_{};
  std::uint8_t blockNumber_ = 0;
  std::size_t lastBlockLength_ = 0;
  bool crcMode_ = true;
  bool dataStarted_ = false;
  std::size_t eotMark_ = 0;
  std::ifstream file_;
  std::string headerName_;
  bool succeeded_ = false;
  bool stepDueNow_ = false;
};

}  // namespace corvane

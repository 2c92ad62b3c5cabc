// The upload protocol: each state's step, the blocks, and every text it writes to the log.
#include "uploader/upload_engine.h"

#include "text/recode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "uploader/crc16.h"

namespace corvane {

namespace {

constexpr std::string_view kAckReply = "ACK\r\n";
constexpr std::string_view kEndRecord = ":00000001FF";
// Start segment address 0800:0100, where the loader starts the Receiver.
constexpr std::string_view kStartAddressRecord = ":0400000308000100F0";
constexpr std::size_t kHeaderArea = 128;
constexpr std::size_t kDataArea = 1024;

#ifdef _WIN32
constexpr const char* kFolderSeparators = "\\/";
#else
constexpr const char* kFolderSeparators = "/";
#endif

char rateCode(std::int32_t rate) {
  switch (rate) {
    case 300:
      return '2';
    case 600:
      return '3';
    case 1200:
      return '4';
    case 2400:
      return '5';
    case 4800:
      return '6';
    case 9600:
      return '7';
    case 19200:
      return '8';
    case 38400:
      return '9';
    case 57600:
      return 'A';
    case 115200:
      return 'B';
    default:
      return 0;
  }
}

}  // namespace

const char* stateName(UploadState state) {
  switch (state) {
    case UploadState::Idle:
      return "Idle";
    case UploadState::AwaitBootStrap:
      return "AwaitBootStrap";
    case UploadState::InstallReceiver:
      return "InstallReceiver";
    case UploadState::AwaitStartRequest:
      return "AwaitStartRequest";
    case UploadState::AwaitHeaderAck:
      return "AwaitHeaderAck";
    case UploadState::SendData:
      return "SendData";
    case UploadState::AwaitEotAck:
      return "AwaitEotAck";
    case UploadState::AwaitFinalAck:
      return "AwaitFinalAck";
  }
  return "?";
}

std::string bootstrapCommand(std::int32_t baudRate) {
  const char code = rateCode(baudRate);
  if (code == 0) return {};
  std::string command = "BOOTSTRAP0";
  command += code;
  command += "4E";
  command += static_cast<char>(wire::ACK);
  command += "00";
  command += static_cast<char>(wire::CAN);
  command += "000100";
  return command;
}

bool isBootStrapAnnouncement(std::string_view received) {
  const std::size_t cancel = received.find(static_cast<char>(wire::CAN));
  return cancel != std::string_view::npos && received.substr(cancel) ==
                                                 "\x18"
                                                 "000000";
}

std::string headerNameFor(const std::string& listed) {
  std::string name = listed;
  if (!name.empty() && name.front() == '"')
    name = name.size() >= 2 ? name.substr(1, name.size() - 2) : "";
  const std::size_t separator = name.find_last_of(kFolderSeparators);
  if (separator != std::string::npos) name.erase(0, separator + 1);
  // Bytes of a name on disk that are not UTF-8 are taken to be in the handheld's own code page
  // already and pass through. The handheld keys books by their extension, so a long name loses
  // letters of its stem, never its ".lzh".
  return pagora::shortenName(pagora::utf8ToWin(name), 15);
}

std::string finalLogText(std::string_view lastWords) {
  std::string text = "\r\nExit.\r\n\r\nLast words from Receiver:\r\n";
  const std::size_t lineFeed = lastWords.rfind('\n');
  if (lineFeed != std::string_view::npos)
    text += pagora::winToUtf8(lastWords.substr(0, lineFeed + 1));
  return text;
}

UploadEngine::UploadEngine(UploadOptions options, SerialPort& port, Clock& clock, UploadView& view,
                           std::optional<std::string> receiverImage)
    : options_(std::move(options)),
      fileList_(options_.files.begin(), options_.files.end()),
      port_(port),
      clock_(clock),
      view_(view),
      image_(std::move(receiverImage)) {}

bool UploadEngine::openPort() {
  if (options_.portName.empty()) {
    view_.appendLog("\r\nNo port specified on command line.");
    view_.appendLog("\r\n\r\nUsage: Corvane [--baudrate=n] [--port=p] [--delete] filename");
    view_.appendLog("\r\nExample: Corvane --baudrate=57600 --port=COM1 Nimbrel.lzh");
    return false;
  }
  if (port_.isOpen()) port_.close();
  if (!port_.open(options_.portName)) return false;
  view_.appendLog("\r\n");
  view_.appendLog("Opening " + options_.portName);
  if (!port_.readSettings()) {
    view_.appendLog(" but GetCommState failed :-(");
    port_.close();
    return false;
  }
  port_.configureRawLine(9600);
  if (!port_.applySettings()) {
    view_.appendLog(" but SetCommState failed :-(");
    port_.close();
    return false;
  }
  view_.appendLog(" (9600,8n1 hardware flow control)");
  return true;
}

void UploadEngine::start() {
  wakeUp();
  state_ = UploadState::AwaitBootStrap;
}

void UploadEngine::wakeUp() {
  view_.appendLog("\r\ntry to wake up PV... ");
  bool answered = false;
  for (int attempt = 0; attempt < 11 && !answered; ++attempt) {
    port_.setDtr(false);
    delay(clock_, 100);
    port_.setDtr(true);
    delay(clock_, 100);
    answered = port_.bytesWaiting() > 0;
  }
  view_.appendLog(answered ? "success." : "no response.");
}

void UploadEngine::tick() {
  if (!port_.isOpen()) return;
  drainInput();
  if (port_.isOpen()) step();
}

void UploadEngine::drainInput() {
  std::uint32_t waiting = port_.bytesWaiting();
  std::uint32_t last = clock_.now();
  while (waiting > 0 || clock_.now() - last < 1) {
    if (waiting > 0) {
      const std::size_t n = std::min<std::size_t>(waiting, buffer_.room());
      if (n == 0) {
        view_.appendLog("Warning: in queue overflow.");
        return;
      }
      const long got = port_.read(buffer_.tail(), n);
      // A port that says bytes are waiting but yields none would hold this loop forever.
      if (got <= 0) return;
      buffer_.commit(static_cast<std::size_t>(got));
      waiting -= std::min<std::uint32_t>(waiting, static_cast<std::uint32_t>(got));
      last = clock_.now();
    }
    const std::uint32_t current = clock_.now();
    if (current < last) last = 0;  // the counter wrapped
    if (waiting == 0) {
      waiting = port_.bytesWaiting();
      // Sleep briefly instead of spinning while the counter has not moved, then look again,
      // as the spinning loop would have.
      if (waiting == 0 && current - last < 1) {
        clock_.idle();
        waiting = port_.bytesWaiting();
      }
    }
  }
}

bool UploadEngine::readWaitingBytes() {
  const std::size_t n = std::min<std::size_t>(port_.bytesWaiting(), buffer_.room());
  if (n == 0) return false;
  const long got = port_.read(buffer_.tail(), n);
  if (got <= 0) return false;
  buffer_.commit(static_cast<std::size_t>(got));
  return true;
}

bool UploadEngine::switchBaudRate(std::int32_t rate) {
  if (!port_.readSettings()) return false;
  port_.setPendingBaudRate(rate);
  view_.appendLog("\r\nSwitching to: " + std::to_string(rate) + ",8n1 hardware flow control");
  if (port_.applySettings()) return true;
  view_.appendLog("\r\nSetCommState failed :-(\r\nAborting!");
  port_.close();
  return false;
}

bool UploadEngine::fastPhase() const {
  // A full buffer leaves input unread in the port; waiting on the port would not wait then.
  if (!options_.fast || buffer_.room() == 0) return false;
  switch (state_) {
    case UploadState::AwaitStartRequest:
    case UploadState::AwaitHeaderAck:
    case UploadState::SendData:
    case UploadState::AwaitEotAck:
      return true;
    default:
      return false;
  }
}

void UploadEngine::step() {
  stepDueNow_ = false;
  switch (state_) {
    case UploadState::Idle:
      break;
    case UploadState::AwaitBootStrap:
      awaitBootStrap();
      break;
    case UploadState::InstallReceiver:
      installReceiver();
      break;
    case UploadState::AwaitStartRequest:
      awaitStartRequest();
      break;
    case UploadState::AwaitHeaderAck:
      awaitHeaderAck();
      break;
    case UploadState::SendData:
      sendData();
      break;
    case UploadState::AwaitEotAck:
      awaitEotAck();
      break;
    case UploadState::AwaitFinalAck:
      awaitFinalAck();
      break;
  }
}

void UploadEngine::write(const std::uint8_t* data, std::size_t n, bool flush) {
  port_.write(data, n, flush);
}

void UploadEngine::write(std::string_view text, bool flush) {
  write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), flush);
}

void UploadEngine::endUpload() {
  state_ = UploadState::Idle;
  port_.close();
}

bool UploadEngine::cancelled() const {
  return !buffer_.empty() && (buffer_.last() == wire::CAN || buffer_.hasDoubleCancel());
}

void UploadEngine::awaitBootStrap() {
  if (!isBootStrapAnnouncement(buffer_.text())) return;
  const std::string command = bootstrapCommand(options_.baudRate);
  write(command);
  buffer_.clear();
  imagePosition_ = -3;
  recordsSent_ = 0;
  acknowledgements_ = 0;
  if (image_ && !image_->empty()) {
    view_.appendLog("\r\nWaiting for BootStrap response...");
    state_ = UploadState::InstallReceiver;
    view_.setProgressRange(static_cast<std::uint32_t>(image_->size()));
    view_.setProgressPosition(0);
  } else {
    view_.appendLog("\r\nError: no Receiver data.");
    endUpload();
  }
}

void UploadEngine::installReceiver() {
  if (imagePosition_ < 0) {
    if (++imagePosition_ == 0) switchBaudRate(options_.baudRate);
    return;
  }
  const std::string& image = *image_;
  auto findReply = [this] { return buffer_.text().find(kAckReply); };

  bool found = false;
  while (!view_.inputPending()) {
    const bool received = readWaitingBytes();
    if (findReply() != std::string_view::npos) {
      found = true;
      break;
    }
    // A full buffer without a reply can take no more bytes; waiting on would never end.
    if (buffer_.room() == 0) break;
    if (!received) clock_.idle();
  }
  if (!found && acknowledgements_ == 0) return;
  if (found && acknowledgements_ == 0 && !installAnnounced_) {
    view_.appendLog("\r\nInstalling Receiver... ");
    installAnnounced_ = true;
  }

  while (static_cast<std::size_t>(imagePosition_) < image.size()) {
    if (view_.inputPending()) break;
    const std::size_t reply = findReply();
    if (reply == std::string_view::npos && recordsSent_ - acknowledgements_ >= 3) {
      if (!readWaitingBytes()) {
        if (buffer_.room() == 0) break;
        clock_.idle();
      }
      continue;
    }
    if (reply != std::string_view::npos) {
      ++acknowledgements_;
      buffer_.keepFrom(reply + kAckReply.size());
    }
    const std::size_t begin = static_cast<std::size_t>(imagePosition_);
    std::size_t end = image.find(':', begin + 1);
    if (end == std::string::npos) end = image.size();
    const std::string_view record(image.data() + begin, end - begin);
    if (record.starts_with(kEndRecord)) {
      write(kStartAddressRecord, false);
    }
    write(record);
    view_.advanceProgress(static_cast<std::uint32_t>(record.size()));
    ++recordsSent_;
    imagePosition_ = static_cast<std::int32_t>(end);
    if (end >= image.size()) {
      state_ = UploadState::AwaitStartRequest;
    } else if (recordsSent_ % 10 == 0) {
      break;
    }
    readWaitingBytes();
  }
  if (state_ == UploadState::AwaitStartRequest) view_.appendLog("finished.");
}

bool UploadEngine::openNextFile() {
  while (!fileList_.empty()) {
    const std::string listed = fileList_.front();
    fileList_.pop_front();
    const std::filesystem::path path(reinterpret_cast<const char8_t*>(listed.c_str()));
    std::error_code error;
    // Only a regular file can be sent; a folder would announce a size and then fail to read.
    if (!std::filesystem::is_regular_file(path, error)) continue;
    // Corvane only reads the file, so a read-only book is sent like any other.
    file_.open(path, std::ios::binary);
    if (!file_.is_open()) continue;
    headerName_ = headerNameFor(listed);
    return true;
  }
  headerName_.clear();
  return false;
}

void UploadEngine::startBlock(std::uint8_t type) {
  block_[0] = type;
  block_[1] = blockNumber_;
  block_[2] = static_cast<std::uint8_t>(255 - blockNumber_);
  ++blockNumber_;
}

void UploadEngine::finishBlock(std::size_t dataLength) {
  std::uint8_t* area = block_.data() + 3;
  if (crcMode_) {
    const std::uint16_t crc = crc16Xmodem(area, dataLength);
    area[dataLength] = static_cast<std::uint8_t>(crc >> 8);
    area[dataLength + 1] = static_cast<std::uint8_t>(crc & 0xFF);
    lastBlockLength_ = 3 + dataLength + 2;
  } else {
    area[dataLength] = checksum8(area, dataLength);
    lastBlockLength_ = 3 + dataLength + 1;
  }
}

void UploadEngine::writeBlock() {
  write(block_.data(), lastBlockLength_);
  buffer_.clear();
}

void UploadEngine::resendBlock() {
  write(block_.data(), lastBlockLength_);
}

void UploadEngine::writeEot() {
  const std::uint8_t eot = wire::EOT;
  write(&eot, 1);
}

void UploadEngine::awaitStartRequest() {
  if (cancelled()) {
    view_.appendLog("\r\nUpload canceled by PV.");
    endUpload();
    return;
  }
  if (buffer_.empty() || (buffer_.last() != wire::C && buffer_.last() != wire::NAK)) {
    buffer_.clear();
    return;
  }
  if (buffer_.last() == wire::NAK) crcMode_ = false;
  if (file_.is_open()) file_.close();
  file_.clear();
  const bool haveFile = openNextFile();

  blockNumber_ = 0;
  block_.fill(0);
  dataStarted_ = false;
  if (!haveFile) {
    view_.setProgressRange(0);
    view_.setProgressPosition(0);
    startBlock(wire::SOH);
    finishBlock(kHeaderArea);
    state_ = UploadState::AwaitFinalAck;
  } else {
    file_.seekg(0, std::ios::end);
    const std::streamoff fileSize = std::max<std::streamoff>(0, file_.tellg());
    file_.seekg(0, std::ios::beg);
    view_.setProgressRange(static_cast<std::uint32_t>(fileSize));
    view_.setProgressPosition(0);
    view_.appendLog("\r\nStarting tranfer of '" + pagora::winToUtf8(headerName_) + "'");
    startBlock(wire::SOH);
    char* area = reinterpret_cast<char*>(block_.data() + 3);
    std::memcpy(area, headerName_.data(), headerName_.size());
    std::string sizeText = std::to_string(static_cast<long long>(fileSize));
    if (options_.deleteFlag) sizeText += " 0 0 0 1";
    std::memcpy(area + headerName_.size() + 1, sizeText.data(), sizeText.size());
    finishBlock(kHeaderArea);
    state_ = UploadState::AwaitHeaderAck;
  }
  writeBlock();
}

void UploadEngine::awaitHeaderAck() {
  if (cancelled()) {
    view_.appendLog("\r\nUpload canceled by PV.");
    endUpload();
    return;
  }
  if (buffer_.empty()) return;
  switch (buffer_.last()) {
    case wire::NAK:
      resendBlock();
      view_.appendLog("\r\nResending block.");
      buffer_.clear();
      break;
    case wire::ACK:
    case wire::C:
      buffer_.setSingleByte(wire::ACK);
      state_ = UploadState::SendData;
      stepDueNow_ = options_.fast;
      break;
    default:
      buffer_.clear();
      break;
  }
}

void UploadEngine::sendData() {
  if (cancelled()) {
    view_.appendLog("\r\nUpload canceled by PV");
    endUpload();
    return;
  }
  if (buffer_.empty()) return;
  const std::uint8_t last = buffer_.last();
  // A receiver that follows the batch conventions asks for the data with 'C' after it has
  // acknowledged block 0; until the first data block has gone out that means go, like ACK.
  if (last == wire::ACK || (last == wire::C && !dataStarted_)) {
    startBlock(wire::STX);
    std::uint8_t* area = block_.data() + 3;
    file_.read(reinterpret_cast<char*>(area), kDataArea);
    // A short read means the end of the file; a read error is taken as its end too.
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(0, file_.gcount()));
    view_.advanceProgress(static_cast<std::uint32_t>(got));
    if (got > 0) {
      std::fill(area + got, area + kDataArea, wire::SUB);
      finishBlock(kDataArea);
      dataStarted_ = true;
      writeBlock();
    } else {
      writeEot();
      eotMark_ = buffer_.count();
      state_ = UploadState::AwaitEotAck;
    }
    return;
  }
  if (last == wire::NAK) {
    resendBlock();
    view_.appendLog("\r\nResend block");
  }
  buffer_.clear();
}

void UploadEngine::awaitEotAck() {
  if (cancelled()) {
    view_.appendLog("\r\nUpload canceled by PV");
    endUpload();
    return;
  }
  if (buffer_.empty()) return;
  // The ACK of the last data block is still in the buffer; only a fast step can come before
  // the device had time to answer the EOT, and it waits for that answer.
  if (options_.fast && buffer_.count() <= eotMark_) return;
  const std::uint8_t last = buffer_.last();
  if (last == wire::NAK) {
    writeEot();
    eotMark_ = buffer_.count();
    return;
  }
  if (last == wire::ACK) {
    buffer_.clear();
  } else {
    // A receiver that follows the batch conventions acknowledges the EOT and asks for the next
    // header with 'C' at once; the ACK counts, and what followed it waits for the next step.
    const std::uint8_t* begin = buffer_.data() + std::min(eotMark_, buffer_.count());
    const std::uint8_t* end = buffer_.data() + buffer_.count();
    const std::uint8_t* ack = std::find(begin, end, wire::ACK);
    if (ack == end) {
      buffer_.clear();
      eotMark_ = 0;
      return;
    }
    buffer_.keepFrom(static_cast<std::size_t>(ack - buffer_.data()) + 1);
    stepDueNow_ = options_.fast;
  }
  eotMark_ = 0;
  state_ = UploadState::AwaitStartRequest;
  view_.appendLog("\r\nFinished.");
}

void UploadEngine::awaitFinalAck() {
  const std::string_view text = buffer_.text();
  const std::size_t ack = text.find(static_cast<char>(wire::ACK));
  if (!buffer_.empty() && ack == std::string_view::npos && buffer_.last() != wire::NAK &&
      !cancelled()) {
    buffer_.clear();
    return;
  }
  if (ack != std::string_view::npos) {
    view_.appendLog(finalLogText(text.substr(ack + 1)));
    succeeded_ = true;
  }
  buffer_.clear();
  endUpload();
}

}  // namespace corvane

// The simulated BootStrap loader and Receiver.
#include "pvsim/device.h"

#include <algorithm>

#include "pvsim/protocol.h"

namespace pvsim {

namespace {

constexpr Device::Millis kWakeAnswerDelay = 100;
constexpr Device::Millis kAnnounceDelay = 50;
constexpr Device::Millis kSpeedWait = 1000;
// A start request goes out between two of the uploader's ticks: its writes mark the tick, and
// its next tick, which reads the answer to that write, comes 200 ms later.
constexpr Device::Millis kStartRequestDelay = 300;
constexpr Device::Millis kRepeatStartRequest = 1000;
constexpr int kMostStartRequests = 10;
constexpr Device::Millis kShortBlockWait = 1000;
constexpr Device::Millis kCloseWait = 3000;
constexpr int kMostBadBlocks = 10;
constexpr int kMostUnanswered = 4;
constexpr int kCancelBytes = 8;

constexpr std::string_view kLoaderReply = "ACK\r\n";
constexpr std::string_view kStartRecord = ":0400000308000100F0";
constexpr std::string_view kEndRecord = ":00000001FF";
// Line noise: no zero byte, no ACK, NAK or C, and a single CAN that must not count as a cancel.
constexpr std::string_view kNoise{"\xFF\x7F\x18\x11\x13\r\n\x80x", 9};
constexpr std::string_view kWakeNoise{"\xFF\x7F\x11\x13\x80x", 6};
constexpr std::string_view kHiddenWords = "This line follows a zero byte.\r\n";

std::string one(std::uint8_t byte) { return std::string(1, static_cast<char>(byte)); }

}  // namespace

std::optional<CancelPoint> parseCancelPoint(std::string_view text) {
  static const std::map<std::string_view, CancelPoint::Where> names = {
      {"start", CancelPoint::Where::Start}, {"header", CancelPoint::Where::Header},
      {"data", CancelPoint::Where::Data},   {"eot", CancelPoint::Where::Eot},
      {"final", CancelPoint::Where::Final}};
  CancelPoint point;
  const std::size_t colon = text.find(':');
  const auto found = names.find(text.substr(0, colon));
  if (found == names.end()) return std::nullopt;
  point.where = found->second;
  if (colon != std::string_view::npos) {
    const std::string_view digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 6 || point.where == CancelPoint::Where::Final) {
      return std::nullopt;
    }
    int number = 0;
    for (char digit : digits) {
      if (digit < '0' || digit > '9') return std::nullopt;
      number = number * 10 + (digit - '0');
    }
    if (number < 1) return std::nullopt;
    point.number = number;
  }
  return point;
}

Device::Device(DeviceOptions options, DeviceIo io)
    : options_(std::move(options)), io_(std::move(io)), store_(options_.outFolder) {
  if (!options_.expectedImage.empty()) {
    // The uploader puts its start-address record in front of the image's end record.
    expectedStream_ = options_.expectedImage;
    const std::size_t end = expectedStream_.rfind(kEndRecord);
    if (end != std::string::npos) expectedStream_.insert(end, kStartRecord);
  }
}

void Device::log(const std::string& text) { io_.log(text); }

void Device::error(const std::string& text) {
  ++errors_;
  log("error: " + text);
}

std::string Device::phaseName() const {
  switch (phase_) {
    case Phase::WaitOpen: return "waiting for the line to open";
    case Phase::WaitSpeed:
    case Phase::Announce: return "wake-up";
    case Phase::AwaitCommand: return "waiting for the BootStrap command";
    case Phase::Install: return "Receiver installation";
    case Phase::AwaitHeader: return "waiting for a header block";
    case Phase::AwaitData: return "waiting for a data block or EOT";
    case Phase::AwaitEotRepeat: return "waiting for the repeated EOT";
    case Phase::Done: return "end of batch";
    case Phase::Cancelled: return "cancelled";
    case Phase::Failed: return "failed";
    case Phase::Finished: return "finished";
  }
  return {};
}

int Device::exitStatus() const {
  if (errors_ > 0) return 1;
  if (stalled_) return 3;
  return 0;
}

void Device::lineOpened(Millis now) {
  if (phase_ != Phase::WaitOpen) return;
  log("line opened");
  phase_ = Phase::WaitSpeed;
  lastHeard_ = now;
  speedDeadline_ = now + kSpeedWait;
  pollAt_ = now;
}

void Device::lineClosed(Millis now) {
  (void)now;
  if (phase_ == Phase::Finished || phase_ == Phase::WaitOpen) return;
  if (phase_ == Phase::Done || phase_ == Phase::Cancelled || phase_ == Phase::Failed) {
    log("line closed by the uploader");
  } else {
    log("line closed by the uploader during the " + phaseName() + "; the session did not end");
    stalled_ = true;
  }
  store_.discard();
  phase_ = Phase::Finished;
}

Device::Millis Device::nextDeadline() const {
  Millis next = -1;
  const auto consider = [&next](Millis at) {
    if (at >= 0 && (next < 0 || at < next)) next = at;
  };
  if (phase_ == Phase::Finished) return -1;
  consider(pollAt_);
  consider(answerAt_);
  consider(announceAt_);
  consider(startRequestAt_);
  consider(repeatAt_);
  consider(partialAt_);
  consider(closeBy_);
  consider(holdUntil_);
  for (const Pending& pending : pending_) consider(pending.at);
  if (phase_ != Phase::WaitOpen && phase_ != Phase::Done && phase_ != Phase::Cancelled &&
      phase_ != Phase::Failed) {
    consider(lastHeard_ + options_.silenceMs);
  }
  return next;
}

void Device::advance(Millis now) {
  if (phase_ == Phase::Finished) return;
  advanceWakeUp(now);
  releaseHeldReplies(now);
  advanceReceiverTimers(now);
  checkSilence(now);
}

// The loader's side of the wake-up: the line's rate, the answer and the announcement.
void Device::advanceWakeUp(Millis now) {
  if (phase_ == Phase::WaitSpeed && pollAt_ >= 0 && now >= pollAt_) {
    const int speed = io_.lineSpeed();
    if (speed == 9600 || speed == 0 || now >= speedDeadline_) {
      if (speed != 9600 && speed != 0) {
        error("the uploader's line runs at " + std::to_string(speed) +
              " baud at the wake-up, expected 9600");
      }
      pollAt_ = -1;
      phase_ = Phase::Announce;
      answerAt_ = now + kWakeAnswerDelay;
    } else {
      pollAt_ = now + 10;
    }
  }
  if (answerAt_ >= 0 && now >= answerAt_) {
    answerAt_ = -1;
    io_.send(options_.noise ? kWakeNoise : std::string_view("\r\n"));
    log("answered the wake-up");
    announceAt_ = now + kAnnounceDelay;
  }
  if (announceAt_ >= 0 && now >= announceAt_) {
    announceAt_ = -1;
    io_.send(std::string("PV BootStrap 1.0\r\n") + one(kCan) + "000000");
    log("BootStrap loader announced");
    phase_ = Phase::AwaitCommand;
    lastHeard_ = now;
  }
}

// Replies held back on purpose go out once their time has come.
void Device::releaseHeldReplies(Millis now) {
  // In the order they were due.
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const Pending& a, const Pending& b) { return a.at < b.at; });
  while (!pending_.empty() && pending_.front().at <= now) {
    io_.send(pending_.front().bytes);
    pending_.erase(pending_.begin());
  }

  if (holdUntil_ >= 0 && now >= holdUntil_) {
    holdUntil_ = -1;
    holding_ = false;
    holdDone_ = true;
    log("held replies: " + std::to_string(heldRecordsSeen_) +
        " record(s) arrived while the loader held its replies");
    replyToRecords(heldData_, heldStart_);
    heldData_ = 0;
    heldStart_ = 0;
    if (loader_.complete() && phase_ == Phase::Install) startReceiver(now);
  }
}

// A block cut short by a quiet line, and start requests that are due or get no answer.
void Device::advanceReceiverTimers(Millis now) {
  if (partialAt_ >= 0 && now >= partialAt_) {
    partialAt_ = -1;
    if (phase_ == Phase::Install) {
      failLoader("the line went quiet in the middle of a record: " + escapeForLog(stream_), now);
    } else if (!buffer_.empty()) {
      const std::size_t expected = blockLength(static_cast<std::uint8_t>(buffer_[0]), crcMode_);
      nakBadBlock("short block: " + std::to_string(buffer_.size()) + " of " +
                      std::to_string(expected) + " bytes",
                  now);
      buffer_.clear();
    }
  }

  if (startRequestAt_ >= 0 && now >= startRequestAt_) {
    startRequestAt_ = -1;
    sendStartRequest(now);
  }
  if (repeatAt_ >= 0 && now >= repeatAt_) {
    repeatAt_ = -1;
    if (repeats_ >= kMostStartRequests) {
      log("no header block after " + std::to_string(repeats_) + " start requests; giving up");
      stalled_ = true;
      endSession(now);
    } else {
      log("no answer to the start request; sending it again");
      sendStartRequest(now);
    }
  }
}

// An uploader that keeps the line open after the end, or falls silent during the session.
void Device::checkSilence(Millis now) {
  if (closeBy_ >= 0 && now >= closeBy_) {
    log("the uploader kept the line open; ending");
    phase_ = Phase::Finished;
    return;
  }
  if (phase_ != Phase::WaitOpen && phase_ != Phase::Done && phase_ != Phase::Cancelled &&
      phase_ != Phase::Failed && now - lastHeard_ >= options_.silenceMs) {
    log("nothing from the uploader for " + std::to_string(options_.silenceMs / 1000) +
        " s during the " + phaseName() + "; giving up");
    stalled_ = true;
    store_.discard();
    phase_ = Phase::Finished;
  }
}

bool Device::lineAtLoaderRate() {
  const int speed = io_.lineSpeed();
  if (speed == 0 || speed == rate_) {
    garbledLogged_ = false;
    return true;
  }
  if (!garbledLogged_) {
    log("garbled: the uploader's line runs at " + std::to_string(speed) +
        " baud, the handheld at " + std::to_string(rate_) + " baud; bytes dropped");
    garbledLogged_ = true;
  }
  return false;
}

void Device::receive(std::string_view bytes, Millis now) {
  if (bytes.empty()) return;
  lastHeard_ = now;
  switch (phase_) {
    case Phase::WaitOpen:
    case Phase::WaitSpeed:
    case Phase::Announce:
      error("the uploader sent " + std::to_string(bytes.size()) +
            " byte(s) before the BootStrap announcement: " + escapeForLog(bytes.substr(0, 32)));
      return;
    case Phase::AwaitCommand:
      if (lineAtLoaderRate()) takeCommandBytes(bytes, now);
      return;
    case Phase::Install:
      if (lineAtLoaderRate()) takeImageBytes(bytes, now);
      return;
    case Phase::AwaitHeader:
    case Phase::AwaitData:
    case Phase::AwaitEotRepeat:
      if (lineAtLoaderRate()) {
        buffer_.append(bytes);
        takeReceiverBytes(now);
      }
      return;
    case Phase::Done:
    case Phase::Cancelled:
      error("the uploader sent " + std::to_string(bytes.size()) + " byte(s) after the " +
            phaseName() + ": " + escapeForLog(bytes.substr(0, 32)));
      return;
    case Phase::Failed:
    case Phase::Finished:
      return;
  }
}

// ---------------------------------------------------------------------------------------------
// BootStrap loader

void Device::failLoader(const std::string& text, Millis now) {
  (void)now;
  error(text);
  // The loader has nothing to say about a broken command or image; it just stops listening.
  phase_ = Phase::Finished;
}

void Device::takeCommandBytes(std::string_view bytes, Millis now) {
  command_.append(bytes);
  if (!isBootStrapCommandPrefix(command_)) {
    failLoader("not a BootStrap command: " + escapeForLog(command_), now);
    return;
  }
  if (command_.size() < kBootStrapCommandSize) return;
  const CommandParse parsed = parseBootStrapCommand(command_);
  if (!parsed.error.empty()) {
    failLoader(parsed.error, now);
    return;
  }
  io_.send(std::string(options_.noise ? kNoise : std::string_view()) + std::string(kLoaderReply));
  log("BootStrap command for " + std::to_string(parsed.rate) + " baud");
  rate_ = options_.wrongRate != 0 ? options_.wrongRate : parsed.rate;
  log("handheld switched to " + std::to_string(rate_) + " baud");
  phase_ = Phase::Install;
}

void Device::takeImageBytes(std::string_view bytes, Millis now) {
  if (!expectedStream_.empty()) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (streamOffset_ + i >= expectedStream_.size() ||
          expectedStream_[streamOffset_ + i] != bytes[i]) {
        failLoader("the Receiver image differs from the expected one at byte " +
                       std::to_string(streamOffset_ + i),
                   now);
        return;
      }
    }
    streamOffset_ += bytes.size();
  }
  stream_.append(bytes);
  while (phase_ == Phase::Install) {
    std::size_t skip = 0;
    while (skip < stream_.size() && (stream_[skip] == '\r' || stream_[skip] == '\n')) ++skip;
    stream_.erase(0, skip);
    if (stream_.empty()) break;
    if (stream_[0] != ':') {
      failLoader("unexpected bytes between records: " + escapeForLog(stream_.substr(0, 32)), now);
      return;
    }
    if (stream_.size() < 3) break;
    const std::string_view lengthDigits = std::string_view(stream_).substr(1, 2);
    const auto value = [](char c) {
      return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                            : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (value(lengthDigits[0]) < 0 || value(lengthDigits[1]) < 0) {
      failLoader("record with a malformed length field: " + escapeForLog(stream_.substr(0, 32)),
                 now);
      return;
    }
    const std::size_t length = hexRecordTextLength(
        static_cast<std::uint8_t>(value(lengthDigits[0]) * 16 + value(lengthDigits[1])));
    if (stream_.size() < length) break;
    const std::string record = stream_.substr(0, length);
    stream_.erase(0, length);
    takeRecord(record, now);
  }
  partialAt_ = phase_ == Phase::Install && !stream_.empty() ? now + kShortBlockWait : -1;
}

void Device::takeRecord(std::string_view text, Millis now) {
  const HexRecordParse parsed = parseHexRecord(text);
  if (!parsed.record) {
    failLoader("record " + std::to_string(recordsReceived_ + 1) + " " + escapeForLog(text) +
                   ": " + parsed.error,
               now);
    return;
  }
  const std::string refused = loader_.accept(*parsed.record);
  if (!refused.empty()) {
    failLoader(refused, now);
    return;
  }
  ++recordsReceived_;
  const bool startRecord = parsed.record->type == 0x03 || parsed.record->type == 0x05;
  if (!startRecord) {
    ++outstanding_;
    mostOutstanding_ = std::max(mostOutstanding_, outstanding_);
    if (outstanding_ > kMostUnanswered) {
      error("pacing: " + std::to_string(outstanding_) +
            " records sent without a reply to them (at most " +
            std::to_string(kMostUnanswered) + " may be)");
    }
  }
  if (options_.holdRecord > 0 && !holdDone_ && recordsReceived_ >= options_.holdRecord) {
    if (!holding_) {
      holding_ = true;
      holdUntil_ = now + options_.holdMs;
      log("holding the replies from record " + std::to_string(recordsReceived_) + " on");
    }
    ++heldRecordsSeen_;
    ++(startRecord ? heldStart_ : heldData_);
  } else {
    replyToRecords(startRecord ? 0 : 1, startRecord ? 1 : 0);
  }
  if (loader_.complete() && !holding_) startReceiver(now);
}

void Device::replyToRecords(int dataRecords, int startRecords) {
  const int replies = dataRecords + startRecords;
  if (replies == 0) return;
  std::string bytes;
  for (int i = 0; i < replies; ++i) {
    if (options_.noise) bytes.append(kNoise);
    bytes.append(kLoaderReply);
  }
  io_.send(bytes);
  outstanding_ -= dataRecords;
}

void Device::startReceiver(Millis now) {
  log("Receiver installed: " + std::to_string(loader_.records()) + " records, " +
      std::to_string(loader_.dataBytes()) + " data bytes, start " + loader_.startAddress() +
      ", at most " + std::to_string(mostOutstanding_) + " record(s) unanswered at a time");
  partialAt_ = -1;
  phase_ = Phase::AwaitHeader;
  afterInstall_ = true;
  buffer_ = stream_;
  stream_.clear();
  sendStartRequest(now);
  if (!buffer_.empty()) takeReceiverBytes(now);
}

// ---------------------------------------------------------------------------------------------
// Receiver

std::string Device::fileLabel() const { return "'" + escapeForLog(fileName_) + "'"; }

void Device::answer(std::string_view bytes) {
  std::string out;
  if (options_.noise) out.append(kNoise);
  if (options_.zeroByte) out += '\0';
  out.append(bytes);
  io_.send(out);
}

void Device::answerLater(std::string_view bytes, Millis at) {
  std::string out;
  if (options_.noise) out.append(kNoise);
  if (options_.zeroByte) out += '\0';
  out.append(bytes);
  pending_.push_back({at, out});
}

void Device::sendStartRequest(Millis now) {
  const int next = fileNumber_ + 1;
  if (options_.cancel.where == CancelPoint::Where::Start && options_.cancel.number == next &&
      repeats_ == 0) {
    cancel("the start request before file " + std::to_string(next), now);
    return;
  }
  // Once a NAK has asked for checksums, the uploader keeps them for the rest of the upload
  // whatever later start requests say.
  const bool nak = options_.checksum || (options_.checksumFirst && fileNumber_ == 0);
  if (nak) crcMode_ = false;
  answer(one(nak ? kNak : kStartCrc));
  if (repeats_ == 0) {
    log(std::string("start request ") + (nak ? "NAK" : "C") +
        (crcMode_ ? "" : " (checksum mode)"));
  }
  ++repeats_;
  repeatAt_ = now + kRepeatStartRequest;
}

void Device::takeReceiverBytes(Millis now) {
  while (!buffer_.empty() &&
         (phase_ == Phase::AwaitHeader || phase_ == Phase::AwaitData ||
          phase_ == Phase::AwaitEotRepeat)) {
    const auto lead = static_cast<std::uint8_t>(buffer_[0]);
    if (afterInstall_ && (lead == '\r' || lead == '\n')) {
      // The line end after the image's end record: the loader has already started the Receiver.
      buffer_.erase(0, 1);
      continue;
    }
    afterInstall_ = false;
    if (lead == kEot) {
      buffer_.erase(0, 1);
      takeEot(now);
      continue;
    }
    const std::size_t length = blockLength(lead, crcMode_);
    if (length == 0) {
      // One report for a run of junk, up to the next byte that can start something.
      std::size_t junk = 1;
      while (junk < buffer_.size() && blockLength(static_cast<std::uint8_t>(buffer_[junk]), true) == 0 &&
             static_cast<std::uint8_t>(buffer_[junk]) != kEot) {
        ++junk;
      }
      error("unexpected " + std::to_string(junk) + " byte(s) while " + phaseName() + ": " +
            escapeForLog(buffer_.substr(0, std::min<std::size_t>(junk, 32))));
      buffer_.erase(0, junk);
      continue;
    }
    if (buffer_.size() < length) {
      partialAt_ = now + kShortBlockWait;
      return;
    }
    const std::string block = buffer_.substr(0, length);
    buffer_.erase(0, length);
    partialAt_ = -1;
    takeBlock(block, now);
  }
  if (buffer_.empty()) partialAt_ = -1;
}

void Device::nakBadBlock(const std::string& why, Millis now) {
  error(why);
  if (++consecutiveBad_ > kMostBadBlocks) {
    failReceiver("too many bad blocks in a row", now);
    return;
  }
  answer(one(kNak));
}

bool Device::checkResend(const std::string& block) {
  if (lastNaked_.empty()) return true;
  const bool same = block == lastNaked_;
  if (!same) error("the block sent again after a NAK differs from its first sending");
  lastNaked_.clear();
  return same;
}

bool Device::nakOnPurpose(int ordinal) {
  const bool chosen = options_.nakBlocks.count(ordinal) > 0 ||
                      (ordinal > 0 && options_.nakEvery > 0 && ordinal % options_.nakEvery == 0);
  if (!chosen) return false;
  int& count = nakCounts_[ordinal];
  if (count >= options_.nakTimes) return false;
  ++count;
  return true;
}

void Device::takeBlock(const std::string& block, Millis now) {
  repeatAt_ = -1;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(block.data()),
                                            block.size());
  const BlockFault fault = checkBlock(bytes, crcMode_);
  if (fault != BlockFault::None) {
    nakBadBlock(std::string("block numbered ") + std::to_string(bytes[1]) +
                    (fault == BlockFault::Complement ? ": wrong number complement"
                                                     : crcMode_ ? ": wrong CRC" : ": wrong checksum"),
                now);
    return;
  }
  consecutiveBad_ = 0;
  if (phase_ == Phase::AwaitHeader) {
    takeHeader(block, now);
  } else if (phase_ == Phase::AwaitData) {
    takeDataBlock(block, now);
  } else {
    failReceiver("a block where the repeated EOT was expected", now);
  }
}

void Device::takeHeader(const std::string& block, Millis now) {
  const auto lead = static_cast<std::uint8_t>(block[0]);
  if (lead != kSoh) {
    failReceiver("a data block where a header block was expected", now);
    return;
  }
  if (block[1] != 0) {
    failReceiver("header block numbered " + std::to_string(static_cast<std::uint8_t>(block[1])),
                 now);
    return;
  }
  checkResend(block);
  const HeaderParse parsed = parseHeader(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(block.data()) + 3, kHeaderDataSize));
  if (!parsed.header) {
    failReceiver(parsed.error, now);
    return;
  }
  const Header& header = *parsed.header;
  if (header.endOfBatch) {
    log("end of batch: " + std::to_string(filesStored_) + " file(s) stored");
    if (options_.cancel.where == CancelPoint::Where::Final) {
      cancel("the end-of-batch block", now);
      return;
    }
    std::string words = options_.closingText.value_or(
        "PV Receiver: " + std::to_string(filesStored_) + " file(s) received.\r\nReady.\r\n");
    if (options_.zeroByte) words += '\0' + std::string(kHiddenWords);
    std::string out;
    if (options_.noise) out.append(kNoise);
    out += static_cast<char>(kAck);
    out += words;
    io_.send(out);
    phase_ = Phase::Done;
    closeBy_ = now + kCloseWait;
    return;
  }
  if (nakOnPurpose(0)) {
    lastNaked_ = block;
    log("NAK on purpose: header of '" + escapeForLog(header.name) + "'");
    answer(one(kNak));
    return;
  }
  ++fileNumber_;
  repeats_ = 0;
  fileName_ = header.name;
  fileSize_ = header.size;
  written_ = 0;
  blocksTaken_ = 0;
  lastTaken_.clear();
  eotNaked_ = false;
  headerArrival_ = now;
  log("header: " + fileLabel() + ", " + std::to_string(header.size) + " bytes" +
      (header.deleteFlag ? ", delete flag set" : ""));
  const std::string refused = store_.begin(header.name);
  if (!refused.empty()) {
    failReceiver(refused, now);
    return;
  }
  if (options_.cancel.where == CancelPoint::Where::Header &&
      options_.cancel.number == fileNumber_) {
    cancel("the header of " + fileLabel(), now);
    return;
  }
  answer(one(kAck));
  if (options_.cAfterHeader) answerLater(one(kStartCrc), headerArrival_ + kStartRequestDelay);
  phase_ = Phase::AwaitData;
}

void Device::takeDataBlock(const std::string& block, Millis now) {
  const auto lead = static_cast<std::uint8_t>(block[0]);
  if (lead != kStx) {
    failReceiver("a 128-byte block or a header among the data blocks of " + fileLabel(), now);
    return;
  }
  const int ordinal = blocksTaken_ + 1;
  const auto number = static_cast<std::uint8_t>(block[1]);
  const auto expected = static_cast<std::uint8_t>(ordinal & 0xFF);
  if (number == static_cast<std::uint8_t>(expected - 1) && block == lastTaken_) {
    error("data block " + std::to_string(blocksTaken_) + " of " + fileLabel() +
          " sent again after it was acknowledged");
    answer(one(kAck));
    return;
  }
  if (number != expected) {
    failReceiver("data block numbered " + std::to_string(number) + ", expected " +
                     std::to_string(expected),
                 now);
    return;
  }
  checkResend(block);
  if (nakOnPurpose(ordinal)) {
    lastNaked_ = block;
    log("NAK on purpose: data block " + std::to_string(ordinal) + " of " + fileLabel());
    answer(one(kNak));
    return;
  }
  if (options_.cancel.where == CancelPoint::Where::Data && fileNumber_ == 1 &&
      options_.cancel.number == ordinal) {
    cancel("data block " + std::to_string(ordinal) + " of " + fileLabel(), now);
    return;
  }
  const std::uint64_t remaining = fileSize_ - written_;
  if (remaining == 0) {
    failReceiver("data block " + std::to_string(ordinal) + " lies beyond the " +
                     std::to_string(fileSize_) + " bytes announced for " + fileLabel(),
                 now);
    return;
  }
  const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(kDataBlockSize, remaining));
  const std::string_view data = std::string_view(block).substr(3, kDataBlockSize);
  if (data.substr(take).find_first_not_of(static_cast<char>(kSub)) != std::string_view::npos) {
    error("data block " + std::to_string(ordinal) + " of " + fileLabel() +
          " is not filled up with SUB after the end of the file");
  }
  const std::string failed =
      store_.append(reinterpret_cast<const std::uint8_t*>(data.data()), take);
  if (!failed.empty()) {
    failReceiver(failed, now);
    return;
  }
  written_ += take;
  blocksTaken_ = ordinal;
  lastTaken_ = block;
  if (options_.holdBlock == ordinal && fileNumber_ == 1) {
    log("holding the reply to data block " + std::to_string(ordinal));
    answerLater(one(kAck), now + options_.holdMs);
  } else {
    answer(one(kAck));
  }
}

void Device::takeEot(Millis now) {
  repeatAt_ = -1;
  if (phase_ == Phase::AwaitHeader) {
    failReceiver("EOT where a header block was expected", now);
    return;
  }
  if (phase_ == Phase::AwaitData && options_.nakEot && !eotNaked_) {
    eotNaked_ = true;
    log("NAK on purpose: EOT of " + fileLabel());
    answer(one(kNak));
    phase_ = Phase::AwaitEotRepeat;
    return;
  }
  finishFile(now);
}

void Device::finishFile(Millis now) {
  if (options_.cancel.where == CancelPoint::Where::Eot && options_.cancel.number == fileNumber_) {
    cancel("the EOT of " + fileLabel(), now);
    return;
  }
  if (written_ < fileSize_) {
    error("file " + fileLabel() + " ended after " + std::to_string(written_) + " of " +
          std::to_string(fileSize_) + " bytes; not stored");
    store_.discard();
  } else {
    const std::string failed = store_.commit();
    if (failed.empty()) {
      ++filesStored_;
      log("stored " + fileLabel() + " (" + std::to_string(fileSize_) + " bytes)");
    } else {
      error(failed);
    }
  }
  phase_ = Phase::AwaitHeader;
  nakCounts_.clear();
  lastNaked_.clear();
  repeats_ = 0;
  if (options_.ackCAfterEot) {
    answer(one(kAck) + one(options_.checksum ? kNak : kStartCrc));
    log("ACK and start request in one burst");
    repeats_ = 1;
    repeatAt_ = now + kRepeatStartRequest;
  } else {
    answer(one(kAck));
    startRequestAt_ = now + kStartRequestDelay;
  }
}

void Device::cancel(const std::string& where, Millis now) {
  std::string bytes;
  if (options_.cancelStyle == CancelStyle::Device) {
    bytes = one(kCan);
  } else {
    bytes = std::string(kCancelBytes, static_cast<char>(kCan)) +
            std::string(kCancelBytes, static_cast<char>(kBackspace));
  }
  answer(bytes);
  log("cancelled at " + where +
      (options_.cancelStyle == CancelStyle::Device ? " (device style)" : " (standard style)"));
  store_.discard();
  phase_ = Phase::Cancelled;
  repeatAt_ = -1;
  startRequestAt_ = -1;
  partialAt_ = -1;
  closeBy_ = now + kCloseWait;
}

void Device::failReceiver(const std::string& text, Millis now) {
  error(text);
  io_.send(std::string(kCancelBytes, static_cast<char>(kCan)));
  log("cancelled the session");
  store_.discard();
  phase_ = Phase::Failed;
  repeatAt_ = -1;
  startRequestAt_ = -1;
  partialAt_ = -1;
  closeBy_ = now + kCloseWait;
}

void Device::endSession(Millis now) {
  (void)now;
  store_.discard();
  phase_ = Phase::Finished;
}

}  // namespace pvsim

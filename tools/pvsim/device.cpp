// The simulated handheld: the line, its timers, and the BootStrap loader (the Receiver is in
// device_receiver.cpp).
#include "pvsim/device.h"

#include <algorithm>

#include "device_timing.h"
#include "pvsim/protocol.h"

namespace pvsim {

using namespace device_timing;

std::optional<CancelPoint> parseCancelPoint(std::string_view text) {
  static const std::map<std::string_view, CancelPoint::Where> names = {
      {"start", CancelPoint::Where::Start},
      {"header", CancelPoint::Where::Header},
      {"data", CancelPoint::Where::Data},
      {"eot", CancelPoint::Where::Eot},
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

void Device::log(const std::string& text) {
  io_.log(text);
}

void Device::error(const std::string& text) {
  ++errors_;
  log("error: " + text);
}

std::string Device::phaseName() const {
  switch (phase_) {
    case Phase::WaitOpen:
      return "waiting for the line to open";
    case Phase::WaitSpeed:
    case Phase::Announce:
      return "wake-up";
    case Phase::AwaitCommand:
      return "waiting for the BootStrap command";
    case Phase::Install:
      return "Receiver installation";
    case Phase::AwaitHeader:
      return "waiting for a header block";
    case Phase::AwaitData:
      return "waiting for a data block or EOT";
    case Phase::AwaitEotRepeat:
      return "waiting for the repeated EOT";
    case Phase::Done:
      return "end of batch";
    case Phase::Cancelled:
      return "cancelled";
    case Phase::Failed:
      return "failed";
    case Phase::Finished:
      return "finished";
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
      return c >= '0' && c <= '9'   ? c - '0'
             : c >= 'A' && c <= 'F' ? c - 'A' + 10
             : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                    : -1;
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
    failLoader("record " + std::to_string(recordsReceived_ + 1) + " " + escapeForLog(text) + ": " +
                   parsed.error,
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
            " records sent without a reply to them (at most " + std::to_string(kMostUnanswered) +
            " may be)");
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

}  // namespace pvsim

// The simulated Receiver: start requests, blocks, the end of a file and of the batch.
#include <algorithm>

#include "device_timing.h"
#include "pvsim/device.h"
#include "pvsim/protocol.h"

namespace pvsim {

using namespace device_timing;

std::string Device::fileLabel() const {
  // Built by appending: GCC 12 at -O3 warns (-Wrestrict) on "'" + text + "'" here.
  std::string label(1, '\'');
  label += escapeForLog(fileName_);
  label += '\'';
  return label;
}

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
    log(std::string("start request ") + (nak ? "NAK" : "C") + (crcMode_ ? "" : " (checksum mode)"));
  }
  ++repeats_;
  repeatAt_ = now + kRepeatStartRequest;
}

void Device::takeReceiverBytes(Millis now) {
  while (!buffer_.empty() && (phase_ == Phase::AwaitHeader || phase_ == Phase::AwaitData ||
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
      while (junk < buffer_.size() &&
             blockLength(static_cast<std::uint8_t>(buffer_[junk]), true) == 0 &&
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
                     : crcMode_                      ? ": wrong CRC"
                                                     : ": wrong checksum"),
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
    failReceiver(
        "data block numbered " + std::to_string(number) + ", expected " + std::to_string(expected),
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
  const std::size_t take =
      static_cast<std::size_t>(std::min<std::uint64_t>(kDataBlockSize, remaining));
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

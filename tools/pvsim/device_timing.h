// What the simulated loader and Receiver share: their timings and limits, and the fixed bytes
// they send.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pvsim/device.h"

namespace pvsim::device_timing {

inline constexpr Device::Millis kWakeAnswerDelay = 100;
inline constexpr Device::Millis kAnnounceDelay = 50;
inline constexpr Device::Millis kSpeedWait = 1000;
// A start request goes out between two of the uploader's ticks: its writes mark the tick, and
// its next tick, which reads the answer to that write, comes 200 ms later.
inline constexpr Device::Millis kStartRequestDelay = 300;
inline constexpr Device::Millis kRepeatStartRequest = 1000;
inline constexpr int kMostStartRequests = 10;
inline constexpr Device::Millis kShortBlockWait = 1000;
inline constexpr Device::Millis kCloseWait = 3000;
inline constexpr int kMostBadBlocks = 10;
inline constexpr int kMostUnanswered = 4;
inline constexpr int kCancelBytes = 8;

inline constexpr std::string_view kLoaderReply = "ACK\r\n";
inline constexpr std::string_view kStartRecord = ":0400000308000100F0";
inline constexpr std::string_view kEndRecord = ":00000001FF";
// Line noise: no zero byte, no ACK, NAK or C, and a single CAN that must not count as a cancel.
inline constexpr std::string_view kNoise{"\xFF\x7F\x18\x11\x13\r\n\x80x", 9};
inline constexpr std::string_view kWakeNoise{"\xFF\x7F\x11\x13\x80x", 6};
inline constexpr std::string_view kHiddenWords = "This line follows a zero byte.\r\n";

inline std::string one(std::uint8_t byte) {
  return std::string(1, static_cast<char>(byte));
}

}  // namespace pvsim::device_timing

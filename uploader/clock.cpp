// The system clock and the sleeping delay.
#include "uploader/clock.h"

#include <chrono>
#include <thread>

namespace corvane {

void delay(Clock& clock, std::uint32_t ms) {
  const std::uint32_t start = clock.now();
  for (;;) {
    const std::uint32_t elapsed = clock.now() - start;
    if (elapsed >= ms) return;
    clock.sleep(ms - elapsed);
  }
}

std::uint32_t SteadyClock::now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SteadyClock::sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SteadyClock::idle() {
  std::this_thread::sleep_for(std::chrono::microseconds(250));
}

}  // namespace corvane

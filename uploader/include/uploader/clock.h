// The millisecond tick counter and the waits built on it, behind an interface so that tests
// can drive time without sleeping.
#pragma once

#include <cstdint>

namespace corvane {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary origin; unsigned 32-bit, so it wraps after about 49 days.
  virtual std::uint32_t now() = 0;
  // Gives up the processor for about the given time.
  virtual void sleep(std::uint32_t ms) = 0;
  // A short pause for polling loops: well under one step of now(), so a loop that waits for
  // the counter to move still notices the step promptly.
  virtual void idle() = 0;
};

// Waits until now() has moved on by at least ms (unsigned difference, so a wrap is harmless).
// Sleeps rather than spins.
void delay(Clock& clock, std::uint32_t ms);

// The system's monotonic clock.
class SteadyClock final : public Clock {
 public:
  std::uint32_t now() override;
  void sleep(std::uint32_t ms) override;
  void idle() override;
};

}  // namespace corvane

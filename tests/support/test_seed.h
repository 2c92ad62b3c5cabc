// The seed of a randomised test: PAGORA_TEST_SEED replays a run, otherwise every run draws a
// fresh one. A failing test names its seed (SCOPED_TRACE(seedNote(seed))), so that the run can
// be repeated exactly.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>

namespace pagora::testing_support {

// A seed as the environment variable gives it: a decimal number from 0 to 2^32 - 1, nothing
// else on the line.
inline std::optional<std::uint32_t> parseTestSeed(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  const char* end = text + std::strlen(text);
  std::uint32_t seed = 0;
  const auto [stop, error] = std::from_chars(text, end, seed);
  if (error != std::errc() || stop != end) return std::nullopt;
  return seed;
}

// One seed for the whole process, so that every test of a run draws from the same one and one
// number replays them all. A malformed PAGORA_TEST_SEED stops the run rather than letting it
// pass on some other seed than the one asked for.
inline std::uint32_t testSeed() {
  static const std::uint32_t seed = [] {
    const char* given = std::getenv("PAGORA_TEST_SEED");
    if (given != nullptr && *given != '\0') {
      if (const auto parsed = parseTestSeed(given)) return *parsed;
      std::fprintf(stderr, "PAGORA_TEST_SEED=\"%s\" is not a number from 0 to 4294967295\n", given);
      std::exit(2);
    }
    return static_cast<std::uint32_t>(std::random_device{}());
  }();
  return seed;
}

// What a failure says about its seed: the number and how to run it again.
inline std::string seedNote(std::uint32_t seed) {
  return "seed " + std::to_string(seed) + " (replay with PAGORA_TEST_SEED=" + std::to_string(seed) +
         ")";
}

}  // namespace pagora::testing_support

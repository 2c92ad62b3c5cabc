// Which vector code the recoders run. The fastest this processor has is chosen on first use;
// PAGORA_RECODE_PATH=scalar|sse2|ssse3|avx2 forces another, so that the tests and benchmarks
// reach the paths this processor would not choose.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#define PAGORA_RECODE_SSE2 1
#else
#define PAGORA_RECODE_SSE2 0
#endif

namespace pagora {

// From slowest to fastest: each path uses what the one before it does and more.
enum class RecodePath { Scalar, Sse2, Ssse3, Avx2 };

// "scalar", "sse2", "ssse3", "avx2".
const char* recodePathName(RecodePath path);
std::optional<RecodePath> parseRecodePath(std::string_view name);

// True when this build and this processor can run the path.
bool recodePathRuns(RecodePath path);
RecodePath fastestRecodePath();

// The path for a PAGORA_RECODE_PATH value; null or empty asks for the fastest. A name that is no
// path, or a path this processor cannot run, gives the fastest, and `note` says so (it is left
// empty otherwise).
RecodePath chooseRecodePath(const char* requested, std::string& note);

// The path in use: chosen from the environment on the first call, whose note, if any, goes to
// standard error once.
RecodePath activeRecodePath();

}  // namespace pagora

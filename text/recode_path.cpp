// The choice of the recoders' vector path: what the processor offers, and PAGORA_RECODE_PATH.
#include "text/recode_path.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace pagora {
namespace {

constexpr std::array<RecodePath, 4> kPaths = {RecodePath::Scalar, RecodePath::Sse2,
                                              RecodePath::Ssse3, RecodePath::Avx2};

}  // namespace

const char* recodePathName(RecodePath path) {
  switch (path) {
    case RecodePath::Scalar:
      return "scalar";
    case RecodePath::Sse2:
      return "sse2";
    case RecodePath::Ssse3:
      return "ssse3";
    case RecodePath::Avx2:
      return "avx2";
  }
  return "scalar";
}

std::optional<RecodePath> parseRecodePath(std::string_view name) {
  for (RecodePath path : kPaths) {
    if (name == recodePathName(path)) return path;
  }
  return std::nullopt;
}

bool recodePathRuns(RecodePath path) {
#if PAGORA_RECODE_SSE2
  // Called from static initialisers too, before the runtime has filled in the processor model.
  __builtin_cpu_init();
  switch (path) {
    case RecodePath::Scalar:
      return true;
    case RecodePath::Sse2:
      return true;  // every x86-64 processor, and i386 builds ask for it
    case RecodePath::Ssse3:
      return __builtin_cpu_supports("ssse3");
    case RecodePath::Avx2:
      return __builtin_cpu_supports("avx2");
  }
  return false;
#else
  return path == RecodePath::Scalar;
#endif
}

RecodePath fastestRecodePath() {
  RecodePath fastest = RecodePath::Scalar;
  for (RecodePath path : kPaths) {
    if (recodePathRuns(path)) fastest = path;
  }
  return fastest;
}

RecodePath chooseRecodePath(const char* requested, std::string& note) {
  note.clear();
  const RecodePath fastest = fastestRecodePath();
  if (requested == nullptr || *requested == '\0') return fastest;
  const std::optional<RecodePath> path = parseRecodePath(requested);
  if (!path) {
    note = std::string("PAGORA_RECODE_PATH=\"") + requested +
           "\" names no recoding path (scalar, sse2, ssse3, avx2); using " +
           recodePathName(fastest);
    return fastest;
  }
  if (!recodePathRuns(*path)) {
    note = std::string("PAGORA_RECODE_PATH=") + requested +
           ": this processor cannot run it; using " + recodePathName(fastest);
    return fastest;
  }
  return *path;
}

RecodePath activeRecodePath() {
  static const RecodePath active = [] {
    std::string note;
    const RecodePath path = chooseRecodePath(std::getenv("PAGORA_RECODE_PATH"), note);
    if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
    return path;
  }();
  return active;
}

}  // namespace pagora

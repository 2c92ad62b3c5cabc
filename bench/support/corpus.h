// Where the benchmarks find the full corpus novel: $PAGORA_CORPUS, else ../shared/corpus beside
// the source tree. The tests' slices are too small to time, so an absent corpus is said aloud.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace pagora::bench {

inline std::filesystem::path corpusFolder() {
  if (const char* set = std::getenv("PAGORA_CORPUS"); set && *set) return set;
  return std::filesystem::path(PAGORA_SOURCE_DIR) / ".." / "shared" / "corpus";
}

// The path of one corpus file; when it is missing, says so once on stderr and returns an empty
// path, so the caller can fall back to generated text.
inline std::filesystem::path corpusFile(const std::string& name) {
  const std::filesystem::path path = corpusFolder() / name;
  if (std::filesystem::exists(path)) return path;
  std::fprintf(stderr, "corpus: %s is absent (set PAGORA_CORPUS); using generated text\n",
               path.string().c_str());
  return {};
}

}  // namespace pagora::bench

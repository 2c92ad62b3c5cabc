// Where the benchmarks find the full corpus novel: $PAGORA_CORPUS, else ../shared/corpus beside
// the source tree. The tests' slices are too small to time, so an absent corpus is said aloud.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// A stand-in of about 2 MB for an absent corpus: Russian prose in 1251, with HTML markup when
// asked.
inline std::string standInText(bool html) {
  const std::string sentence =
      "\xC2\xF1\xE5 \xF1\xF7\xE0\xF1\xF2\xEB\xE8\xE2\xFB\xE5 \xF1\xE5\xEC\xFC\xE8 \xEF\xEE\xF5\xEE"
      "\xE6\xE8  \xE4\xF0\xF3\xE3 \xED\xE0 \xE4\xF0\xF3\xE3\xE0.";
  std::string text;
  for (int i = 0; text.size() < 2'000'000; ++i) {
    if (html && i % 8 == 0) text += "<p>";
    text += sentence;
    text += i % 3 == 0 ? (html ? "&nbsp;<b>word</b>\r\n" : "\r\n") : "  ";
    if (i % 8 == 7) text += "\r\n";
  }
  return text;
}

// The bytes of a corpus file, or the stand-in when it is absent.
inline std::string corpusText(const std::string& name, bool html = false) {
  const std::filesystem::path path = corpusFile(name);
  if (path.empty()) return standInText(html);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace pagora::bench

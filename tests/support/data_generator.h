// Seeded test data: random bytes, prose-like text and UTF-8 text of every kind. The same seed
// gives the same bytes on every machine (std::mt19937's sequence is fixed by the standard), so
// a test built on a fixed seed may lock the exact result, and a randomised one (seed from
// testSeed()) replays exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pagora::testing_support {

using Bytes = std::vector<std::uint8_t>;

class DataGenerator {
 public:
  explicit DataGenerator(std::uint32_t seed) : rng_(seed) {}

  // One draw of the underlying sequence, for a test's own choices between pieces of data.
  std::uint32_t next() { return static_cast<std::uint32_t>(rng_()); }

  // n bytes of every value, evenly spread: nothing to compress.
  template <class Out = Bytes>
  Out bytes(std::size_t n) {
    Out out(n, 0);
    for (auto& b : out) b = static_cast<typename Out::value_type>(rng_());
    return out;
  }

  // Words from a small English and Russian (UTF-8) vocabulary with CR LF among them, cut at n
  // bytes (inside a word or a letter): compresses about as well as a book does. The coded
  // sizes of the "-lh5-" tests are locked against exactly these bytes.
  template <class Out = Bytes>
  Out prose(std::size_t n) {
    static const char* const kWords[] = {"the ", "archive ", "book ",  "Анна ",     "reader ",
                                         "of ",  "and ",     "\r\n",   "handheld ", "page ",
                                         "a ",   "letter ",  "light ", "war "};
    Out out;
    out.reserve(n);
    while (out.size() < n) {
      const char* w = kWords[rng_() % (sizeof kWords / sizeof *kWords)];
      for (const char* p = w; *p && out.size() < n; ++p)
        out.push_back(static_cast<typename Out::value_type>(*p));
    }
    return out;
  }

  // At least n bytes of one of three kinds, chosen by the next draw: raw bytes of every value; or
  // characters of every UTF-8 length (Russian letters most often), broken sequences (overlong,
  // surrogates, beyond U+10FFFF, cut short, stray continuation bytes) and long ASCII runs; or
  // the same characters without the runs.
  std::string mixedUtf8(std::size_t n) {
    static const std::vector<std::string> pieces = utf8Pieces();
    std::string s;
    const int mode = static_cast<int>(rng_() % 3);
    while (s.size() < n) {
      if (mode == 0) {
        s.push_back(static_cast<char>(rng_()));
      } else if (mode == 1 && rng_() % 4 == 0) {
        s.append(std::string(rng_() % 40, 'x'));
      } else {
        s += pieces[rng_() % pieces.size()];
      }
    }
    return s;
  }

  // A code point as UTF-8 (no check: surrogates are encoded as they are).
  static std::string utf8(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
      s += static_cast<char>(cp);
    } else if (cp < 0x800) {
      s += static_cast<char>(0xC0 | (cp >> 6));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      s += static_cast<char>(0xE0 | (cp >> 12));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (cp >> 18));
      s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
  }

 private:
  static std::vector<std::string> utf8Pieces() {
    std::vector<std::string> pieces = {
        "a",
        " ",
        "\r\n",
        "Hello, world. ",
        "0123456789abcdef",
        "\xEF\xBB\xBF",  // a byte order mark in the middle stays a character
        "\xE2\x80\x93",
        "\xE2\x80\x94",  // dashes
        "\xC2\xAB",
        "\xC2\xBB",
        "\xE2\x80\x9E",
        "\xE2\x80\x9C",
        "\xE2\x80\xA6",
        "\xE2\x82\xAC",
        "\xE2\x84\x96",
        "\xE4\xB8\xAD",
        "\xF0\x9F\x98\x80",
        "\xF4\x8F\xBF\xBF",
        "\xC0\x80",
        "\xC1\xBF",
        "\xE0\x80\xAF",
        "\xF0\x80\x80\xAF",  // overlong
        "\xED\xA0\x80",
        "\xED\xBF\xBF",
        "\xF4\x90\x80\x80",  // surrogates, too high
        "\x80",
        "\xBF",
        "\xFE",
        "\xFF",
        "\xD0",
        "\xD1",
        "\xE2\x80",
        "\xF0\x9F\x98",  // cut, stray
    };
    for (std::uint32_t cp = 0x80; cp < 0x800; ++cp) pieces.push_back(utf8(cp));
    for (std::uint32_t cp = 0x0410; cp <= 0x044F; ++cp) {
      for (int k = 0; k < 8; ++k) pieces.push_back(utf8(cp));  // Russian letters dominate
    }
    return pieces;
  }

  std::mt19937 rng_;
};

// One-shot forms, for data drawn from a seed of its own.
template <class Out = Bytes>
Out randomBytes(std::uint32_t seed, std::size_t n) {
  return DataGenerator(seed).bytes<Out>(n);
}

template <class Out = Bytes>
Out proseText(std::uint32_t seed, std::size_t n) {
  return DataGenerator(seed).prose<Out>(n);
}

inline std::string mixedUtf8(std::uint32_t seed, std::size_t n) {
  return DataGenerator(seed).mixedUtf8(n);
}

}  // namespace pagora::testing_support

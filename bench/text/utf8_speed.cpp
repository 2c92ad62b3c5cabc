// UTF-8 -> 1251 of one file in memory, the best of many runs, in milliseconds: the driver that
// bench/text/fallback_cost.sh builds against two versions of the text library. With --plain the
// file is first made into the UTF-8 of its 1251 form, a text that needs no fallback.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/recode.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: utf8_speed FILE [--plain]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), {}};
  if (argc > 2 && std::string(argv[2]) == "--plain") text = pagora::winToUtf8(text);
  double best = 1e9;
  std::size_t length = 0;
  for (int run = 0; run < 30; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const std::string win = pagora::utf8ToWin(text);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    length += win.size();
    if (took.count() < best) best = took.count();
  }
  std::printf("%.3f\n", best + 0 * static_cast<double>(length));
  return 0;
}

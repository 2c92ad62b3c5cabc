// The text-buffer loader on arbitrary bytes: splitting must be the exact inverse of joining
// for every text that ends in a line break, the 8-bit recodings keep the length, and UTF-8 grows
// at most by the signs the conversion spells out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/recode.h"
#include "text/text_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const pagora::TextBuffer lines = pagora::splitLines(bytes);
  const std::string joined = pagora::joinLines(lines);
  if (pagora::splitLines(joined) != lines) __builtin_trap();
  std::size_t total = 0;
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    total += line.size();
  }
  if (total > size) __builtin_trap();

  if (pagora::DosToWin(bytes).size() != size || pagora::KoiToWin(bytes).size() != size ||
      pagora::WinToDevice(bytes).size() != size || pagora::deviceToWin(bytes).size() != size) {
    __builtin_trap();
  }
  // A sign spelled out ("½" -> "1/2") makes three bytes of two; nothing grows more.
  const std::string win = pagora::utf8ToWin(bytes);
  if (win.size() > size + size / 2) __builtin_trap();
  if (pagora::isValidUtf8(bytes) && pagora::utf8ToWin(pagora::winToUtf8(win)) != win) {
    // 0x98 has no character and comes back as "?"; nothing else may change.
    if (win.find('\x98') == std::string::npos) __builtin_trap();
  }
  (void)pagora::detectCodePage(bytes);
  return 0;
}

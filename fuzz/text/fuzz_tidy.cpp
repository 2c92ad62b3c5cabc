// Tidy on arbitrary bytes under every layout: no crash, no line break inside a tidied line, and
// a text laid out one paragraph a line comes back byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/tidy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const pagora::TidyLayout layout : {pagora::TidyLayout::Auto, pagora::TidyLayout::Indent,
                                          pagora::TidyLayout::Blank, pagora::TidyLayout::Width}) {
    pagora::TidyOptions options;
    options.layout = layout;
    options.keepHyphens = size % 2 == 1;
    for (const std::string& line : pagora::tidyText(bytes, options))
      if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    (void)pagora::tidyBytes(bytes, options);
  }
  pagora::TidyOptions lines;
  lines.layout = pagora::TidyLayout::Lines;
  if (pagora::tidyBytes(bytes, lines) != bytes) __builtin_trap();
  return 0;
}

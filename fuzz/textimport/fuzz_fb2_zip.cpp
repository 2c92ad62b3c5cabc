// Feeds arbitrary bytes to the importer of zipped FB2 books: a clean failure or lines, never a
// crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textimport/book_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    pagora::importFb2Zip(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  } catch (const pagora::EBookImport&) {
  }
  return 0;
}

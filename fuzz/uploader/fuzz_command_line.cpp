// Any command line parses without failing, and always into one of the ten rates.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "uploader/upload_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Zero bytes separate the arguments, as they do in the process's argument block.
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }
  for (bool slashFlags : {false, true}) {
    const corvane::UploadOptions options = corvane::parseUploadOptions(arguments, slashFlags);
    if (!corvane::isSupportedBaudRate(options.baudRate)) std::abort();
    if (options.files.size() > arguments.size()) std::abort();
  }
  return 0;
}

// Opens arbitrary bytes as an ADT file: the header check, record walking, inspection and
// unwrapping must fail cleanly or agree with each other.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "adt/adt_file.h"

namespace {

std::string Scratch(const char* what) {
  return "/tmp/pagora-fuzz-adt-" + std::to_string(::getpid()) + "-" + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string adtPath = Scratch("in.adt");
  static const std::string outPath = Scratch("out.lzh");
  if (std::FILE* f = std::fopen(adtPath.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  pagora::AdtInfo info;
  try {
    info = pagora::InspectAdtFile(adtPath);
  } catch (const pagora::Exception&) {
    __builtin_trap();  // a readable file always gets an answer
  }
  try {
    pagora::TAdtFile file(adtPath, pagora::TAdtFile::OpenMode::Read);
    std::int64_t total = 0;
    for (std::int32_t i = 0; i < file.RecordCount() && i < 4096; ++i) {
      total += static_cast<std::int64_t>(file.ReadRecord(i).size());
    }
    (void)file.RecordOffset(-1);
    (void)total;
  } catch (const pagora::Exception&) {
  }
  try {
    const std::int64_t extracted = pagora::ExtractArchiveFromAdt(adtPath, outPath);
    if (!info.valid || extracted != info.dataSize) __builtin_trap();
  } catch (const pagora::Exception&) {
    if (info.valid) __builtin_trap();
  }
  std::remove(outPath.c_str());
  return 0;
}

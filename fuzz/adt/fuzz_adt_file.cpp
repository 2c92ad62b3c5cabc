// Opens arbitrary bytes as an ADT file: the header check, record walking, inspection and
// unwrapping must fail cleanly or agree with each other.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "adt/adt_file.h"

namespace {

std::string scratch(const char* what) {
  return "/tmp/pagora-fuzz-adt-" + std::to_string(::getpid()) + "-" + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string adtPath = scratch("in.adt");
  static const std::string outPath = scratch("out.lzh");
  if (std::FILE* f = std::fopen(adtPath.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  pagora::AdtInfo info;
  try {
    info = pagora::inspectAdtFile(adtPath);
  } catch (const pagora::Exception&) {
    __builtin_trap();  // a readable file always gets an answer
  }
  // Record by record through TAdtFile, as a cross-check of the one-pass unwrap below.
  std::string records;
  bool allRecords = false;
  try {
    pagora::TAdtFile file(adtPath, pagora::TAdtFile::OpenMode::Read);
    std::int32_t i = 0;
    for (; i < file.RecordCount() && i < 4096; ++i) records += file.readRecord(i);
    allRecords = i == file.RecordCount();
    (void)file.RecordOffset(-1);
  } catch (const pagora::Exception&) {
  }
  try {
    const std::int64_t extracted = pagora::extractArchiveFromAdt(adtPath, outPath);
    if (!info.valid || extracted != info.dataSize) __builtin_trap();
    if (allRecords) {
      std::string back;
      if (std::FILE* f = std::fopen(outPath.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
          back.append(buffer, n);
        std::fclose(f);
      }
      if (back != records) __builtin_trap();  // one pass and record by record must agree
    }
  } catch (const pagora::Exception&) {
    if (info.valid) __builtin_trap();
  }
  // Any name, valid UTF-8 or not, gives a field of at most 24 bytes and never more.
  const std::string name(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
  const auto field = pagora::TAdtFile::bookNameFor(name + ".adt");
  (void)field;
  std::remove(outPath.c_str());
  return 0;
}

// `pagora-cli adt`: wrap a book archive into an ADT file for PV Manager, show what an ADT file
// holds, and unwrap the archive again.
#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "adt/adt_file.h"
#include "commands.h"
#include "failure.h"
#include "terminal.h"
#include "text/recode.h"

namespace pagora::cli {

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

int wrap(const std::string& archive, std::string adt) {
  if (adt.empty()) adt = archive + ".adt";
  if (const auto failure = CopyArchiveToAdt(archive, adt)) return fail("adt", "wrap", *failure);
  const AdtInfo info = inspectAdtFile(adt);
  std::printf("File %s\nArchive: %lld bytes in %d records\nADT file: %lld bytes\n",
              escapeControl(adt).c_str(), static_cast<long long>(info.dataSize), info.recordCount,
              static_cast<long long>(info.fileSize));
  return 0;
}

int info(const std::string& adt) {
  try {
    const AdtInfo i = inspectAdtFile(adt);
    std::printf("File:       %s\n", escapeControl(adt).c_str());
    if (!i.hasHeader) {
      std::printf("File size:  %lld bytes\nValid:      no (%s)\n",
                  static_cast<long long>(i.fileSize), i.problem.c_str());
      return 1;
    }
    // The field holds code page 1251, as PV Manager reads it; the terminal wants UTF-8.
    std::printf("Book name:  %s\n", escapeControl(winToUtf8(i.bookName)).c_str());
    std::printf("Records:    %d\n", i.recordCount);
    std::printf("File size:  %lld bytes (size field %d)\n", static_cast<long long>(i.fileSize),
                i.sizeField);
    if (i.valid) {
      std::printf("Archive:    %lld bytes\nValid:      yes\n", static_cast<long long>(i.dataSize));
      return 0;
    }
    std::printf("Valid:      no (%s)\n", i.problem.c_str());
    return 1;
  } catch (const std::exception& e) {
    return fail("adt", "info", e);
  }
}

// book.lzh.adt -> book.lzh; any other name gets ".lzh" added.
std::string archiveNameFor(const std::string& adt) {
  if (adt.size() > 4) {
    std::string tail = adt.substr(adt.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (tail == ".adt") return adt.substr(0, adt.size() - 4);
  }
  return adt + ".lzh";
}

int unwrap(const std::string& adt, std::string archive, bool force) {
  if (archive.empty()) archive = archiveNameFor(adt);
  if (!force && exists(archive)) {
    return fail("adt", "unwrap", archive + " exists (use --force to replace it)");
  }
  try {
    const std::int64_t size = extractArchiveFromAdt(adt, archive);
    std::printf("File %s\nSize: %lld bytes\n", escapeControl(archive).c_str(),
                static_cast<long long>(size));
  } catch (const std::exception& e) {
    return fail("adt", "unwrap", e);
  }
  return 0;
}

}  // namespace

void addAdtCommand(CLI::App& app, int& status) {
  CLI::App* adt = app.add_subcommand("adt", "ADT files for PV Manager: wrap, info, unwrap");
  adt->require_subcommand(1);

  auto archive = std::make_shared<std::string>();
  auto adtName = std::make_shared<std::string>();
  CLI::App* wrapCommand =
      adt->add_subcommand("wrap", "Wrap an archive into an ADT file (default ARCHIVE.adt)");
  wrapCommand->add_option("archive", *archive, "The book archive")->required();
  wrapCommand->add_option("adt", *adtName, "The ADT file to write");
  wrapCommand->callback([&status, archive, adtName] { status = wrap(*archive, *adtName); });

  CLI::App* infoCommand =
      adt->add_subcommand("info", "Record count, book name, sizes and validity");
  infoCommand->add_option("adt", *adtName, "The ADT file")->required();
  infoCommand->callback([&status, adtName] { status = info(*adtName); });

  auto force = std::make_shared<bool>(false);
  CLI::App* unwrapCommand = adt->add_subcommand(
      "unwrap",
      "Check an ADT file and write the archive it carries (default: its name without .adt)");
  unwrapCommand->add_option("adt", *adtName, "The ADT file")->required();
  unwrapCommand->add_option("archive", *archive, "The archive to write");
  unwrapCommand->add_flag("-f,--force", *force, "Replace an existing archive");
  unwrapCommand->callback(
      [&status, adtName, archive, force] { status = unwrap(*adtName, *archive, *force); });
}

}  // namespace pagora::cli

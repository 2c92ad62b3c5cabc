// pagora-cli text recode refuses in place what would ruin a text, takes code page names as
// iconv spells them, and text detect calls binaries "not text".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "temp_folder.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

struct Result {
  int status;
  std::string out;  // stdout and stderr together
};

Result Cli(const std::string& arguments) {
  Result r{-1, {}};
  std::FILE* p = ::popen(
      (std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli " + arguments + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
    r.out.append(buffer, got);
  const int status = ::pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// "Привет, как дела у вас" in 1251 and in 866 (iconv).
const std::string kWin =
    "\xCF\xF0\xE8\xE2\xE5\xF2, \xEA\xE0\xEA \xE4\xE5\xEB\xE0 \xF3 \xE2\xE0\xF1";
const std::string kDos =
    "\x8F\xE0\xA8\xA2\xA5\xE2, \xAA\xA0\xAA \xA4\xA5\xAB\xA0 \xE3 \xA2\xA0\xE1";

TEST(CliRecode, InPlaceRefusesWhatWouldRuinTheText) {
  struct Row {
    const char* what;
    std::string bytes;
    const char* options;
    int status;
    std::string message;  // "" when the text is converted
  } rows[] = {
      {"KOI8-R named, 1251 read", kWin, "--from koi8r", 1,
       " reads as cp1251, not KOI8-R; give --force to convert anyway"},
      {"866 a second time", kWin, "--from 866", 1,
       " reads as cp1251, not 866; give --force to convert anyway"},
      {"UTF-8 named, not UTF-8", kWin, "--from utf8", 1,
       " is not valid UTF-8; give --force to convert anyway"},
      {"--force does as told", kWin, "--from KOI8-R --force", 0, ""},
      {"the right name in iconv's spelling", kDos, "--from IBM866", 0, ""},
      {"dos", kDos, "--from dos", 0, ""},
      {"an unknown name is a usage error", kDos, "--from latin1", 2, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempFolder dir;
    writeFile(dir / "t.txt", row.bytes);
    const Result r = Cli("text recode " + std::string(row.options) + " " + dir / "t.txt");
    EXPECT_EQ(r.status, row.status) << r.out;
    if (!row.message.empty()) {
      EXPECT_EQ(r.out, "pagora-cli: text recode: " + dir / "t.txt" + row.message + "\n");
    }
    if (row.status != 0) {
      EXPECT_EQ(readFile(dir / "t.txt"), row.bytes);
    }
  }
  // With -o the name is obeyed, whatever the text reads as.
  TempFolder dir;
  writeFile(dir / "t.txt", kWin);
  EXPECT_EQ(Cli("text recode --from utf-8 " + dir / "t.txt" + " -o " + dir / "o.txt").status, 0);
  EXPECT_EQ(readFile(dir / "o.txt"), kWin) << "bytes that are not UTF-8 pass through";
  EXPECT_EQ(readFile(dir / "t.txt"), kWin);
}

TEST(CliRecode, DetectCallsBinariesNotText) {
  TempFolder dir;
  writeFile(dir / "book.epub", std::string("PK\x03\x04mimetypeapplication/epub+zip"));
  writeFile(dir / "nul.txt", std::string("text\0more", 9));
  const Result r = Cli("text detect " + dir / "book.epub" + " " + dir / "nul.txt");
  EXPECT_EQ(r.out, dir / "book.epub" + ": not text\n" + dir / "nul.txt" + ": not text\n");
}

}  // namespace
}  // namespace pagora

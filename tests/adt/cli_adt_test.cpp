// pagora-cli adt end to end on real archives made by pagora-cli lzh a: wrap, info, unwrap give
// back the very bytes, and a black-box LZH reader accepts the unwrapped archive. Skipped when
// the program has not been built.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_folder.h"

namespace {

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";

struct Result {
  int status;
  std::string out;
};

Result shell(const std::string& command) {
  Result r{-1, {}};
  std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, got);
  const int status = ::pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class CliAdt : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "pagora-cli not built";
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  pagora::testing_support::TempFolder temp_{"pagora-cli-adt-"};
  const std::filesystem::path dir_ = temp_.path();
};

TEST_F(CliAdt, WrapInfoUnwrapRoundTripOnRealArchives) {
  // Texts of several sizes, so that the archives end inside the first, second and later records.
  for (int lines : {1, 300, 2000}) {
    std::ofstream text(Path("book.txt"), std::ios::binary | std::ios::trunc);
    for (int i = 0; i < lines; ++i) text << "line " << i * 7919 % 10007 << " of the book\r\n";
    text.close();
    std::filesystem::remove(Path("book.lzh"));
    ASSERT_EQ(shell("cd " + dir_.string() + " && " + kCli + " lzh a book.lzh book.txt").status, 0);
    const std::string archive = Read(Path("book.lzh"));
    ASSERT_FALSE(archive.empty());

    Result r = shell(kCli + " adt wrap " + Path("book.lzh"));
    ASSERT_EQ(r.status, 0);
    const std::size_t records = (archive.size() + 3071) / 3072;
    const std::size_t adtSize = 256 + archive.size() + 4 * records;
    EXPECT_EQ(r.out, "File " + Path("book.lzh.adt") + "\nArchive: " +
                         std::to_string(archive.size()) + " bytes in " + std::to_string(records) +
                         " records\nADT file: " + std::to_string(adtSize) + " bytes\n");
    EXPECT_EQ(std::filesystem::file_size(Path("book.lzh.adt")), adtSize);

    r = shell(kCli + " adt info " + Path("book.lzh.adt"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Book name:  book.lzh\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Valid:      yes\n"), std::string::npos) << r.out;

    // Unwrapping refuses to replace the archive unless told to, then gives back its bytes.
    EXPECT_EQ(shell(kCli + " adt unwrap " + Path("book.lzh.adt")).status, 1);
    EXPECT_EQ(shell(kCli + " adt unwrap " + Path("book.lzh.adt") + " " + Path("back.lzh")).status,
              0);
    EXPECT_EQ(Read(Path("back.lzh")), archive) << lines << " lines";
    EXPECT_EQ(shell(kCli + " adt unwrap --force " + Path("book.lzh.adt")).status, 0);
    EXPECT_EQ(Read(Path("book.lzh")), archive);
    if (std::filesystem::exists("/usr/bin/lha")) {
      EXPECT_EQ(shell("lha t " + Path("back.lzh")).status, 0);
    }
    std::filesystem::remove(Path("back.lzh"));
  }
}

TEST_F(CliAdt, InfoShowsTheStoredNameInUtf8) {
  struct Case {
    const char* archive;
    const char* shown;
  } cases[] = {
      {"Анна Каренина.lzh", "Анна Каренина.lzh"},
      // 24 letters are kept, not 24 bytes of UTF-8, and the extension stays.
      {"Преступление и наказание, роман.lzh", "Преступление и наказ.lzh"},
      {"日本 книга.lzh", "?? книга.lzh"},
  };
  for (const Case& c : cases) {
    std::ofstream(Path(c.archive), std::ios::binary) << "archive bytes";
    ASSERT_EQ(shell(kCli + " adt wrap '" + Path(c.archive) + "'").status, 0) << c.archive;
    Result r = shell(kCli + " adt info '" + Path(c.archive) + ".adt'");
    EXPECT_EQ(r.status, 0) << c.archive;
    EXPECT_NE(r.out.find(std::string("Book name:  ") + c.shown + "\n"), std::string::npos) << r.out;
  }
}

TEST_F(CliAdt, DamagedFilesAreReportedNotUnwrapped) {
  std::ofstream(Path("x.adt"), std::ios::binary) << "not an ADT file at all";
  Result r = shell(kCli + " adt info " + Path("x.adt"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "File:       " + Path("x.adt") +
                "\nFile size:  22 bytes\nValid:      no (shorter than its 256-byte header)\n");
  EXPECT_EQ(shell(kCli + " adt unwrap " + Path("x.adt")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("x")));
  EXPECT_FALSE(std::filesystem::exists(Path("x.lzh")));
  EXPECT_EQ(shell(kCli + " adt wrap " + Path("none.lzh")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("none.lzh.adt")));
}

}  // namespace
